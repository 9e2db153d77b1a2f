#include "pipeline/InstallLock.h"

#include "pipeline/AppPath.h"
#include "pipeline/PipelineWindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLockFile>
#include <QObject>

namespace {

// Owns the lock file for the life of a run. The application's end releases it too: a run that ends the
// process from inside its own slots (the launcher update) is never destroyed.
class RunLock : public QObject
{
public:
    explicit RunLock(QObject *run) : QObject(run), lockFile(appPath("/install.lock"))
    {
        // An installation may take longer than any fixed age: only a dead owner makes the lock stale.
        lockFile.setStaleLockTime(0);
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { lockFile.unlock(); });
    }

    bool tryLock() { return lockFile.tryLock(0); }
    bool heldElsewhere() const { return lockFile.error() == QLockFile::LockFailedError; }

private:
    QLockFile lockFile;
};

} // namespace

bool takeInstallLock(QObject *run)
{
    auto *lock = new RunLock(run);
    if (lock->tryLock())
        return true;
    qDebug() << (lock->heldElsewhere() ? "Another launcher is installing in this folder" : "Cannot lock")
             << appPath("/install.lock");
    PipelineWindow::reportFailure(
        lock->heldElsewhere()
            ? QStringLiteral("Another launcher is installing in this folder!\nPlease try again later.")
            : QStringLiteral("Failed to lock the installation folder!\n") + appPath("/install.lock"));
    PipelineWindow::resetToIdle();
    run->deleteLater();
    return false;
}
