#include "dialogs/DownloadInfo.h"

QDialog *g_downloadInfoWindow = nullptr;

// Placeholder until the dialog lands: builds nothing.
DownloadInfo::DownloadInfo(QWidget *parent) : QDialog(parent), ui(new Ui::DownloadInfo) {}

DownloadInfo::~DownloadInfo()
{
    delete ui;
}

void DownloadInfo::on_Cancel_clicked(bool) {}

void DownloadInfo::on_Download_clicked(bool) {}
