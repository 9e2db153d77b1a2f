#include "pipeline/PackageTransfer.h"

#include "app/EventLoopPause.h"
#include "app/TransferWatchdog.h"
#include "pipeline/PipelineWindow.h"

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

QNetworkReply *get(QObject *pipeline, QNetworkAccessManager *manager, const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = manager->get(request);
    // Right after get(): the request is already on its way, and the limit reaches it just in time.
    reply->setReadBufferSize(kReadBufferBytes);
    new TransferWatchdog(reply);
    QObject::connect(reply, SIGNAL(downloadProgress(qint64, qint64)), pipeline,
                     SLOT(onDownloadProgress(qint64, qint64)));
    QObject::connect(reply, SIGNAL(readyRead()), pipeline, SLOT(onReadyRead()));
    QObject::connect(reply, SIGNAL(finished()), pipeline, SLOT(onReplyFinished()));
    return reply;
}

// The application is quitting: the transfer stops at once, and since no one is left to hear of it,
// nothing of the pipeline answers its end.
void abortOnQuit(QNetworkAccessManager *manager)
{
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, manager, [manager] {
        manager->disconnect();
        for (QNetworkReply *reply : manager->findChildren<QNetworkReply *>()) {
            reply->disconnect();
            reply->abort();
        }
    });
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

void closeIfOpen(QFile *file)
{
    if (file && file->isOpen())
        file->close();
}

void releaseFile(QPointer<QFile> &file)
{
    closeIfOpen(file);
    if (file)
        file->deleteLater();
    file = nullptr;
}

// The run's transfer is over: nothing of it answers or stays behind.
void release(QPointer<QNetworkAccessManager> &manager, QPointer<QNetworkReply> &reply, QPointer<QFile> &file)
{
    reply = nullptr;
    releaseFile(file);
    // Deferred: the manager is still emitting the signal that brought us here; its replies go with it.
    if (manager)
        manager->deleteLater();
    manager = nullptr;
}

PackageTransfer::Outcome fail(const QString &reason, QObject *pipeline,
                              QPointer<QNetworkAccessManager> &manager, QPointer<QNetworkReply> &reply,
                              QPointer<QFile> &file)
{
    // Over before the message shows: whatever the replies signal while it waits is not this run's.
    reply = nullptr;
    // The reason may carry what a server sent; the message is rich text and shows it as written.
    PipelineWindow::reportFailure(QLatin1String("Failed to download package!\nPlease try again later.\n") +
                                  reason.toHtmlEscaped());
    PipelineWindow::resetToIdle();
    release(manager, reply, file);
    pipeline->deleteLater();
    return PackageTransfer::Outcome::Failed;
}

} // namespace

void PackageTransfer::begin(QObject *pipeline, const QString &url, const QString &packagePath,
                            QPointer<QNetworkAccessManager> &manager, QPointer<QNetworkReply> &reply,
                            QPointer<QFile> &file)
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    manager = new QNetworkAccessManager(pipeline);
    QObject::connect(manager, SIGNAL(finished(QNetworkReply *)), pipeline, SLOT(onFinished(QNetworkReply *)));
    abortOnQuit(manager);
    reply = get(pipeline, manager, QUrl(url, QUrl::TolerantMode));
    file = new QFile(packagePath);
    // Unbuffered, so a write that fails says so at once rather than in a final flush nobody hears. A
    // failed open is reported with the first data.
    (void)file->open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool PackageTransfer::isCurrent(const QObject *sender, const QNetworkReply *reply)
{
    return reply && sender == reply;
}

void PackageTransfer::showProgress(QNetworkReply *reply, const QString &caption, qint64 received,
                                   qint64 total)
{
    if (redirectTarget(reply).isEmpty())
        PipelineWindow::showDownloadProgress(caption, received, total);
}

void PackageTransfer::writeAvailable(QObject *pipeline, QPointer<QNetworkAccessManager> &manager,
                                     QPointer<QNetworkReply> &reply, QPointer<QFile> &file)
{
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
    fail(reason, pipeline, manager, reply, file);
}

void PackageTransfer::closeAfterLastHop(QNetworkReply *reply, QPointer<QFile> &file)
{
    if (redirectTarget(reply).isEmpty())
        releaseFile(file);
}

PackageTransfer::Outcome PackageTransfer::finish(QObject *pipeline, QNetworkReply *finishedReply,
                                                 QPointer<QNetworkAccessManager> &manager,
                                                 QPointer<QNetworkReply> &reply, QPointer<QFile> &file)
{
    if (!isCurrent(finishedReply, reply))
        return Outcome::Ignored;
    qDebug() << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError)
        return fail(TransferWatchdog::errorString(reply), pipeline, manager, reply, file);

    if (!redirectTarget(reply).isEmpty()) {
        const int redirects = reply->property(kRedirectsProperty).toInt() + 1;
        if (redirects > kMaxRedirects)
            return fail(QStringLiteral("Too many redirects"), pipeline, manager, reply, file);
        const NextHop next = nextHop(reply);
        if (!next.refusal.isEmpty())
            return fail(next.refusal, pipeline, manager, reply, file);
        reply = get(pipeline, manager, next.address);
        reply->setProperty(kRedirectsProperty, redirects);
        return Outcome::Redirected;
    }

    qDebug() << "file is downloaded successfully.";
    release(manager, reply, file);
    PipelineWindow::showIntegrityCheck();
    if (!pauseProcessingEvents(kBeforeCheckMs))
        return Outcome::Stopped;
    return Outcome::Downloaded;
}
