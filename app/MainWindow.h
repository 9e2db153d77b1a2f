#pragma once

#include <QMainWindow>

#include <memory>

#include "app/MainWindowForm.h"
#include "app/WindowProgress.h"
#include "core/LauncherWindow.h"

// The launcher's one window: the background, the main button ("Download", "Update" or "Play") and the
// progress of a package run, which it shows for the pipelines through its progress view.
class MainWindow : public QMainWindow, public LauncherWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void setMainButtonEnabled(bool enabled) override;
    // Starts the game package pipeline: the game directory is replaced by the latest release.
    void startGameDownload() override;

    // The form; the manifest check labels the main button through g_mainWindow->ui.
    Ui::MainWindow *ui;

private slots:
    void on_pushButton_clicked(bool checked);

private:
    std::unique_ptr<WindowProgress> progress;
};

// The one main window, set in normal mode.
extern MainWindow *g_mainWindow;
