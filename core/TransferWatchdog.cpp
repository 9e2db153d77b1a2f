#include "core/TransferWatchdog.h"

#include <QNetworkReply>

namespace {
int inactivityLimitMs = TransferWatchdog::kInactivityLimitMs;
} // namespace

void TransferWatchdog::setInactivityLimitForTesting(int milliseconds)
{
    inactivityLimitMs = milliseconds;
}

TransferWatchdog::TransferWatchdog(QNetworkReply *reply, qint64 maxBytes)
    : QObject(reply), watched(reply), sizeLimit(maxBytes)
{
    silenceTimer.setSingleShot(true);
    silenceTimer.setInterval(inactivityLimitMs);
    connect(&silenceTimer, SIGNAL(timeout()), this, SLOT(onSilence()));
    // Every received chunk is announced by readyRead (progress reports are throttled), the response
    // head by metaDataChanged: each is a sign of life.
    connect(reply, SIGNAL(readyRead()), this, SLOT(onData()));
    connect(reply, SIGNAL(metaDataChanged()), &silenceTimer, SLOT(start()));
    if (maxBytes >= 0)
        connect(reply, SIGNAL(downloadProgress(qint64, qint64)), this, SLOT(onProgress(qint64, qint64)));
    connect(reply, SIGNAL(finished()), this, SLOT(onFinished()));
    silenceTimer.start();
}

QString TransferWatchdog::errorString(QNetworkReply *reply)
{
    const auto *watchdog = reply->findChild<TransferWatchdog *>(QString(), Qt::FindDirectChildrenOnly);
    return watchdog && watchdog->tripped() ? watchdog->endReason : reply->errorString();
}

void TransferWatchdog::onData()
{
    // Whoever reads the reply only does so once it has finished, so what is buffered is all received.
    if (sizeLimit >= 0 && watched->bytesAvailable() > sizeLimit) {
        endOversized();
        return;
    }
    silenceTimer.start();
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

void TransferWatchdog::onSilence()
{
    end(tr("No data received for %1 seconds").arg(silenceTimer.interval() / 1000.0));
}

void TransferWatchdog::onFinished()
{
    silenceTimer.stop();
}

void TransferWatchdog::end(const QString &reason)
{
    if (tripped() || watched->isFinished())
        return;
    endReason = reason;
    silenceTimer.stop();
    // Queued: an abort finishes the reply at once, and the progress signal being handled must not
    // have its reply finished under it.
    QMetaObject::invokeMethod(watched, "abort", Qt::QueuedConnection);
}
