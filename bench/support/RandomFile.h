#pragma once

#include <QString>
#include <QtGlobal>

// Writes `size` bytes of incompressible data, the same for the same seed, as real packages hold: a
// sparse or zero-filled file would let the disk, the network path and the decoders skip their work.
bool writeRandomFile(const QString &path, qint64 size, quint32 seed);
