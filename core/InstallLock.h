#pragma once

#include <QString>

class QObject;

// One launcher at a time installs into an installation. A run that is about to touch GameDir or TEMP
// takes the installation's lock first; the lock goes with the run object (a child of it) or with the
// application's end, whichever comes first. A lock left by a process that no longer runs is taken over.
enum class InstallLock {
    Taken,
    HeldElsewhere, // another launcher is installing here
    Unavailable,   // the lock file cannot be made (a folder that cannot be written to)
};

[[nodiscard]] InstallLock takeInstallLock(QObject *run);

// The lock file's path, for messages; that of the installation in installDir.
QString installLockPath();
QString installLockPath(const QString &installDir);
