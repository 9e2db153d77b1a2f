#include "core/InstallState.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

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
    // Written aside and renamed into place: a full disk leaves the old record, never a cut one. The new
    // file replaces a hidden one too (a rename, unlike a truncating open, is not refused by the attribute).
    const QString path = appDir + QLatin1String("/c.ini");
    QSaveFile file(path);
    const QByteArray bytes = version.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return file.errorString();
#ifdef Q_OS_WIN
    // Hidden, and nothing else, as the record has always been; a file left visible still reads the same.
    (void)SetFileAttributesW(reinterpret_cast<const wchar_t *>(path.utf16()), FILE_ATTRIBUTE_HIDDEN);
#endif
    return QString();
}
