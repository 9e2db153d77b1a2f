#pragma once

#include <QString>

class QEventLoop;
class QNetworkAccessManager;

// A GET of address through manager that waits in loop until the reply has finished, then returns its whole
// body decoded as UTF-8 up to the first NUL. A failed request yields what the server sent (or nothing); a
// transfer that stalls or grows past a page of text yields nothing.
[[nodiscard]] QString fetchText(QNetworkAccessManager *manager, QEventLoop &loop, const QString &address);
