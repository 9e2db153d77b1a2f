#include "core/InstallState.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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

QString writeInstalledVersion(const QString &appDir, const QString &version)
{
    // Written aside and renamed into place: a full disk leaves the old record, never a cut one. No hidden
    // attribute outside Windows; the name and content stay as they are.
    QSaveFile file(appDir + QLatin1String("/c.ini"));
    const QByteArray bytes = version.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
    return QString();
}
