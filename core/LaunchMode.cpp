#include "core/LaunchMode.h"

namespace {

bool selectsHashMode(const QStringList &arguments)
{
    return arguments.size() > 1 && arguments.at(1).startsWith(QLatin1String("-gethash"));
}

} // namespace

LaunchMode chooseLaunchMode(const QStringList &arguments, const QString &appDir)
{
    if (selectsHashMode(arguments))
        return LaunchMode::Hash;
    if (appDir.endsWith(QLatin1String("TEMP/LauncherUpdate")))
        return LaunchMode::HandOver;
    return LaunchMode::Normal;
}

void chooseWindowlessPlatformForHashMode(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc && i < 2; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (selectsHashMode(arguments) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
