#pragma once

#include <QString>

// The text of the download-information dialog: package size, space needed to unpack (the two sizes
// added), size after installation. Sizes are the manifest's decimal texts in gigabytes, shown verbatim.
[[nodiscard]] QString downloadSizeText(const QString &packageSizeGb, const QString &installedSizeGb);
