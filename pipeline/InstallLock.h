#pragma once

class QObject;

// One launcher at a time installs into an installation. A run that is about to touch GameDir or TEMP
// takes the installation's lock first; the lock goes with the run object (a child of it) and with the
// application's end, whichever comes first. A lock left by a process that no longer runs is taken over.
//
// Returns whether run now holds the lock. When another launcher holds it, the user is told why nothing
// happens, the window is left idle and run is released.
[[nodiscard]] bool takeInstallLock(QObject *run);
