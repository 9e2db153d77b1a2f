#include "pipeline/PackageTransfer.h"

#include "app/EventLoopPause.h"
#include "app/NetworkRequest.h"
#include "app/TransferWatchdog.h"
#include "pipeline/PipelineWindow.h"

#include <QDebug>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>

namespace {
// Qt buffers a reply without limit by default, so a package arriving faster than the disk takes it
// would pile up in memory; with this bound the transfer waits for the writes instead.
constexpr qint64 kReadBufferBytes = 2 << 20;

// The pause, shown as the integrity check, between the end of the download and the check itself.
constexpr int kBeforeCheckMs = 2000;

void closeIfOpen(QFile *file)
{
    if (file && file->isOpen())
        file->close();
}
} // namespace

void PackageTransfer::begin(QObject *pipeline, const QString &url, const QString &packagePath,
                            QNetworkAccessManager *&manager, QNetworkReply *&reply, QFile *&file)
{
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    manager = new QNetworkAccessManager(pipeline);
    QObject::connect(manager, SIGNAL(finished(QNetworkReply *)), pipeline, SLOT(onFinished(QNetworkReply *)));

    reply = manager->get(redirectFollowingRequest(url));
    reply->setReadBufferSize(kReadBufferBytes);
    new TransferWatchdog(reply);

    file = new QFile(packagePath);
    file->open(QIODevice::WriteOnly);

    QObject::connect(reply, SIGNAL(downloadProgress(qint64, qint64)), pipeline,
                     SLOT(onDownloadProgress(qint64, qint64)));
    QObject::connect(reply, SIGNAL(readyRead()), pipeline, SLOT(onReadyRead()));
    QObject::connect(reply, SIGNAL(finished()), pipeline, SLOT(onReplyFinished()));
}

void PackageTransfer::writeAvailable(QNetworkReply *reply, QFile *file)
{
    // Drained even when the file could not be opened, so the transfer goes on and the failure shows
    // up in the check, without a warning for every chunk.
    const QByteArray data = reply->readAll();
    if (file->isOpen())
        file->write(data);
}

void PackageTransfer::release(QFile *&file)
{
    closeIfOpen(file);
    if (file)
        file->deleteLater();
    file = nullptr;
}

bool PackageTransfer::finish(QNetworkReply *reply, QFile *file)
{
    qDebug() << reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError) {
        PipelineWindow::reportFailure(
            QLatin1String("Failed to download package!\nPlease try again later.\n") +
            TransferWatchdog::errorString(reply));
        PipelineWindow::resetToIdle();
        closeIfOpen(file);
        return false;
    }
    qDebug() << "file is downloaded successfully.";
    closeIfOpen(file);
    PipelineWindow::showIntegrityCheck();
    pauseProcessingEvents(kBeforeCheckMs);
    return true;
}
