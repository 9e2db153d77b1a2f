#include "core/HandOver.h"

#include "core/DetachedStart.h"
#include "core/EventLoopPause.h"
#include "core/InstallLock.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

namespace {

// The old launcher lets go of the installation's lock when it ends, a moment after starting this copy;
// another launcher may hold it longer. After this long the installation is left as it is.
constexpr int kLockWaitMs = 30000;

// Moves `source` to `target`. A file already at `target` is renamed aside first (Windows allows that even
// for a running executable, which it would refuse to delete) and removed only once the new file is in
// place; when the new file cannot be moved in, the old one goes back. So `target` never goes missing. A
// directory at `target` stays, and so does `source` (a rename never replaces a directory).
void replaceEntry(const QString &source, const QString &target)
{
    const QFileInfo existing(target);
    if (!existing.exists() || existing.isDir()) {
        QFile::rename(source, target);
        return;
    }
    const QString aside = target + QLatin1String(".old");
    QFile::remove(aside);
    if (!QFile::rename(target, aside))
        return;
    if (!QFile::rename(source, target)) {
        QFile::rename(aside, target);
        return;
    }
    // While the old launcher still runs this fails; the next hand-over removes it first.
    QFile::remove(aside);
}

} // namespace

void handOverToInstalledLauncher(const QString &updateDir)
{
    // No window, so nothing quits these pauses early.
    (void)pauseProcessingEvents(2000);

    const QString installDir = updateDir + QLatin1String("/../..");
    const QString installedLauncher = installDir + QLatin1String("/VelmoraGameLauncher.exe");
    if (!QFileInfo(installedLauncher).isFile())
        return;

    // Held from before the move until the installed launcher has started: no other launcher of this
    // installation empties TEMP/LauncherUpdate or starts a hand-over of its own meanwhile.
    QLockFile lock(installLockPath(installDir));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(kLockWaitMs)) {
        qDebug() << "The installation stays locked" << installLockPath(installDir)
                 << "- the update is left for later";
        (void)startQuotedDetached(installedLauncher);
        return;
    }

    const QFileInfoList entries = QDir(updateDir).entryInfoList(
        QDir::Files | QDir::Hidden | QDir::System | QDir::AllDirs | QDir::NoDotAndDotDot, QDir::DirsFirst);
    // Failures leave the entry where it is.
    for (const QFileInfo &entry : entries)
        replaceEntry(entry.absoluteFilePath(), installDir + QLatin1Char('/') + entry.fileName());

    (void)pauseProcessingEvents(1000);
    // This copy has no window to tell of a failed start; the next start of the installation is the user's.
    (void)startQuotedDetached(installedLauncher);
}
