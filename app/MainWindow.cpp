#include "app/MainWindow.h"

#include "app/ManifestCheck.h"
#include "app/WindowSize.h"
#include "core/AppState.h"
#include "core/DetachedStart.h"
#include "core/DownloadSizeText.h"
#include "core/HandOver.h"
#include "core/HashMode.h"
#include "core/InstallState.h"
#include "core/LaunchMode.h"
#include "dialogs/DownloadInfo.h"
#include "pipeline/GameDownloader.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>

#include <cstdlib>

MainWindow *g_mainWindow = nullptr;

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
    progress = std::make_unique<WindowProgress>(*ui);

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
    if (g_mainWindow == this)
        g_mainWindow = nullptr;
    delete ui;
}

void MainWindow::setMainButtonEnabled(bool enabled)
{
    ui->pushButton->setEnabled(enabled);
}

void MainWindow::startGameDownload()
{
    (void)(new GameDownloader(nullptr))->startDownload();
}

void MainWindow::on_pushButton_clicked(bool)
{
    // Exact text on purpose: any difference from the latest release offers the download.
    if (g_gameInstalled && g_latestVersion == g_installedVersion) {
        // The launcher stays open whatever the game does; a game that cannot start shows nothing here.
        (void)startQuotedDetached(QCoreApplication::applicationDirPath() +
                                  QLatin1String("/GameDir/Velmora.exe"));
        return;
    }
    auto *downloadInfo = new DownloadInfo();
    downloadInfo->ui->textBrowser->setText(downloadSizeText(g_packageSizeGb, g_installedSizeGb));
}
