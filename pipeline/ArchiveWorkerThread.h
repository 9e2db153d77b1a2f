#pragma once

#include "core/CurrentInstance.h"

#include <QString>
#include <QThread>

class QObject;

// The archive worker's thread and its one owner. The application creates it before its window and lets it
// go after: going, it has a running extraction stop through the engine, ends the thread's event loop and
// waits for the thread, so the process never ends under a running worker and never waits for a whole
// extraction. The process-wide Q7Zip instance moves to this thread at the first hand-off and runs every
// engine call and callback there.
class ArchiveWorkerThread : public CurrentInstance<ArchiveWorkerThread>
{
public:
    ArchiveWorkerThread();
    ~ArchiveWorkerThread();

    // Connects the worker's answers to pipeline, which has the slots WorkerThread_Started(int),
    // Operation_Result(Q7Zip::Operation,QString,int), ExtractRange(quint64) and ExtractionValue(quint64);
    // has the engine checked, then requests the extraction of archive into outputDirectory.
    void extract(QObject *pipeline, const QString &archive, const QString &outputDirectory);

    // pipeline has its result: the worker stops answering it, so a later run (after a failed one) is
    // answered once, and only by its own pipeline.
    void release(QObject *pipeline);

    // A running extraction stops at its next write or progress report; the thread ends. Nothing is left
    // to hear the stopped extraction's result, so nothing of it is recorded as installed.
    void stop();

private:
    QThread workerThread;
};
