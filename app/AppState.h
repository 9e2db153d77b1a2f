#pragma once

#include <QString>

class MainWindow;

// Process-wide application state, used on the GUI thread only.
extern MainWindow *g_mainWindow;
extern bool g_gameInstalled;
extern QString g_installedVersion;
extern QString g_latestVersion;
extern QString g_packageSizeGb;
extern QString g_installedSizeGb;
extern QString g_packageHash;
