#pragma once

#include <QCryptographicHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

// Lowercase hexadecimal digests of the whole file at path, one per algorithm, all from one read; empty
// strings when it cannot be read or *stop turned true meanwhile. The file is streamed, never held in
// memory as a whole.
[[nodiscard]] QStringList fileChecksums(const QString &path,
                                        const QList<QCryptographicHash::Algorithm> &algorithms,
                                        const std::atomic_bool *stop = nullptr);
[[nodiscard]] QString fileChecksum(const QString &path, QCryptographicHash::Algorithm algorithm);
