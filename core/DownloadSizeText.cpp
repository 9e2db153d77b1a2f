#include "core/DownloadSizeText.h"

QString downloadSizeText(const QString &packageSizeGb, const QString &installedSizeGb)
{
    // Text that is not a number counts as 0; the sum is taken in single precision.
    const float unpackSpace = packageSizeGb.toFloat() + installedSizeGb.toFloat();
    return QLatin1String("\n\nDownload Package Size: ") + packageSizeGb + QLatin1String(" GB") +
           QLatin1String("\n\nNeed Space For Unpack: ") + QString::number(double(unpackSpace), 'g', 6) +
           QLatin1String(" GB\n\nGame Size After Install: ") + installedSizeGb + QLatin1String(" GB");
}
