#include "core/DiskSpace.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStorageInfo>

namespace {
// The volume that holds path, which need not exist yet.
QStorageInfo volumeOf(const QString &path)
{
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing)
            break;
        existing = parent;
    }
    return QStorageInfo(existing);
}

qint64 treeSize(const QString &dir)
{
    qint64 total = 0;
    QDirIterator files(dir, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                       QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        total += files.fileInfo().size();
    }
    return total;
}

QString gigabytes(qint64 bytes)
{
    return QString::number(double(bytes) / 1e9, 'f', 2) + QLatin1String(" GB");
}

// The line for a volume that lacks room, else nothing. A volume whose free space cannot be read is not
// refused.
QString shortage(const QStorageInfo &volume, qint64 needed)
{
    const qint64 free = volume.bytesAvailable();
    if (!volume.isValid() || free < 0 || needed <= free)
        return QString();
    return QStringLiteral("\n%1: %2 needed, %3 free")
        .arg(volume.rootPath(), gigabytes(needed), gigabytes(free));
}
} // namespace

QString diskSpaceShortage(const QString &tempDir, qint64 packageBytes, qint64 partialBytes,
                          const QString &gameDir, qint64 installBytes)
{
    const QStorageInfo tempVolume = volumeOf(tempDir), gameVolume = volumeOf(gameDir);
    const qint64 download = qMax<qint64>(packageBytes - partialBytes, 0);
    // The package stays in TEMP until the extraction has ended, so both are needed at once.
    const qint64 install = installBytes - treeSize(gameDir);
    if (tempVolume == gameVolume)
        return shortage(tempVolume, download + install);
    return shortage(tempVolume, download) + shortage(gameVolume, install);
}
