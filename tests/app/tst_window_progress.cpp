// How 64-bit byte counts reach the main window's int-valued bars: the caption's step bar keeps its true
// proportion and the overall bar spans download (0-33), check (34-66) and extraction (66-99).
#include "app/MainWindowForm.h"
#include "app/WindowProgress.h"
#include "core/ProgressScale.h"

#include <QMainWindow>
#include <QProgressBar>
#include <QtTest>

#include <limits>

namespace {
constexpr quint64 kGiB = quint64(1) << 30;
} // namespace

class WindowProgressTest : public QObject
{
    Q_OBJECT

private slots:
    void shiftKeepsTotalsInIntRange_data();
    void shiftKeepsTotalsInIntRange();
    void barsShowTheStep_data();
    void barsShowTheStep();
};

void WindowProgressTest::shiftKeepsTotalsInIntRange_data()
{
    QTest::addColumn<quint64>("total");
    QTest::addColumn<int>("expected");
    QTest::newRow("largest int") << quint64(std::numeric_limits<int>::max()) << 0;
    QTest::newRow("2 GiB") << 2 * kGiB << 1;
    QTest::newRow("3 GiB") << 3 * kGiB << 1;
    QTest::newRow("5 GiB") << 5 * kGiB << 2;
    QTest::newRow("largest 64-bit") << std::numeric_limits<quint64>::max() << 33;
}

void WindowProgressTest::shiftKeepsTotalsInIntRange()
{
    QFETCH(quint64, total);
    QFETCH(int, expected);
    QCOMPARE(ProgressScale::shiftFor(total), expected);
}

void WindowProgressTest::barsShowTheStep_data()
{
    QTest::addColumn<bool>("extraction");
    QTest::addColumn<quint64>("done");
    QTest::addColumn<quint64>("total");
    QTest::addColumn<int>("overall");
    QTest::addColumn<double>("stepShare");
    QTest::newRow("download half of 6 GiB") << false << 3 * kGiB << 6 * kGiB << 16 << 0.5;
    QTest::newRow("download complete") << false << quint64(1000) << quint64(1000) << 33 << 1.0;
    QTest::newRow("extraction start") << true << quint64(0) << 3 * kGiB << 66 << 0.0;
    QTest::newRow("extraction 4 of 5 GiB") << true << 4 * kGiB << 5 * kGiB << 92 << 0.8;
    QTest::newRow("extraction complete") << true << 6 * kGiB << 6 * kGiB << 99 << 1.0;
}

void WindowProgressTest::barsShowTheStep()
{
    QFETCH(bool, extraction);
    QFETCH(quint64, done);
    QFETCH(quint64, total);
    QFETCH(int, overall);
    QFETCH(double, stepShare);
    QMainWindow window;
    Ui::MainWindow form;
    form.setupUi(&window);
    WindowProgress progress(form);

    if (extraction) {
        progress.showCheckPassed();
        progress.setExtractionTotal(total);
        progress.showExtractionValue(done);
    } else {
        progress.showDownloadProgress(QStringLiteral("Downloading"), qint64(done), qint64(total));
    }
    QCOMPARE(form.progressBar->value(), overall);
    QCOMPARE(double(form.progressBar_2->value()) / form.progressBar_2->maximum(), stepShare);
}

QTEST_MAIN(WindowProgressTest)
#include "tst_window_progress.moc"
