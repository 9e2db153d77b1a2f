// Extraction of a generated package through the archive worker, against `7zz x` on the same file in the
// same run. The goal is a wall time and a processor time within 1.10x of 7zz's.
//
//   bench_extract [--dir DIR] [--size MIB] [--rounds N] [--stored] [--only 7zz|worker]
//
// The package (BenchPackage: MIB unpacked, default 1450, about 1 GB deflated; --stored: no compression, so
// the file streams carry the whole cost) is generated once below DIR (default: the system temporary
// directory) and kept for later runs. Each round extracts with 7zz and with the worker into fresh
// directories, in alternating order, after writing back the page cache, and checks that both produced the
// whole tree; the best time of each counts. The worker's debug lines are formatted but not printed, as 7zz
// runs with its output off. --only runs one contender, e.g. under a profiler.
#include "archive/Q7Zip.h"
#include "bench/support/BenchMachine.h"
#include "bench/support/BenchPackage.h"
#include "bench/support/DebugLines.h"
#include "bench/support/ToolRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cstdio>

#include <sys/resource.h>

// Stands for the pipeline on the main thread: receives the worker's answers through queued connections, the
// same ones the pipeline connects (not the per-file name, which no part of the launcher listens to: a
// receiver would cost a wake-up of this thread per file).
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

public:
    quint64 reports = 0;
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    BenchMachine::reportLoad("start");
    QStringList args = app.arguments().mid(1);
    BenchPackageOptions options;
    options.unpackedMiB = 1450;
    options.rounds = 2;
    QString only;
    for (int i = 0; i < args.size(); ++i) {
        if (options.take(args, i))
            continue;
        if (args[i] == "--only" && i + 1 < args.size() && (args[i + 1] == "7zz" || args[i + 1] == "worker"))
            only = args[++i];
        else {
            std::fprintf(stderr, "usage: bench_extract [--dir DIR] [--size MIB] [--rounds N] [--stored] "
                                 "[--only 7zz|worker]\n");
            return 2;
        }
    }

    BenchPackage package(options.dir, options.unpackedMiB, options.stored);
    if (!package.prepare())
        return 1;
    package.printDescription();
    const BenchPackage::Summary expected = package.expected();
    BenchPackage::readIntoPageCache(package.path());

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
    workerThread.start();
    discardDebugLines();

    const QString out = QFileInfo(package.path()).path() + "/out";
    double best7zz = 1e9;
    double bestWorker = 1e9;
    double bestCpu7zz = 1e9;
    double bestCpuWorker = 1e9;
    bool allComplete = true;
    for (int round = 0; round < options.rounds && allComplete; ++round) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool sevenZipTurn = (turn == 0) == (round % 2 == 0);
            if (!only.isEmpty() && (only == "7zz") != sevenZipTurn)
                continue;
            QDir(out).removeRecursively();
            QDir().mkpath(out);
            BenchMachine::writeBackPageCache();
            double seconds;
            double cpu;
            bool ok;
            if (sevenZipTurn) {
                const ToolRun run =
                    runTool("7zz", {"x", "-y", "-bd", "-bso0", "-bsp0", "-o" + out, package.path()});
                ok = run.ok;
                seconds = run.wallSeconds;
                cpu = run.processorSeconds;
            } else {
                const double cpuBefore = processorSeconds(RUSAGE_SELF);
                QElapsedTimer timer;
                timer.start();
                emit worker->operation_signal_extract(package.path(), out);
                watcher.loop.exec();
                seconds = double(timer.nsecsElapsed()) / 1e9;
                cpu = processorSeconds(RUSAGE_SELF) - cpuBefore;
                ok = watcher.result == 0 && watcher.completed == watcher.total;
            }
            ok = ok && BenchPackage::summarize(out) == expected;
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
    BenchMachine::reportLoad("end (this benchmark included)");
    if (!allComplete)
        return 1;
    if (!only.isEmpty())
        return 0;
    std::printf("best: 7zz x %.2f s, Q7Zip %.2f s, ratio %.3f (goal <= 1.10)\n", best7zz, bestWorker,
                bestWorker / best7zz);
    std::printf("processor time: 7zz x %.2f s, Q7Zip %.2f s, ratio %.3f (goal <= 1.10)\n", bestCpu7zz,
                bestCpuWorker, bestCpuWorker / bestCpu7zz);
    return 0;
}

#include "bench_extract.moc"
