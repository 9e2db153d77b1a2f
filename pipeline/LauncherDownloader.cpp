#include "pipeline/LauncherDownloader.h"

#include "core/AppPath.h"
#include "core/AppState.h"
#include "core/DetachedStart.h"
#include "core/Endpoints.h"
#include "core/EventLoopPause.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

namespace {
// The finished extraction stays on screen this long before the new launcher starts, and this one
// waits a moment more before it ends.
constexpr int kBeforeStartMs = 3000;
constexpr int kBeforeQuitMs = 1000;
} // namespace

LauncherDownloader::LauncherDownloader(QObject *parent)
    : PackagePipeline(parent,
                      {Endpoints::raw() + QLatin1String("main/launcher/OSRELWIN/Launcher.zip"),
                       g_latestLauncherVersion, appPath("/TEMP/launcher_package.zip"),
                       appPath("/TEMP/LauncherUpdate/"), QStringLiteral("Downloading Launcher Package (1/3)"),
                       QStringLiteral("Preparing For Launcher Update...")})
{
}

void LauncherDownloader::prepareDirectories()
{
    // Emptied first: the hand-over moves everything found there over the installation, and files an
    // earlier attempt left behind are no part of this release.
    QDir().mkdir(appPath("/TEMP/"));
    QDir(appPath("/TEMP/LauncherUpdate/")).removeRecursively();
    QDir().mkdir(appPath("/TEMP/LauncherUpdate/"));
}

std::optional<QString> LauncherDownloader::publishedHash()
{
    // The manifest publishes no MD5 of the launcher package: only a signed release says what it must be.
    return std::nullopt;
}

QString LauncherDownloader::signedSha256()
{
    return g_launcherPackageSha256;
}

void LauncherDownloader::afterExtraction()
{
    // A window closed meanwhile ends the launcher without starting another.
    if (!pauseProcessingEvents(kBeforeStartMs))
        return;
    const QString newLauncher = appPath("/TEMP/LauncherUpdate/VelmoraGameLauncher.exe");
    if (!startQuotedDetached(newLauncher)) {
        // Ending here would only bring the same update back at the next start, with no word why.
        qDebug() << "Failed to start" << newLauncher;
        fail(QStringLiteral("Failed to start the new launcher!\n"), newLauncher);
        return;
    }
    (void)pauseProcessingEvents(kBeforeQuitMs);
    QCoreApplication::exit(0);
}
