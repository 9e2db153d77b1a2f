#include "pipeline/LauncherDownloader.h"

#include "app/Endpoints.h"
#include "pipeline/AppPath.h"
#include "pipeline/PackageTransfer.h"
#include "pipeline/PipelineWindow.h"

#include <QDir>
#include <QNetworkAccessManager>

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

    // One level each; an existing directory, and what an earlier update left in it, stays.
    QDir().mkdir(appPath("/TEMP/"));
    QDir().mkdir(appPath("/TEMP/LauncherUpdate/"));

    PackageTransfer::begin(this, url, appPath("/TEMP/launcher_package.zip"), manager, reply, file);
}

void LauncherDownloader::onDownloadProgress(qint64 received, qint64 total)
{
    PipelineWindow::showDownloadProgress(QStringLiteral("Downloading Launcher Package (1/3)"), received,
                                         total);
}

void LauncherDownloader::onFinished(QNetworkReply *)
{
    if (PackageTransfer::finish(this, reply, file) != PackageTransfer::Outcome::Downloaded)
        return;
    // No hash of the launcher package is published: the step shown as the check compares nothing.
    PipelineWindow::showCheckPassed();
    // Unpacking comes next; until it is there a downloaded package ends the run.
    PipelineWindow::resetToIdle();
}

void LauncherDownloader::onReadyRead()
{
    PackageTransfer::writeAvailable(reply, file);
}

void LauncherDownloader::onReplyFinished()
{
    PackageTransfer::release(reply, file);
}
