#pragma once

#include <QString>

// Run by a new launcher release unpacked in {install}/TEMP/LauncherUpdate (updateDir): moves the release's
// files over the installation, then starts the installed launcher. Does nothing when no launcher is
// installed there. Pauses before and after the move so the old launcher can end and the files settle.
void handOverToInstalledLauncher(const QString &updateDir);
