#include "app/InstallState.h"

#include <QFile>
#include <QFileInfo>

bool isGameInstalled(const QString &appDir)
{
    return QFileInfo(appDir + QLatin1String("/GameDir/Velmora.exe")).isFile();
}

std::optional<QString> readInstalledVersion(const QString &appDir)
{
    QFile file(appDir + QLatin1String("/c.ini"));
    if (!QFileInfo(file).isFile())
        return std::nullopt;
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QByteArray bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return QString::fromUtf8(bytes);
}
