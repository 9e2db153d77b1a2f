// Extraction of a ~1 GB package through the archive worker, against `7zz x` on the same file in the same
// run. The goal is a wall time within 1.10x of 7zz's.
//
//   bench_extract [--dir DIR] [--rounds N] [--stored]
//
// The package is generated once into DIR (default: the system temporary directory) and kept there for
// later runs: incompressible data, text-like data and many small files, deflated by 7zz (--stored: no
// compression, so the file streams carry the whole cost). Each round extracts with 7zz and with the worker
// into fresh directories, in alternating order, and checks that both produced the whole tree; the best time
// of each counts. The worker's debug lines are formatted but not printed, as 7zz runs with its output off.

#include "archive/Q7Zip.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

struct TreeSummary
{
    qint64 files = 0;
    qint64 bytes = 0;
    bool operator==(const TreeSummary &other) const { return files == other.files && bytes == other.bytes; }
};

TreeSummary summarize(const QString &root)
{
    TreeSummary summary;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++summary.files;
        summary.bytes += it.fileInfo().size();
    }
    return summary;
}

// One block of random words: compresses about as well as text. Deflate looks back 32 KiB only, so a file
// repeating the block compresses no better than the block.
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

bool writeFile(const QString &path, qint64 size, bool textLike, QRandomGenerator &random)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const int blockSize = int(std::min<qint64>(size, 4 * kMiB));
    QByteArray block = textLike ? textBlock(blockSize, random) : QByteArray(blockSize, Qt::Uninitialized);
    while (size > 0) {
        if (!textLike)
            random.fillRange(reinterpret_cast<quint32 *>(block.data()), blockSize / 4);
        const qint64 n = std::min<qint64>(size, blockSize);
        if (file.write(block.constData(), n) != n)
            return false;
        size -= n;
    }
    return true;
}

// About 1.4 GiB unpacked; about 1 GB deflated.
bool makeTree(const QString &root)
{
    QRandomGenerator random(20261206);
    for (int i = 0; i < 40; ++i) {
        if (!writeFile(QStringLiteral("%1/data/pak%2/archive%3.pak").arg(root).arg(i % 4).arg(i), 20 * kMiB,
                       false, random))
            return false;
    }
    for (int i = 0; i < 30; ++i) {
        if (!writeFile(QStringLiteral("%1/scripts/module%2/script%3.txt").arg(root).arg(i % 5).arg(i),
                       20 * kMiB, true, random))
            return false;
    }
    for (int i = 0; i < 3000; ++i) {
        if (!writeFile(QStringLiteral("%1/assets/group%2/asset%3.bin").arg(root).arg(i % 50).arg(i),
                       1024 + random.bounded(32 * 1024), i % 2 == 0, random))
            return false;
    }
    return true;
}

bool runTool(const QStringList &arguments, const QString &workingDir = QString())
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setWorkingDirectory(workingDir);
    process.start(QStringLiteral("7zz"), arguments);
    return process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// Processor time (user + system) of this process or of its waited-for children so far.
double cpuSeconds(int who)
{
    struct rusage usage;
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void syncDisks()
{
    QProcess::execute(QStringLiteral("sync"), {});
}

void discardDebugLines(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

// Stands for the pipeline on the main thread: receives the worker's answers through queued connections.
class ExtractionWatcher : public QObject
{
    Q_OBJECT

public:
    int result = -1;
    quint64 total = 0;
    quint64 completed = 0;
    QEventLoop loop;

public slots:
    void onResult(Q7Zip::Operation, const QString, int value)
    {
        result = value;
        loop.quit();
    }
    void onFileSize(const quint64 filesize) { total = filesize; }
    void onCompleteValue(const quint64 completeValue)
    {
        completed = completeValue;
        ++reports;
    }
    void onFileName(QString) {}

public:
    quint64 reports = 0;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QStringList args = app.arguments().mid(1);
    QString baseDir = QDir::tempPath();
    int rounds = 2;
    bool stored = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--dir" && i + 1 < args.size())
            baseDir = args[++i];
        else if (args[i] == "--rounds" && i + 1 < args.size())
            rounds = std::max(1, args[++i].toInt());
        else if (args[i] == "--stored")
            stored = true;
        else {
            std::fprintf(stderr, "usage: bench_extract [--dir DIR] [--rounds N] [--stored]\n");
            return 2;
        }
    }

    const QString work = baseDir + "/velmora-bench-extract";
    const QString tree = work + "/tree";
    const QString package = work + (stored ? "/package-stored.zip" : "/package.zip");
    const QString treeMarker = work + "/tree.complete";
    if (!QFile::exists(treeMarker)) {
        std::printf("generating the package tree in %s ...\n", qPrintable(tree));
        QDir(tree).removeRecursively();
        if (!makeTree(tree) || !QFile(treeMarker).open(QIODevice::WriteOnly))
            return 1;
        QFile::remove(package);
    }
    if (!QFile::exists(package)) {
        std::printf("packing %s ...\n", qPrintable(package));
        if (!runTool({"a", "-tzip", stored ? "-mx=0" : "-mx=5", "-bd", "-bso0", "-bsp0", package, "."}, tree))
            return 1;
    }
    const TreeSummary expected = summarize(tree);
    std::printf("package %s: %.2f GB, %lld files, %.2f GB unpacked\n", qPrintable(package),
                QFileInfo(package).size() / 1e9, expected.files, expected.bytes / 1e9);
    {
        // Both contenders read the package from the page cache.
        QFile warm(package);
        warm.open(QIODevice::ReadOnly);
        while (!warm.read(16 * kMiB).isEmpty()) {
        }
    }

    QThread workerThread;
    Q7Zip *worker = Q7Zip::getInstance();
    worker->moveToThread(&workerThread);
    QObject::connect(&workerThread, SIGNAL(started()), worker, SLOT(threadStarted()));
    ExtractionWatcher watcher;
    QObject::connect(worker, SIGNAL(operation_result_signal(Q7Zip::Operation, const QString, int)), &watcher,
                     SLOT(onResult(Q7Zip::Operation, const QString, int)), Qt::QueuedConnection);
    QObject::connect(worker, SIGNAL(extract_filesize_signal(const quint64)), &watcher,
                     SLOT(onFileSize(const quint64)), Qt::QueuedConnection);
    QObject::connect(worker, SIGNAL(extract_completeValue_signal(const quint64)), &watcher,
                     SLOT(onCompleteValue(const quint64)), Qt::QueuedConnection);
    QObject::connect(worker, SIGNAL(extracting_filename_signal(QString)), &watcher, SLOT(onFileName(QString)),
                     Qt::QueuedConnection);
    workerThread.start();
    qInstallMessageHandler(discardDebugLines);

    const QString out = work + "/out";
    double best7zz = 1e9;
    double bestWorker = 1e9;
    double bestCpu7zz = 1e9;
    double bestCpuWorker = 1e9;
    bool allComplete = true;
    for (int round = 0; round < rounds && allComplete; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool sevenZipTurn = (turn == 0) == (round % 2 == 0);
            QDir(out).removeRecursively();
            QDir().mkpath(out);
            syncDisks();
            const int who = sevenZipTurn ? RUSAGE_CHILDREN : RUSAGE_SELF;
            const double cpuBefore = cpuSeconds(who);
            QElapsedTimer timer;
            timer.start();
            bool ok;
            if (sevenZipTurn) {
                ok = runTool({"x", "-y", "-bd", "-bso0", "-bsp0", "-o" + out, package});
            } else {
                emit worker->operation_signal_extract(package, out);
                watcher.loop.exec();
                ok = watcher.result == 0 && watcher.completed == watcher.total;
            }
            const double seconds = timer.nsecsElapsed() / 1e9;
            const double cpu = cpuSeconds(who) - cpuBefore;
            ok = ok && summarize(out) == expected;
            std::printf("round %d  %-6s %7.2f s wall %7.2f s cpu  %s", round + 1,
                        sevenZipTurn ? "7zz x" : "Q7Zip", seconds, cpu, ok ? "complete" : "INCOMPLETE");
            if (!sevenZipTurn)
                std::printf("  (%llu progress reports)", static_cast<unsigned long long>(watcher.reports));
            std::printf("\n");
            watcher.reports = 0;
            allComplete = allComplete && ok;
            double &best = sevenZipTurn ? best7zz : bestWorker;
            best = std::min(best, seconds);
            double &bestCpu = sevenZipTurn ? bestCpu7zz : bestCpuWorker;
            bestCpu = std::min(bestCpu, cpu);
        }
    }
    workerThread.quit();
    workerThread.wait();
    QDir(out).removeRecursively();
    if (!allComplete)
        return 1;
    std::printf("best: 7zz x %.2f s, Q7Zip %.2f s, ratio %.3f (goal <= 1.10)\n", best7zz, bestWorker,
                bestWorker / best7zz);
    // Processor time is steadier than wall time on a busy machine.
    std::printf("processor time: 7zz x %.2f s, Q7Zip %.2f s, ratio %.3f\n", bestCpu7zz, bestCpuWorker,
                bestCpuWorker / bestCpu7zz);
    return 0;
}

#include "bench_extract.moc"
