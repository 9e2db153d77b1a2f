#include "core/ReleaseManifest.h"

#include <QStringList>

std::optional<ReleaseManifest> ReleaseManifest::parse(const QString &body)
{
    const QStringList fields = body.split(QLatin1Char(';'));
    if (fields.size() != 5)
        return std::nullopt;
    return ReleaseManifest{fields.at(0), fields.at(1), fields.at(2), fields.at(3), fields.at(4)};
}
