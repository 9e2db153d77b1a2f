#pragma once

#include <QString>
#include <QtGlobal>

// Whether a package download and its installation fit on disk. The package of packageBytes goes into
// tempDir, which may hold partialBytes of it already; the game of installBytes goes into gameDir,
// replacing the one there, whose files give their space back. Returns what is needed and what is free
// on each volume that lacks room, as lines of a message, or an empty string when everything fits.
[[nodiscard]] QString diskSpaceShortage(const QString &tempDir, qint64 packageBytes, qint64 partialBytes,
                                        const QString &gameDir, qint64 installBytes);
