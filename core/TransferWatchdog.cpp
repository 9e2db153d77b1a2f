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
    : QObject(reply), m_reply(reply), m_maxBytes(maxBytes)
{
    m_silence.setSingleShot(true);
    m_silence.setInterval(inactivityLimitMs);
    connect(&m_silence, SIGNAL(timeout()), this, SLOT(onSilence()));
    // Every received chunk is announced by readyRead (progress reports are throttled), the response
    // head by metaDataChanged: each is a sign of life.
    connect(reply, SIGNAL(readyRead()), this, SLOT(onData()));
    connect(reply, SIGNAL(metaDataChanged()), &m_silence, SLOT(start()));
    if (maxBytes >= 0)
        connect(reply, SIGNAL(downloadProgress(qint64, qint64)), this, SLOT(onProgress(qint64, qint64)));
    connect(reply, SIGNAL(finished()), this, SLOT(onFinished()));
    m_silence.start();
}

QString TransferWatchdog::errorString(QNetworkReply *reply)
{
    const auto *watchdog = reply->findChild<TransferWatchdog *>(QString(), Qt::FindDirectChildrenOnly);
    return watchdog && watchdog->tripped() ? watchdog->m_reason : reply->errorString();
}

void TransferWatchdog::onData()
{
    // Whoever reads the reply only does so once it has finished, so what is buffered is all received.
    if (m_maxBytes >= 0 && m_reply->bytesAvailable() > m_maxBytes) {
        endOversized();
        return;
    }
    m_silence.start();
}

void TransferWatchdog::onProgress(qint64, qint64 total)
{
    // A declared length beyond the limit is refused before its body arrives.
    if (total > m_maxBytes)
        endOversized();
}

void TransferWatchdog::endOversized()
{
    end(tr("The response is larger than %1 bytes").arg(m_maxBytes));
}

void TransferWatchdog::onSilence()
{
    end(tr("No data received for %1 seconds").arg(m_silence.interval() / 1000.0));
}

void TransferWatchdog::onFinished()
{
    m_silence.stop();
}

void TransferWatchdog::end(const QString &reason)
{
    if (tripped() || m_reply->isFinished())
        return;
    m_reason = reason;
    m_silence.stop();
    // Queued: an abort finishes the reply at once, and the progress signal being handled must not
    // have its reply finished under it.
    QMetaObject::invokeMethod(m_reply, "abort", Qt::QueuedConnection);
}
