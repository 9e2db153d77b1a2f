#pragma once

#include <QSize>

// The main window's fixed size on a screen of the given width: 70 % of it, at 16:9.
QSize launcherWindowSize(int screenWidth);
