#include "core/BuildConfig.h"

// Kept alone in its translation unit: an executable that brings its own definition (a test build of a
// newer launcher) never pulls this one from the library.
const int BuildConfig::kLauncherVersion = VELMORA_LAUNCHER_VERSION;
