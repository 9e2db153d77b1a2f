// Download stage of the game package pipeline against `curl -o`, same package, same loopback nginx.
//   bench_download [GiB]   (default 2)
// Prints both throughputs, their ratio and how far peak resident memory rose above the idle footprint.
#include "app/AppState.h"
#include "app/Endpoints.h"
#include "app/MainWindow.h"
#include "pipeline/GameDownloader.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/pipeline/ReleaseServer.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>

#include <cstdio>
#include <memory>

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
    explicit DownloadClock(QProgressBar *overall)
    {
        connect(overall, SIGNAL(valueChanged(int)), this, SLOT(onOverall(int)));
        m_timer.start();
    }

    qint64 downloadMs = -1;

private slots:
    void onOverall(int value)
    {
        if (value == 34 && downloadMs < 0)
            downloadMs = m_timer.elapsed();
    }

private:
    QElapsedTimer m_timer;
};

double mibPerSecond(qint64 bytes, qint64 ms)
{
    return double(bytes) / double(1 << 20) / (double(ms) / 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 size = qint64(argc > 1 ? QByteArray(argv[1]).toDouble() * double(1 << 30) : 2.0 * (1 << 30));

    ReleaseServer nginx;
    QFile package(nginx.pathOf(QStringLiteral("files/12/Client.zip")));
    if (!nginx.put(QStringLiteral("files/12/Client.zip"), QByteArray()) || !package.resize(size) ||
        !nginx.start()) {
        std::fprintf(stderr, "cannot serve the package: %s\n", qPrintable(nginx.errorText()));
        return 1;
    }
    const QString url = nginx.baseUrl() + QStringLiteral("releases/download/12/Client.zip");

    FakeHttpServer manifestServer;
    std::unique_ptr<MainWindow> window = LauncherUnderTest::open(manifestServer, "3;12;2;4;unchecked");
    Endpoints::overrideForTesting(nginx.baseUrl() + QStringLiteral("raw/"), nginx.baseUrl());
    MessageBoxWatcher messageBoxes; // the package is not checked: its "failed check" box is answered
    LauncherUnderTest::clearInstallTree();
    window->ui->pushButton->setEnabled(false);

    // curl before and after the pipeline, each file removed at once, so that neither side pays
    // alone for writing back what the other left in the page cache.
    const QString curlTarget = LauncherUnderTest::path("/TEMP/curl.zip");
    auto runCurl = [&]() -> qint64 {
        QElapsedTimer timer;
        timer.start();
        const int status = QProcess::execute(QStringLiteral("curl"),
                                             {QStringLiteral("-sSL"), QStringLiteral("-o"), curlTarget, url});
        const qint64 ms = timer.elapsed();
        QFile::remove(curlTarget);
        return status == 0 ? ms : -1;
    };
    QDir().mkpath(LauncherUnderTest::path("/TEMP"));
    // The server reads the package from the page cache in every run, the first included.
    QProcess::execute(QStringLiteral("curl"),
                      {QStringLiteral("-sSL"), QStringLiteral("-o"), QStringLiteral("/dev/null"), url});
    const qint64 curlBeforeMs = runCurl();

    const qint64 idleKiB = statusKiB("VmRSS:");
    DownloadClock clock(window->ui->progressBar);
    (new GameDownloader(nullptr))->startDownload();
    while (!window->ui->pushButton->isEnabled())
        app.processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 peakKiB = statusKiB("VmHWM:");

    const qint64 curlAfterMs = runCurl();
    LauncherUnderTest::clearInstallTree();
    if (clock.downloadMs < 0 || curlBeforeMs < 0 || curlAfterMs < 0) {
        std::fprintf(stderr, "a download failed\n");
        return 1;
    }
    const qint64 curlMs = (curlBeforeMs + curlAfterMs) / 2;

    const double ours = mibPerSecond(size, clock.downloadMs);
    const double curl = mibPerSecond(size, curlMs);
    std::printf("package        %.2f GiB from %s\n", double(size) / double(1 << 30), qPrintable(url));
    std::printf("pipeline       %8.1f MiB/s (%lld ms)\n", ours, clock.downloadMs);
    std::printf("curl -o        %8.1f MiB/s (%lld ms: mean of %lld before and %lld after)\n", curl, curlMs,
                curlBeforeMs, curlAfterMs);
    std::printf("ratio          %8.2fx curl (goal >= 1.0)\n", ours / curl);
    std::printf("memory rise    %8.1f MiB above idle %.1f MiB (goal <= 32)\n",
                double(peakKiB - idleKiB) / 1024.0, double(idleKiB) / 1024.0);
    return 0;
}

#include "bench_download.moc"
