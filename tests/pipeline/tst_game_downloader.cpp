// A game package run in-process, the real engine extracting, against a fault-injecting fake server: how
// each run ends, and that a later attempt in the same process still installs, served and answered once.
#include "app/MainWindow.h"
#include "core/AppState.h"
#include "core/Endpoints.h"
#include "core/InstallLock.h"
#include "core/TransferWatchdog.h"
#include "pipeline/GameDownloader.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/pipeline/ZipPackage.h"
#include "tests/support/DebugLogCapture.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QCryptographicHash>
#include <QLabel>
#include <QLockFile>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kPackagePath = "/releases/download/12/Client.zip";
const QByteArray kStoredPath = "/files/12/Client.zip";
const QByteArray kRelativeStoredPath = "/releases/download/12/stored/Client.zip";
const QString kDownloadFailed = QStringLiteral("Failed to download package!\nPlease try again later.\n");
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

const QMap<QString, QByteArray> kGame = {{QStringLiteral("Velmora.exe"), QByteArray("#!/bin/sh\necho ran\n")},
                                         {QStringLiteral("data/level1.pak"), randomBytes(1 << 20)}};

} // namespace

Q_DECLARE_METATYPE(FakeHttpServer::Route)

class GameDownloaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void runEndsAsServed_data();
    void runEndsAsServed();

private:
    QPointer<GameDownloader> startPipeline();
    void verifyInstalled();
    void installServedOnce();

    MessageBoxWatcher m_messageBoxes;
    DebugLogCapture m_log;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
    QByteArray m_package;
};

void GameDownloaderTest::initTestCase()
{
    TransferWatchdog::setInactivityLimitForTesting(1000);
    m_log.install();
    m_package = ZipPackage::make(kGame);
    QVERIFY(!m_package.isEmpty());
    LauncherUnderTest::clearInstallTree();
    m_window = LauncherUnderTest::open(m_server, "3;12;1.5;3.2;" + md5(m_package).toLatin1());
    m_window->show();
    m_server.setRoute(kStoredPath, FakeHttpServer::complete(m_package));
    m_server.setRoute(kRelativeStoredPath, FakeHttpServer::complete(m_package));
}

void GameDownloaderTest::init()
{
    QTest::qWait(0); // finished pipelines release themselves in deferred deletions
    LauncherUnderTest::clearInstallTree();
    Endpoints::overrideForTesting(m_server.baseUrl() + QStringLiteral("raw/"), m_server.baseUrl());
    g_latestVersion = QStringLiteral("12");
    g_gameInstalled = false;
    g_installedVersion = QStringLiteral("0");
    g_packageHash = md5(m_package);
    m_window->ui->pushButton->setText(QStringLiteral("Download"));
    // The download-information dialog disables the button before a run starts.
    m_window->ui->pushButton->setEnabled(false);
    m_messageBoxes.clear();
    m_log.clear();
}

QPointer<GameDownloader> GameDownloaderTest::startPipeline()
{
    // Released by itself when its run is over, as in the launcher.
    QPointer<GameDownloader> pipeline = new GameDownloader(nullptr);
    pipeline->startDownload();
    return pipeline;
}

void GameDownloaderTest::verifyInstalled()
{
    QTRY_COMPARE_WITH_TIMEOUT(m_window->ui->pushButton->text(), QStringLiteral("Play"), kRunTimeoutMs);
    QVERIFY(m_messageBoxes.seen().isEmpty());
    for (auto it = kGame.cbegin(); it != kGame.cend(); ++it) {
        QFile file(LauncherUnderTest::path("/GameDir/") + it.key());
        QVERIFY2(file.open(QIODevice::ReadOnly) && file.readAll() == it.value(), qPrintable(it.key()));
    }
    QVERIFY(QFileInfo(LauncherUnderTest::path("/GameDir/Velmora.exe")).isExecutable());
    QFile versionFile(LauncherUnderTest::path("/c.ini"));
    QVERIFY(versionFile.open(QIODevice::ReadOnly));
    QCOMPARE(versionFile.readAll(), QByteArray("12"));
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/package.zip")));
    const Ui::MainWindow &ui = *m_window->ui;
    QVERIFY(ui.pushButton->isEnabled() && ui.label->isHidden() && ui.progressBar->isHidden() &&
            g_gameInstalled);
}

void GameDownloaderTest::installServedOnce()
{
    init();
    m_server.setRoute(kPackagePath, FakeHttpServer::complete(m_package));
    const int requestsBefore = m_server.requestCount(kPackagePath);
    const QPointer<GameDownloader> pipeline = startPipeline();
    verifyInstalled();
    QCOMPARE(m_server.requestCount(kPackagePath), requestsBefore + 1);
    QCOMPARE(m_log.lines().filter(QStringLiteral("Operation_Result:")).size(), 1);
    QTRY_VERIFY(pipeline.isNull());
}

void GameDownloaderTest::runEndsAsServed_data()
{
    QTest::addColumn<FakeHttpServer::Route>("route");
    QTest::addColumn<QString>("hash");    // the manifest's; empty: the package's own
    QTest::addColumn<QString>("setup");   // "tls", "disk full", "c.ini directory", "locked" or empty
    QTest::addColumn<QString>("message"); // in the one message box; empty: the package installs
    QTest::addColumn<bool>("packageKept");

    using Mode = FakeHttpServer::Mode;
    using Server = FakeHttpServer;
    const QByteArray partial = randomBytes(40000);
    const QString noData = QStringLiteral("No data received for 1 seconds");
    const QString refused = kDownloadFailed + "Refused a redirect to ";
    QTest::newRow("no content length") << Server::withMode(Mode::NoContentLength, m_package) << ""
                                       << ""
                                       << "" << false;
    QTest::newRow("relative redirect") << Server::redirect("stored/Client.zip") << ""
                                       << ""
                                       << "" << false;
    QTest::newRow("another package") << Server::complete(m_package) << md5("other") << ""
                                     << "Failed to check package!" << false;
    QTest::newRow("hash in upper case") << Server::complete(m_package) << md5(m_package).toUpper() << ""
                                        << "Failed to check package!" << false;
    QTest::newRow("line break after hash") << Server::complete(m_package) << md5(m_package) + '\n'
                                           << ""
                                           << "Failed to check package!" << false;
    const QByteArray damaged = ZipPackage::damaged(m_package);
    QTest::newRow("damaged") << Server::complete(damaged) << md5(damaged) << ""
                             << "Failed to extract package!" << false;
    QTest::newRow("404") << Server::complete("missing", 404) << ""
                         << ""
                         << "server replied: Canned" << true;
    QTest::newRow("dropped mid-body") << Server::withMode(Mode::DropMidBody, partial, 100000) << ""
                                      << "" << kDownloadFailed << true;
    QTest::newRow("stalled mid-body") << Server::withMode(Mode::StallMidBody, partial, 100000) << ""
                                      << "" << noData << true;
    QTest::newRow("never answers") << Server::withMode(Mode::NeverAnswer) << ""
                                   << "" << noData << true;
    QTest::newRow("redirect loop") << Server::redirect(kPackagePath) << ""
                                   << "" << kDownloadFailed + "Too many redirects" << true;
    for (const char *target : {"file:///etc/passwd", "data:text/plain,PK", "ftp://127.0.0.1/Client.zip"})
        QTest::newRow(target) << Server::redirect(target) << ""
                              << "" << refused + target << true;
    QTest::newRow("no location") << Server::redirect("") << ""
                                 << "" << kDownloadFailed + "Redirect without a location" << true;
    QTest::newRow("https to http") << Server::redirect(m_server.baseUrl().toLatin1() + kStoredPath.mid(1))
                                   << ""
                                   << "tls" << kDownloadFailed + "Refused a redirect from https to http"
                                   << true;
    QTest::newRow("disk full") << Server::complete(randomBytes(300000)) << ""
                               << "disk full" << kDownloadFailed + "No space left on device" << false;
    QTest::newRow("c.ini unwritable") << Server::complete(m_package) << ""
                                      << "c.ini directory"
                                      << "Failed to save the installed version!" << false;
    QTest::newRow("another launcher installing") << Server::complete(m_package) << ""
                                                 << "locked"
                                                 << "Another launcher is installing in this folder!" << false;
}

void GameDownloaderTest::runEndsAsServed()
{
    QFETCH(FakeHttpServer::Route, route);
    QFETCH(QString, hash);
    QFETCH(QString, setup);
    QFETCH(QString, message);
    QFETCH(bool, packageKept);
    const QString package = LauncherUnderTest::path("/TEMP/package.zip");
    if (!hash.isEmpty())
        g_packageHash = hash;
    FakeHttpServer tlsServer;
    if (setup == "tls") {
        QString error = tlsServer.serveOverTls();
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.setCaCertificates({tlsServer.certificate()});
        QSslConfiguration::setDefaultConfiguration(trusting);
        Endpoints::overrideForTesting(m_server.baseUrl() + QStringLiteral("raw/"), tlsServer.baseUrl());
    }
    (setup == "tls" ? tlsServer : m_server).setRoute(kPackagePath, route);
    if (setup == "disk full")
        QVERIFY(QDir().mkpath(LauncherUnderTest::path("/TEMP")) && QFile::link("/dev/full", package));
    if (setup == "c.ini directory")
        QVERIFY(QDir().mkpath(LauncherUnderTest::path("/c.ini")));
    QLockFile otherLauncher(installLockPath());
    if (setup == "locked")
        QVERIFY(otherLauncher.tryLock(0));
    const int storedRequests = m_server.requestCount(kStoredPath);
    const int packageRequests = m_server.requestCount(kPackagePath);

    const QPointer<GameDownloader> pipeline = startPipeline();
    if (message.isEmpty()) {
        verifyInstalled();
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), kRunTimeoutMs);
        QCOMPARE(m_messageBoxes.seen().size(), 1);
        QCOMPARE(m_messageBoxes.seen().first().title, QStringLiteral("Launcher"));
        QVERIFY2(m_messageBoxes.seen().first().text.contains(message),
                 qPrintable(m_messageBoxes.seen().first().text));
        QVERIFY(!g_gameInstalled && !QFileInfo(LauncherUnderTest::path("/c.ini")).isFile());
        QCOMPARE(m_window->ui->pushButton->text(), QStringLiteral("Download"));
        // After a network fault the partial package stays until the next download truncates it; one that
        // could not be written or failed its check or extraction goes at once.
        QCOMPARE(QFileInfo(package).exists() || QFileInfo(package).isSymLink(), packageKept);
        QCOMPARE(m_server.requestCount(kStoredPath), storedRequests);
        QVERIFY(m_server.requestCount(kPackagePath) - packageRequests <= 11); // a loop is cut short
    }
    QTRY_VERIFY(pipeline.isNull());
    otherLauncher.unlock();
    installServedOnce();
}

QTEST_MAIN(GameDownloaderTest)
#include "tst_game_downloader.moc"
