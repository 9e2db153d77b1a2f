#include "core/InstallLock.h"

#include <QCoreApplication>
#include <QLockFile>
#include <QObject>

namespace {

// Owns the lock file for the life of a run. The application's end releases it too: a run that ends the
// process from inside its own slots (the launcher update) is never destroyed.
class RunLock : public QObject
{
public:
    explicit RunLock(QObject *run) : QObject(run), lockFile(installLockPath())
    {
        // An installation may take longer than any fixed age: only a dead owner makes the lock stale.
        lockFile.setStaleLockTime(0);
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                [this] { lockFile.unlock(); });
    }

    InstallLock take()
    {
        if (lockFile.tryLock(0))
            return InstallLock::Taken;
        return lockFile.error() == QLockFile::LockFailedError ? InstallLock::HeldElsewhere
                                                              : InstallLock::Unavailable;
    }

private:
    QLockFile lockFile;
};

} // namespace

InstallLock takeInstallLock(QObject *run)
{
    auto *lock = new RunLock(run);
    const InstallLock result = lock->take();
    if (result != InstallLock::Taken)
        delete lock;
    return result;
}

QString installLockPath()
{
    return installLockPath(QCoreApplication::applicationDirPath());
}

QString installLockPath(const QString &installDir)
{
    return installDir + QLatin1String("/install.lock");
}
