#pragma once

#include <QString>
#include <QStringList>

enum class LaunchMode {
    Hash,     // "-gethash FILE": write the file's MD5 to hash.txt and end
    HandOver, // started from TEMP/LauncherUpdate: move the new release over the installation and end
    Normal,   // show the main window
};

// Chooses the mode from the argument list (entry 0 is the program) and the application directory.
LaunchMode chooseLaunchMode(const QStringList &arguments, const QString &appDir);

// Called before the application object exists. The hash mode shows no window, yet the application
// object needs a platform: without a display (a release build server) the default one aborts the
// process. Unless a platform is chosen explicitly, the hash mode gets the windowless one.
void chooseWindowlessPlatformForHashMode(int argc, char **argv);
