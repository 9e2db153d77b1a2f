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
