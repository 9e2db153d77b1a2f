#pragma once

#include "archive/Q7Zip.h"
#include "core/PartialDownload.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class ProgressView;
class QFile;
class QNetworkAccessManager;
class QNetworkReply;

// One package run, the steps both package pipelines share: download the package into TEMP with progress,
// check it, hand it to the archive worker, and end either in what follows a successful extraction or in
// the idle state with the reason shown. The run owns its transfer (manager, reply, file) and releases it,
// and itself, once the run is over; a new attempt is a new object.
//
// A download never starts over without need: a partial package an earlier attempt left (in this run or
// another) is continued with a range request, and a transfer that drops or stalls is tried again a few
// times, after growing waits, before the user is told. The check still decides: a continued package that
// fails it is downloaded once more from the start.
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
    // directories and starts the download. Returns whether the run began; a refusal has been shown.
    bool startDownload();

    // Test-only: the wait before the first retry of a transfer (each further one waits twice as long).
    static void setFirstRetryWaitForTesting(int milliseconds);

protected:
    // Where a package comes from and goes, and what its steps are called.
    struct Package
    {
        QString url;             // the download address
        QString release;         // which release the package belongs to: a partial one of another is
                                 // never continued
        QString path;            // the downloaded file, below TEMP
        QString outputDirectory; // where it is extracted
        QString downloadCaption; // the caption of the download step
        QString successCaption;  // the caption once it is extracted
    };

    PackagePipeline(QObject *parent, Package package);

    const Package &package() const { return details; }

    // What differs between the runs of the two packages. Whether the download may begin: a refusal is
    // reported here, before anything is written.
    [[nodiscard]] virtual bool mayDownload() { return true; }
    // Makes the directories the run writes to, as they must be before the download.
    virtual void prepareDirectories() = 0;
    // The MD5 the release published for the package, if it publishes one.
    [[nodiscard]] virtual std::optional<QString> publishedHash() = 0;
    // The package's SHA-256 that the publisher signed; empty when releases are not signed.
    [[nodiscard]] virtual QString signedSha256() = 0;
    // The extraction succeeded and its success is shown: finish the installation.
    virtual void afterExtraction() = 0;

    // Shows a failure in the "Launcher" box, the inserted text escaped, and leaves the window idle.
    void fail(const QString &message, const QString &inserted = QString());
    ProgressView &view() const;
    // The bytes of the package already downloaded that the next request continues.
    [[nodiscard]] qint64 resumableSize() { return partial.resumableSize(); }

private slots:
    void onDownloadProgress(qint64 received, qint64 total);
    void onFinished(QNetworkReply *finishedReply);
    void onReadyRead();
    void onReplyFinished();
    void onPackageChecked(const QStringList &checksums);
    void WorkerThread_Started(int result);
    void Operation_Result(Q7Zip::Operation operation, const QString archive_filename, int result);
    void ExtractRange(const quint64 val);
    void ExtractionValue(const quint64 val);

private:
    enum class Outcome {
        Downloaded, // the package is complete: file closed, the check step shown, the fixed pause taken
        Continued,  // reply is now another request's: the next hop, or the whole package asked anew
        Retrying,   // the transfer is tried again after a wait
        Failed,     // the reason is shown; the window is idle again and the run released
        Ignored,    // not the current reply: an earlier hop, or a run already over
        Stopped,    // the application is quitting: the run ends without a word
    };

    void request();
    QNetworkReply *get(const QUrl &url);
    bool isCurrent(const QObject *sender) const;
    bool startBody();
    void abandonReply();
    void writeBody(const QByteArray &data);
    void install();
    Outcome finishTransfer(QNetworkReply *finishedReply);
    Outcome retryLater(const QString &reason);
    Outcome failTransfer(const QString &reason);
    void closeFile();
    void releaseTransfer();
    void abortOnQuit();

    const Package details;
    PartialDownload partial;
    QPointer<QNetworkAccessManager> manager;
    QPointer<QNetworkReply> reply;
    QPointer<QFile> file;
    QStringList expected;       // the package's MD5 (empty: none published) and SHA-256 (empty: not signed)
    qint64 requestedOffset = 0; // where the current request continues the package (0: the whole of it)
    qint64 bodyOffset = -1;     // where the current answer's body goes; -1 until its head is read
    int retries = 0;            // transfers tried again in this run
    bool continued = false;     // some of the package comes from an earlier transfer
    bool bufferRestarted = false;
};
