#include "core/TransferWatchdog.h"

#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
int inactivityLimitMs = TransferWatchdog::kInactivityLimitMs;
} // namespace

void TransferWatchdog::setInactivityLimitForTesting(int milliseconds)
{
    inactivityLimitMs = milliseconds;
}

void TransferWatchdog::limitSilence(QNetworkRequest &request)
{
    request.setTransferTimeout(inactivityLimitMs);
}

TransferWatchdog::TransferWatchdog(QNetworkReply *reply, qint64 maxBytes)
    : QObject(reply), watched(reply), sizeLimit(maxBytes)
{
    connect(reply, SIGNAL(readyRead()), this, SLOT(onData()));
    connect(reply, SIGNAL(downloadProgress(qint64, qint64)), this, SLOT(onProgress(qint64, qint64)));
}

QString TransferWatchdog::errorString(QNetworkReply *reply)
{
    const auto *watchdog = reply->findChild<TransferWatchdog *>(QString(), Qt::FindDirectChildrenOnly);
    if (watchdog && watchdog->tripped())
        return watchdog->endReason;
    // The transfer timeout cancels the reply as an abort does; the launcher's own aborts are never
    // reported, so a cancelled reply here is one that went silent.
    if (reply->error() == QNetworkReply::OperationCanceledError && reply->request().transferTimeout() > 0)
        return tr("No data received for %1 seconds").arg(reply->request().transferTimeout() / 1000.0);
    return reply->errorString();
}

void TransferWatchdog::onData()
{
    // Whoever reads the reply only does so once it has finished, so what is buffered is all received.
    if (watched->bytesAvailable() > sizeLimit)
        endOversized();
}

void TransferWatchdog::onProgress(qint64, qint64 total)
{
    // A declared length beyond the limit is refused before its body arrives.
    if (total > sizeLimit)
        endOversized();
}

void TransferWatchdog::endOversized()
{
    end(tr("The response is larger than %1 bytes").arg(sizeLimit));
}

void TransferWatchdog::end(const QString &reason)
{
    if (tripped() || watched->isFinished())
        return;
    endReason = reason;
    // Queued: an abort finishes the reply at once, and the progress signal being handled must not
    // have its reply finished under it.
    QMetaObject::invokeMethod(watched, "abort", Qt::QueuedConnection);
}
