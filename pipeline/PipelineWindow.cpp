#include "pipeline/PipelineWindow.h"

#include "app/AppState.h"
#include "app/FailureBox.h"
#include "app/MainWindow.h"
#include "pipeline/ProgressScale.h"

#include <QDebug>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <limits>

namespace {

// The step bar's shift (ProgressScale::shiftFor of its total) travels with the bar, so values reported
// later are scaled like the range they belong to.
const char kStepShiftProperty[] = "velmoraStepShift";

Ui::MainWindow *form()
{
    return g_mainWindow->ui;
}

int stepShift()
{
    return form()->progressBar_2->property(kStepShiftProperty).toInt();
}

void setStepValue(quint64 done)
{
    const quint64 scaled = std::min(done >> stepShift(), quint64(std::numeric_limits<int>::max()));
    form()->progressBar_2->setValue(int(scaled));
}

void setOverallValue(int value)
{
    if (value >= 0)
        form()->progressBar->setValue(value);
}

} // namespace

void PipelineWindow::showPreparing()
{
    form()->label->show();
    form()->label->setText(QStringLiteral("Preparing..."));
    form()->progressBar->setValue(0);
    form()->progressBar->show();
}

void PipelineWindow::showDownloadProgress(const QString &caption, qint64 received, qint64 total)
{
    form()->label->setText(caption);
    if (total >= 0) {
        setStepTotal(quint64(total));
        form()->progressBar_2->show();
        setStepValue(quint64(received));
        setOverallValue(ProgressScale::overallValue(quint64(received), quint64(total), 0.0));
    } else {
        form()->progressBar_2->hide();
    }
    qDebug("%lld - %lld", received, total);
}

void PipelineWindow::showIntegrityCheck()
{
    form()->label->setText(QStringLiteral("Package Integrity Check (2/3)"));
    form()->progressBar_2->setValue(0);
    form()->progressBar->setValue(34);
}

void PipelineWindow::showCheckPassed()
{
    form()->progressBar->setValue(66);
    setStepTotal(100);
}

void PipelineWindow::showExtracting()
{
    form()->label->setText(QStringLiteral("Extracting Package (3/3)"));
}

void PipelineWindow::setStepTotal(quint64 total)
{
    const int shift = ProgressScale::shiftFor(total);
    form()->progressBar_2->setProperty(kStepShiftProperty, shift);
    form()->progressBar_2->setRange(0, int(total >> shift));
}

void PipelineWindow::showExtractionValue(quint64 done)
{
    qDebug() << done;
    const quint64 total = quint64(form()->progressBar_2->maximum()) << stepShift();
    setOverallValue(ProgressScale::overallValue(done, total, 66.0));
    setStepValue(done);
}

void PipelineWindow::showExtractionSucceeded(const QString &caption)
{
    form()->progressBar->setValue(100);
    form()->progressBar_2->hide();
    form()->label->setText(caption);
    form()->label_2->hide();
}

void PipelineWindow::resetToIdle()
{
    form()->progressBar->setValue(0);
    form()->progressBar->hide();
    form()->progressBar_2->setValue(0);
    form()->progressBar_2->hide();
    form()->label->setText(QString());
    form()->label->hide();
    form()->label_2->setText(QString());
    form()->label_2->hide();
    form()->pushButton->setEnabled(true);
}

void PipelineWindow::reportFailure(const QString &message)
{
    showFailureBox(QStringLiteral("Launcher"), centredMessage(message));
}
