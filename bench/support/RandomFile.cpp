#include "bench/support/RandomFile.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>

bool writeRandomFile(const QString &path, qint64 size, quint32 seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QRandomGenerator generator(seed);
    QByteArray block(int(std::min<qint64>(size, 4 << 20)), Qt::Uninitialized);
    for (qint64 left = size; left > 0;) {
        generator.fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        const qint64 n = std::min<qint64>(left, block.size());
        if (file.write(block.constData(), n) != n)
            return false;
        left -= n;
    }
    return true;
}
