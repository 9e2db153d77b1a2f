#pragma once

#include "core/CurrentInstance.h"

// What the dialogs may ask of the main window.
class LauncherWindow : public CurrentInstance<LauncherWindow>
{
public:
    virtual ~LauncherWindow() = default;

    // The main button is disabled while a dialog decides what it does next.
    virtual void setMainButtonEnabled(bool enabled) = 0;
    // Starts the game package pipeline: the game directory is replaced by the latest release.
    virtual void startGameDownload() = 0;
};
