// The engine library through our own interface declarations, callbacks and streams: how it is found and
// refused, a zip written by the worker's compression and extracted again, and the calls the engine never
// makes.

#include "archive/CArchiveExtractCallback.h"
#include "archive/CArchiveUpdateCallback.h"
#include "archive/CallbackBoundary.h"
#include "archive/EngineLibrary.h"
#include "archive/Q7Zip.h"
#include "common/ComPtr.h"
#include "common/PropertyValue.h"
#include "tests/support/TestFiles.h"

#include <QtTest>

#include <stdexcept>
#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

constexpr qint64 kPayloadTime = 1622548800; // 2021-06-01 12:00:00 UTC

class TestEngineContract : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QByteArray payload;
    QLibrary library;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        const QString source = dir.filePath("src/");
        QVERIFY(QDir().mkpath(source + "data/empty") && QDir().mkpath(source + "tools"));
        payload.resize(300 * 1024); // more than one of the engine's 128 KiB writes, and incompressible
        QRandomGenerator(12345).fillRange(reinterpret_cast<quint32 *>(payload.data()), payload.size() / 4);
        const auto write = [&](const QString &name, const QByteArray &content, [[maybe_unused]] int mode) {
            QVERIFY(TestFiles::write(source + name, content));
#ifndef Q_OS_WIN
            QVERIFY(::chmod(QFile::encodeName(source + name).constData(), mode_t(mode)) == 0);
#endif
        };
        write("data/payload.bin", payload, 0640);
        write("readme.txt", "Velmora sample\n", 0644);
        write("tools/run.sh", "#!/bin/sh\necho run\n", 0755);
        QFile stamped(source + "data/payload.bin");
        QVERIFY(stamped.open(QIODevice::ReadWrite) &&
                stamped.setFileTime(QDateTime::fromSecsSinceEpoch(kPayloadTime),
                                    QFileDevice::FileModificationTime));
        stamped.close();

        QStringList paths;
        for (const char *file :
             {"readme.txt", "data", "data/empty", "data/payload.bin", "tools", "tools/run.sh"})
            paths << source + file;
        QCOMPARE(Q7Zip::getInstance()->compress(dir.filePath("sample.zip"), paths, source), 0);
        QVERIFY2(EngineLibrary::load(library), qPrintable(library.errorString()));
    }

    void libraryIsFoundBesideTheExecutableFirstAndAnOtherLayoutIsRefused()
    {
        const bool windows = QSysInfo::productType() == "windows"; // where only the own directory counts
        QCOMPARE(EngineLibrary::searchLocations(),
                 QStringList{QCoreApplication::applicationDirPath()} +
                     (windows ? QStringList() : QStringList{"/usr/lib/p7zip"}));
        QLibrary probe;
        EngineLibrary::setSearchLocations({dir.filePath("nowhere"), VELMORA_OTHER_LAYOUT_ENGINE_DIR,
                                           QCoreApplication::applicationDirPath()});
        EngineLibrary::configure(probe);
        QCOMPARE(probe.fileName(), QString(VELMORA_OTHER_LAYOUT_ENGINE_DIR "/" + EngineLibrary::fileName()));
        for (const QString &location : {dir.filePath("nowhere"), QString(VELMORA_OTHER_LAYOUT_ENGINE_DIR)}) {
            EngineLibrary::setSearchLocations({location});
            QLibrary refused;
            QVERIFY(!EngineLibrary::resolveCreateObject(refused) && !refused.isLoaded());
        }
        EngineLibrary::setSearchLocations({});
    }

    void extractsWhatItCompressed()
    {
        const QString out = dir.filePath("out");
        QVERIFY(QDir().mkpath(out));
        QCOMPARE(Q7Zip::getInstance()->extract(dir.filePath("sample.zip"), out), 0);
        QVERIFY(TestFiles::read(out + "/data/payload.bin") == payload);
        QCOMPARE(QFileInfo(out + "/data/payload.bin").lastModified().toSecsSinceEpoch(), kPayloadTime);
#ifndef Q_OS_WIN
        for (const auto &file :
             {qMakePair(QString("/data/payload.bin"), 0640), qMakePair(QString("/tools/run.sh"), 0755)}) {
            struct stat info;
            QVERIFY(::stat(QFile::encodeName(out + file.first).constData(), &info) == 0 &&
                    (info.st_mode & 07777) == mode_t(file.second));
        }
#endif
        QVERIFY(QFileInfo(out + "/data/empty").isDir());
    }

    void callbacksRefuseWhatTheEngineNeverAsks()
    {
        QCOMPARE(callbackBoundary([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
        QCOMPARE(callbackBoundary([]() -> HRESULT { throw std::runtime_error("x"); }), E_FAIL);

        auto *extract = new CArchiveExtractCallback;
        ComPtr<IArchiveExtractCallback> extractHeld(extract);
        BSTR password = nullptr; // an encrypted package is refused, its password never asked for
        QCOMPARE(extract->CryptoGetTextPassword(&password), E_ABORT);
        ObjectVector<DirItem> items;
        items.addOwned(new DirItem);
        auto *update = new CArchiveUpdateCallback;
        ComPtr<IArchiveUpdateCallback2> updateHeld(update);
        update->Init(&items);
        PropertyValue value;
        QCOMPARE(update->GetProperty(1, kpidPath, &value), E_INVALIDARG);
        ISequentialInStream *input = nullptr;
        QCOMPARE(update->GetStream(1, &input), E_INVALIDARG);
    }
};

QTEST_GUILESS_MAIN(TestEngineContract)
#include "tst_enginecontract.moc"
