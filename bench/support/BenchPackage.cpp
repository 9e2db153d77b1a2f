#include "bench/support/BenchPackage.h"

#include "bench/support/RandomFile.h"
#include "bench/support/ToolRun.h"

#include <QByteArrayList>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kLargeFileBytes = 20 * kMiB;
// The size whose counts the layout is written for (40 + 30 large files, 3000 small ones).
constexpr double kReferenceMiB = 1450.0;

// Random words: compresses about as well as text. Deflate looks back 32 KiB only, so a file repeating
// one block of them compresses no better than the block.
QByteArray textBlock(int size, QRandomGenerator &random)
{
    static const QByteArrayList words = QByteArray("mesh texture level shader sound river stone light shadow "
                                                   "castle forest velmora quest dragon ember glass tower")
                                            .split(' ');
    QByteArray block;
    block.reserve(size + 16);
    while (block.size() < size) {
        block += words[int(random.bounded(words.size()))];
        block += random.bounded(8) ? ' ' : '\n';
    }
    block.truncate(size);
    return block;
}

bool writeTextFile(const QString &path, qint64 size, QRandomGenerator &random)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray block = textBlock(int(std::min<qint64>(size, 4 * kMiB)), random);
    for (qint64 left = size; left > 0;) {
        const qint64 n = std::min<qint64>(left, block.size());
        if (file.write(block.constData(), n) != n)
            return false;
        left -= n;
    }
    return true;
}

bool writeFile(const QString &path, qint64 size, bool textLike, QRandomGenerator &random)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return textLike ? writeTextFile(path, size, random) : writeRandomFile(path, size, random.generate());
}

int scaled(int count, double scale, int atLeast)
{
    return std::max(atLeast, int(std::lround(count * scale)));
}

} // namespace

BenchPackage::BenchPackage(const QString &baseDirectory, int unpackedMiB, bool stored)
    : m_cache(QStringLiteral("%1/velmora-bench-tree-%2MiB").arg(baseDirectory).arg(unpackedMiB)),
      m_unpackedMiB(unpackedMiB), m_stored(stored),
      m_package(m_cache + (stored ? QStringLiteral("/stored.zip") : QStringLiteral("/deflated.zip")))
{
}

bool BenchPackage::prepare()
{
    const QString treeMarker = m_cache + QStringLiteral("/tree.complete");
    if (!QFile::exists(treeMarker)) {
        std::printf("generating the package tree in %s ...\n", qPrintable(treePath()));
        std::fflush(stdout);
        QDir(m_cache).removeRecursively();
        if (!makeTree() || !QFile(treeMarker).open(QIODevice::WriteOnly))
            return false;
    }
    if (!QFile::exists(m_package)) {
        std::printf("packing %s ...\n", qPrintable(m_package));
        std::fflush(stdout);
        const QString partial = m_package + QStringLiteral(".partial");
        QFile::remove(partial);
        const ToolRun pack = runTool(
            QStringLiteral("7zz"),
            {"a", "-tzip", m_stored ? "-mx=0" : "-mx=5", "-bd", "-bso0", "-bsp0", partial, "."}, treePath());
        if (!pack.ok || !QFile::rename(partial, m_package))
            return false;
    }
    return true;
}

void BenchPackage::printDescription() const
{
    const Summary tree = expected();
    std::printf("package %s: %.2f GB (%s), %lld files, %.2f GB unpacked\n", qPrintable(m_package),
                double(QFileInfo(m_package).size()) / 1e9, m_stored ? "stored" : "deflated", tree.files,
                double(tree.bytes) / 1e9);
}

bool BenchPackage::makeTree() const
{
    const double scale = m_unpackedMiB / kReferenceMiB;
    const QString root = treePath();
    QRandomGenerator random(20261206);
    const int randomFiles = scaled(40, scale, 1);
    for (int i = 0; i < randomFiles; ++i) {
        if (!writeFile(QStringLiteral("%1/data/pak%2/archive%3.pak").arg(root).arg(i % 4).arg(i),
                       kLargeFileBytes, false, random))
            return false;
    }
    const int textFiles = scaled(30, scale, 1);
    for (int i = 0; i < textFiles; ++i) {
        if (!writeFile(QStringLiteral("%1/scripts/module%2/script%3.txt").arg(root).arg(i % 5).arg(i),
                       kLargeFileBytes, true, random))
            return false;
    }
    const int smallFiles = scaled(3000, scale, 10);
    for (int i = 0; i < smallFiles; ++i) {
        if (!writeFile(QStringLiteral("%1/assets/group%2/asset%3.bin").arg(root).arg(i % 50).arg(i),
                       1024 + random.bounded(32 * 1024), i % 2 == 0, random))
            return false;
    }
    return true;
}

BenchPackage::Summary BenchPackage::summarize(const QString &root)
{
    Summary summary;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++summary.files;
        summary.bytes += it.fileInfo().size();
    }
    return summary;
}

void BenchPackage::readIntoPageCache(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    while (!file.read(16 * kMiB).isEmpty()) {
    }
}

bool BenchPackageOptions::take(const QStringList &args, int &i)
{
    const bool hasValue = i + 1 < args.size();
    if (args[i] == QLatin1String("--dir") && hasValue)
        dir = args[++i];
    else if (args[i] == QLatin1String("--size") && hasValue)
        unpackedMiB = std::max(1, args[++i].toInt());
    else if (args[i] == QLatin1String("--rounds") && hasValue)
        rounds = std::max(1, args[++i].toInt());
    else if (args[i] == QLatin1String("--stored"))
        stored = true;
    else
        return false;
    return true;
}
