#include "pipeline/ArchiveWorkerThread.h"

#include "archive/Q7Zip.h"

ArchiveWorkerThread::ArchiveWorkerThread()
{
    workerThread.setObjectName(QStringLiteral("Launcher"));
}

ArchiveWorkerThread::~ArchiveWorkerThread()
{
    stop();
}

void ArchiveWorkerThread::extract(QObject *pipeline, const QString &archive, const QString &outputDirectory)
{
    Q7Zip *worker = Q7Zip::getInstance();
    const bool firstHandOff = !workerThread.isRunning();
    if (firstHandOff) {
        worker->moveToThread(&workerThread);
        QObject::connect(&workerThread, SIGNAL(started()), worker, SLOT(threadStarted()),
                         Qt::UniqueConnection);
    }
    // Connected before the thread starts, so the engine check cannot answer before anyone listens.
    QObject::connect(worker, SIGNAL(threadStarted_signal(int)), pipeline, SLOT(WorkerThread_Started(int)),
                     Qt::QueuedConnection);
    QObject::connect(worker, SIGNAL(operation_result_signal(Q7Zip::Operation, const QString, int)), pipeline,
                     SLOT(Operation_Result(Q7Zip::Operation, const QString, int)), Qt::QueuedConnection);
    QObject::connect(worker, SIGNAL(extract_filesize_signal(const quint64)), pipeline,
                     SLOT(ExtractRange(const quint64)), Qt::QueuedConnection);
    QObject::connect(worker, SIGNAL(extract_completeValue_signal(const quint64)), pipeline,
                     SLOT(ExtractionValue(const quint64)), Qt::QueuedConnection);
    if (firstHandOff) {
        workerThread.start(QThread::InheritPriority);
    } else {
        // The thread runs already: the engine check its start made is asked for again, queued ahead of
        // this run's request.
        QMetaObject::invokeMethod(worker, "threadStarted", Qt::QueuedConnection);
    }
    emit worker->operation_signal_extract(archive, outputDirectory);
}

void ArchiveWorkerThread::release(QObject *pipeline)
{
    QObject::disconnect(Q7Zip::getInstance(), nullptr, pipeline, nullptr);
}

void ArchiveWorkerThread::stop()
{
    if (!workerThread.isRunning())
        return;
    Q7Zip::getInstance()->requestStop();
    workerThread.quit();
    workerThread.wait();
}
