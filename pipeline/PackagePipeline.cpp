#include "pipeline/PackagePipeline.h"

#include "core/EventLoopPause.h"
#include "core/InstallLock.h"
#include "core/ProgressView.h"
#include "core/RichMessage.h"
#include "core/TransferWatchdog.h"
#include "pipeline/ArchiveWorkerThread.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace {
// Qt buffers a reply without limit by default, so a package arriving faster than the disk takes it
// would pile up in memory; with this bound the transfer waits for the writes instead.
constexpr qint64 kReadBufferBytes = 2 << 20;

// Release hosting redirects once or twice; more than this is a loop.
constexpr int kMaxRedirects = 10;
const char kRedirectsProperty[] = "velmoraRedirects";

// The pause, shown as the integrity check, between the end of the download and the check itself.
constexpr int kBeforeCheckMs = 2000;

QUrl redirectTarget(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status < 300 || status > 399)
        return QUrl();
    return reply->url().resolved(reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl());
}

// Where a redirect answer leads, or why it must not be followed.
struct NextHop
{
    QUrl address;
    QString refusal;
};

NextHop nextHop(QNetworkReply *reply)
{
    const QByteArray location = reply->rawHeader("Location");
    if (location.isEmpty())
        return {QUrl(), QStringLiteral("Redirect without a location")};
    const QUrl written(QString::fromUtf8(location));
    if (!written.isValid())
        return {QUrl(), QStringLiteral("Refused a redirect to %1").arg(QString::fromUtf8(location))};
    const QUrl address = reply->url().resolved(written);
    const QString scheme = address.scheme();
    // Anything else would read local files, resources or inline data, or leave the web, as the package.
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || address.host().isEmpty())
        return {QUrl(), QStringLiteral("Refused a redirect to %1").arg(address.toDisplayString())};
    if (reply->url().scheme() == QLatin1String("https") && scheme != QLatin1String("https"))
        return {QUrl(), QStringLiteral("Refused a redirect from https to %1").arg(address.toDisplayString())};
    return {address, QString()};
}

} // namespace

PackagePipeline::PackagePipeline(QObject *parent, Package package)
    : QObject(parent), details(std::move(package))
{
}

PackagePipeline::~PackagePipeline()
{
    if (manager)
        manager->deleteLater();
}

ProgressView &PackagePipeline::view() const
{
    return *ProgressView::current();
}

void PackagePipeline::fail(const QString &message)
{
    view().showFailed(QStringLiteral("Launcher"), centredMessage(message));
    view().resetToIdle();
}

void PackagePipeline::startDownload()
{
    // Another launcher may be installing here right now: its files are not ours to replace.
    switch (takeInstallLock(this)) {
    case InstallLock::Taken:
        break;
    case InstallLock::HeldElsewhere:
        qDebug() << "Another launcher is installing in this folder" << installLockPath();
        fail(QStringLiteral("Another launcher is installing in this folder!\nPlease try again later."));
        deleteLater();
        return;
    case InstallLock::Unavailable:
        qDebug() << "Cannot lock" << installLockPath();
        fail(QStringLiteral("Failed to lock the installation folder!\n") + installLockPath());
        deleteLater();
        return;
    }

    view().showPreparing();
    prepareDirectories();
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    manager = new QNetworkAccessManager(this);
    connect(manager, SIGNAL(finished(QNetworkReply *)), this, SLOT(onFinished(QNetworkReply *)));
    abortOnQuit();
    reply = get(QUrl(details.url, QUrl::TolerantMode));
    file = new QFile(details.path);
    // Unbuffered, so a write that fails says so at once rather than in a final flush nobody hears. A
    // failed open is reported with the first data.
    (void)file->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

QNetworkReply *PackagePipeline::get(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *hop = manager->get(request);
    // Right after get(): the request is already on its way, and the limit reaches it just in time.
    hop->setReadBufferSize(kReadBufferBytes);
    new TransferWatchdog(hop);
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

void PackagePipeline::onDownloadProgress(qint64 received, qint64 total)
{
    // A redirect's own body is not the package.
    if (isCurrent(sender()) && redirectTarget(reply).isEmpty())
        view().showDownloadProgress(details.downloadCaption, received, total);
}

void PackagePipeline::onReadyRead()
{
    if (!isCurrent(sender()))
        return;
    // Drained in every case, so the transfer goes on: a redirect's own page is not the package.
    const QByteArray data = reply->readAll();
    if (!redirectTarget(reply).isEmpty() || (file->isOpen() && file->write(data) == data.size()))
        return;
    // A package that cannot be written (a full disk, a TEMP that cannot be written to) is no network
    // matter: a retry fails the same way unless the user makes room, and the partial file only holds on
    // to the space the disk lacks.
    const QString reason = file->errorString();
    qDebug() << "Cannot write" << file->fileName() << reason;
    QNetworkReply *transfer = reply;
    reply = nullptr; // the end the abort reports is no longer this run's
    transfer->abort();
    file->close();
    QFile::remove(file->fileName());
    failTransfer(reason);
}

void PackagePipeline::onReplyFinished()
{
    // Unless another hop follows, the package is complete or failed: the file is closed (the manager's
    // report of the same reply comes after and finds it closed).
    if (isCurrent(sender()) && redirectTarget(reply).isEmpty() && file)
        file->close();
}

void PackagePipeline::onFinished(QNetworkReply *finishedReply)
{
    if (finishTransfer(finishedReply) != Outcome::Downloaded)
        return;
    if (!verifyPackage()) {
        // No extraction follows to release the run.
        deleteLater();
        return;
    }
    view().showCheckPassed();
    view().showExtracting();
    ArchiveWorkerThread::current()->extract(this, details.path, details.outputDirectory);
}

PackagePipeline::Outcome PackagePipeline::finishTransfer(QNetworkReply *finishedReply)
{
    if (!isCurrent(finishedReply))
        return Outcome::Ignored;
    qDebug() << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError)
        return failTransfer(TransferWatchdog::errorString(reply));

    if (!redirectTarget(reply).isEmpty()) {
        const int redirects = reply->property(kRedirectsProperty).toInt() + 1;
        if (redirects > kMaxRedirects)
            return failTransfer(QStringLiteral("Too many redirects"));
        const NextHop next = nextHop(reply);
        if (!next.refusal.isEmpty())
            return failTransfer(next.refusal);
        reply = get(next.address);
        reply->setProperty(kRedirectsProperty, redirects);
        return Outcome::Redirected;
    }

    qDebug() << "file is downloaded successfully.";
    releaseTransfer();
    view().showIntegrityCheck();
    if (!pauseProcessingEvents(kBeforeCheckMs))
        return Outcome::Stopped;
    return Outcome::Downloaded;
}

PackagePipeline::Outcome PackagePipeline::failTransfer(const QString &reason)
{
    // Over before the message shows: whatever the replies signal while it waits is not this run's.
    reply = nullptr;
    // The reason may carry what a server sent; the message is rich text and shows it as written.
    fail(QLatin1String("Failed to download package!\nPlease try again later.\n") + reason.toHtmlEscaped());
    releaseTransfer();
    deleteLater();
    return Outcome::Failed;
}

void PackagePipeline::releaseTransfer()
{
    // The run's transfer is over: nothing of it answers or stays behind.
    reply = nullptr;
    if (file) {
        file->close();
        file->deleteLater();
    }
    file = nullptr;
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
