#pragma once

// Reads the release manifest and sets the launcher up for it: the state of the latest release, the main
// button's label and whether it is enabled, or the launcher-update dialog when a newer launcher exists.
void checkReleaseManifest();
