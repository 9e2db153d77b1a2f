#pragma once

#include <QString>

// Process-wide state of the installation and the latest release, used on the GUI thread only.
extern bool g_gameInstalled;
extern QString g_installedVersion;
extern QString g_latestVersion;
extern QString g_latestLauncherVersion;
extern QString g_packageSizeGb;
extern QString g_installedSizeGb;
extern QString g_packageHash;
// The SHA-256 of the game and launcher packages that the publisher signed; empty when releases are not
// signed.
extern QString g_packageSha256;
extern QString g_launcherPackageSha256;
