#include "pipeline/PackageTransfer.h"

#include "app/EventLoopPause.h"
#include "app/TransferWatchdog.h"
#include "pipeline/ExtractionHandOff.h"
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

void closeIfOpen(QFile *file)
{
    if (file && file->isOpen())
        file->close();
}

PackageTransfer::Outcome fail(const QString &reason, QFile *file)
{
    PipelineWindow::reportFailure(QLatin1String("Failed to download package!\nPlease try again later.\n") +
                                  reason);
    PipelineWindow::resetToIdle();
    closeIfOpen(file);
    return PackageTransfer::Outcome::Failed;
}

} // namespace

void PackageTransfer::begin(QObject *pipeline, const QString &url, const QString &packagePath,
                            QNetworkAccessManager *&manager, QNetworkReply *&reply, QFile *&file)
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    manager = new QNetworkAccessManager(pipeline);
    QObject::connect(manager, SIGNAL(finished(QNetworkReply *)), pipeline, SLOT(onFinished(QNetworkReply *)));
    abortOnQuit(manager);
    reply = get(pipeline, manager, QUrl(url, QUrl::TolerantMode));
    file = new QFile(packagePath);
    file->open(QIODevice::WriteOnly);
}

void PackageTransfer::showProgress(QNetworkReply *reply, const QString &caption, qint64 received,
                                   qint64 total)
{
    if (redirectTarget(reply).isEmpty())
        PipelineWindow::showDownloadProgress(caption, received, total);
}

void PackageTransfer::writeAvailable(QNetworkReply *reply, QFile *file)
{
    // Drained in every case, so the transfer goes on: a redirect's own page is not the package, and
    // a file that could not be opened shows up in the check, without a warning for every chunk.
    const QByteArray data = reply->readAll();
    if (file && file->isOpen() && redirectTarget(reply).isEmpty())
        file->write(data);
}

void PackageTransfer::release(QObject *pipeline, QNetworkAccessManager *&manager, QNetworkReply *&reply,
                              QFile *&file)
{
    if (!reply || !reply->isFinished())
        return;
    closeIfOpen(file);
    if (file)
        file->deleteLater();
    file = nullptr;
    // Deferred: the reply is still emitting the signal that brought us here.
    manager->deleteLater();
    manager = nullptr;
    reply = nullptr;
    if (!ExtractionHandOff::isExtracting(pipeline))
        pipeline->deleteLater();
}

PackageTransfer::Outcome PackageTransfer::finish(QObject *pipeline, QNetworkReply *&reply, QFile *file)
{
    qDebug() << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError)
        return fail(TransferWatchdog::errorString(reply), file);

    const QUrl target = redirectTarget(reply);
    if (!target.isEmpty()) {
        const int redirects = reply->property(kRedirectsProperty).toInt() + 1;
        if (redirects > kMaxRedirects)
            return fail(QStringLiteral("Too many redirects"), file);
        if (reply->url().scheme() == QLatin1String("https") && target.scheme() != QLatin1String("https"))
            return fail(QStringLiteral("Refused a redirect from https to %1").arg(target.toDisplayString()),
                        file);
        reply = get(pipeline, reply->manager(), target);
        reply->setProperty(kRedirectsProperty, redirects);
        return Outcome::Redirected;
    }

    qDebug() << "file is downloaded successfully.";
    closeIfOpen(file);
    PipelineWindow::showIntegrityCheck();
    if (!pauseProcessingEvents(kBeforeCheckMs))
        return Outcome::Stopped;
    return Outcome::Downloaded;
}
