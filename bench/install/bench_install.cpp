// The whole install as a user meets it, against the tools a user could run instead, on the same package
// from the same loopback nginx (tools/release-server.sh):
//   the launcher: MainWindow::startGameDownload(), what "Download" in the dialog calls, in this process
//                 with its window shown (offscreen), until the extraction result (overall bar 100) and on
//                 to "Play";
//   the tools:    curl -o, md5sum and 7zz x, back to back.
// The fixed pauses (before the integrity check; after a successful extraction, before "Play") are
// measured and reported apart, and left out of the launcher's time. Goal: within 1.10x of the tools' sum.
//
//   bench_install [--dir DIR] [--size MIB] [--rounds N] [--stored]
//
// The package is BenchPackage's (MIB unpacked, default 1024; deflated unless --stored), cached below DIR
// (default: the system temporary directory). Each round runs both sides, in alternating order, each after
// the page cache has been written back and with the package already in the page cache (as nginx serves it
// to both); the best round of each side counts. Both trees are checked against the package's.
#include "app/MainWindow.h"
#include "bench/install/InstallClock.h"
#include "bench/support/BenchMachine.h"
#include "bench/support/BenchPackage.h"
#include "bench/support/DebugLines.h"
#include "bench/support/ReleaseServer.h"
#include "bench/support/ToolRun.h"
#include "core/AppState.h"
#include "core/BuildConfig.h"
#include "core/Endpoints.h"
#include "core/FileChecksum.h"
#include "pipeline/ArchiveWorkerThread.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

namespace {

struct LauncherRound
{
    bool ok = false;
    double download = 0;
    double checkPause = 0;
    double check = 0;
    double extraction = 0;
    double afterPause = 0;
    double cpu = 0;
    // From the start to the extraction result, without the pause before the check.
    double net() const { return download + check + extraction; }
};

struct ToolsRound
{
    bool ok = false;
    ToolRun curl;
    ToolRun md5sum;
    ToolRun sevenZip;
    double wall() const { return curl.wallSeconds + md5sum.wallSeconds + sevenZip.wallSeconds; }
    double cpu() const { return curl.processorSeconds + md5sum.processorSeconds + sevenZip.processorSeconds; }
};

// The package served where the manifest's release points: a hard link when the cache shares the file
// system, a copy otherwise.
bool servePackage(ReleaseServer &nginx, const QString &package)
{
    const QString served = nginx.pathOf(QStringLiteral("files/12/Client.zip"));
    if (!nginx.put(QStringLiteral("files/12/Client.zip"), QByteArray()) || !QFile::remove(served))
        return false;
    return ::link(QFile::encodeName(package).constData(), QFile::encodeName(served).constData()) == 0 ||
           QFile::copy(package, served);
}

LauncherRound runLauncher(QApplication &app, MainWindow &window, const BenchPackage::Summary &expected)
{
    LauncherUnderTest::clearInstallTree();
    window.ui->pushButton->setEnabled(false);
    BenchMachine::writeBackPageCache();
    InstallClock clock(window.ui->progressBar, window.ui->pushButton);
    clock.start();
    window.startGameDownload();
    while (!clock.ended())
        app.processEvents(QEventLoop::WaitForMoreEvents);
    // The run's objects, its install lock among them, go as they would once the window's loop runs again.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    LauncherRound round;
    round.ok = clock.succeeded() && clock.checkPauseEndedAt >= 0 &&
               BenchPackage::summarize(LauncherUnderTest::path("/GameDir")) == expected;
    round.download = clock.downloadedAt;
    round.checkPause = clock.checkPauseEndedAt - clock.downloadedAt;
    round.check = clock.checkedAt - clock.checkPauseEndedAt;
    round.extraction = clock.extractedAt - clock.checkedAt;
    round.afterPause = clock.endedAt - clock.extractedAt;
    round.cpu = clock.processorSecondsToExtracted;
    return round;
}

ToolsRound runTools(const QString &url, const QString &directory, const QString &packageHash,
                    const BenchPackage::Summary &expected)
{
    QDir(directory).removeRecursively();
    QDir().mkpath(directory);
    const QString package = directory + QStringLiteral("/package.zip");
    const QString out = directory + QStringLiteral("/out");
    BenchMachine::writeBackPageCache();
    ToolsRound round;
    round.curl =
        runTool(QStringLiteral("curl"), {QStringLiteral("-sSL"), QStringLiteral("-o"), package, url});
    round.md5sum = runTool(QStringLiteral("md5sum"), {package});
    round.sevenZip =
        runTool(QStringLiteral("7zz"), {"x", "-y", "-bd", "-bso0", "-bsp0", "-o" + out, package});
    round.ok = round.curl.ok && round.md5sum.ok && round.sevenZip.ok &&
               round.md5sum.output.left(32) == packageHash.toLatin1() &&
               BenchPackage::summarize(out) == expected;
    return round;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ArchiveWorkerThread archiveWorker;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    BenchMachine::reportLoad("start");
    const QStringList args = app.arguments().mid(1);
    BenchPackageOptions options;
    options.unpackedMiB = 1024;
    options.rounds = 3;
    for (int i = 0; i < args.size(); ++i) {
        if (!options.take(args, i)) {
            std::fprintf(stderr, "usage: bench_install [--dir DIR] [--size MIB] [--rounds N] [--stored]\n");
            return 2;
        }
    }

    BenchPackage package(options.dir, options.unpackedMiB, options.stored);
    if (!package.prepare())
        return 1;
    package.printDescription();
    const BenchPackage::Summary expected = package.expected();
    // Reading it whole also puts it in the page cache, from where nginx serves it to both sides.
    const QString packageHash = fileChecksum(package.path(), QCryptographicHash::Md5);

    ReleaseServer nginx;
    const QByteArray manifest =
        QByteArray::number(BuildConfig::kLauncherVersion) + ";12;1;1;" + packageHash.toLatin1();
    if (!servePackage(nginx, package.path()) ||
        !nginx.put(QStringLiteral("raw/main/launcher/version.txt"), manifest) || !nginx.start()) {
        std::fprintf(stderr, "cannot serve the package: %s\n", qPrintable(nginx.errorText()));
        return 1;
    }
    const QString url = nginx.baseUrl() + QStringLiteral("releases/download/12/Client.zip");
    std::printf("served from %s\n", qPrintable(url));

    Endpoints::overrideForTesting(nginx.baseUrl() + QStringLiteral("raw/"), nginx.baseUrl());
    LauncherUnderTest::clearInstallTree();
    MainWindow window; // checks the manifest as the launcher does at its start
    window.show();     // painted (offscreen) as the user sees it: every progress report repaints the bars
    if (!window.ui->pushButton->isEnabled()) {
        std::fprintf(stderr, "the launcher did not accept the manifest\n");
        return 1;
    }
    MessageBoxWatcher messageBoxes; // a failure's box is answered, and the run ends idle
    discardDebugLines();

    const QString toolsDir = LauncherUnderTest::path("/tools-install");
    LauncherRound bestLauncher;
    ToolsRound bestTools;
    bool allOk = true;
    for (int round = 0; round < options.rounds && allOk; ++round) {
        for (int turn = 0; turn < 2 && allOk; ++turn) {
            if ((turn == 0) == (round % 2 == 0)) {
                const LauncherRound r = runLauncher(app, window, expected);
                std::printf("round %d  launcher %7.2f s net (download %.2f, check %.2f, extraction %.2f), "
                            "%.2f s cpu; pauses %.3f + %.3f s  %s\n",
                            round + 1, r.net(), r.download, r.check, r.extraction, r.cpu, r.checkPause,
                            r.afterPause, r.ok ? "installed" : "FAILED");
                allOk = r.ok;
                if (r.ok && (!bestLauncher.ok || r.net() < bestLauncher.net()))
                    bestLauncher = r;
            } else {
                const ToolsRound r = runTools(url, toolsDir, packageHash, expected);
                std::printf("round %d  tools    %7.2f s     (curl %.2f, md5sum %.2f, 7zz x %.2f), "
                            "%.2f s cpu  %s\n",
                            round + 1, r.wall(), r.curl.wallSeconds, r.md5sum.wallSeconds,
                            r.sevenZip.wallSeconds, r.cpu(), r.ok ? "installed" : "FAILED");
                allOk = r.ok;
                if (r.ok && (!bestTools.ok || r.wall() < bestTools.wall()))
                    bestTools = r;
            }
        }
    }
    LauncherUnderTest::clearInstallTree();
    QDir(toolsDir).removeRecursively();
    for (const MessageBoxWatcher::Seen &box : messageBoxes.seen)
        std::fprintf(stderr, "message box \"%s\": %s\n", qPrintable(box.title), qPrintable(box.text));
    BenchMachine::reportLoad("end (this benchmark included)");
    if (!allOk)
        return 1;

    std::printf("best launcher  %7.2f s wall %7.2f s cpu (download %.2f, check %.2f, extraction %.2f)\n",
                bestLauncher.net(), bestLauncher.cpu, bestLauncher.download, bestLauncher.check,
                bestLauncher.extraction);
    std::printf("best tools     %7.2f s wall %7.2f s cpu (curl %.2f, md5sum %.2f, 7zz x %.2f)\n",
                bestTools.wall(), bestTools.cpu(), bestTools.curl.wallSeconds, bestTools.md5sum.wallSeconds,
                bestTools.sevenZip.wallSeconds);
    std::printf("fixed pauses   %.3f s before the check, %.3f s before \"Play\" (left out above)\n",
                bestLauncher.checkPause, bestLauncher.afterPause);
    std::printf("ratio          %.3f wall (goal <= 1.10), %.3f cpu\n", bestLauncher.net() / bestTools.wall(),
                bestLauncher.cpu / bestTools.cpu());
    return 0;
}
