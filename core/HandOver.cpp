#include "core/HandOver.h"

#include "core/DetachedStart.h"
#include "core/EventLoopPause.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

void handOverToInstalledLauncher(const QString &updateDir)
{
    // No window, so nothing quits these pauses early.
    (void)pauseProcessingEvents(2000);

    const QString installDir = updateDir + QLatin1String("/../..");
    const QString installedLauncher = installDir + QLatin1String("/VelmoraGameLauncher.exe");
    if (!QFileInfo(installedLauncher).isFile())
        return;

    const QFileInfoList entries = QDir(updateDir).entryInfoList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::AllDirs | QDir::NoDotAndDotDot, QDir::DirsFirst);
    for (const QFileInfo &entry : entries) {
        const QString target = installDir + QLatin1Char('/') + entry.fileName();
        // A file of the same name is replaced; a directory of the same name stays, and so does the
        // new one (a rename never replaces an existing entry). Failures leave the entry where it is.
        if (QFileInfo::exists(target))
            QFile::remove(target);
        QFile::rename(entry.absoluteFilePath(), target);
    }

    (void)pauseProcessingEvents(1000);
    // This copy has no window to tell of a failed start; the next start of the installation is the user's.
    (void)startQuotedDetached(installedLauncher);
}
