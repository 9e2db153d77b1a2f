// The release manifest from the web: its parse, and what the window makes of it (the button's choices,
// the download dialog's sizes).
#include "core/DownloadSizeText.h"
#include "core/ReleaseManifest.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString body = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const std::optional<ReleaseManifest> manifest = ReleaseManifest::parse(body);
    if (manifest.has_value() != (body.count(QLatin1Char(';')) == 4))
        std::abort(); // exactly five fields, empty ones too
    if (!manifest)
        return 0;
    // Five fields kept as they came: joined again, they are the body.
    const QStringList fields = {manifest->launcherVersion, manifest->gameVersion, manifest->packageSizeGb,
                                manifest->installedSizeGb, manifest->packageHash};
    if (fields.join(QLatin1Char(';')) != body || manifest->offersGameUpdate(manifest->gameVersion))
        std::abort();
    (void)manifest->offersLauncherUpdate(3);
    (void)manifest->offersGameUpdate(manifest->packageHash); // any text an installed version may hold
    (void)downloadSizeText(manifest->packageSizeGb, manifest->installedSizeGb);
    return 0;
}
