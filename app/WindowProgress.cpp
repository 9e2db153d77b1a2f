#include "app/WindowProgress.h"

#include "app/FailureBox.h"
#include "app/MainWindowForm.h"
#include "core/ProgressScale.h"

#include <QDebug>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <limits>

WindowProgress::WindowProgress(Ui::MainWindow &form) : ui(form) {}

void WindowProgress::setStepTotal(quint64 total)
{
    stepShift = ProgressScale::shiftFor(total);
    ui.progressBar_2->setRange(0, int(total >> stepShift));
}

void WindowProgress::setStepValue(quint64 done)
{
    const quint64 scaled = std::min(done >> stepShift, quint64(std::numeric_limits<int>::max()));
    ui.progressBar_2->setValue(int(scaled));
}

void WindowProgress::setOverallValue(int value)
{
    if (value >= 0)
        ui.progressBar->setValue(value);
}

void WindowProgress::showPreparing()
{
    ui.label->show();
    ui.label->setText(QStringLiteral("Preparing..."));
    ui.progressBar->setValue(0);
    ui.progressBar->show();
}

void WindowProgress::showDownloadProgress(const QString &caption, qint64 received, qint64 total)
{
    ui.label->setText(caption);
    if (total >= 0) {
        setStepTotal(quint64(total));
        ui.progressBar_2->show();
        setStepValue(quint64(received));
        setOverallValue(ProgressScale::overallValue(quint64(received), quint64(total), 0.0));
    } else {
        ui.progressBar_2->hide();
    }
    qDebug("%lld - %lld", received, total);
}

void WindowProgress::showIntegrityCheck()
{
    ui.label->setText(QStringLiteral("Package Integrity Check (2/3)"));
    ui.progressBar_2->setValue(0);
    ui.progressBar->setValue(34);
}

void WindowProgress::showCheckPassed()
{
    ui.progressBar->setValue(66);
    setStepTotal(100);
}

void WindowProgress::showExtracting()
{
    ui.label->setText(QStringLiteral("Extracting Package (3/3)"));
}

void WindowProgress::setExtractionTotal(quint64 total)
{
    setStepTotal(total);
}

void WindowProgress::showExtractionValue(quint64 done)
{
    qDebug() << done;
    const quint64 total = quint64(ui.progressBar_2->maximum()) << stepShift;
    setOverallValue(ProgressScale::overallValue(done, total, 66.0));
    setStepValue(done);
}

void WindowProgress::showSucceeded(const QString &caption)
{
    ui.progressBar->setValue(100);
    ui.progressBar_2->hide();
    ui.label->setText(caption);
    ui.label_2->hide();
}

void WindowProgress::showReadyToPlay()
{
    ui.pushButton->setText(QStringLiteral("Play"));
    ui.pushButton->setEnabled(true);
    ui.progressBar->hide();
    ui.label->hide();
}

void WindowProgress::showFailed(const QString &title, const QString &richText)
{
    showFailureBox(title, richText);
}

void WindowProgress::resetToIdle()
{
    ui.progressBar->setValue(0);
    ui.progressBar->hide();
    ui.progressBar_2->setValue(0);
    ui.progressBar_2->hide();
    ui.label->setText(QString());
    ui.label->hide();
    ui.label_2->setText(QString());
    ui.label_2->hide();
    ui.pushButton->setEnabled(true);
}
