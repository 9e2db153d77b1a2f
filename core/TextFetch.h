#pragma once

#include <QString>

class QEventLoop;
class QNetworkAccessManager;

// A GET of address through manager that waits in loop until the reply has finished, then returns its whole
// body. A failed request yields what the server sent (or nothing; nothing at all unless errorPages); a
// transfer that stalls or grows past a page of text yields nothing.
[[nodiscard]] QByteArray fetchBytes(QNetworkAccessManager *manager, QEventLoop &loop, const QString &address,
                                    bool errorPages = true);

// The same body decoded as UTF-8 up to the first NUL.
[[nodiscard]] QString decodedText(const QByteArray &body);
