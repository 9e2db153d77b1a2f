#include "app/WindowSize.h"

QSize launcherWindowSize(int screenWidth)
{
    const float width = float(screenWidth * 0.7);
    const float height = float(double(width) * 0.0625 * 9.0);
    return QSize(int(width), int(height));
}
