// The archive worker, called on the test's thread with the real engine through our own interface
// declarations, callbacks and streams, into real directories: how the engine is found and refused, what
// extraction writes, and what it never writes. Each case extracts into SANDBOX/level/out, so that anything
// written around it shows.

#include "archive/EngineLibrary.h"
#include "archive/Q7Zip.h"
#include "tests/support/DebugLogCapture.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ZipBuilder.h"

#include <QtTest>

#include <climits>
#include <csignal>
#include <cstring>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

const bool kWindows = QSysInfo::productType() == "windows";
// In a zip made on Unix a backslash is part of a name: p7zip reads it as a separator, 7-Zip for Windows
// keeps it as this character of the name.
const QString kUnixBackslash = kWindows ? QString(QChar(0xF05C)) : QStringLiteral("/");

#ifndef Q_OS_WIN
mode_t permissionsOf(const QString &path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 07777;
}
#endif

// Every entry below `root` (symbolic links listed, never entered), relative to it, sorted.
QStringList listTree(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(root).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT

    QString sandboxFor(const QString &name) const { return scratch.filePath("box-" + name); }
    int extract(const QByteArray &zip)
    {
        log.clear();
        const QString archive = sandbox + "/package.zip";
        return TestFiles::write(archive, zip) ? Q7Zip::getInstance()->extract(archive, out) : -1;
    }
    QString failure() const { return log.lines().join('\n'); }

    QTemporaryDir scratch;
    DebugLogCapture log;
    QString sandbox;
    QString out;

private slots:
    void initTestCase()
    {
        QVERIFY(scratch.isValid());
        log.install();
        // Without the engine the worker fails; every later case shows that the next operation looks for the
        // library again.
        EngineLibrary::setSearchLocations({scratch.path()});
        QCOMPARE(Q7Zip::getInstance()->extract(scratch.filePath("any.zip"), scratch.path()), 1);
        QVERIFY(log.containsRun({"Error: ", "", "Can not get CreateObject", ""}));
        EngineLibrary::setSearchLocations({});
    }

    void init()
    {
        sandbox =
            sandboxFor(QTest::currentDataTag() ? QTest::currentDataTag() : QTest::currentTestFunction());
        out = sandbox + "/level/out";
        QVERIFY(QDir().mkpath(out));
    }

    void libraryIsFoundBesideTheExecutableFirstAndAnOtherLayoutIsRefused()
    {
        QCOMPARE(EngineLibrary::searchLocations(), // on Windows only the own directory counts
                 QStringList{QCoreApplication::applicationDirPath()} +
                     (kWindows ? QStringList() : QStringList{"/usr/lib/p7zip"}));
        QLibrary probe;
        EngineLibrary::setSearchLocations({scratch.filePath("nowhere"), VELMORA_OTHER_LAYOUT_ENGINE_DIR,
                                           QCoreApplication::applicationDirPath()});
        EngineLibrary::configure(probe);
        QCOMPARE(probe.fileName(), QString(VELMORA_OTHER_LAYOUT_ENGINE_DIR "/" + EngineLibrary::fileName()));
        for (const QString &location :
             {scratch.filePath("nowhere"), QString(VELMORA_OTHER_LAYOUT_ENGINE_DIR)}) {
            EngineLibrary::setSearchLocations({location});
            QLibrary refused;
            QVERIFY(!EngineLibrary::resolveCreateObject(refused) && !refused.isLoaded());
        }
        EngineLibrary::setSearchLocations({});
    }

    // Then compressed by the worker and extracted again: the same tree, contents, modes and times.
    void extractsItemsWithTheirModesAndTimesAndCompressesThemAgain()
    {
        QSignalSpy total(Q7Zip::getInstance(), SIGNAL(extract_filesize_signal(quint64)));
        QSignalSpy completed(Q7Zip::getInstance(), SIGNAL(extract_completeValue_signal(quint64)));
        QByteArray payload(300 * 1024, 0); // more than one of the engine's 128 KiB writes, incompressible
        QRandomGenerator(12345).fillRange(reinterpret_cast<quint32 *>(payload.data()), payload.size() / 4);
        const QByteArray zip = ZipBuilder()
                                   .add("game/bin/Velmora.exe", "#!/bin/sh\n", 0104755)
                                   .add("game/empty/", "", 040755)
                                   .add("game/payload.bin", payload, 0100640)
                                   .add("a\\b\\c.txt", "deep")
                                   .add("", "nameless")
                                   .bytes();
        QCOMPARE(extract(zip), 0);
        const QString deep = QStringLiteral("a%1b%1c.txt").arg(kUnixBackslash);
        const QStringList tree = listTree(out);
        QCOMPARE(tree,
                 (QStringList{"[Content]"} +
                  (kWindows ? QStringList{deep} : QStringList{"a", "a/b", "a/b/c.txt"}) +
                  QStringList{"game", "game/bin", "game/bin/Velmora.exe", "game/empty", "game/payload.bin"}));
        QCOMPARE(TestFiles::read(out + "/" + deep), QByteArray("deep"));
        QCOMPARE(TestFiles::read(out + "/[Content]"), QByteArray("nameless"));
        QVERIFY(TestFiles::read(out + "/game/payload.bin") == payload);
#ifndef Q_OS_WIN
        // The permission bits apply, never set-user-id.
        QCOMPARE(permissionsOf(out + "/game/bin/Velmora.exe"), mode_t(0755));
#endif
        QCOMPARE(QFileInfo(out + "/" + deep).lastModified(), QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)));
        QCOMPARE(total.value(0).value(0).toULongLong(), 22ull + payload.size());
        QCOMPARE(completed.last().value(0).toULongLong(), 22ull + payload.size());

        QStringList paths;
        for (const QString &entry : tree)
            paths << out + '/' + entry;
        const QString again = sandbox + "/again";
        QVERIFY(QDir().mkpath(again));
        QCOMPARE(Q7Zip::getInstance()->compress(sandbox + "/again.zip", paths, out + '/'), 0);
        QCOMPARE(Q7Zip::getInstance()->extract(sandbox + "/again.zip", again), 0);
        QCOMPARE(listTree(again), tree);
        for (const QString &entry : tree) {
            const QFileInfo before(out + '/' + entry), after(again + '/' + entry);
            QVERIFY2(TestFiles::read(after.filePath()) == TestFiles::read(before.filePath()) &&
                         after.permissions() == before.permissions() &&
                         (before.isDir() || after.lastModified() == before.lastModified()),
                     qPrintable(entry));
        }
    }

    void failedExtractionsAnswerOne_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QStringList>("expectedRun");
        QTest::newRow("missing archive")
            << "missing" << QStringList{"Error: ", "", "Can not open archive file"};
        QTest::newRow("not an archive")
            << "text" << QStringList{"Error: ", "", "Can not open file as archive"};
        // The engine reports the cut item as failed; its Extract succeeds.
        QTest::newRow("cut inside an item")
            << "cut-item" << QStringList{"Extract Error", "", "Failed items: 1"};
        // Every item is whole, only the archive's error flags tell that it ends too early.
        QTest::newRow("cut before the central directory")
            << "cut-directory" << QStringList{"Extract Error", "", "Archive error flags: 0x20"};
        QTest::newRow("corrupted stored data") << "crc" << QStringList{"  :  ", "Error : ", "CRC Failed"};
#ifndef Q_OS_WIN
        QTest::newRow("write limit") << "write limit"
                                     << QStringList{"Error: ", "", "Can not write output file"};
#endif
    }

    void failedExtractionsAnswerOne()
    {
        QFETCH(QString, damage);
        QByteArray zip = ZipBuilder()
                             .add("first.bin", QByteArray(40000, 'a'))
                             .add("second.bin", QByteArray(40000, 'b'))
                             .bytes();
        const int itemSpan = 30 + 10 + 40000;
        if (damage == "text")
            zip = "this is not an archive\n";
        else if (damage == "cut-item")
            zip.truncate(itemSpan + 20000);
        else if (damage == "cut-directory")
            zip.truncate(2 * itemSpan);
        else if (damage == "crc")
            zip[itemSpan + 40 + 1234] = 'x';
        const QString archive = sandbox + "/package.zip";
        QVERIFY(damage == "missing" || TestFiles::write(archive, zip));
        log.clear();
#ifndef Q_OS_WIN
        // Under the write limit, files of this process may not grow past 20000 bytes: the worker's writes
        // fail with EFBIG, as they would with ENOSPC on a full disk.
        rlimit previous;
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
        const rlimit limited{damage == "write limit" ? 20000 : previous.rlim_cur, previous.rlim_max};
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        const auto restore = qScopeGuard([&] { ::setrlimit(RLIMIT_FSIZE, &previous); });
#endif
        const int result = Q7Zip::getInstance()->extract(archive, out);

        QCOMPARE(result, 1);
        QFETCH(QStringList, expectedRun);
        QVERIFY2(log.containsRun(expectedRun), qPrintable(failure()));
        if (damage == "write limit") {
            QVERIFY(log.lines().contains(QString::fromLocal8Bit(std::strerror(EFBIG))));
            QCOMPARE(listTree(out), QStringList()); // the part written does not stay behind
        }
    }

    void extractionStaysInsideTheOutputDirectory_data()
    {
        QTest::addColumn<QStringList>(
            "items");                   // "NAME" a file holding "in", "NAME/" a directory, "@NAME" a link
        QTest::addColumn<bool>("link"); // out/link -> the sandbox's "outside" planted first
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("treeSize");      // entries in the output directory afterwards
        QTest::addColumn<QString>("extracted"); // a plain file among them

        const QString noDirectory = "Can not create output directory";
        const QString noFile = "Can not open output file";
        const auto refused = [](const char *tag, const QString &name) {
            QTest::newRow(tag) << QStringList{name} << false << 1
                               << "Item path leads outside the output directory" << 0 << "";
        };
        refused("parents", "a/../../x");
        if (kWindows) // one name inside the output directory
            QTest::newRow("backslash parents") << QStringList{"..\\..\\x"} << false << 0 << "" << 1
                                               << QStringLiteral("..%1..%1x").arg(kUnixBackslash);
        else
            refused("backslash parents", "..\\..\\x");
        refused("absolute", sandboxFor("absolute") + "/x");
        refused("network", "/" + sandboxFor("network") + "/x");
        refused("drive", "C:\\x");
        QTest::newRow("directory where a file is")
            << QStringList{"taken", "taken/"} << false << 1 << noDirectory << 1 << "taken";
#ifdef Q_OS_WIN
        refused("device", "CON");
        refused("device in a folder", "dir/Aux.txt");
        refused("stream", "file:stream");
#else
        // The engine itself refuses to open an archive with such a name.
        QTest::newRow("NUL") << QStringList{QStringLiteral("x") + QChar(0) + "y"} << false << 1
                             << "Can not open file as archive" << 0 << "";
        QTest::newRow("name over the limit")
            << QStringList{QString(NAME_MAX + 1, 'n')} << false << 1 << noFile << 0 << "";
        QTest::newRow("directory name over the limit")
            << QStringList{"d/" + QString(NAME_MAX + 1, 'n') + "/"} << false << 1 << noDirectory << 1 << "";
        QTest::newRow("file through a link") << QStringList{"link/x"} << true << 1 << noFile << 1 << "";
        QTest::newRow("directory on a link") << QStringList{"link/"} << true << 1 << noDirectory << 1 << "";
        QTest::newRow("file over a link") << QStringList{"link"} << true << 0 << "" << 1 << "link";
        QTest::newRow("link item") << QStringList{"@link", "link/x"} << false << 1 << noFile << 1 << "link";
        // Nearly as deep as a path may be, one level per two characters.
        const int levels = (PATH_MAX - 10 - (sandboxFor("thousands of levels") + "/level/out").size()) / 2;
        const QString deep = QString("d/").repeated(levels) + "f";
        QTest::newRow("thousands of levels") << QStringList{deep} << false << 0 << "" << levels + 1 << deep;
        QTest::newRow("deeper than a path may be")
            << QStringList{QString("d/").repeated(PATH_MAX / 2) + "f"} << false << 1 << noFile << 0 << "";
#endif
    }

    void extractionStaysInsideTheOutputDirectory()
    {
        QFETCH(QStringList, items);
        QFETCH(QString, message);
        QFETCH(QString, extracted);
        const QString outside = sandbox + "/outside";
        QVERIFY(TestFiles::write(outside + "/keep", "kept"));
#ifndef Q_OS_WIN
        QVERIFY(::chmod(QFile::encodeName(outside).constData(), 0750) == 0);
#endif
        QFETCH(bool, link);
        QVERIFY(!link || QFile::link(outside, out + "/link"));
        ZipBuilder zip;
        for (const QString &item : items) {
            if (item.startsWith('@'))
                zip.add(item.mid(1).toUtf8(), "../../outside", 0120777);
            else
                zip.add(item.toUtf8(), item.endsWith('/') ? "" : "in", item.endsWith('/') ? 040755 : 0100644);
        }

        QTEST(extract(zip.bytes()), "result");
        QVERIFY2(message.isEmpty() || log.containsRun({"Error: ", "", message, ""}), qPrintable(failure()));
        QTEST(int(listTree(out).size()), "treeSize");
        if (!extracted.isEmpty())
            QVERIFY(QFileInfo(out + "/" + extracted).isFile() &&
                    !QFileInfo(out + "/" + extracted).isSymLink());
        // Nothing was written or chmod-ed beside the output directory, through a link or otherwise.
        const QStringList around{"level", "level/out", "outside", "outside/keep", "package.zip"};
        for (const QString &entry : listTree(sandbox))
            QVERIFY2(entry.startsWith("level/out/") || around.contains(entry), qPrintable(entry));
        QCOMPARE(TestFiles::read(outside + "/keep"), QByteArray("kept"));
#ifndef Q_OS_WIN
        QCOMPARE(permissionsOf(outside), mode_t(0750));
#endif
    }

    // Last: a stop holds for the rest of the process.
    void stopEndsThisAndEveryLaterExtraction()
    {
        constexpr int kItemSize = 32 << 20;
        QSignalSpy completed(Q7Zip::getInstance(), SIGNAL(extract_completeValue_signal(quint64)));
        quint64 stoppedAt = 0;
        const QObject connection; // ends with this function, as `stoppedAt` does
        connect(Q7Zip::getInstance(), &Q7Zip::extract_completeValue_signal, &connection, [&](quint64 value) {
            if (stoppedAt == 0 && value > 0) {
                stoppedAt = value;
                Q7Zip::getInstance()->requestStop();
            }
        });

        QCOMPARE(extract(ZipBuilder().add("big.bin", QByteArray(kItemSize, 'x')).bytes()), 1);
        QVERIFY(stoppedAt > 0 && stoppedAt < quint64(kItemSize));
        QCOMPARE(completed.last().value(0).toULongLong(), stoppedAt);
        // The half-written item does not stay behind, and a later extraction does not start.
        for (const QByteArray &zip : {QByteArray(), ZipBuilder().add("dir/a.txt", "a").bytes()}) {
            QVERIFY(zip.isEmpty() || extract(zip) == 1);
            QVERIFY(log.containsRun({"Extract Error", "", "Extraction stopped on request"}));
            QCOMPARE(listTree(out), QStringList());
        }
    }
};

QTEST_GUILESS_MAIN(TestArchive)
#include "tst_archive.moc"
