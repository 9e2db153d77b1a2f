// Compression through the archive worker on its own thread, checked by the reference tool and by a round
// trip through our own extraction.

#include "tests/archive/ArchiveWorkerHarness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class tst_ArchiveCompress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void compressesFilesAndDirectoryUnderWorkingPath();
    void namesEntryOutsideWorkingPathEmpty();
    void stopsBeforeArchiveExistsWhenEntryIsMissing();
    void reportsFileThatCannotBeOpened();

private:
    ArchiveWorkerHarness harness;
    QTemporaryDir scratch;
};

void tst_ArchiveCompress::initTestCase()
{
    QVERIFY(scratch.isValid());
    QCOMPARE(harness.start(), 0);
}

void tst_ArchiveCompress::compressesFilesAndDirectoryUnderWorkingPath()
{
    const QString work = scratch.filePath("work/");
    const QByteArray big = Fixture::randomBytes(2 * 1024 * 1024 + 3, 11);
    QVERIFY(Fixture::writeFile(work + "data/a.txt", "alpha"));
    QVERIFY(Fixture::writeFile(work + "data/sub/b.bin", big));
    QVERIFY(Fixture::writeFile(work + "data/run.sh", "#!/bin/sh\n"));
    QVERIFY(
        QFile::setPermissions(work + "data/run.sh", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QStringList files{work + "data/a.txt", work + "data/sub", work + "data/sub/b.bin",
                            work + "data/run.sh"};
    const QString archive = scratch.filePath("made.zip");

    QCOMPARE(harness.compress(archive, files, work), 0);
    const WorkerSignalRecorder &seen = harness.recorder;
    QCOMPARE(seen.results.size(), 1);
    QCOMPARE(seen.results[0].operation, Q7Zip::Q7ZIP_COMPRESS);
    QCOMPARE(seen.results[0].archive, archive);
    QCOMPARE(seen.foreignThreadDeliveries, 0);
    // The engine asks for the data of files only.
    QCOMPARE(seen.compressingNames, (QStringList{"data/a.txt", "data/sub/b.bin", "data/run.sh"}));
    QVERIFY(WorkerSignalRecorder::growsToTotal(seen.compressProgress));
    // The engine's total covers the data and its own headers.
    QVERIFY(seen.compressProgress.first().value >= quint64(big.size() + 5 + 10));

    QVERIFY(Fixture::run("7zz", {"t", "-bd", archive}));

    const QString out = scratch.filePath("made-out");
    QVERIFY(QDir().mkpath(out));
    QCOMPARE(harness.extract(archive, out), 0);
    QCOMPARE(Fixture::listTree(out),
             (QStringList{"data", "data/a.txt", "data/run.sh", "data/sub", "data/sub/b.bin"}));
    QCOMPARE(Fixture::readFile(out + "/data/a.txt"), QByteArray("alpha"));
    QCOMPARE(Fixture::readFile(out + "/data/sub/b.bin"), big);
    QVERIFY(QFileInfo(out + "/data/run.sh").isExecutable());
}

void tst_ArchiveCompress::namesEntryOutsideWorkingPathEmpty()
{
    const QString outside = scratch.filePath("elsewhere/outside.txt");
    QVERIFY(Fixture::writeFile(outside, "outside"));
    const QString archive = scratch.filePath("outside.zip");

    QCOMPARE(harness.compress(archive, {outside}, scratch.filePath("work/")), 0);
    QCOMPARE(harness.recorder.compressingNames, QStringList{"[Content]"});

    const QString out = scratch.filePath("outside-out");
    QVERIFY(QDir().mkpath(out));
    QCOMPARE(harness.extract(archive, out), 0);
    QCOMPARE(Fixture::listTree(out), QStringList{"[Content]"});
    QCOMPARE(Fixture::readFile(out + "/[Content]"), QByteArray("outside"));
}

void tst_ArchiveCompress::stopsBeforeArchiveExistsWhenEntryIsMissing()
{
    const QString present = scratch.filePath("work/present.txt");
    QVERIFY(Fixture::writeFile(present, "here"));
    const QString missing = scratch.filePath("work/missing.txt");
    const QString archive = scratch.filePath("never.zip");

    QCOMPARE(harness.compress(archive, {present, missing}, scratch.filePath("work/")), 1);
    QVERIFY(!QFileInfo::exists(archive));
    QVERIFY(harness.log.lines().contains(QStringLiteral("Can't find file \"%1\"").arg(missing)));

    // An archive that cannot be created fails the same way.
    const QString unwritable = scratch.filePath("no-such-dir/never.zip");
    QCOMPARE(harness.compress(unwritable, {present}, scratch.filePath("work/")), 1);
    QVERIFY(harness.log.containsRun({"Error: ", "", "can't create archive file", ""}));
}

void tst_ArchiveCompress::reportsFileThatCannotBeOpened()
{
    // Running as root, permissions do not stop a read; a socket is found like a file but cannot be opened.
    const QString work = scratch.filePath("sock/");
    QVERIFY(Fixture::writeFile(work + "good.txt", "good"));
    const QString socketPath = work + "endpoint";
    QVERIFY(Fixture::run(
        "python3", {"-c", "import socket,sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])", socketPath}));
    QVERIFY(QFileInfo::exists(socketPath));
    const QString archive = scratch.filePath("partial.zip");

    QCOMPARE(harness.compress(archive, {work + "good.txt", socketPath}, work), 1);
    QVERIFY(harness.log.containsRun({"", "Error: ", "", "WARNING: can't open file", ""}));
    QVERIFY(harness.log.containsRun({"", "Error: ", "", "Error for file", "", socketPath}));

    // The file that could be read is in a valid archive.
    QVERIFY(Fixture::run("7zz", {"t", "-bd", archive}));
    const QString out = scratch.filePath("partial-out");
    QVERIFY(QDir().mkpath(out));
    QCOMPARE(harness.extract(archive, out), 0);
    QCOMPARE(Fixture::listTree(out), QStringList{"good.txt"});
}

QTEST_GUILESS_MAIN(tst_ArchiveCompress)
#include "tst_archive_compress.moc"
