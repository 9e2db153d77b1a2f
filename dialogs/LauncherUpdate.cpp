#include "dialogs/LauncherUpdate.h"

#include "pipeline/LauncherDownloader.h"

#include <QCoreApplication>
#include <QPushButton>

QDialog *g_launcherUpdateWindow = nullptr;
bool g_launcherUpdateStarted = false;

LauncherUpdate::LauncherUpdate(QWidget *parent) : QDialog(parent), ui(new Ui::LauncherUpdate)
{
    g_launcherUpdateWindow = window = new QDialog(nullptr);
    ui->setupUi(window);
    connect(ui->Cancel, SIGNAL(clicked(bool)), this, SLOT(on_Cancel_clicked(bool)));
    connect(ui->Update, SIGNAL(clicked(bool)), this, SLOT(on_Update_clicked(bool)));
    connect(window, SIGNAL(finished(int)), this, SLOT(OnFinish(int)));
    // The window and this object go together once the window has been answered or closed.
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, SIGNAL(finished(int)), this, SLOT(deleteLater()));
    connect(QCoreApplication::instance(), SIGNAL(applicationStateChanged(Qt::ApplicationState)), this,
            SLOT(OnTop(Qt::ApplicationState)));
    window->show();
}

LauncherUpdate::~LauncherUpdate()
{
    if (g_launcherUpdateWindow == window)
        g_launcherUpdateWindow = nullptr;
    delete ui;
}

void LauncherUpdate::on_Cancel_clicked(bool)
{
    QCoreApplication::exit(0);
}

void LauncherUpdate::on_Update_clicked(bool)
{
    // Nothing may raise this window above a box the start may show (another launcher installing here):
    // it would stand over the box like a hung window.
    g_launcherUpdateStarted = true;
    window->setWindowFlags(window->windowFlags() & ~Qt::WindowStaysOnTopHint);
    window->show();
    if (!(new LauncherDownloader(nullptr))->startDownload()) {
        g_launcherUpdateStarted = false; // the offer stands
        return;
    }
    // Closing emits finished(), and OnFinish must see the update as started.
    window->close();
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
        window->setWindowFlags(window->windowFlags() | Qt::WindowStaysOnTopHint);
    window->show();
}
