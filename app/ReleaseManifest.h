#pragma once

// Fetches the release manifest, fills the shared version/size/hash strings and labels the main button.
void checkReleaseManifest();
