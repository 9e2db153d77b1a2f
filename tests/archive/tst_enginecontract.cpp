// The engine library through our own interface declarations, callbacks and streams: a zip written by the
// worker's compression, read back item by item through the engine's archive object, and extracted.

#include "archive/CArchiveExtractCallback.h"
#include "archive/CArchiveUpdateCallback.h"
#include "archive/CallbackBoundary.h"
#include "archive/EngineLibrary.h"
#include "archive/Q7Zip.h"
#include "common/Bstr.h"
#include "common/ComPtr.h"
#include "common/PropertyValue.h"
#include "fileio/InFileStream.h"

#include <QtTest>

#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>

constexpr qint64 kPayloadTime = 1622548800; // 2021-06-01 12:00:00 UTC

class TestEngineContract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void libraryIsFoundBesideTheExecutableFirst();
    void missingOrOtherLayoutEngineIsRefused();
    void listsTheItemsWithTheirProperties();
    void extractsWhatItCompressed();
    void callbacksRefuseWhatTheEngineNeverAsks();

private:
    ComPtr<IInArchive> openArchive(const QString &path);

    QTemporaryDir dir;
    QByteArray payload;
    QLibrary library;
};

void TestEngineContract::initTestCase()
{
    QVERIFY(dir.isValid());
    const QString source = dir.filePath("src/");
    QVERIFY(QDir().mkpath(source + "data/empty") && QDir().mkpath(source + "tools"));
    payload.resize(300 * 1024); // more than one of the engine's 128 KiB writes, and incompressible
    quint32 seed = 12345;
    for (char &byte : payload) {
        seed = seed * 1664525u + 1013904223u;
        byte = char(seed >> 24);
    }
    const auto write = [&](const QString &name, const QByteArray &content, mode_t mode) {
        QFile file(source + name);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        QVERIFY(::chmod(QFile::encodeName(file.fileName()).constData(), mode) == 0);
    };
    write("data/payload.bin", payload, 0640);
    write("readme.txt", "Velmora sample\n", 0644);
    write("tools/run.sh", "#!/bin/sh\necho run\n", 0755);
    const timespec times[2] = {{kPayloadTime, 0}, {kPayloadTime, 0}};
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(source + "data/payload.bin").constData(), times, 0) == 0);

    QStringList paths;
    for (const char *file : {"readme.txt", "data", "data/empty", "data/payload.bin", "tools", "tools/run.sh"})
        paths << source + file;
    QCOMPARE(Q7Zip::getInstance()->compress(dir.filePath("sample.zip"), paths, source), 0);
    QVERIFY2(EngineLibrary::load(library), qPrintable(library.errorString()));
}

void TestEngineContract::cleanup()
{
    EngineLibrary::setSearchLocations({});
}

ComPtr<IInArchive> TestEngineContract::openArchive(const QString &path)
{
    ComPtr<IInArchive> archive;
    const CreateObjectFunction createObject = EngineLibrary::resolveCreateObject(library);
    if (!createObject || createObject(&CLSID_ZipHandler, &IID_IInArchive, archive.putVoid()) != S_OK)
        return {};
    auto *stream = new CInFileStream;
    ComPtr<IInStream> held(stream);
    const UInt64 scanLimit = 0x800000;
    if (!stream->OpenForRead(toWideString(path)) || archive->Open(held.get(), &scanLimit, nullptr) != S_OK)
        return {};
    return archive;
}

void TestEngineContract::libraryIsFoundBesideTheExecutableFirst()
{
    QCOMPARE(EngineLibrary::searchLocations(),
             (QStringList{QCoreApplication::applicationDirPath(), "/usr/lib/p7zip"}));
    QLibrary probe;
    EngineLibrary::setSearchLocations(
        {dir.filePath("nowhere"), VELMORA_OTHER_LAYOUT_ENGINE_DIR, "/usr/lib/p7zip"});
    EngineLibrary::configure(probe);
    QCOMPARE(probe.fileName(), QString(VELMORA_OTHER_LAYOUT_ENGINE_DIR "/7z.so"));
}

void TestEngineContract::missingOrOtherLayoutEngineIsRefused()
{
    for (const QString &location : {dir.filePath("nowhere"), QString(VELMORA_OTHER_LAYOUT_ENGINE_DIR)}) {
        EngineLibrary::setSearchLocations({location});
        QLibrary refused;
        QVERIFY(!EngineLibrary::resolveCreateObject(refused));
        QVERIFY(!refused.isLoaded());
    }
}

void TestEngineContract::listsTheItemsWithTheirProperties()
{
    ComPtr<IInArchive> archive = openArchive(dir.filePath("sample.zip"));
    QVERIFY(archive);
    UInt32 count = 0;
    QCOMPARE(archive->GetNumberOfItems(&count), S_OK);
    QStringList seen;
    for (UInt32 i = 0; i < count; ++i) {
        QString line;
        for (const PROPID id : {kpidPath, kpidIsDir, kpidSize, kpidAttrib, kpidMTime}) {
            PropertyValue value;
            QCOMPARE(archive->GetProperty(i, id, &value), S_OK);
            if (value.vt == VT_BSTR)
                line += QString::fromWCharArray(value.bstrVal, int(BstrLength(value.bstrVal)));
            else if (value.vt == VT_BOOL)
                line += value.boolVal ? " dir" : " file";
            else if (value.vt == VT_UI8)
                line += QString(" %1").arg(value.uhVal.QuadPart);
            else if (value.vt == VT_UI4) // made on Unix: the 0x8000 flag, the mode in the high half
                line += QString(" %1 %2").arg(value.ulVal & 0x8010, 0, 16).arg(value.ulVal >> 16, 0, 8);
            else if (value.vt == VT_FILETIME && id == kpidMTime && line.startsWith("data/payload"))
                line += QString(" %1").arg(
                    ((UInt64(value.filetime.dwHighDateTime) << 32) | value.filetime.dwLowDateTime) /
                        10000000 -
                    11644473600ull);
        }
        seen << line;
    }
    QCOMPARE(seen, (QStringList{"readme.txt file 15 8000 100644", "data dir 0 8010 40755",
                                "data/empty dir 0 8010 40755",
                                QString("data/payload.bin file 307200 8000 100640 %1").arg(kPayloadTime),
                                "tools dir 0 8010 40755", "tools/run.sh file 19 8000 100755"}));
    PropertyValue flags;
    QCOMPARE(archive->GetArchiveProperty(kpidErrorFlags, &flags), S_OK);
    QVERIFY(flags.vt == VT_EMPTY || (flags.vt == VT_UI4 && flags.ulVal == 0));
}

void TestEngineContract::extractsWhatItCompressed()
{
    const QString out = dir.filePath("out");
    QVERIFY(QDir().mkpath(out));
    QCOMPARE(Q7Zip::getInstance()->extract(dir.filePath("sample.zip"), out), 0);
    QFile extracted(out + "/data/payload.bin");
    QVERIFY(extracted.open(QIODevice::ReadOnly) && extracted.readAll() == payload);
    QVERIFY(QFileInfo(out + "/tools/run.sh").isExecutable() && QFileInfo(out + "/data/empty").isDir());
}

void TestEngineContract::callbacksRefuseWhatTheEngineNeverAsks()
{
    QCOMPARE(callbackBoundary([]() -> HRESULT { throw std::bad_alloc(); }), E_OUTOFMEMORY);
    QCOMPARE(callbackBoundary([]() -> HRESULT { throw std::runtime_error("x"); }), E_FAIL);

    ComPtr<IInArchive> archive = openArchive(dir.filePath("sample.zip"));
    QVERIFY(archive);
    auto *extract = new CArchiveExtractCallback;
    ComPtr<IArchiveExtractCallback> extractHeld(extract);
    extract->Init(archive.get(), toWideString(dir.filePath("never")), nullptr);
    ISequentialOutStream *output = nullptr;
    QCOMPARE(extract->GetStream(6, &output, kAskExtract), E_INVALIDARG);
    BSTR password = nullptr;
    QCOMPARE(extract->CryptoGetTextPassword(&password), E_ABORT);
    QVERIFY(!QFileInfo::exists(dir.filePath("never")));

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

QTEST_GUILESS_MAIN(TestEngineContract)
#include "tst_enginecontract.moc"
