#pragma once

#include <QString>
#include <QtGlobal>

// What both package pipelines show in the main window: the step caption, the overall bar (0-33
// downloading, 34 checking, 66-99 extracting, 100 done), the step bar, and the idle state a run ends in.
namespace PipelineWindow {

// The run begins: caption "Preparing...", overall bar at 0, both shown.
void showPreparing();

// A download progress report. A negative total (size unknown) hides the step bar; a total of 0
// leaves the overall bar where it is.
void showDownloadProgress(const QString &caption, qint64 received, qint64 total);

// The download is complete: caption "Package Integrity Check (2/3)", step bar 0, overall bar 34.
void showIntegrityCheck();

// The package passed: overall bar 66, step bar ready for 0..100.
void showCheckPassed();

// The extraction has been requested: caption "Extracting Package (3/3)".
void showExtracting();

// The step bar now counts to total (any 64-bit size).
void setStepTotal(quint64 total);

// Extraction progress: done of the step bar's total, mapped onto 66..99 of the overall bar.
void showExtractionValue(quint64 done);

// The extraction succeeded: overall bar 100, step bar and detail line hidden, the given caption.
void showExtractionSucceeded(const QString &caption);

// The idle state every failed run ends in: bars, caption and detail line cleared and hidden, the
// main button enabled.
void resetToIdle();

// A modal failure box titled "Launcher" with message centred in one paragraph.
void reportFailure(const QString &message);

} // namespace PipelineWindow
