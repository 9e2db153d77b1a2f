#include "pipeline/PackagePipeline.h"

#include "core/BackgroundChecksum.h"
#include "core/EventLoopPause.h"
#include "core/InstallLock.h"
#include "core/ProgressView.h"
#include "core/RangeReply.h"
#include "core/RedirectHop.h"
#include "core/RichMessage.h"
#include "core/TransferWatchdog.h"
#include "pipeline/ArchiveWorkerThread.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

namespace {
// Qt buffers a reply without limit by default, so a package arriving faster than the disk takes it
// would pile up in memory; with this bound the transfer waits for the writes instead.
constexpr qint64 kReadBufferBytes = 2 << 20;
// A limit that holds is still overshot by what the network thread read from the socket at once (seen: 3 MB
// on a loaded machine); a limit that never arrived lets the whole transfer pile up (seen: 35 MB at once).
constexpr qint64 kLostLimitBytes = 8 * kReadBufferBytes;

// Release hosting redirects once or twice; more than this is a loop.
constexpr int kMaxRedirects = 10;
const char kRedirectsProperty[] = "velmoraRedirects";

// The pause, shown as the integrity check, between the end of the download and the check itself.
constexpr int kBeforeCheckMs = 2000;

// A transfer that drops or stalls is tried again this many times in a run, the waits doubling from the
// first: 1, 2, 4, 8 and 16 s.
constexpr int kRetries = 5;
int firstRetryWaitMs = 1000;

// Faults of the way, not of the package: a connection refused, dropped or timed out, a name not found
// for now, a transfer gone silent (cancelled by its timeout), a server busy for now. An answer such as
// 404, a refused redirect or a TLS refusal comes back the same at once.
bool worthRetrying(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ServiceUnavailableError:
        return true;
    default:
        return false;
    }
}

QUrl redirectTarget(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 300 || status > 399)
        return QUrl();
    return reply->url().resolved(reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
}

} // namespace

PackagePipeline::PackagePipeline(QObject *parent, Package package)
    : QObject(parent), details(std::move(package)), partial(details.path, details.url + ' ' + details.release)
{
}

PackagePipeline::~PackagePipeline()
{
    if (manager)
        manager->deleteLater();
}

void PackagePipeline::setFirstRetryWaitForTesting(int milliseconds)
{
    firstRetryWaitMs = milliseconds;
}

ProgressView &PackagePipeline::view() const
{
    return *ProgressView::current();
}

void PackagePipeline::fail(const QString &message, const QString &inserted)
{
    view().showFailed(QStringLiteral("Launcher"), centredMessage(message, inserted));
    view().resetToIdle();
}

bool PackagePipeline::startDownload()
{
    // Another launcher may be installing here right now: its files are not ours to replace.
    switch (takeInstallLock(this)) {
    case InstallLock::Taken:
        break;
    case InstallLock::HeldElsewhere:
        qDebug() << "Another launcher is installing in this folder" << installLockPath();
        fail(QStringLiteral("Another launcher is installing in this folder!\nPlease try again later."));
        deleteLater();
        return false;
    case InstallLock::Unavailable:
        qDebug() << "Cannot lock" << installLockPath();
        fail(QStringLiteral("Failed to lock the installation folder!\n"), installLockPath());
        deleteLater();
        return false;
    }
    if (!mayDownload()) {
        deleteLater();
        return false;
    }

    view().showPreparing();
    prepareDirectories();
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    request();
    return true;
}

void PackagePipeline::request()
{
    if (!manager) {
        manager = new QNetworkAccessManager(this);
        connect(manager, SIGNAL(finished(QNetworkReply *)), this, SLOT(onFinished(QNetworkReply *)));
        abortOnQuit();
    }
    requestedOffset = partial.resumableSize();
    if (requestedOffset > 0)
        qDebug() << "Continuing" << details.path << "from byte" << requestedOffset;
    reply = get(QUrl(details.url, QUrl::TolerantMode));
}

QNetworkReply *PackagePipeline::get(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Byte offsets must count the stored file, not a compressed form of it.
    request.setRawHeader("Accept-Encoding", "identity");
    if (requestedOffset > 0) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(requestedOffset) + '-');
        // The missing bytes only if the package is still the one the partial file began; else all of it.
        request.setRawHeader("If-Range", partial.validator());
    }
    TransferWatchdog::limitSilence(request);
    QNetworkReply *hop = manager->get(request);
    // Right after get(): the request is already on its way, and the limit reaches it just in time.
    hop->setReadBufferSize(kReadBufferBytes);
    bodyOffset = -1;
    connect(hop, SIGNAL(downloadProgress(qint64, qint64)), this, SLOT(onDownloadProgress(qint64, qint64)));
    connect(hop, SIGNAL(readyRead()), this, SLOT(onReadyRead()));
    connect(hop, SIGNAL(finished()), this, SLOT(onReplyFinished()));
    return hop;
}

void PackagePipeline::abortOnQuit()
{
    // The application is quitting: the transfer stops at once, and since no one is left to hear of it,
    // nothing of the run answers its end.
    QNetworkAccessManager *transfer = manager;
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, transfer, [transfer] {
        transfer->disconnect();
        for (QNetworkReply *hop : transfer->findChildren<QNetworkReply *>()) {
            hop->disconnect();
            hop->abort();
        }
    });
}

bool PackagePipeline::isCurrent(const QObject *sender) const
{
    return reply && sender == reply;
}

bool PackagePipeline::startBody()
{
    // Decided once per answer, at the first sign of its body: where in the package it goes.
    if (bodyOffset >= 0)
        return true;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    switch (placeBody(status, reply->rawHeader("Content-Range"), requestedOffset, partial.total())) {
    case BodyPlacement::NotPackage:
        return false;
    case BodyPlacement::StartOver: {
        qDebug().noquote() << QStringLiteral("The answer %1 \"%2\" does not continue the partial package: "
                                             "downloading it from the start")
                                  .arg(status)
                                  .arg(QString::fromLatin1(reply->rawHeader("Content-Range")));
        abandonReply();
        partial.discard();
        request();
        return false;
    }
    case BodyPlacement::Append:
        bodyOffset = requestedOffset;
        continued = true;
        break;
    case BodyPlacement::FromStart: {
        bodyOffset = 0;
        const QByteArray validator =
            rangeValidator(reply->rawHeader("ETag"), reply->rawHeader("Last-Modified"));
        const QString failure =
            partial.restart(validator, reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
        if (!failure.isEmpty()) {
            qDebug() << "Cannot write" << details.path << failure;
            abandonReply();
            failTransfer(failure);
            return false;
        }
        break;
    }
    }
    closeFile();
    file = new QFile(details.path);
    // Unbuffered, so a write that fails says so at once rather than in a final flush nobody hears. A
    // failed open is reported with the first data.
    (void)file->open(QIODevice::Append | QIODevice::Unbuffered);
    return true;
}

void PackagePipeline::abandonReply()
{
    // Nothing of this answer counts any more, not even the end its abort reports.
    QNetworkReply *abandoned = reply;
    reply = nullptr;
    abandoned->disconnect(this);
    // Queued: the reply may be emitting the signal that brought us here.
    QMetaObject::invokeMethod(abandoned, "abort", Qt::QueuedConnection);
}

void PackagePipeline::onDownloadProgress(qint64 received, qint64 total)
{
    // A redirect's own body is not the package. What an earlier transfer left counts as done.
    if (isCurrent(sender()) && redirectTarget(reply).isEmpty() && startBody())
        view().showDownloadProgress(details.downloadCaption, bodyOffset + received,
                                    total < 0 ? total : bodyOffset + total);
}

void PackagePipeline::onReadyRead()
{
    if (!isCurrent(sender()))
        return;
    // Drained in every case, so the transfer goes on: a redirect's own page is not the package.
    const QByteArray data = reply->readAll();
    if (redirectTarget(reply).isEmpty() && startBody())
        writeBody(data);
}

void PackagePipeline::writeBody(const QByteArray &data)
{
    // A short write (the disk filled up) is followed by another, which fails with the system's reason.
    qint64 written = 0;
    while (file->isOpen() && written < data.size()) {
        const qint64 more = file->write(data.constData() + written, data.size() - written);
        if (more <= 0)
            break;
        written += more;
    }
    if (written == data.size()) {
        // Far more than the read-buffer limit at once: the limit never reached the network thread, which
        // now buffers the package as fast as it arrives. A new request, continuing from what is on disk,
        // gets a limit that holds.
        const qint64 total = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (data.size() > kLostLimitBytes && !bufferRestarted && file->size() < bodyOffset + total) {
            qDebug() << "The read buffer held" << data.size() << "bytes: continuing from byte"
                     << file->size();
            bufferRestarted = true;
            abandonReply();
            closeFile();
            request();
        }
        return;
    }
    // A package that cannot be written (a full disk, a TEMP that cannot be written to) is no network
    // matter: a retry fails the same way unless the user makes room, and the partial file only holds on
    // to the space the disk lacks.
    const QString reason = file->errorString();
    qDebug() << "Cannot write" << file->fileName() << reason;
    abandonReply();
    closeFile();
    partial.discard();
    failTransfer(reason);
}

void PackagePipeline::onReplyFinished()
{
    // Unless another hop follows, the package is complete or failed: the file is closed (the manager's
    // report of the same reply comes after and finds it closed).
    if (isCurrent(sender()) && redirectTarget(reply).isEmpty())
        closeFile();
}

void PackagePipeline::onFinished(QNetworkReply *finishedReply)
{
    if (finishTransfer(finishedReply) != Outcome::Downloaded)
        return;
    // The manifest's MD5 (none for the launcher package) and, when releases are signed, the signed SHA-256.
    const std::optional<QString> published = publishedHash();
    expected = QStringList{published.value_or(QString()), signedSha256()};
    if (!published && expected.last().isEmpty())
        return install();
    // Hashing gigabytes takes seconds, during which the window repaints and can be closed.
    qDebug() << "Computing the package's MD5";
    QList<QCryptographicHash::Algorithm> algorithms = {QCryptographicHash::Md5};
    if (!expected.last().isEmpty())
        algorithms << QCryptographicHash::Sha256; // in the same read
    connect(new BackgroundChecksum(details.path, algorithms, this), SIGNAL(done(QStringList)), this,
            SLOT(onPackageChecked(QStringList)));
}

void PackagePipeline::onPackageChecked(const QStringList &checksums)
{
    sender()->deleteLater();
    const bool md5Differs = publishedHash().has_value() && checksums.value(0) != expected.value(0);
    if (md5Differs || (!expected.value(1).isEmpty() && checksums.value(1) != expected.value(1))) {
        if (continued) {
            // The part an earlier transfer left may be what differs: once more, all of it.
            qDebug() << "The continued package failed its check: downloading it from the start";
            continued = false;
            partial.discard();
            request();
            return;
        }
        fail(QStringLiteral("Failed to check package!\nPlease try again later."));
        partial.discard();
        // No extraction follows to release the run.
        deleteLater();
        return;
    }
    install();
}

void PackagePipeline::install()
{
    view().showCheckPassed();
    view().showExtracting();
    ArchiveWorkerThread::current()->extract(this, details.path, details.outputDirectory);
}

PackagePipeline::Outcome PackagePipeline::finishTransfer(QNetworkReply *finishedReply)
{
    if (!isCurrent(finishedReply))
        return Outcome::Ignored;
    qDebug() << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // An answer without a body may still say that the partial package cannot be continued (416).
    if (redirectTarget(reply).isEmpty() && requestedOffset > 0) {
        (void)startBody();
        if (reply != finishedReply)
            return Outcome::Continued; // asked anew, or failed
    }
    // A body shorter than it said it was is a dropped connection, even when the network library lets it
    // pass as complete (seen with Qt under Wine).
    const bool cutShort = reply->error() == QNetworkReply::NoError && bodyOffset >= 0 &&
                          QFileInfo(details.path).size() <
                              bodyOffset + reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (reply->error() != QNetworkReply::NoError || cutShort) {
        const QString reason = cutShort
                                   ? QStringLiteral("The connection ended before the whole package arrived")
                                   : TransferWatchdog::errorString(reply);
        if ((cutShort || worthRetrying(reply->error())) && retries < kRetries)
            return retryLater(reason);
        return failTransfer(reason);
    }

    if (!redirectTarget(reply).isEmpty()) {
        const int redirects = reply->property(kRedirectsProperty).toInt() + 1;
        if (redirects > kMaxRedirects)
            return failTransfer(QStringLiteral("Too many redirects"));
        const RedirectHop next = RedirectHop::from(reply->url(), reply->rawHeader("Location"));
        if (!next.refusal.isEmpty())
            return failTransfer(next.refusal);
        reply = get(next.address);
        reply->setProperty(kRedirectsProperty, redirects);
        return Outcome::Continued;
    }

    qDebug() << "file is downloaded successfully.";
    partial.complete();
    releaseTransfer();
    view().showIntegrityCheck();
    if (!pauseProcessingEvents(kBeforeCheckMs))
        return Outcome::Stopped;
    return Outcome::Downloaded;
}

PackagePipeline::Outcome PackagePipeline::retryLater(const QString &reason)
{
    const int wait = firstRetryWaitMs << retries;
    ++retries;
    qDebug().noquote()
        << QStringLiteral("Retry %1 of %2 in %3 ms: %4").arg(retries).arg(kRetries).arg(wait).arg(reason);
    reply = nullptr;
    closeFile();
    // A window closed meanwhile ends the process, and the retry with it.
    QTimer::singleShot(wait, this, [this] { request(); });
    return Outcome::Retrying;
}

PackagePipeline::Outcome PackagePipeline::failTransfer(const QString &reason)
{
    // Over before the message shows: whatever the replies signal while it waits is not this run's.
    reply = nullptr;
    fail(QStringLiteral("Failed to download package!\nPlease try again later.\n"), reason);
    releaseTransfer();
    deleteLater();
    return Outcome::Failed;
}

void PackagePipeline::closeFile()
{
    if (file) {
        file->close();
        file->deleteLater();
    }
    file = nullptr;
}

void PackagePipeline::releaseTransfer()
{
    // The run's transfer is over: nothing of it answers or stays behind.
    reply = nullptr;
    closeFile();
    // Deferred: the manager is still emitting the signal that brought us here; its replies go with it.
    if (manager)
        manager->deleteLater();
    manager = nullptr;
}

void PackagePipeline::WorkerThread_Started(int result)
{
    if (result == 0)
        return;
    view().showFailed(QStringLiteral("Q7Zip"),
                      QStringLiteral("<html><head/><body><p align=\"center\">7z.dll</p>"
                                     "<p align=\"center\"> Load Failure!!!</p></body></html>"));
    QCoreApplication::exit(-1);
}

void PackagePipeline::ExtractRange(const quint64 val)
{
    view().setExtractionTotal(val);
}

void PackagePipeline::ExtractionValue(const quint64 val)
{
    view().showExtractionValue(val);
}

void PackagePipeline::Operation_Result(Q7Zip::Operation operation, const QString archive_filename, int result)
{
    ArchiveWorkerThread::current()->release(this);
    // Released once control is back in the event loop that delivered the result; the pauses of what
    // follows do not release it.
    deleteLater();
    qDebug() << "Operation_Result:" << operation << "," << result;
    if (result != 0) {
        fail(QStringLiteral("Failed to extract package!\nPlease try again later."));
        QFile::remove(archive_filename);
        return;
    }
    qDebug() << archive_filename << "extract complete.";
    view().showSucceeded(details.successCaption);
    QFile::remove(archive_filename);
    afterExtraction();
}
