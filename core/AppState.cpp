#include "core/AppState.h"

bool g_gameInstalled = false;
QString g_installedVersion = QStringLiteral("0");
QString g_latestVersion = QStringLiteral("0");
QString g_latestLauncherVersion;
QString g_packageSizeGb;
QString g_installedSizeGb;
QString g_packageHash;
QString g_packageSha256;
QString g_launcherPackageSha256;
