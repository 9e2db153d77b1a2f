#pragma once

#include "archive/Q7Zip.h"

#include <QObject>
#include <QPointer>
#include <QString>

class ProgressView;
class QFile;
class QNetworkAccessManager;
class QNetworkReply;

// One package run, the steps both package pipelines share: download the package into TEMP with progress,
// check it, hand it to the archive worker, and end either in what follows a successful extraction or in
// the idle state with the reason shown. The run owns its transfer (manager, reply, file) and releases it,
// and itself, once the run is over; a new attempt is a new object.
//
// Redirects are followed here rather than by the network library, hop by hop: a reply that follows a
// redirect on its own forgets its read-buffer limit and buffers the whole package in memory. Only http
// and https addresses are followed, never from https to http. A hop's signals may come in any order and
// some may still be queued when its run is over (a reply can be finished as it is created), so the slots
// act only for the run's current reply, and a run that is over has none.
class PackagePipeline : public QObject
{
    Q_OBJECT

public:
    ~PackagePipeline() override;

    // Takes the installation's lock (another launcher installing here is told to the user), prepares the
    // directories and starts the download.
    void startDownload();

protected:
    // Where a package comes from and goes, and what its steps are called.
    struct Package
    {
        QString url;             // the download address
        QString path;            // the downloaded file, below TEMP
        QString outputDirectory; // where it is extracted
        QString downloadCaption; // the caption of the download step
        QString successCaption;  // the caption once it is extracted
    };

    PackagePipeline(QObject *parent, Package package);

    const Package &package() const { return details; }

    // What differs between the runs of the two packages. Makes the directories the run writes to, as they
    // must be before the download.
    virtual void prepareDirectories() = 0;
    // Whether the downloaded package may be installed; a refused package is reported here.
    [[nodiscard]] virtual bool verifyPackage() = 0;
    // The extraction succeeded and its success is shown: finish the installation.
    virtual void afterExtraction() = 0;

    // Shows a failure in the "Launcher" box and leaves the window idle.
    void fail(const QString &message);
    ProgressView &view() const;

private slots:
    void onDownloadProgress(qint64 received, qint64 total);
    void onFinished(QNetworkReply *finishedReply);
    void onReadyRead();
    void onReplyFinished();
    void WorkerThread_Started(int result);
    void Operation_Result(Q7Zip::Operation operation, const QString archive_filename, int result);
    void ExtractRange(const quint64 val);
    void ExtractionValue(const quint64 val);

private:
    enum class Outcome {
        Downloaded, // the package is complete: file closed, the check step shown, the fixed pause taken
        Redirected, // reply is now the next hop's
        Failed,     // the reason is shown; the window is idle again and the run released
        Ignored,    // not the current reply: an earlier hop, or a run already over
        Stopped,    // the application is quitting: the run ends without a word
    };

    QNetworkReply *get(const QUrl &url);
    bool isCurrent(const QObject *sender) const;
    Outcome finishTransfer(QNetworkReply *finishedReply);
    Outcome failTransfer(const QString &reason);
    void releaseTransfer();
    void abortOnQuit();

    const Package details;
    QPointer<QNetworkAccessManager> manager;
    QPointer<QNetworkReply> reply;
    QPointer<QFile> file;
};
