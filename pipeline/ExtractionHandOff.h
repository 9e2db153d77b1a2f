#pragma once

#include "archive/Q7Zip.h"

#include <QString>

class QObject;

// The pipelines' side of the archive worker. The process-wide Q7Zip instance runs on one worker thread,
// named "Launcher", created by the first hand-off and stopped when the application object goes away.
// Each hand-off connects the worker's answers to the handing pipeline; that pipeline's result ends
// the connection again, so a later run (after a failed one) is answered exactly once and only by its
// own pipeline. The pipeline must have the slots WorkerThread_Started(int),
// Operation_Result(Q7Zip::Operation,QString,int), ExtractRange(quint64) and ExtractionValue(quint64).
namespace ExtractionHandOff {

// Connects the worker to pipeline, has it check its engine, shows "Extracting Package (3/3)" and
// requests the extraction of archive into outputDirectory.
void start(QObject *pipeline, const QString &archive, const QString &outputDirectory);

// WorkerThread_Started: an engine that cannot be loaded is reported and ends the application (-1).
void checkEngine(int result);

// Operation_Result, the part both pipelines share: the worker stops answering pipeline, the package
// file is removed, and a failure is reported and leaves the window idle. On success the window shows
// the finished extraction with successCaption. Returns whether the extraction succeeded. Either way
// the run ends with the slot that called this: the pipeline is released once control is back in the
// event loop that delivered the result (the pauses inside the slot do not release it).
bool finish(QObject *pipeline, Q7Zip::Operation operation, const QString &archive, int result,
            const QString &successCaption);

} // namespace ExtractionHandOff
