#include "app/ReleaseManifest.h"

// Placeholder until the manifest check lands.
void checkReleaseManifest() {}
