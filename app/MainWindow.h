#pragma once

#include <QMainWindow>

#include "app/MainWindowForm.h"

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Starts the game package pipeline: wipes the game directory, then downloads the latest release.
    void startGameDownload();

    // The form; pipelines and dialogs reach the main widgets through g_mainWindow->ui.
    Ui::MainWindow *ui;

private slots:
    void on_pushButton_clicked(bool checked);
};
