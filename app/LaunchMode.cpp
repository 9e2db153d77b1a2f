#include "app/LaunchMode.h"

LaunchMode chooseLaunchMode(const QStringList &arguments, const QString &appDir)
{
    if (arguments.size() > 1 && arguments.at(1).startsWith(QLatin1String("-gethash")))
        return LaunchMode::Hash;
    if (appDir.endsWith(QLatin1String("TEMP/LauncherUpdate")))
        return LaunchMode::HandOver;
    return LaunchMode::Normal;
}
