// The game package pipeline's download and integrity check, against a fault-injecting fake server and
// the real release server (nginx, through its redirect).
#include "app/MainWindow.h"
#include "archive/Q7Zip.h"
#include "core/AppState.h"
#include "core/Endpoints.h"
#include "core/ProgressScale.h"
#include "core/TransferWatchdog.h"
#include "pipeline/GameDownloader.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/pipeline/ProgressRecorder.h"
#include "tests/pipeline/ReleaseServer.h"
#include "tests/pipeline/ZipPackage.h"
#include "tests/support/DebugLogCapture.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kPackagePath = "/releases/download/12/Client.zip";
// Where redirects of the package request lead: an absolute path and one relative to the request.
const QByteArray kStoredPath = "/files/12/Client.zip";
const QByteArray kRelativeStoredPath = "/releases/download/12/stored/Client.zip";
const QString kDownloadFailed = QStringLiteral(
    "<html><head/><body><p align=\"center\">Failed to download package!\nPlease try again later.\n");
const QString kCheckFailed =
    QStringLiteral("<html><head/><body><p align=\"center\">Failed to check package!\n"
                   "Please try again later.</p></body></html>");

// A run ends in the idle state; the integrity check alone takes a 2 s pause.
constexpr int kRunTimeoutMs = 20000;

QByteArray randomBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(size);
    for (char &byte : bytes)
        byte = char(generator.generate());
    return bytes;
}

QString md5(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QList<int> values(const QSignalSpy &spy)
{
    QList<int> result;
    for (const QList<QVariant> &arguments : spy)
        result.append(arguments.at(0).toInt());
    return result;
}

QMap<QString, QByteArray> sampleGame()
{
    return {{QStringLiteral("Velmora.exe"), QByteArray("#!/bin/sh\necho ran\n")},
            {QStringLiteral("data/level1.pak"), randomBytes(1 << 20)},
            {QStringLiteral("readme.txt"), QByteArray("Velmora")}};
}

} // namespace

Q_DECLARE_METATYPE(FakeHttpServer::Route)

class GameDownloaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstInstallThroughReleaseServerRedirect();
    void progressFollowsTheSteps();
    void transferFaultsReportDownloadFailure_data();
    void transferFaultsReportDownloadFailure();
    void unknownLengthHidesStepBar();
    void hashMismatchRemovesPackage_data();
    void hashMismatchRemovesPackage();
    void stepBarKeepsProportionBeyond4GiB();
    void retryAfterDamagedPackageIsServedOnce();
    void redirectsLeadOnlyToWebAddresses_data();
    void redirectsLeadOnlyToWebAddresses();

private:
    void resetForAttempt();
    QPointer<GameDownloader> startPipeline();
    void installServedOnce(const QMap<QString, QByteArray> &game);
    void waitUntilIdle();
    void waitUntilInstalled();
    void verifyInstalled(const QMap<QString, QByteArray> &game);
    Ui::MainWindow &ui() { return *m_window->ui; }

    MessageBoxWatcher m_messageBoxes;
    DebugLogCapture m_log;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

void GameDownloaderTest::initTestCase()
{
    TransferWatchdog::setInactivityLimitForTesting(1000);
    m_log.install();
    LauncherUnderTest::clearInstallTree();
    m_window = LauncherUnderTest::open(m_server, "3;12;1.5;3.2;" + md5("x").toLatin1());
    m_window->show();
    QVERIFY(m_messageBoxes.seen().isEmpty());
}

void GameDownloaderTest::init()
{
    resetForAttempt();
}

void GameDownloaderTest::resetForAttempt()
{
    LauncherUnderTest::clearInstallTree();
    Endpoints::overrideForTesting(m_server.baseUrl() + QStringLiteral("raw/"), m_server.baseUrl());
    g_latestVersion = QStringLiteral("12");
    g_gameInstalled = false;
    g_installedVersion = QStringLiteral("0");
    ui().pushButton->setText(QStringLiteral("Download"));
    // The download-information dialog disables the button before a run starts.
    ui().pushButton->setEnabled(false);
    m_messageBoxes.clear();
    m_log.clear();
}

void GameDownloaderTest::cleanup()
{
    // Finished pipelines release themselves once deferred deletions run.
    QTest::qWait(0);
    LauncherUnderTest::clearInstallTree();
}

QPointer<GameDownloader> GameDownloaderTest::startPipeline()
{
    // Released by itself when its run is over, as in the launcher.
    QPointer<GameDownloader> pipeline = new GameDownloader(nullptr);
    pipeline->startDownload();
    return pipeline;
}

// One more attempt in the same process, from the idle state, with a good package: it installs, the
// server sees one request, the worker answers once, and the pipeline (with its network manager and the
// manager's thread) is released at the end.
void GameDownloaderTest::installServedOnce(const QMap<QString, QByteArray> &game)
{
    resetForAttempt();
    const QByteArray package = ZipPackage::make(game);
    m_server.setRoute(kPackagePath, FakeHttpServer::complete(package));
    g_packageHash = md5(package);
    const int requestsBefore = m_server.requestCount(kPackagePath);

    const QPointer<GameDownloader> pipeline = startPipeline();
    waitUntilInstalled();

    verifyInstalled(game);
    QCOMPARE(m_server.requestCount(kPackagePath), requestsBefore + 1);
    QCOMPARE(m_log.lines().filter(QStringLiteral("Operation_Result:")).size(), 1);
    QCOMPARE(m_log.lines().filter(QStringLiteral("extract complete.")).size(), 1);
    QTRY_VERIFY(pipeline.isNull());
}

void GameDownloaderTest::waitUntilIdle()
{
    QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), kRunTimeoutMs);
}

void GameDownloaderTest::waitUntilInstalled()
{
    QTRY_COMPARE_WITH_TIMEOUT(ui().pushButton->text(), QStringLiteral("Play"), kRunTimeoutMs);
}

void GameDownloaderTest::verifyInstalled(const QMap<QString, QByteArray> &game)
{
    QVERIFY(m_messageBoxes.seen().isEmpty());
    for (auto it = game.cbegin(); it != game.cend(); ++it) {
        QFile file(LauncherUnderTest::path("/GameDir/") + it.key());
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(it.key()));
        QVERIFY2(file.readAll() == it.value(), qPrintable(it.key()));
    }
    QVERIFY(QFileInfo(LauncherUnderTest::path("/GameDir/Velmora.exe")).isExecutable());
    QFile versionFile(LauncherUnderTest::path("/c.ini"));
    QVERIFY(versionFile.open(QIODevice::ReadOnly));
    QCOMPARE(versionFile.readAll(), QByteArray("12"));
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/package.zip")));
    QVERIFY(ui().pushButton->isEnabled());
    QVERIFY(g_gameInstalled);
    QCOMPARE(g_installedVersion, QStringLiteral("12"));
    QVERIFY(ui().label->isHidden() && ui().progressBar->isHidden() && ui().progressBar_2->isHidden());
}

void GameDownloaderTest::firstInstallThroughReleaseServerRedirect()
{
    const QMap<QString, QByteArray> game = sampleGame();
    const QByteArray package = ZipPackage::make(game);
    ReleaseServer nginx;
    QVERIFY(nginx.put(QStringLiteral("files/12/Client.zip"), package));
    QVERIFY2(nginx.start(), qPrintable(nginx.errorText()));
    Endpoints::overrideForTesting(nginx.baseUrl() + QStringLiteral("raw/"), nginx.baseUrl());
    g_packageHash = md5(package);
    ProgressRecorder recorder(*m_window);

    startPipeline();
    waitUntilInstalled();

    verifyInstalled(game);
    const QList<int> values = recorder.overallValues();
    const int checked = values.indexOf(66);
    QVERIFY2(checked > 0 && values.last() == 100, qPrintable(QTest::toString(values)));
    for (int i = checked + 1; i < values.size() - 1; ++i)
        QVERIFY2(values.at(i) >= values.at(i - 1) && values.at(i) <= 99, qPrintable(QTest::toString(values)));
    QCOMPARE(ui().label->text(), QStringLiteral("Preparing..."));
}

void GameDownloaderTest::progressFollowsTheSteps()
{
    const QByteArray package = ZipPackage::make(sampleGame());
    FakeHttpServer::Route route = FakeHttpServer::complete(package);
    route.pauseAt = package.size() / 2;
    m_server.setRoute(kPackagePath, route);
    g_packageHash = md5(package);
    ProgressRecorder recorder(*m_window);

    startPipeline();
    QCOMPARE(ui().label->text(), QStringLiteral("Preparing..."));
    QVERIFY(ui().label->isVisible());
    QVERIFY(ui().progressBar->isVisible());
    QCOMPARE(ui().progressBar->value(), 0);

    // Which report comes last before the pause depends on how the bytes arrived; any one shows both bars.
    QTRY_COMPARE(ui().label->text(), QStringLiteral("Downloading Game Package (1/3)"));
    const int received = ui().progressBar_2->value();
    QVERIFY(received > 0 && received <= package.size() / 2);
    QCOMPARE(ui().progressBar_2->maximum(), package.size());
    QVERIFY(ui().progressBar_2->isVisible());
    QCOMPARE(ui().progressBar->value(), ProgressScale::overallValue(received, package.size(), 0.0));

    m_server.resumePaused();
    waitUntilInstalled();

    const QList<int> values = recorder.overallValues();
    const int complete = values.indexOf(33);
    QVERIFY2(complete >= 0 && values.mid(complete, 3) == QList<int>({33, 34, 66}) && values.last() == 100,
             qPrintable(QTest::toString(values)));
    QCOMPARE(recorder.at(33)->caption, QStringLiteral("Downloading Game Package (1/3)"));
    QCOMPARE(recorder.at(33)->stepValue, package.size());
    QCOMPARE(recorder.at(34)->caption, QStringLiteral("Package Integrity Check (2/3)"));
    QCOMPARE(recorder.at(34)->stepValue, 0);
    QVERIFY(m_messageBoxes.seen().isEmpty());
}

void GameDownloaderTest::transferFaultsReportDownloadFailure_data()
{
    QTest::addColumn<FakeHttpServer::Route>("route");
    QTest::addColumn<QString>("reason");
    // The package file is a link to a device that is always full.
    QTest::addColumn<bool>("diskFull");

    QTest::newRow("404") << FakeHttpServer::complete("missing", 404)
                         << QStringLiteral("server replied: Canned") << false;

    FakeHttpServer::Route dropped = FakeHttpServer::complete(randomBytes(40000));
    dropped.mode = FakeHttpServer::Mode::DropMidBody;
    dropped.declaredLength = 100000;
    QTest::newRow("dropped mid-body") << dropped << QString() << false;

    FakeHttpServer::Route stalled = dropped;
    stalled.mode = FakeHttpServer::Mode::StallMidBody;
    QTest::newRow("stalled mid-body") << stalled << QStringLiteral("No data received for 1 seconds") << false;

    QTest::newRow("redirect loop") << FakeHttpServer::redirect(kPackagePath)
                                   << QStringLiteral("Too many redirects") << false;

    FakeHttpServer::Route silent;
    silent.mode = FakeHttpServer::Mode::NeverAnswer;
    QTest::newRow("never answers") << silent << QStringLiteral("No data received for 1 seconds") << false;

    QTest::newRow("disk full") << FakeHttpServer::complete(randomBytes(300000))
                               << QStringLiteral("No space left on device") << true;
}

void GameDownloaderTest::transferFaultsReportDownloadFailure()
{
    QFETCH(FakeHttpServer::Route, route);
    QFETCH(QString, reason);
    QFETCH(bool, diskFull);
    m_server.setRoute(kPackagePath, route);
    g_packageHash = md5(route.body);
    const QString package = LauncherUnderTest::path("/TEMP/package.zip");
    if (diskFull)
        QVERIFY(QDir().mkpath(LauncherUnderTest::path("/TEMP")) &&
                QFile::link(QStringLiteral("/dev/full"), package));

    startPipeline();
    waitUntilIdle();

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    const MessageBoxWatcher::Seen box = m_messageBoxes.seen().first();
    QCOMPARE(box.title, QStringLiteral("Launcher"));
    QVERIFY2(box.text.startsWith(kDownloadFailed) && box.text.endsWith(QLatin1String("</p></body></html>")),
             qPrintable(box.text));
    const QString errorString = box.text.mid(kDownloadFailed.size()).chopped(18);
    QVERIFY2(!errorString.isEmpty() && errorString.contains(reason), qPrintable(errorString));
    // After a network fault the partial package stays until the next download truncates it; one that
    // could not be written gives its space back at once.
    QCOMPARE(QFileInfo(package).exists() || QFileInfo(package).isSymLink(), !diskFull);
}

void GameDownloaderTest::unknownLengthHidesStepBar()
{
    const QByteArray package = ZipPackage::make(sampleGame());
    FakeHttpServer::Route route = FakeHttpServer::complete(package);
    route.mode = FakeHttpServer::Mode::NoContentLength;
    route.pauseAt = package.size() / 2;
    m_server.setRoute(kPackagePath, route);
    g_packageHash = md5(package);
    ProgressRecorder recorder(*m_window);

    startPipeline();
    QTRY_COMPARE(ui().label->text(), QStringLiteral("Downloading Game Package (1/3)"));
    QVERIFY(ui().progressBar_2->isHidden());
    QCOMPARE(ui().progressBar->value(), 0);

    m_server.resumePaused();
    waitUntilInstalled();
    QVERIFY(recorder.at(34) && recorder.at(66) && recorder.overallValues().last() == 100);
    QVERIFY(m_messageBoxes.seen().isEmpty());
}

void GameDownloaderTest::hashMismatchRemovesPackage_data()
{
    const QByteArray package = randomBytes(5000);
    QTest::addColumn<QByteArray>("package");
    QTest::addColumn<QString>("manifestHash");
    QTest::newRow("upper case") << package << md5(package).toUpper();
    QTest::newRow("padded") << package << QLatin1Char(' ') + md5(package);
    QTest::newRow("line break after the hash") << package << md5(package) + QLatin1Char('\n');
}

void GameDownloaderTest::hashMismatchRemovesPackage()
{
    QFETCH(QByteArray, package);
    QFETCH(QString, manifestHash);
    m_server.setRoute(kPackagePath, FakeHttpServer::complete(package));
    g_packageHash = manifestHash;

    const QPointer<GameDownloader> pipeline = startPipeline();
    waitUntilIdle();

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QCOMPARE(m_messageBoxes.seen().first().title, QStringLiteral("Launcher"));
    QCOMPARE(m_messageBoxes.seen().first().text, kCheckFailed);
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/package.zip")));
    QTRY_VERIFY(pipeline.isNull());
}

void GameDownloaderTest::stepBarKeepsProportionBeyond4GiB()
{
    const qint64 received = 64 << 20;
    const qint64 declared = 5LL << 30;
    FakeHttpServer::Route route = FakeHttpServer::complete(QByteArray(int(received), 'z'));
    route.mode = FakeHttpServer::Mode::StallMidBody;
    route.declaredLength = declared;
    m_server.setRoute(kPackagePath, route);
    QSignalSpy step(ui().progressBar_2, SIGNAL(valueChanged(int)));

    startPipeline();
    waitUntilIdle();

    // The last report before the stall ended the run showed everything received; the reset then
    // cleared the value but left the range.
    const QList<int> seen = values(step);
    QVERIFY(seen.size() >= 2 && seen.last() == 0);
    const double shown = double(seen.at(seen.size() - 2)) / double(ui().progressBar_2->maximum());
    const double truth = double(received) / double(declared);
    QVERIFY2(qAbs(shown - truth) <= truth * 0.01,
             qPrintable(QStringLiteral("%1 vs %2").arg(shown).arg(truth)));
    QCOMPARE(m_messageBoxes.seen().size(), 1);
}

void GameDownloaderTest::retryAfterDamagedPackageIsServedOnce()
{
    const QMap<QString, QByteArray> game = sampleGame();
    const QByteArray damaged = ZipPackage::damaged(ZipPackage::make(game));
    m_server.setRoute(kPackagePath, FakeHttpServer::complete(damaged));
    g_packageHash = md5(damaged);

    const QPointer<GameDownloader> first = startPipeline();
    waitUntilIdle();

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QCOMPARE(m_messageBoxes.seen().first().title, QStringLiteral("Launcher"));
    QCOMPARE(m_messageBoxes.seen().first().text,
             QStringLiteral("<html><head/><body><p align=\"center\">Failed to extract package!\n"
                            "Please try again later.</p></body></html>"));
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/package.zip")));
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/c.ini")));
    QVERIFY(!g_gameInstalled);
    QCOMPARE(ui().pushButton->text(), QStringLiteral("Download"));
    QTRY_VERIFY(first.isNull());
    const QThread *worker = Q7Zip::getInstance()->thread();

    // Its own pipeline alone hears the worker, on the same worker thread.
    installServedOnce(game);
    QCOMPARE(Q7Zip::getInstance()->thread(), worker);
}

void GameDownloaderTest::redirectsLeadOnlyToWebAddresses_data()
{
    QTest::addColumn<bool>("overTls");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QString>("reason"); // empty: the redirect is followed and the package installs

    const auto refused = [](const char *target) { return QStringLiteral("Refused a redirect to ") + target; };
    QTest::newRow("file") << false << QByteArray("file:///etc/passwd") << refused("file:///etc/passwd");
    QTest::newRow("data") << false << QByteArray("data:text/plain,PK") << refused("data:text/plain,PK");
    QTest::newRow("ftp") << false << QByteArray("ftp://127.0.0.1/Client.zip")
                         << refused("ftp://127.0.0.1/Client.zip");
    QTest::newRow("qrc") << false << QByteArray("qrc:/background/Launcher.png")
                         << refused("qrc:/background/Launcher.png");
    QTest::newRow("unparsable") << false << QByteArray("http://[::1/Client.zip")
                                << refused("http://[::1/Client.zip");
    QTest::newRow("no location") << false << QByteArray() << QStringLiteral("Redirect without a location");
    QTest::newRow("relative") << false << QByteArray("stored/Client.zip") << QString();
    const QString insecure = m_server.baseUrl() + QString::fromLatin1(kStoredPath.mid(1));
    QTest::newRow("https to http") << true << insecure.toLatin1()
                                   << QStringLiteral("Refused a redirect from https to ") + insecure;
}

void GameDownloaderTest::redirectsLeadOnlyToWebAddresses()
{
    QFETCH(bool, overTls);
    QFETCH(QByteArray, location);
    QFETCH(QString, reason);
    const QMap<QString, QByteArray> game = sampleGame();
    const QByteArray package = ZipPackage::make(game);
    g_packageHash = md5(package);
    m_server.setRoute(kStoredPath, FakeHttpServer::complete(package));
    m_server.setRoute(kRelativeStoredPath, FakeHttpServer::complete(package));
    const int storedRequests = m_server.requestCount(kStoredPath);
    FakeHttpServer tlsServer;
    FakeHttpServer &origin = overTls ? tlsServer : m_server;
    if (overTls) {
        const QString error = tlsServer.serveOverTls();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.setCaCertificates({tlsServer.certificate()});
        QSslConfiguration::setDefaultConfiguration(trusting);
        Endpoints::overrideForTesting(m_server.baseUrl() + QStringLiteral("raw/"), tlsServer.baseUrl());
    }
    origin.setRoute(kPackagePath, FakeHttpServer::redirect(location));

    const QPointer<GameDownloader> pipeline = startPipeline();
    if (reason.isEmpty()) {
        waitUntilInstalled();
        verifyInstalled(game);
    } else {
        waitUntilIdle();
        QCOMPARE(m_messageBoxes.seen().size(), 1);
        QCOMPARE(m_messageBoxes.seen().first().text,
                 kDownloadFailed + reason + QLatin1String("</p></body></html>"));
        QCOMPARE(m_server.requestCount(kStoredPath), storedRequests);
    }
    QTRY_VERIFY(pipeline.isNull());

    installServedOnce(game);
}

QTEST_MAIN(GameDownloaderTest)
#include "tst_game_downloader.moc"
