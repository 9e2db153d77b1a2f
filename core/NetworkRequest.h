#pragma once

#include <QNetworkRequest>
#include <QString>

// A GET request for address (parsed tolerantly) that follows redirects, as every fetch of the launcher
// does: release hosting answers package addresses with a redirect to where the file is stored. A
// transfer that stays silent too long ends.
QNetworkRequest redirectFollowingRequest(const QString &address);
