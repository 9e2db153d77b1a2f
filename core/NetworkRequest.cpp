#include "core/NetworkRequest.h"

#include "core/TransferWatchdog.h"

#include <QUrl>

QNetworkRequest redirectFollowingRequest(const QString &address)
{
    QNetworkRequest request(QUrl(address, QUrl::TolerantMode));
    // What the older follow-redirects switch did: follow, but never from https down to http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    TransferWatchdog::limitSilence(request);
    return request;
}
