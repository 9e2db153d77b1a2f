#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// Where a redirect answer to a request for `from` leads, given its Location header, or why it must not
// be followed (then `address` is empty).
struct RedirectHop
{
    QUrl address;
    QString refusal;

    [[nodiscard]] static RedirectHop from(const QUrl &from, const QByteArray &location);
};
