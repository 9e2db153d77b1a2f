#include "tests/archive/WorkerSignalRecorder.h"

#include <QThread>

void WorkerSignalRecorder::attach(Q7Zip *worker)
{
    connect(worker, SIGNAL(threadStarted_signal(int)), this, SLOT(onThreadStarted(int)),
            Qt::QueuedConnection);
    connect(worker, SIGNAL(operation_result_signal(Q7Zip::Operation, const QString, int)), this,
            SLOT(onResult(Q7Zip::Operation, const QString, int)), Qt::QueuedConnection);
    connect(worker, SIGNAL(extract_filesize_signal(const quint64)), this,
            SLOT(onExtractFileSize(const quint64)), Qt::QueuedConnection);
    connect(worker, SIGNAL(extract_completeValue_signal(const quint64)), this,
            SLOT(onExtractCompleteValue(const quint64)), Qt::QueuedConnection);
    connect(worker, SIGNAL(extracting_filename_signal(QString)), this, SLOT(onExtractingFileName(QString)),
            Qt::QueuedConnection);
    connect(worker, SIGNAL(compress_filesize_signal(const quint64)), this,
            SLOT(onCompressFileSize(const quint64)), Qt::QueuedConnection);
    connect(worker, SIGNAL(compress_completeValue_signal(const quint64)), this,
            SLOT(onCompressCompleteValue(const quint64)), Qt::QueuedConnection);
    connect(worker, SIGNAL(compressing_filename_signal(QString)), this, SLOT(onCompressingFileName(QString)),
            Qt::QueuedConnection);
}

bool WorkerSignalRecorder::growsToTotal(const QList<Progress> &progress)
{
    if (progress.size() < 2 || progress.first().kind != 'T')
        return false;
    quint64 previous = 0;
    for (int i = 1; i < progress.size(); ++i) {
        if (progress[i].kind != 'C' || progress[i].value < previous)
            return false;
        previous = progress[i].value;
    }
    return previous == progress.first().value;
}

void WorkerSignalRecorder::clear()
{
    threadStarted.clear();
    results.clear();
    extractProgress.clear();
    compressProgress.clear();
    extractingNames.clear();
    compressingNames.clear();
    foreignThreadDeliveries = 0;
}

void WorkerSignalRecorder::noteThread()
{
    if (QThread::currentThread() != thread())
        ++foreignThreadDeliveries;
}

void WorkerSignalRecorder::onThreadStarted(int result)
{
    noteThread();
    threadStarted.append(result);
}

void WorkerSignalRecorder::onResult(Q7Zip::Operation operation, const QString archive, int result)
{
    noteThread();
    results.append({operation, archive, result});
}

void WorkerSignalRecorder::onExtractFileSize(const quint64 filesize)
{
    noteThread();
    extractProgress.append({'T', filesize});
}

void WorkerSignalRecorder::onExtractCompleteValue(const quint64 completeValue)
{
    noteThread();
    extractProgress.append({'C', completeValue});
}

void WorkerSignalRecorder::onExtractingFileName(QString filename)
{
    noteThread();
    extractingNames.append(filename);
}

void WorkerSignalRecorder::onCompressFileSize(const quint64 filesize)
{
    noteThread();
    compressProgress.append({'T', filesize});
}

void WorkerSignalRecorder::onCompressCompleteValue(const quint64 completeValue)
{
    noteThread();
    compressProgress.append({'C', completeValue});
}

void WorkerSignalRecorder::onCompressingFileName(QString filename)
{
    noteThread();
    compressingNames.append(filename);
}
