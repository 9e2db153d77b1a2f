#include "pipeline/ExtractionHandOff.h"

#include "app/FailureBox.h"
#include "pipeline/PipelineWindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QThread>

namespace {

QThread *workerThread = nullptr;

// Runs as the application object is destroyed. A closed window ends the process promptly: the engine
// gives up a running extraction at its next write or progress report, the worker's event loop ends, and
// the process never ends under a running worker. Nothing is left to hear the stopped extraction's result,
// so nothing of it is recorded as installed.
void stopWorkerThread()
{
    Q7Zip::getInstance()->requestStop();
    workerThread->quit();
    workerThread->wait();
}

} // namespace

void ExtractionHandOff::start(QObject *pipeline, const QString &archive, const QString &outputDirectory)
{
    Q7Zip *worker = Q7Zip::getInstance();
    const bool firstHandOff = !workerThread;
    if (firstHandOff) {
        workerThread = new QThread;
        worker->moveToThread(workerThread);
        workerThread->setObjectName(QStringLiteral("Launcher"));
        QObject::connect(workerThread, SIGNAL(started()), worker, SLOT(threadStarted()));
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
        workerThread->start(QThread::InheritPriority);
        qAddPostRoutine(stopWorkerThread);
    } else {
        // The thread runs already: the engine check its start made is asked for again, queued ahead
        // of this run's request.
        QMetaObject::invokeMethod(worker, "threadStarted", Qt::QueuedConnection);
    }
    PipelineWindow::showExtracting();
    emit worker->operation_signal_extract(archive, outputDirectory);
}

void ExtractionHandOff::checkEngine(int result)
{
    if (result == 0)
        return;
    showFailureBox(QStringLiteral("Q7Zip"),
                   QStringLiteral("<html><head/><body><p align=\"center\">7z.dll</p>"
                                  "<p align=\"center\"> Load Failure!!!</p></body></html>"));
    QCoreApplication::exit(-1);
}

bool ExtractionHandOff::finish(QObject *pipeline, Q7Zip::Operation operation, const QString &archive,
                               int result, const QString &successCaption)
{
    QObject::disconnect(Q7Zip::getInstance(), nullptr, pipeline, nullptr);
    pipeline->deleteLater();
    qDebug() << "Operation_Result:" << operation << "," << result;
    if (result != 0) {
        PipelineWindow::reportFailure(QStringLiteral("Failed to extract package!\nPlease try again later."));
        PipelineWindow::resetToIdle();
        QFile::remove(archive);
        return false;
    }
    qDebug() << archive << "extract complete.";
    PipelineWindow::showExtractionSucceeded(successCaption);
    QFile::remove(archive);
    return true;
}
