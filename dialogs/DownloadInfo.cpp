#include "dialogs/DownloadInfo.h"

#include "app/AppState.h"
#include "app/MainWindow.h"

#include <QPushButton>

QDialog *g_downloadInfoWindow = nullptr;

DownloadInfo::DownloadInfo(QWidget *parent) : QDialog(parent), ui(new Ui::DownloadInfo)
{
    g_mainWindow->ui->pushButton->setEnabled(false);
    g_downloadInfoWindow = new QDialog(nullptr);
    ui->setupUi(g_downloadInfoWindow);
    connect(ui->Cancel, SIGNAL(clicked(bool)), this, SLOT(on_Cancel_clicked(bool)));
    connect(ui->Download, SIGNAL(clicked(bool)), this, SLOT(on_Download_clicked(bool)));
    // Closing the window by its title bar or Escape rejects it: that answers like "Cancel", so the
    // main button does not stay disabled with nothing left to re-enable it.
    connect(g_downloadInfoWindow, SIGNAL(rejected()), ui->Cancel, SLOT(click()));
    g_downloadInfoWindow->show();
}

DownloadInfo::~DownloadInfo()
{
    delete ui;
}

void DownloadInfo::on_Cancel_clicked(bool)
{
    closeWindow();
    g_mainWindow->ui->pushButton->setEnabled(true);
}

void DownloadInfo::on_Download_clicked(bool)
{
    closeWindow();
    g_mainWindow->startGameDownload();
}

void DownloadInfo::closeWindow()
{
    // The buttons' own close must not come back as a rejection and be answered a second time.
    disconnect(g_downloadInfoWindow, SIGNAL(rejected()), ui->Cancel, SLOT(click()));
    g_downloadInfoWindow->close();
}
