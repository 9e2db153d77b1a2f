// How the pipelines map 64-bit byte counts onto the main window's int-valued bars.
#include "app/MainWindow.h"
#include "core/ProgressScale.h"
#include "core/ProgressView.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include <limits>
#include <memory>

namespace {
constexpr quint64 kGiB = quint64(1) << 30;
constexpr quint64 kIntMax = quint64(std::numeric_limits<int>::max());
} // namespace

class PipelineProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void overallValueOfAStep_data();
    void overallValueOfAStep();
    void shiftKeepsTotalsInIntRange_data();
    void shiftKeepsTotalsInIntRange();

    void downloadReportsOnTheBars();
    void extractionBeyond4GiB();
    void extractionWithoutOrWithZeroTotal();

private:
    Ui::MainWindow &ui() { return *m_window->ui; }

    MessageBoxWatcher m_messageBoxes;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

void PipelineProgressTest::initTestCase()
{
    m_window = LauncherUnderTest::open(m_server, "3;12;1;2;00");
}

void PipelineProgressTest::overallValueOfAStep_data()
{
    QTest::addColumn<quint64>("done");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<double>("base");
    QTest::addColumn<int>("expected");

    QTest::newRow("download start") << quint64(0) << quint64(1000) << 0.0 << 0;
    QTest::newRow("download half") << quint64(500) << quint64(1000) << 0.0 << 16;
    QTest::newRow("download complete") << quint64(1000) << quint64(1000) << 0.0 << 33;
    QTest::newRow("extraction start") << quint64(0) << quint64(1000) << 66.0 << 66;
    QTest::newRow("extraction complete") << quint64(1000) << quint64(1000) << 66.0 << 99;
    QTest::newRow("5 GiB complete") << 5 * kGiB << 5 * kGiB << 0.0 << 33;
    QTest::newRow("5 GiB, 4 done") << 4 * kGiB << 5 * kGiB << 66.0 << 92;
    QTest::newRow("zero total") << quint64(0) << quint64(0) << 0.0 << -1;
    QTest::newRow("zero total, extraction") << quint64(7) << quint64(0) << 66.0 << -1;
}

void PipelineProgressTest::overallValueOfAStep()
{
    QFETCH(quint64, done);
    QFETCH(quint64, total);
    QFETCH(double, base);
    QFETCH(int, expected);
    QCOMPARE(ProgressScale::overallValue(done, total, base), expected);
}

void PipelineProgressTest::shiftKeepsTotalsInIntRange_data()
{
    QTest::addColumn<quint64>("total");
    QTest::addColumn<int>("expected");
    QTest::newRow("0") << quint64(0) << 0;
    QTest::newRow("largest int") << kIntMax << 0;
    QTest::newRow("2 GiB") << 2 * kGiB << 1;
    QTest::newRow("5 GiB") << 5 * kGiB << 2;
    QTest::newRow("largest 64-bit") << std::numeric_limits<quint64>::max() << 33;
}

void PipelineProgressTest::shiftKeepsTotalsInIntRange()
{
    QFETCH(quint64, total);
    QFETCH(int, expected);
    QCOMPARE(ProgressScale::shiftFor(total), expected);
    QVERIFY((total >> expected) <= kIntMax);
}

void PipelineProgressTest::downloadReportsOnTheBars()
{
    const QString caption = QStringLiteral("Downloading Game Package (1/3)");
    ProgressView::current()->showPreparing();

    ProgressView::current()->showDownloadProgress(caption, 3 * kGiB, 6 * kGiB);
    QCOMPARE(ui().label->text(), caption);
    QVERIFY(!ui().progressBar_2->isHidden());
    QCOMPARE(ui().progressBar_2->value() * 2, ui().progressBar_2->maximum());
    QCOMPARE(ui().progressBar->value(), 16);

    // Size not reported: the step bar goes, the overall bar stays.
    ProgressView::current()->showDownloadProgress(caption, 4 * kGiB, -1);
    QVERIFY(ui().progressBar_2->isHidden());
    QCOMPARE(ui().progressBar->value(), 16);

    // A total of 0: an indeterminate step bar, the overall bar stays.
    ProgressView::current()->showDownloadProgress(caption, 0, 0);
    QCOMPARE(ui().progressBar_2->maximum(), 0);
    QCOMPARE(ui().progressBar->value(), 16);
}

void PipelineProgressTest::extractionBeyond4GiB()
{
    ProgressView::current()->showCheckPassed();
    ProgressView::current()->setExtractionTotal(6 * kGiB);
    ProgressView::current()->showExtractionValue(3 * kGiB);
    QCOMPARE(ui().progressBar->value(), 82);
    QCOMPARE(ui().progressBar_2->value() * 2, ui().progressBar_2->maximum());

    ProgressView::current()->showExtractionValue(6 * kGiB);
    QCOMPARE(ui().progressBar->value(), 99);
    QCOMPARE(ui().progressBar_2->value(), ui().progressBar_2->maximum());
}

void PipelineProgressTest::extractionWithoutOrWithZeroTotal()
{
    // No total reported: values count against the 0..100 of the hand-off.
    ProgressView::current()->showCheckPassed();
    ProgressView::current()->showExtractionValue(50);
    QCOMPARE(ui().progressBar->value(), 82);
    QCOMPARE(ui().progressBar_2->value(), 50);

    // A total of 0 leaves the overall bar where it is.
    ProgressView::current()->setExtractionTotal(0);
    ProgressView::current()->showExtractionValue(0);
    QCOMPARE(ui().progressBar->value(), 82);
}

QTEST_MAIN(PipelineProgressTest)
#include "tst_pipeline_progress.moc"
