#include "core/Endpoints.h"

#include "core/BuildConfig.h"

namespace {
QString &rawBase()
{
    static QString base = QString::fromUtf8(BuildConfig::kRawEndpoint);
    return base;
}

QString &releaseBase()
{
    static QString base = QString::fromUtf8(BuildConfig::kReleaseEndpoint);
    return base;
}
} // namespace

QString Endpoints::raw()
{
    return rawBase();
}

QString Endpoints::release()
{
    return releaseBase();
}

void Endpoints::overrideForTesting(const QString &rawAddress, const QString &releaseAddress)
{
    rawBase() = rawAddress;
    releaseBase() = releaseAddress;
}
