#include "dialogs/LauncherUpdate.h"

#include "pipeline/InstallLock.h"
#include "pipeline/LauncherDownloader.h"

#include <QCoreApplication>
#include <QPushButton>

QDialog *g_launcherUpdateWindow = nullptr;
bool g_launcherUpdateStarted = false;

LauncherUpdate::LauncherUpdate(QWidget *parent) : QDialog(parent), ui(new Ui::LauncherUpdate)
{
    g_launcherUpdateWindow = new QDialog(nullptr);
    ui->setupUi(g_launcherUpdateWindow);
    connect(ui->Cancel, SIGNAL(clicked(bool)), this, SLOT(on_Cancel_clicked(bool)));
    connect(ui->Update, SIGNAL(clicked(bool)), this, SLOT(on_Update_clicked(bool)));
    connect(g_launcherUpdateWindow, SIGNAL(finished(int)), this, SLOT(OnFinish(int)));
    connect(QCoreApplication::instance(), SIGNAL(applicationStateChanged(Qt::ApplicationState)), this,
            SLOT(OnTop(Qt::ApplicationState)));
    g_launcherUpdateWindow->show();
}

LauncherUpdate::~LauncherUpdate()
{
    delete ui;
}

void LauncherUpdate::on_Cancel_clicked(bool)
{
    QCoreApplication::exit(0);
}

void LauncherUpdate::on_Update_clicked(bool)
{
    auto *downloader = new LauncherDownloader(nullptr);
    if (takeInstallLock(downloader))
        downloader->startDownload();
    // Before closing: closing emits finished(), and OnFinish must see the update as started.
    g_launcherUpdateStarted = true;
    g_launcherUpdateWindow->close();
}

void LauncherUpdate::OnFinish(int)
{
    if (!g_launcherUpdateStarted)
        QCoreApplication::exit(0);
}

void LauncherUpdate::OnTop(Qt::ApplicationState state)
{
    if (g_launcherUpdateStarted)
        return;
    // Changing the flags hides the window; showing it in every state also brings back a hidden one.
    if (state == Qt::ApplicationActive)
        g_launcherUpdateWindow->setWindowFlags(g_launcherUpdateWindow->windowFlags() |
                                               Qt::WindowStaysOnTopHint);
    g_launcherUpdateWindow->show();
}
