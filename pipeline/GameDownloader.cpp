#include "pipeline/GameDownloader.h"

#include "app/AppState.h"
#include "app/Endpoints.h"
#include "app/FileChecksum.h"
#include "pipeline/AppPath.h"
#include "pipeline/PackageTransfer.h"
#include "pipeline/PipelineWindow.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>

GameDownloader::GameDownloader(QObject *parent) : QObject(parent) {}

GameDownloader::~GameDownloader()
{
    if (manager)
        manager->deleteLater();
}

void GameDownloader::startDownload()
{
    PipelineWindow::showPreparing();
    QString url = Endpoints::release() + QLatin1String("releases/download/{0}/Client.zip");
    url.replace(QLatin1String("{0}"), g_latestVersion);

    // One level each; an existing directory is left as it is.
    QDir().mkdir(appPath("/TEMP/"));
    QDir().mkdir(appPath("/GameDir/"));

    PackageTransfer::begin(this, url, appPath("/TEMP/package.zip"), manager, reply, file);
}

void GameDownloader::onDownloadProgress(qint64 received, qint64 total)
{
    PackageTransfer::showProgress(reply, QStringLiteral("Downloading Game Package (1/3)"), received, total);
}

void GameDownloader::onFinished(QNetworkReply *)
{
    if (PackageTransfer::finish(this, reply, file) != PackageTransfer::Outcome::Downloaded)
        return;

    const QString packagePath = appPath("/TEMP/package.zip");
    if (g_packageHash != fileChecksum(packagePath, QCryptographicHash::Md5)) {
        PipelineWindow::reportFailure(QStringLiteral("Failed to check package!\nPlease try again later."));
        PipelineWindow::resetToIdle();
        QFile::remove(packagePath);
        return;
    }
    PipelineWindow::showCheckPassed();
    // Installation comes next; until it is there a checked package ends the run.
    PipelineWindow::resetToIdle();
}

void GameDownloader::onReadyRead()
{
    PackageTransfer::writeAvailable(reply, file);
}

void GameDownloader::onReplyFinished()
{
    PackageTransfer::release(reply, file);
}
