// The archive worker when the engine library cannot be found. A loaded library stays loaded for the rest of
// the process, so this runs in an executable of its own.

#include "archive/EngineLibrary.h"
#include "tests/archive/ArchiveWorkerHarness.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class tst_ArchiveNoEngine : public QObject
{
    Q_OBJECT

private slots:
    void reportsMissingEngineAndFailsEveryOperation();
};

void tst_ArchiveNoEngine::reportsMissingEngineAndFailsEveryOperation()
{
    QTemporaryDir scratch;
    QVERIFY(scratch.isValid());
    const QString emptyDir = scratch.filePath("no-engine-here");
    QVERIFY(QDir().mkpath(emptyDir));
    EngineLibrary::setSearchLocations({emptyDir});

    ArchiveWorkerHarness harness;
    QCOMPARE(harness.start(), 1);
    QVERIFY(harness.log.lines().contains("Q7Zip 7z.dll load failure!!!"));

    const QString archive = scratch.filePath("package.zip");
    QVERIFY(Fixture::pythonZip(archive, R"([{"name": "file.txt", "data": "content"}])"));
    const QString out = scratch.filePath("out");
    QVERIFY(QDir().mkpath(out));
    QCOMPARE(harness.extract(archive, out), 1);
    QVERIFY(harness.log.containsRun({"Error: ", "", "Can not get CreateObject", ""}));
    QCOMPARE(harness.recorder.results[0].operation, Q7Zip::Q7ZIP_EXTRACT);
    QVERIFY(Fixture::listTree(out).isEmpty());

    const QString made = scratch.filePath("made.zip");
    QCOMPARE(harness.compress(made, {archive}, scratch.path()), 1);
    QVERIFY(harness.log.containsRun({"Error: ", "", "Can not get CreateObject", ""}));
    QVERIFY(!QFileInfo::exists(made));

    // Every operation tries to load the library again: once it can be found, the next one works.
    EngineLibrary::setSearchLocations({});
    QCOMPARE(harness.extract(archive, out), 0);
    QCOMPARE(Fixture::readFile(out + "/file.txt"), QByteArray("content"));
}

QTEST_GUILESS_MAIN(tst_ArchiveNoEngine)
#include "tst_archive_noengine.moc"
