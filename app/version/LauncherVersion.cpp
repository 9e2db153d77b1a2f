#include "app/BuildConfig.h"

const int BuildConfig::kLauncherVersion = VELMORA_LAUNCHER_VERSION;
