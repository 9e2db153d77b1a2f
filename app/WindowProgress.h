#pragma once

#include "core/ProgressView.h"

namespace Ui {
class MainWindow;
}

// The main window's side of a package run: the caption (label), the overall bar (progressBar), the step
// bar (progressBar_2), the detail line (label_2) and the main button.
class WindowProgress : public ProgressView
{
public:
    explicit WindowProgress(Ui::MainWindow &form);

    void showPreparing() override;
    void showDownloadProgress(const QString &caption, qint64 received, qint64 total) override;
    void showIntegrityCheck() override;
    void showCheckPassed() override;
    void showExtracting() override;
    void setExtractionTotal(quint64 total) override;
    void showExtractionValue(quint64 done) override;
    void showSucceeded(const QString &caption) override;
    void showReadyToPlay() override;
    void showFailed(const QString &title, const QString &richText) override;
    void resetToIdle() override;

private:
    void setStepTotal(quint64 total);
    void setStepValue(quint64 done);
    void setOverallValue(int value);

    Ui::MainWindow &ui;
    // The step bar takes ints: its range and values are shifted right together by this many bits, so a
    // total of any 64-bit size keeps its true proportion.
    int stepShift = 0;
};
