#include "dialogs/DownloadInfo.h"

#include "core/LauncherWindow.h"

#include <QPushButton>

QDialog *g_downloadInfoWindow = nullptr;

DownloadInfo::DownloadInfo(QWidget *parent) : QDialog(parent), ui(new Ui::DownloadInfo)
{
    LauncherWindow::current()->setMainButtonEnabled(false);
    g_downloadInfoWindow = window = new QDialog(nullptr);
    // The window and this object go together once the window has been answered or closed.
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, SIGNAL(finished(int)), this, SLOT(deleteLater()));
    ui->setupUi(window);
    connect(ui->Cancel, SIGNAL(clicked(bool)), this, SLOT(on_Cancel_clicked(bool)));
    connect(ui->Download, SIGNAL(clicked(bool)), this, SLOT(on_Download_clicked(bool)));
    // Closing the window by its title bar or Escape rejects it: that answers like "Cancel", so the
    // main button does not stay disabled with nothing left to re-enable it.
    connect(window, SIGNAL(rejected()), ui->Cancel, SLOT(click()));
    window->show();
}

DownloadInfo::~DownloadInfo()
{
    if (g_downloadInfoWindow == window)
        g_downloadInfoWindow = nullptr;
    delete ui;
}

void DownloadInfo::on_Cancel_clicked(bool)
{
    closeWindow();
    LauncherWindow::current()->setMainButtonEnabled(true);
}

void DownloadInfo::on_Download_clicked(bool)
{
    closeWindow();
    LauncherWindow::current()->startGameDownload();
}

void DownloadInfo::closeWindow()
{
    // The buttons' own close must not come back as a rejection and be answered a second time.
    disconnect(window, SIGNAL(rejected()), ui->Cancel, SLOT(click()));
    window->close();
}
