#pragma once

#include "core/CurrentInstance.h"

#include <QString>
#include <QtGlobal>

// What a package run shows while it goes and how it ends: the step caption, the overall progress
// (0-33 downloading, 34 checking, 66-99 extracting, 100 done), the progress within a step, failures and
// the idle state. The main window implements it; the pipelines know nothing else of the window.
class ProgressView : public CurrentInstance<ProgressView>
{
public:
    virtual ~ProgressView() = default;

    // The run begins: caption "Preparing...", overall progress at 0.
    virtual void showPreparing() = 0;
    // A download progress report; a negative total means the size is unknown, a total of 0 says nothing
    // of the overall progress.
    virtual void showDownloadProgress(const QString &caption, qint64 received, qint64 total) = 0;
    // The download is complete: "Package Integrity Check (2/3)", overall 34.
    virtual void showIntegrityCheck() = 0;
    // The package passed: overall 66, the step counting to 100 until the extraction says its total.
    virtual void showCheckPassed() = 0;
    // The extraction has been requested: "Extracting Package (3/3)".
    virtual void showExtracting() = 0;
    // The extraction counts to total bytes (any 64-bit size).
    virtual void setExtractionTotal(quint64 total) = 0;
    // Extraction progress: done of the total, mapped onto 66..99 overall.
    virtual void showExtractionValue(quint64 done) = 0;
    // The extraction succeeded: overall 100, the step hidden, the given caption.
    virtual void showSucceeded(const QString &caption) = 0;
    // The game is installed and current: the main button offers "Play".
    virtual void showReadyToPlay() = 0;
    // A failure the user must see, as a modal box with the given title and rich text; returns when the
    // user has dismissed it.
    virtual void showFailed(const QString &title, const QString &richText) = 0;
    // The state every failed run ends in: progress cleared and hidden, the main button enabled.
    virtual void resetToIdle() = 0;
};
