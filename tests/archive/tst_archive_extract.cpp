// Extraction through the archive worker on its own thread, with the real engine and real files.

#include "tests/archive/ArchiveWorkerHarness.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <climits>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

mode_t permissionBits(const QString &path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return 07777;
    return info.st_mode & 07777;
}

} // namespace

class tst_ArchiveExtract : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void extractsTreeMadeBySevenZip();
    void extractsPythonArchiveItems();
    void reportsArchivesThatCannotBeOpened();
    void failsOnDamagedArchives_data();
    void failsOnDamagedArchives();
    void failsOnEncryptedArchive();
    void refusesHostileItems_data();
    void refusesHostileItems();
    void writesSymbolicLinkAsPlainFile();
    void failsItemsThatCannotBeCreated_data();
    void failsItemsThatCannotBeCreated();
    void reportsWhyAWriteFailed();

private:
    // A new, empty output directory (the pipelines create theirs before they hand a package over).
    QString outputDir(const QString &name);
    // An output directory two levels inside a sandbox, so that anything written around it can be seen.
    QString sandboxOutputDir() const { return scratch.filePath("sandbox/level/out"); }

    ArchiveWorkerHarness harness;
    QTemporaryDir scratch;
};

void tst_ArchiveExtract::initTestCase()
{
    QVERIFY(scratch.isValid());
    QCOMPARE(harness.start(), 0);
    QVERIFY(harness.workerThread != QThread::currentThread());
    QCOMPARE(Q7Zip::getInstance()->thread(), harness.workerThread);
}

QString tst_ArchiveExtract::outputDir(const QString &name)
{
    const QString path = scratch.filePath(name);
    QDir(path).removeRecursively();
    QDir().mkpath(path);
    return path;
}

void tst_ArchiveExtract::extractsTreeMadeBySevenZip()
{
    const QString source = scratch.filePath("tree-src");
    const QByteArray big = Fixture::randomBytes(3 * 1024 * 1024 + 17, 7);
    QVERIFY(Fixture::writeFile(source + "/game/bin/Velmora.exe", "#!/bin/sh\necho play\n"));
    QVERIFY(QFile::setPermissions(source + "/game/bin/Velmora.exe",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                                      QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(Fixture::writeFile(source + "/game/data/levels/one/map.bin", big));
    QVERIFY(Fixture::writeFile(source + "/game/readme.txt", "hello"));
    QVERIFY(QDir().mkpath(source + "/game/empty"));
    // An odd but valid spelling: the result signal must carry it exactly as requested.
    const QString archive = scratch.path() + "/./tree.zip";
    QVERIFY(Fixture::run("7zz", {"a", "-tzip", "-bd", archive, "game"}, source));

    const QString out = outputDir("tree-out");
    QCOMPARE(harness.extract(archive, out), 0);

    const WorkerSignalRecorder &seen = harness.recorder;
    QCOMPARE(seen.results.size(), 1);
    QCOMPARE(seen.results[0].operation, Q7Zip::Q7ZIP_EXTRACT);
    QCOMPARE(seen.results[0].archive, archive);
    QCOMPARE(seen.foreignThreadDeliveries, 0);

    QCOMPARE(Fixture::listTree(out), Fixture::listTree(source));
    QCOMPARE(Fixture::readFile(out + "/game/data/levels/one/map.bin"), big);
    QCOMPARE(Fixture::readFile(out + "/game/readme.txt"), QByteArray("hello"));
    QCOMPARE(permissionBits(out + "/game/bin/Velmora.exe"), mode_t(0755));

    QVERIFY(WorkerSignalRecorder::growsToTotal(seen.extractProgress));
    QCOMPARE(seen.extractProgress.first().value, quint64(big.size() + 5 + 20));

    QVERIFY(seen.extractingNames.contains("game/data/levels/one/map.bin"));
    QVERIFY(seen.extractingNames.contains("game/empty"));
    QVERIFY(harness.log.lines().contains("Extracting   \"game/bin/Velmora.exe\""));
}

void tst_ArchiveExtract::extractsPythonArchiveItems()
{
    const QString archive = scratch.filePath("python.zip");
    QVERIFY(Fixture::pythonZip(archive, R"([
        {"name": "", "data": "nameless"},
        {"name": "a\\b\\c.txt", "data": "deep"},
        {"name": "dated.txt", "data": "old", "date": [2001, 2, 3, 4, 5, 6]},
        {"name": "olddir/", "date": [2001, 2, 3, 4, 5, 6]},
        {"name": "readonly.txt", "data": "new content", "attr": 32},
        {"name": "tool", "data": "x", "mode": 35309}
    ])"));
    const QString out = outputDir("python-out");
    // The file at the target is read-only and has a second name outside the output directory.
    const QString otherName = scratch.filePath("other-name.txt");
    QFile::remove(otherName);
    QVERIFY(Fixture::writeFile(otherName, "stale"));
    QVERIFY(QFile::setPermissions(otherName, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QCOMPARE(::link(QFile::encodeName(otherName).constData(),
                    QFile::encodeName(out + "/readonly.txt").constData()),
             0);

    QCOMPARE(harness.extract(archive, out), 0);

    QCOMPARE(Fixture::readFile(out + "/[Content]"), QByteArray("nameless"));
    QCOMPARE(Fixture::readFile(out + "/a/b/c.txt"), QByteArray("deep"));
    QVERIFY(harness.recorder.extractingNames.contains("[Content]"));
    QVERIFY(harness.recorder.extractingNames.contains("a/b/c.txt"));

    // The file keeps the stored time; a directory keeps the time it was made.
    const QDateTime stored(QDate(2001, 2, 3), QTime(4, 5, 6));
    QCOMPARE(QFileInfo(out + "/dated.txt").lastModified(), stored);
    QVERIFY(QFileInfo(out + "/olddir").isDir());
    QVERIFY(QFileInfo(out + "/olddir").lastModified().date().year() > 2020);

    // The read-only file was deleted and written anew: a rewrite in place would change the other name too.
    QCOMPARE(Fixture::readFile(out + "/readonly.txt"), QByteArray("new content"));
    QCOMPARE(Fixture::readFile(otherName), QByteArray("stale"));

    // 0104755: set-user-id is never applied, the permission bits are.
    QCOMPARE(permissionBits(out + "/tool"), mode_t(0755));
}

void tst_ArchiveExtract::reportsArchivesThatCannotBeOpened()
{
    const QString missing = scratch.filePath("no-such.zip");
    QCOMPARE(harness.extract(missing, scratch.filePath("missing-out")), 1);
    QVERIFY(harness.log.containsRun({"Error: ", "", "Can not open archive file", "", missing}));
    QCOMPARE(harness.recorder.results[0].archive, missing);

    const QString text = scratch.filePath("notes.zip");
    QVERIFY(Fixture::writeFile(text, "this is not an archive\n"));
    QCOMPARE(harness.extract(text, scratch.filePath("text-out")), 1);
    QVERIFY(harness.log.containsRun({"Error: ", "", "Can not open file as archive", "", text}));
    QVERIFY(!QFileInfo::exists(scratch.filePath("text-out")));
}

void tst_ArchiveExtract::failsOnDamagedArchives_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QStringList>("expectedRun");
    // The engine reports the cut item as failed; Extract itself succeeds.
    QTest::newRow("cut inside an item") << "cut-item" << QStringList{"Extract Error", "", "Failed items: 1"};
    // Every item is whole, only the archive's error flags tell that it ends too early.
    QTest::newRow("cut before the central directory")
        << "cut-directory" << QStringList{"Extract Error", "", "Archive error flags: 0x20"};
    QTest::newRow("corrupted stored data") << "crc" << QStringList{"  :  ", "Error : ", "CRC Failed"};
}

void tst_ArchiveExtract::failsOnDamagedArchives()
{
    QFETCH(QString, damage);
    QFETCH(QStringList, expectedRun);

    const QString archive = scratch.filePath(damage + ".zip");
    QVERIFY(Fixture::pythonZip(archive, R"([
        {"name": "first.bin", "size": 40000, "seed": 1, "stored": true},
        {"name": "second.bin", "size": 40000, "seed": 2, "stored": true}
    ])"));
    QByteArray bytes = Fixture::readFile(archive);
    // Each stored item is a 30-byte local header, its 10-character name and its data.
    const int itemSpan = 30 + 10 + 40000;
    if (damage == "cut-item")
        bytes.truncate(itemSpan + 20000);
    else if (damage == "cut-directory")
        bytes.truncate(2 * itemSpan);
    else
        bytes[itemSpan + 40 + 1234] = char(bytes[itemSpan + 40 + 1234] ^ 0x5A);
    QVERIFY(Fixture::writeFile(archive, bytes));

    const QString out = outputDir(damage + "-out");
    QCOMPARE(harness.extract(archive, out), 1);
    QVERIFY2(harness.log.containsRun(expectedRun), qPrintable(harness.log.lines().join('\n')));
    if (damage == "cut-directory")
        QCOMPARE(QFileInfo(out + "/second.bin").size(), qint64(40000));
}

void tst_ArchiveExtract::failsOnEncryptedArchive()
{
    const QString source = scratch.filePath("secret-src");
    QVERIFY(Fixture::writeFile(source + "/secret.txt", "classified"));
    const QString archive = scratch.filePath("secret.zip");
    QVERIFY(Fixture::run("7zz", {"a", "-tzip", "-bd", "-pletmein", archive, "secret.txt"}, source));

    QCOMPARE(harness.extract(archive, outputDir("secret-out")), 1);
    QVERIFY(harness.log.containsRun({"Error: ", "", "Password is not defined", ""}));
    QVERIFY(harness.log.containsRun({"Error: ", "", "Extract Error", ""}));
    QVERIFY(Fixture::readFile(scratch.filePath("secret-out/secret.txt")).isEmpty());
}

void tst_ArchiveExtract::refusesHostileItems_data()
{
    QTest::addColumn<QString>("itemName");
    QTest::addColumn<QString>("message");
    // Each name is made to land in the sandbox (around the output directory) if it were ever written.
    const QString sandbox = scratch.filePath("sandbox");
    const QString refused = "Item path leads outside the output directory";
    QTest::newRow("parent") << "../x" << refused;
    QTest::newRow("parent inside") << "a/../../x" << refused;
    QTest::newRow("absolute") << sandbox + "/abs/x" << refused;
    QTest::newRow("network") << "/" + sandbox + "/share/x" << refused;
    QTest::newRow("drive") << "C:\\x" << refused;
    QTest::newRow("backslash parents") << "..\\..\\x" << refused;
    // Longer than any file name may be: the open fails.
    QTest::newRow("long name") << QString(300, QLatin1Char('n')) << "Can not open output file";
}

void tst_ArchiveExtract::refusesHostileItems()
{
    QFETCH(QString, itemName);
    QFETCH(QString, message);
    const QString sandbox = scratch.filePath("sandbox");
    QDir(sandbox).removeRecursively();
    const QString out = sandbox + "/level/out";
    QVERIFY(QDir().mkpath(out));

    const QString archive = scratch.filePath("hostile.zip");
    const QJsonArray entries{QJsonObject{{"name", "fine.txt"}, {"data", "ok"}},
                             QJsonObject{{"name", itemName}, {"data", "escaped"}}};
    QVERIFY(Fixture::pythonZip(archive, QString::fromUtf8(QJsonDocument(entries).toJson())));

    QCOMPARE(harness.extract(archive, out), 1);
    QVERIFY(harness.log.containsRun({"Error: ", "", message, ""}));
    // Nothing but the output directory and what lies in it exists in the sandbox.
    const QStringList all = Fixture::listTree(sandbox);
    for (const QString &entry : all)
        QVERIFY2(entry == "level" || entry == "level/out" || entry.startsWith("level/out/"),
                 qPrintable(entry));
    QCOMPARE(Fixture::listTree(out), QStringList{"fine.txt"});
}

void tst_ArchiveExtract::writesSymbolicLinkAsPlainFile()
{
    const QString probe = QStringLiteral("velmora-link-probe-%1").arg(QCoreApplication::applicationPid());
    const QString archive = scratch.filePath("link.zip");
    QVERIFY(Fixture::pythonZip(archive, QStringLiteral(R"([
        {"name": "link", "data": "/tmp", "mode": 41471},
        {"name": "link/%1", "data": "escaped"}
    ])")
                                            .arg(probe)));
    const QString out = outputDir("link-out");

    QCOMPARE(harness.extract(archive, out), 1);
    QVERIFY(!QFileInfo::exists("/tmp/" + probe));
    const QFileInfo link(out + "/link");
    QVERIFY(!link.isSymLink());
    QVERIFY(link.isFile());
    QCOMPARE(Fixture::readFile(link.filePath()), QByteArray("/tmp"));
    // The link's own mode (0777) is not given to the plain file.
    QCOMPARE(permissionBits(link.filePath()) & 0111, mode_t(0));
    QVERIFY(harness.log.containsRun({"Error: ", "", "Can not open output file", ""}));
}

void tst_ArchiveExtract::failsItemsThatCannotBeCreated_data()
{
    QTest::addColumn<QJsonArray>("entries");
    // Plant output/link -> a directory outside the output directory first.
    QTest::addColumn<bool>("link");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    // How many entries the output directory holds afterwards, and a file among them holding "in".
    QTest::addColumn<int>("treeSize");
    QTest::addColumn<QString>("extracted");

    const auto file = [](const QString &name) { return QJsonObject{{"name", name}, {"data", "in"}}; };
    const QString createDirectory = "Can not create output directory";
    const QString openFile = "Can not open output file";
    QTest::newRow("directory where a file is") << QJsonArray{file("taken"), QJsonObject{{"name", "taken/"}}}
                                               << false << 1 << createDirectory << 1 << "taken";
    QTest::newRow("directory name over the limit")
        << QJsonArray{QJsonObject{{"name", "d/" + QString(NAME_MAX + 1, 'n') + "/"}}} << false << 1
        << createDirectory << 1 << "";
    QTest::newRow("file through a link") << QJsonArray{file("link/x")} << true << 1 << openFile << 1 << "";
    QTest::newRow("directory on a link") << QJsonArray{QJsonObject{{"name", "link/"}, {"mode", 040700}}}
                                         << true << 1 << createDirectory << 1 << "";
    QTest::newRow("file over a link")
        << QJsonArray{QJsonObject{{"name", "link"}, {"data", "in"}, {"mode", 0100600}}} << true << 0 << ""
        << 1 << "link";
    // Nearly as deep as a path may be, one level per two characters.
    const int levels = (PATH_MAX - 10 - sandboxOutputDir().size()) / 2;
    const QString deep = QString("d/").repeated(levels) + "f";
    QTest::newRow("thousands of levels") << QJsonArray{file(deep)} << false << 0 << "" << levels + 1 << deep;
    QTest::newRow("deeper than a path may be")
        << QJsonArray{file(QString("d/").repeated(PATH_MAX / 2) + "f")} << false << 1 << openFile << 0 << "";
}

void tst_ArchiveExtract::failsItemsThatCannotBeCreated()
{
    QFETCH(QJsonArray, entries);
    QFETCH(int, treeSize);
    QFETCH(QString, extracted);
    // rm: QDir's removal takes seconds for a tree thousands of levels deep.
    const QString sandbox = scratch.filePath("sandbox");
    const auto removeSandbox = [&] { Fixture::run("rm", {"-rf", sandbox}); };
    removeSandbox();
    const auto removeSandboxAtEnd = qScopeGuard(removeSandbox);
    const QString out = sandboxOutputDir();
    const QString outside = sandbox + "/outside";
    QVERIFY(QDir().mkpath(out));
    QVERIFY(Fixture::writeFile(outside + "/keep", "kept"));
    QVERIFY(QFile::setPermissions(outside, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup));
    QFETCH(bool, link);
    if (link)
        QVERIFY(QFile::link(outside, out + "/link"));
    const QString archive = scratch.filePath("uncreatable.zip");
    QVERIFY(Fixture::pythonZip(archive, QString::fromUtf8(QJsonDocument(entries).toJson())));

    QTEST(harness.extract(archive, out), "result");
    QFETCH(QString, message);
    if (!message.isEmpty())
        QVERIFY2(harness.log.containsRun({"Error: ", "", message, ""}),
                 qPrintable(harness.log.lines().join('\n')));
    QCOMPARE(Fixture::listTree(out).size(), treeSize);
    if (!extracted.isEmpty()) {
        QVERIFY(!QFileInfo(out + "/" + extracted).isSymLink());
        QCOMPARE(Fixture::readFile(out + "/" + extracted), QByteArray("in"));
    }
    // Nothing went through the link: what it points to keeps its content and its mode.
    QCOMPARE(Fixture::listTree(outside), QStringList{"keep"});
    QCOMPARE(Fixture::readFile(outside + "/keep"), QByteArray("kept"));
    QCOMPARE(permissionBits(outside), mode_t(0750));
}

void tst_ArchiveExtract::reportsWhyAWriteFailed()
{
    const QString archive = scratch.filePath("too-large.zip");
    QVERIFY(Fixture::pythonZip(archive, R"([{"name": "big.bin", "size": 3000000, "stored": true}])"));
    const QString out = outputDir("too-large-out");

    // Files of this process may not grow past 1 MB while the worker writes: its writes fail with EFBIG,
    // as they would with ENOSPC on a full disk.
    rlimit previous;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = 1000000;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int result = harness.extract(archive, out);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(result, 1);
    QVERIFY(harness.log.containsRun({"Error: ", "", "Can not write output file", ""}));
    QVERIFY2(harness.log.lines().contains(QString::fromLocal8Bit(std::strerror(EFBIG))),
             qPrintable(harness.log.lines().join('\n')));
    // The part that was written does not stay behind looking extracted.
    QCOMPARE(Fixture::listTree(out), QStringList());
}

QTEST_GUILESS_MAIN(tst_ArchiveExtract)
#include "tst_archive_extract.moc"
