#pragma once

#include <QString>

// Base addresses of the data repository, fixed at build time; each ends in "/".
namespace Endpoints {
// Raw-file endpoint: the manifest, the change log and the launcher package live under it.
QString raw();
// Release-download endpoint: the game packages live under it.
QString release();

// Test-only: points both endpoints at a server of the test's own. The launcher never calls it.
void overrideForTesting(const QString &rawAddress, const QString &releaseAddress);
} // namespace Endpoints
