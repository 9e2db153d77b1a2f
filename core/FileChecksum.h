#pragma once

#include <QCryptographicHash>
#include <QString>

#include <atomic>

// Lowercase hexadecimal digest of the whole file at path, or an empty string when it cannot be read or
// *stop turned true meanwhile. The file is streamed, never held in memory as a whole.
[[nodiscard]] QString fileChecksum(const QString &path, QCryptographicHash::Algorithm algorithm,
                                   const std::atomic_bool *stop = nullptr);
