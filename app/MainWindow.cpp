#include "app/MainWindow.h"

#include "app/AppState.h"
#include "app/DetachedStart.h"
#include "app/DownloadSizeText.h"
#include "app/HandOver.h"
#include "app/HashMode.h"
#include "app/InstallState.h"
#include "app/LaunchMode.h"
#include "app/ReleaseManifest.h"
#include "app/WindowSize.h"
#include "dialogs/DownloadInfo.h"
#include "pipeline/GameDownloader.h"
#include "pipeline/InstallLock.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>

#include <cstdlib>

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList arguments = QCoreApplication::arguments();
    switch (chooseLaunchMode(arguments, appDir)) {
    case LaunchMode::Hash:
        writeHashFile(appDir, arguments.value(2));
        // These modes never show a window: the process ends here, its files already closed.
        std::exit(0);
    case LaunchMode::HandOver:
        handOverToInstalledLauncher(appDir);
        std::exit(0);
    case LaunchMode::Normal:
        break;
    }

    ui->setupUi(this);
    // The pipelines show and hide these; keeping their room means the button never moves.
    const QList<QWidget *> pipelineWidgets = {ui->label, ui->label_2, ui->progressBar, ui->progressBar_2};
    for (QWidget *widget : pipelineWidgets) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }
    for (QWidget *widget : pipelineWidgets)
        widget->hide();
    g_mainWindow = this;

    const QSize size = launcherWindowSize(QGuiApplication::primaryScreen()->geometry().width());
    setFixedSize(size);
    ui->centralwidget->setFixedSize(size);
    QPalette palette;
    palette.setBrush(QPalette::Window, QPixmap(QStringLiteral(":/background/Launcher.png"))
                                           .scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    setPalette(palette);

    // Enabled by the manifest check once it knows what the button should do.
    ui->pushButton->setEnabled(false);
    g_gameInstalled = isGameInstalled(appDir);
    if (const std::optional<QString> version = readInstalledVersion(appDir))
        g_installedVersion = *version;

    checkReleaseManifest();
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::startGameDownload()
{
    auto *downloader = new GameDownloader(nullptr);
    // Another launcher may be installing here right now: its GameDir is not ours to wipe.
    if (!takeInstallLock(downloader))
        return;
    QDir gameDir(QCoreApplication::applicationDirPath() + QLatin1String("/GameDir/"));
    if (gameDir.exists())
        gameDir.removeRecursively();
    downloader->startDownload();
}

void MainWindow::on_pushButton_clicked(bool)
{
    // Exact text on purpose: any difference from the latest release offers the download.
    if (g_gameInstalled && g_latestVersion == g_installedVersion) {
        startQuotedDetached(QCoreApplication::applicationDirPath() + QLatin1String("/GameDir/Velmora.exe"));
        return;
    }
    auto *downloadInfo = new DownloadInfo();
    downloadInfo->ui->textBrowser->setText(downloadSizeText(g_packageSizeGb, g_installedSizeGb));
}
