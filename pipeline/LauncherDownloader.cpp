#include "pipeline/LauncherDownloader.h"

#include "app/DetachedStart.h"
#include "app/Endpoints.h"
#include "app/EventLoopPause.h"
#include "pipeline/AppPath.h"
#include "pipeline/ExtractionHandOff.h"
#include "pipeline/PackageTransfer.h"
#include "pipeline/PipelineWindow.h"

#include <QDebug>
#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>

namespace {
// The finished extraction stays on screen this long before the new launcher starts, and this one
// waits a moment more before it ends.
constexpr int kBeforeStartMs = 3000;
constexpr int kBeforeQuitMs = 1000;
} // namespace

LauncherDownloader::LauncherDownloader(QObject *parent) : QObject(parent) {}

LauncherDownloader::~LauncherDownloader()
{
    if (manager)
        manager->deleteLater();
}

void LauncherDownloader::startDownload()
{
    PipelineWindow::showPreparing();
    const QString url = Endpoints::raw() + QLatin1String("main/launcher/OSRELWIN/Launcher.zip");

    // Emptied first: the hand-over moves everything found there over the installation, and files an
    // earlier attempt left behind are no part of this release.
    QDir().mkdir(appPath("/TEMP/"));
    QDir(appPath("/TEMP/LauncherUpdate/")).removeRecursively();
    QDir().mkdir(appPath("/TEMP/LauncherUpdate/"));

    PackageTransfer::begin(this, url, appPath("/TEMP/launcher_package.zip"), manager, reply, file);
}

void LauncherDownloader::onDownloadProgress(qint64 received, qint64 total)
{
    if (PackageTransfer::isCurrent(sender(), reply))
        PackageTransfer::showProgress(reply, QStringLiteral("Downloading Launcher Package (1/3)"), received,
                                      total);
}

void LauncherDownloader::onFinished(QNetworkReply *finishedReply)
{
    if (PackageTransfer::finish(this, finishedReply, manager, reply, file) !=
        PackageTransfer::Outcome::Downloaded)
        return;
    // No hash of the launcher package is published: the step shown as the check compares nothing.
    PipelineWindow::showCheckPassed();
    ExtractionHandOff::start(this, appPath("/TEMP/launcher_package.zip"), appPath("/TEMP/LauncherUpdate/"));
}

void LauncherDownloader::onReadyRead()
{
    if (PackageTransfer::isCurrent(sender(), reply))
        PackageTransfer::writeAvailable(this, manager, reply, file);
}

void LauncherDownloader::onReplyFinished()
{
    if (PackageTransfer::isCurrent(sender(), reply))
        PackageTransfer::closeAfterLastHop(reply, file);
}

void LauncherDownloader::WorkerThread_Started(int result)
{
    ExtractionHandOff::checkEngine(result);
}

void LauncherDownloader::ExtractRange(const quint64 val)
{
    PipelineWindow::setStepTotal(val);
}

void LauncherDownloader::ExtractionValue(const quint64 val)
{
    PipelineWindow::showExtractionValue(val);
}

void LauncherDownloader::Operation_Result(Q7Zip::Operation operation, const QString archive_filename,
                                          int result)
{
    if (!ExtractionHandOff::finish(this, operation, archive_filename, result,
                                   QStringLiteral("Preparing For Launcher Update...")))
        return;
    // A window closed meanwhile ends the launcher without starting another.
    if (!pauseProcessingEvents(kBeforeStartMs))
        return;
    const QString newLauncher = appPath("/TEMP/LauncherUpdate/VelmoraGameLauncher.exe");
    if (!startQuotedDetached(newLauncher)) {
        // Ending here would only bring the same update back at the next start, with no word why.
        qDebug() << "Failed to start" << newLauncher;
        PipelineWindow::reportFailure(QStringLiteral("Failed to start the new launcher!\n") + newLauncher);
        PipelineWindow::resetToIdle();
        return;
    }
    (void)pauseProcessingEvents(kBeforeQuitMs);
    QCoreApplication::exit(0);
}
