// A stop request from the GUI thread while the archive worker extracts a large package on its thread. The
// request holds for the rest of the process (the application is quitting): hence an executable of its own.

#include "tests/archive/ArchiveWorkerHarness.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Requests the stop at the first progress report inside the package's one item.
class StopOnProgress : public QObject
{
    Q_OBJECT

public:
    quint64 stoppedAt = 0;

public slots:
    void onCompleteValue(const quint64 completeValue)
    {
        if (stoppedAt == 0 && completeValue > 0) {
            stoppedAt = completeValue;
            Q7Zip::getInstance()->requestStop();
        }
    }
};

class tst_ArchiveStop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stopsARunningExtractionForGood();

private:
    ArchiveWorkerHarness harness;
    QTemporaryDir scratch;
};

void tst_ArchiveStop::initTestCase()
{
    QVERIFY(scratch.isValid());
    QCOMPARE(harness.start(), 0);
}

void tst_ArchiveStop::stopsARunningExtractionForGood()
{
    // Stored, so the engine writes the item as it reads it; the source is sparse, the package is not.
    constexpr qint64 kItemSize = qint64(300) << 20;
    const QString source = scratch.filePath("source");
    QVERIFY(QDir().mkpath(source));
    QFile item(source + "/big.bin");
    QVERIFY(item.open(QIODevice::WriteOnly) && item.resize(kItemSize));
    item.close();
    const QString archive = scratch.filePath("large.zip");
    QVERIFY(Fixture::run("7zz", {"a", "-tzip", "-mx0", "-bd", archive, "big.bin"}, source));

    // The worker waits inside that progress report until the GUI thread has requested the stop, so the
    // request always lands while the engine is in the middle of writing the item.
    StopOnProgress stopper;
    QVERIFY(QObject::connect(Q7Zip::getInstance(), SIGNAL(extract_completeValue_signal(const quint64)),
                             &stopper, SLOT(onCompleteValue(const quint64)), Qt::BlockingQueuedConnection));
    const QString out = scratch.filePath("out");
    QVERIFY(QDir().mkpath(out));

    QCOMPARE(harness.extract(archive, out), 1);
    QVERIFY(stopper.stoppedAt > 0 && stopper.stoppedAt < quint64(kItemSize));
    QCOMPARE(harness.recorder.extractProgress.last().value, stopper.stoppedAt);
    QVERIFY(harness.log.containsRun({"Extract Error", "", "Extraction stopped on request"}));
    // The half-written item does not stay behind.
    QCOMPARE(Fixture::listTree(out), QStringList());

    // Every later extraction stops before it writes anything.
    const QString small = scratch.filePath("small.zip");
    QVERIFY(Fixture::pythonZip(small, R"([{"name": "dir/a.txt", "data": "a"}])"));
    QCOMPARE(harness.extract(small, out), 1);
    QVERIFY(harness.log.containsRun({"Extract Error", "", "Extraction stopped on request"}));
    QCOMPARE(Fixture::listTree(out), QStringList());
}

QTEST_GUILESS_MAIN(tst_ArchiveStop)
#include "tst_archive_stop.moc"
