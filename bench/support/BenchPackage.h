#pragma once

#include <QDir>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// A game-like tree and its zip package, generated on first use into a cache directory and kept for later
// runs: large incompressible files (55 %), large text-like files (41 %, deflate's real work) and many small
// files (4 %, half of each kind), packed by 7zz stored (-mx=0: the file streams carry the whole cost) or
// deflated (-mx=5). The counts scale with the size asked for: 1450 MiB give 40 + 30 large files and 3000
// small ones, a 1 GB deflated package.
class BenchPackage
{
public:
    struct Summary
    {
        qint64 files = 0;
        qint64 bytes = 0;
        bool operator==(const Summary &other) const { return files == other.files && bytes == other.bytes; }
    };

    // The cache is BASE/velmora-bench-tree-<unpackedMiB>MiB.
    BenchPackage(const QString &baseDirectory, int unpackedMiB, bool stored);

    // Generates what is missing (the tree, then the package), saying so on standard output. False when
    // a file could not be written or 7zz failed.
    bool prepare();

    QString path() const { return m_package; }
    QString treePath() const { return m_cache + QStringLiteral("/tree"); }
    // What the package unpacks to, counted from the tree.
    Summary expected() const { return summarize(treePath()); }
    void printDescription() const;

    // The regular files below root, hidden ones included.
    static Summary summarize(const QString &root);
    // Reads the whole file once, so that every contender reads it from the page cache.
    static void readIntoPageCache(const QString &path);

private:
    bool makeTree() const;

    QString m_cache;
    int m_unpackedMiB;
    bool m_stored;
    QString m_package;
};

// The options every package benchmark takes: --dir DIR, --size MIB, --rounds N, --stored.
struct BenchPackageOptions
{
    QString dir = QDir::tempPath();
    int unpackedMiB;
    int rounds;
    bool stored = false;

    // Takes the option at args[i] (and its value) when it is one of these; false leaves it to the caller.
    bool take(const QStringList &args, int &i);
};
