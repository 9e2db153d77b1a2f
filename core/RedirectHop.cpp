#include "core/RedirectHop.h"

RedirectHop RedirectHop::from(const QUrl &from, const QByteArray &location)
{
    if (location.isEmpty())
        return {QUrl(), QStringLiteral("Redirect without a location")};
    const QUrl written(QString::fromUtf8(location));
    if (!written.isValid())
        return {QUrl(), QStringLiteral("Refused a redirect to %1").arg(QString::fromUtf8(location))};
    const QUrl address = from.resolved(written);
    const QString scheme = address.scheme();
    // Anything else would read local files, resources or inline data, or leave the web, as the package.
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || address.host().isEmpty())
        return {QUrl(), QStringLiteral("Refused a redirect to %1").arg(address.toDisplayString())};
    if (from.scheme() == QLatin1String("https") && scheme != QLatin1String("https"))
        return {QUrl(), QStringLiteral("Refused a redirect from https to %1").arg(address.toDisplayString())};
    return {address, QString()};
}
