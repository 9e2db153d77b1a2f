#include "core/FileChecksum.h"

#include <QFile>
#include <QVector>

#include <memory>
#include <vector>

namespace {
// Large unbuffered reads: hashing through the device (1 KiB pieces copied out of its 16 KiB buffer)
// costs about a tenth more CPU time per byte than md5sum spends.
constexpr qint64 kBlockSize = 1 << 20;
} // namespace

QStringList fileChecksums(const QString &path, const QList<QCryptographicHash::Algorithm> &algorithms,
                          const std::atomic_bool *stop)
{
    const QStringList none = QVector<QString>(algorithms.size()).toList();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return none;

    std::vector<std::unique_ptr<QCryptographicHash>> hashes;
    for (const QCryptographicHash::Algorithm algorithm : algorithms)
        hashes.push_back(std::make_unique<QCryptographicHash>(algorithm));
    const std::unique_ptr<char[]> block(new char[kBlockSize]);
    for (;;) {
        const qint64 length = file.read(block.get(), kBlockSize);
        if (length < 0 || (stop && *stop))
            return none;
        if (length == 0)
            break;
        for (const auto &hash : hashes)
            hash->addData(block.get(), int(length));
    }
    QStringList digests;
    for (const auto &hash : hashes)
        digests << QString::fromLatin1(hash->result().toHex());
    return digests;
}

QString fileChecksum(const QString &path, QCryptographicHash::Algorithm algorithm)
{
    return fileChecksums(path, {algorithm}).constFirst();
}
