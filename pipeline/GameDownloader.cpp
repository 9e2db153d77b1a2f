#include "pipeline/GameDownloader.h"

#include "app/AppState.h"
#include "app/Endpoints.h"
#include "app/EventLoopPause.h"
#include "app/FileChecksum.h"
#include "app/InstallState.h"
#include "app/MainWindow.h"
#include "pipeline/AppPath.h"
#include "pipeline/ExtractionHandOff.h"
#include "pipeline/PackageTransfer.h"
#include "pipeline/PipelineWindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>

namespace {
// How long the finished installation stays on screen before the button offers "Play".
constexpr int kAfterInstallMs = 3000;
} // namespace

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
    if (PackageTransfer::isCurrent(sender(), reply))
        PackageTransfer::showProgress(reply, QStringLiteral("Downloading Game Package (1/3)"), received,
                                      total);
}

void GameDownloader::onFinished(QNetworkReply *finishedReply)
{
    if (PackageTransfer::finish(this, finishedReply, manager, reply, file) !=
        PackageTransfer::Outcome::Downloaded)
        return;

    const QString packagePath = appPath("/TEMP/package.zip");
    if (g_packageHash != fileChecksum(packagePath, QCryptographicHash::Md5)) {
        PipelineWindow::reportFailure(QStringLiteral("Failed to check package!\nPlease try again later."));
        PipelineWindow::resetToIdle();
        QFile::remove(packagePath);
        // No extraction follows to release the pipeline.
        deleteLater();
        return;
    }
    PipelineWindow::showCheckPassed();
    ExtractionHandOff::start(this, packagePath, appPath("/GameDir/"));
}

void GameDownloader::onReadyRead()
{
    if (PackageTransfer::isCurrent(sender(), reply))
        PackageTransfer::writeAvailable(this, manager, reply, file);
}

void GameDownloader::onReplyFinished()
{
    if (PackageTransfer::isCurrent(sender(), reply))
        PackageTransfer::closeAfterLastHop(reply, file);
}

void GameDownloader::WorkerThread_Started(int result)
{
    ExtractionHandOff::checkEngine(result);
}

void GameDownloader::ExtractRange(const quint64 val)
{
    PipelineWindow::setStepTotal(val);
}

void GameDownloader::ExtractionValue(const quint64 val)
{
    PipelineWindow::showExtractionValue(val);
}

void GameDownloader::Operation_Result(Q7Zip::Operation operation, const QString archive_filename, int result)
{
    if (!ExtractionHandOff::finish(this, operation, archive_filename, result, QStringLiteral("Preparing...")))
        return;

    // Only a recorded version makes the installation count: without it the next start would find the
    // game files but offer the whole download again, with no word why.
    const QString failure = writeInstalledVersion(QCoreApplication::applicationDirPath(), g_latestVersion);
    if (!failure.isEmpty()) {
        qDebug() << "c.ini:" << failure;
        PipelineWindow::reportFailure(QStringLiteral("Failed to save the installed version!\n") + failure);
        PipelineWindow::resetToIdle();
        return;
    }
    g_installedVersion = g_latestVersion;

    if (!pauseProcessingEvents(kAfterInstallMs))
        return;
    Ui::MainWindow &ui = *g_mainWindow->ui;
    ui.pushButton->setText(QStringLiteral("Play"));
    ui.pushButton->setEnabled(true);
    g_gameInstalled = true;
    ui.progressBar->hide();
    ui.label->hide();
}
