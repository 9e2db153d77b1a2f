#include "core/TextFetch.h"

#include "core/NetworkRequest.h"
#include "core/TransferWatchdog.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {
// The manifest is five short fields and the change log a page of text; a larger body is not one of them
// and must not fill the memory.
constexpr qint64 kMaxTextBodyBytes = 1 << 20;
} // namespace

QByteArray fetchBytes(QNetworkAccessManager *manager, QEventLoop &loop, const QString &address,
                      bool errorPages)
{
    QNetworkReply *reply = manager->get(redirectFollowingRequest(address));
    // Qt buffers without limit by default, and its network thread may run far ahead of the check below:
    // seen on Windows, an endless body had taken a gigabyte before the reply was aborted. One byte over
    // the limit is enough to tell that a body is too large.
    reply->setReadBufferSize(kMaxTextBodyBytes + 1);
    const auto *watchdog = new TransferWatchdog(reply, kMaxTextBodyBytes);
    QObject::connect(reply, SIGNAL(finished()), &loop, SLOT(quit()));
    if (!reply->isFinished())
        loop.exec();
    const bool failed = watchdog->tripped() || (!errorPages && reply->error() != QNetworkReply::NoError);
    const QByteArray body = failed ? QByteArray() : reply->readAll();
    reply->deleteLater();
    return body;
}

QString decodedText(const QByteArray &body)
{
    // A QByteArray's data is NUL-terminated, so the C-string overload stops at the first NUL.
    return QString::fromUtf8(body.constData());
}
