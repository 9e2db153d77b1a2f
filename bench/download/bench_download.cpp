// Download stage of the game package pipeline against `curl -o`, same incompressible package, same loopback
// nginx, the page cache written back before each timed step.
//   bench_download [GiB]   (default 2)
// Prints both throughputs, their ratio and how far peak resident memory rose above the idle footprint.
// The pipeline's debug lines are formatted but not printed, as curl runs silent.
#include "app/MainWindow.h"
#include "bench/support/BenchMachine.h"
#include "bench/support/DebugLines.h"
#include "bench/support/RandomFile.h"
#include "bench/support/ReleaseServer.h"
#include "bench/support/ToolRun.h"
#include "core/AppState.h"
#include "core/Endpoints.h"
#include "pipeline/GameDownloader.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>

#include <cstdio>
#include <memory>

#include <sys/resource.h>

namespace {

// VmRSS or VmHWM of this process, in KiB.
qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Stops the clock when the pipeline leaves the download stage (the overall bar reaches 34).
class DownloadClock : public QObject
{
    Q_OBJECT

public:
    explicit DownloadClock(QProgressBar *overall) : m_processorStart(processorSeconds(RUSAGE_SELF))
    {
        connect(overall, SIGNAL(valueChanged(int)), this, SLOT(onOverall(int)));
        m_timer.start();
    }

    double wallSeconds = -1;
    double cpuSeconds = 0;

private slots:
    void onOverall(int value)
    {
        if (value != 34 || wallSeconds >= 0)
            return;
        wallSeconds = double(m_timer.nsecsElapsed()) / 1e9;
        cpuSeconds = processorSeconds(RUSAGE_SELF) - m_processorStart;
    }

private:
    QElapsedTimer m_timer;
    double m_processorStart;
};

double mibPerSecond(qint64 bytes, double seconds)
{
    return double(bytes) / double(1 << 20) / seconds;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchMachine::reportLoad("start");
    const qint64 size = qint64(argc > 1 ? QByteArray(argv[1]).toDouble() * double(1 << 30) : 2.0 * (1 << 30));

    ReleaseServer nginx;
    if (!nginx.put(QStringLiteral("files/12/Client.zip"), QByteArray()) ||
        !writeRandomFile(nginx.pathOf(QStringLiteral("files/12/Client.zip")), size, 12) || !nginx.start()) {
        std::fprintf(stderr, "cannot serve the package: %s\n", qPrintable(nginx.errorText()));
        return 1;
    }
    const QString url = nginx.baseUrl() + QStringLiteral("releases/download/12/Client.zip");

    FakeHttpServer manifestServer;
    std::unique_ptr<MainWindow> window = LauncherUnderTest::open(manifestServer, "3;12;2;4;unchecked");
    Endpoints::overrideForTesting(nginx.baseUrl() + QStringLiteral("raw/"), nginx.baseUrl());
    MessageBoxWatcher messageBoxes; // the package is not checked: its "failed check" box is answered
    discardDebugLines();
    LauncherUnderTest::clearInstallTree();
    window->ui->pushButton->setEnabled(false);

    // curl before and after the pipeline, each file removed at once; every timed step starts with the page
    // cache written back, so that none pays for writing back what another left dirty.
    const QString curlTarget = LauncherUnderTest::path("/TEMP/curl.zip");
    auto runCurl = [&] {
        BenchMachine::writeBackPageCache();
        const ToolRun run =
            runTool(QStringLiteral("curl"), {QStringLiteral("-sSL"), QStringLiteral("-o"), curlTarget, url});
        QFile::remove(curlTarget);
        return run;
    };
    QDir().mkpath(LauncherUnderTest::path("/TEMP"));
    // The server reads the package from the page cache in every run, the first included.
    runTool(QStringLiteral("curl"),
            {QStringLiteral("-sSL"), QStringLiteral("-o"), QStringLiteral("/dev/null"), url});
    const ToolRun curlBefore = runCurl();

    const qint64 idleKiB = statusKiB("VmRSS:");
    BenchMachine::writeBackPageCache();
    DownloadClock clock(window->ui->progressBar);
    (new GameDownloader(nullptr))->startDownload();
    while (!window->ui->pushButton->isEnabled())
        app.processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 peakKiB = statusKiB("VmHWM:");

    const ToolRun curlAfter = runCurl();
    LauncherUnderTest::clearInstallTree();
    if (clock.wallSeconds < 0 || !curlBefore.ok || !curlAfter.ok) {
        std::fprintf(stderr, "a download failed\n");
        return 1;
    }
    const double curlSeconds = (curlBefore.wallSeconds + curlAfter.wallSeconds) / 2;
    const double curlProcessor = (curlBefore.processorSeconds + curlAfter.processorSeconds) / 2;

    const double ours = mibPerSecond(size, clock.wallSeconds);
    const double curl = mibPerSecond(size, curlSeconds);
    std::printf("package        %.2f GiB (incompressible) from %s\n", double(size) / double(1 << 30),
                qPrintable(url));
    std::printf("pipeline       %8.1f MiB/s (%.2f s wall, %.2f s cpu)\n", ours, clock.wallSeconds,
                clock.cpuSeconds);
    std::printf(
        "curl -o        %8.1f MiB/s (%.2f s wall, %.2f s cpu: mean of %.2f s before and %.2f s after)\n",
        curl, curlSeconds, curlProcessor, curlBefore.wallSeconds, curlAfter.wallSeconds);
    std::printf("ratio          %8.2fx curl (goal >= 1.0); processor time %.2fx curl's\n", ours / curl,
                clock.cpuSeconds / curlProcessor);
    std::printf("memory rise    %8.1f MiB above idle %.1f MiB (goal <= 32)\n",
                double(peakKiB - idleKiB) / 1024.0, double(idleKiB) / 1024.0);
    BenchMachine::reportLoad("end (this benchmark included)");
    return 0;
}

#include "bench_download.moc"
