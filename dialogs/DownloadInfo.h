#pragma once

#include <QDialog>

#include "dialogs/DownloadInfoForm.h"

// The window the user sees; every DownloadInfo builds a new one and both slots act on it. It points at
// no window once that window is gone.
extern QDialog *g_downloadInfoWindow;

// Shows the sizes of the next download in a window of its own and offers "Cancel" or "Download". The
// main button stays disabled while the window is open.
class DownloadInfo : public QDialog
{
    Q_OBJECT

public:
    explicit DownloadInfo(QWidget *parent = nullptr);
    ~DownloadInfo() override;

    Ui::DownloadInfo *ui;

private slots:
    void on_Cancel_clicked(bool checked);
    void on_Download_clicked(bool checked);

private:
    void closeWindow();

    QDialog *window = nullptr;
};
