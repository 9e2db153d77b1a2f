#pragma once

#include <QDialog>

#include "dialogs/LauncherUpdateForm.h"

// The window the user sees; every LauncherUpdate builds a new one and all four slots act on it. It points
// at no window once that window is gone.
extern QDialog *g_launcherUpdateWindow;
// Set once the self-update has started; from then on closing the window or switching applications
// changes nothing.
extern bool g_launcherUpdateStarted;

// Offers the launcher update announced by the release manifest: "Update" starts the self-update,
// "Cancel" or closing the window quits the launcher. An outdated launcher is never used.
class LauncherUpdate : public QDialog
{
    Q_OBJECT

public:
    explicit LauncherUpdate(QWidget *parent = nullptr);
    ~LauncherUpdate() override;

    Ui::LauncherUpdate *ui;

private slots:
    void on_Cancel_clicked(bool checked);
    void on_Update_clicked(bool checked);
    void OnFinish(int result);
    void OnTop(Qt::ApplicationState state);

private:
    QDialog *window = nullptr;
};
