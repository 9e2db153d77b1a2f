#include "pipeline/GameDownloader.h"

#include "core/AppPath.h"
#include "core/AppState.h"
#include "core/DiskSpace.h"
#include "core/Endpoints.h"
#include "core/EventLoopPause.h"
#include "core/InstallState.h"
#include "core/ProgressView.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>

#include <cmath>

namespace {
// How long the finished installation stays on screen before the button offers "Play".
constexpr int kAfterInstallMs = 3000;

// The package of the latest release, as the manifest named it.
QString latestPackageUrl()
{
    QString url = Endpoints::release() + QLatin1String("releases/download/{0}/Client.zip");
    return url.replace(QLatin1String("{0}"), g_latestVersion);
}

// A size of the manifest, in decimal gigabytes, as bytes; text that is not a size counts as nothing.
qint64 manifestBytes(const QString &gigabytes)
{
    const double value = gigabytes.toDouble();
    return std::isfinite(value) && value > 0 ? qint64(std::min(value, 1e9) * 1e9) : 0;
}
} // namespace

GameDownloader::GameDownloader(QObject *parent)
    : PackagePipeline(parent,
                      {latestPackageUrl(), g_latestVersion + ' ' + g_packageHash,
                       appPath("/TEMP/package.zip"), appPath("/GameDir/"),
                       QStringLiteral("Downloading Game Package (1/3)"), QStringLiteral("Preparing...")})
{
}

void GameDownloader::prepareDirectories()
{
    // The old game goes first, then one level each; an existing TEMP is left as it is.
    QDir gameDir(appPath("/GameDir/"));
    if (gameDir.exists())
        gameDir.removeRecursively();
    QDir().mkdir(appPath("/TEMP/"));
    QDir().mkdir(appPath("/GameDir/"));
}

bool GameDownloader::mayDownload()
{
    // Found out before the old game is removed and anything written, not when the disk runs full.
    const QString shortage =
        diskSpaceShortage(appPath("/TEMP/"), manifestBytes(g_packageSizeGb), resumableSize(),
                          appPath("/GameDir/"), manifestBytes(g_installedSizeGb));
    if (shortage.isEmpty())
        return true;
    qDebug().noquote() << "Not enough disk space:" << shortage;
    fail(QStringLiteral("Not enough disk space to download and install the game!"), shortage);
    return false;
}

std::optional<QString> GameDownloader::publishedHash()
{
    return g_packageHash;
}

QString GameDownloader::signedSha256()
{
    return g_packageSha256;
}

void GameDownloader::afterExtraction()
{
    // Only a recorded version makes the installation count: without it the next start would find the
    // game files but offer the whole download again, with no word why.
    const QString failure = writeInstalledVersion(QCoreApplication::applicationDirPath(), g_latestVersion);
    if (!failure.isEmpty()) {
        qDebug() << "c.ini:" << failure;
        fail(QStringLiteral("Failed to save the installed version!\n"), failure);
        return;
    }
    g_installedVersion = g_latestVersion;

    if (!pauseProcessingEvents(kAfterInstallMs))
        return;
    g_gameInstalled = true;
    view().showReadyToPlay();
}
