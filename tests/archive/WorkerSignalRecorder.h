#pragma once

#include "archive/Q7Zip.h"

#include <QList>
#include <QObject>
#include <QStringList>

// Receives every answer signal of the archive worker through queued connections, on the thread it lives
// on, and keeps them in arrival order.
class WorkerSignalRecorder : public QObject
{
    Q_OBJECT

public:
    struct Result
    {
        Q7Zip::Operation operation;
        QString archive;
        int result;
    };
    // 'T' a total (filesize signal), 'C' a completed value.
    struct Progress
    {
        char kind;
        quint64 value;
    };

    // True when the total came first and the completed values after it only grew, ending at the total.
    static bool growsToTotal(const QList<Progress> &progress);

    void attach(Q7Zip *worker);
    void clear();

    QList<int> threadStarted;
    QList<Result> results;
    QList<Progress> extractProgress;
    QList<Progress> compressProgress;
    QStringList extractingNames;
    QStringList compressingNames;
    // Deliveries that arrived on a thread other than the recorder's own.
    int foreignThreadDeliveries = 0;

public slots:
    void onThreadStarted(int result);
    void onResult(Q7Zip::Operation operation, const QString archive, int result);
    void onExtractFileSize(const quint64 filesize);
    void onExtractCompleteValue(const quint64 completeValue);
    void onExtractingFileName(QString filename);
    void onCompressFileSize(const quint64 filesize);
    void onCompressCompleteValue(const quint64 completeValue);
    void onCompressingFileName(QString filename);

private:
    void noteThread();
};
