#pragma once

#include <QNetworkRequest>
#include <QString>

// A GET request for address (parsed tolerantly) that follows redirects, as every fetch of the launcher
// does: release hosting answers package addresses with a redirect to where the file is stored.
QNetworkRequest redirectFollowingRequest(const QString &address);
