// Game packages and the launcher self-update run in-process, the real engine extracting, against a
// fault-injecting fake server: how each run ends, and that a later game install in the same process still
// works, served and answered once. Runs from a path holding a space, as an installation's may.
#include "archive/EngineLibrary.h"
#include "core/AppState.h"
#include "core/InstallLock.h"
#include "core/TransferWatchdog.h"
#include "pipeline/GameDownloader.h"
#include "pipeline/LauncherDownloader.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/DebugLogCapture.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/Wine.h"
#include "tests/support/ZipBuilder.h"

#include <QtTest>

#include <algorithm>

namespace {

const QByteArray kPackagePath = "/releases/download/12/Client.zip";
const QByteArray kStoredPath = "/files/12/Client.zip";
const QByteArray kLauncherPath = "/raw/main/launcher/OSRELWIN/Launcher.zip";
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

const auto updateDir = [](const char *name) {
    return LauncherUnderTest::path("/TEMP/LauncherUpdate/") + name;
};

const auto md5 = [](const QByteArray &bytes) -> QString {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
};

// A package of these files, a script ("#!") stored executable.
QByteArray zipOf(const QMap<QString, QByteArray> &files)
{
    ZipBuilder zip;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        zip.add(it.key().toUtf8(), it.value(), it.value().startsWith("#!") ? 0100755 : 0100644);
    return zip.bytes();
}

const QMap<QString, QByteArray> kGame = {{"Velmora.exe", "#!/bin/sh\necho ran\n"},
                                         {"data/level1.pak", randomBytes(1 << 20)}};

} // namespace

Q_DECLARE_METATYPE(FakeHttpServer::Route)

class GameDownloaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QCoreApplication::applicationDirPath().contains(' '));
        TransferWatchdog::setInactivityLimitForTesting(1000);
        m_log.install();
        m_package = zipOf(kGame);
        LauncherUnderTest::clearInstallTree();
        m_window = LauncherUnderTest::open(m_server, "3;12;1.5;3.2;" + md5(m_package).toLatin1());
        m_window->show();
        m_server.setRoute(kStoredPath, FakeHttpServer::complete(m_package));
        m_server.setRoute("/releases/download/12/stored/Client.zip", FakeHttpServer::complete(m_package));
    }

    void init()
    {
        QTest::qWait(0); // finished pipelines release themselves in deferred deletions
        LauncherUnderTest::clearInstallTree();
        Endpoints::overrideForTesting(m_server.baseUrl() + "raw/", m_server.baseUrl());
        g_latestVersion = QStringLiteral("12");
        g_gameInstalled = false;
        g_installedVersion = QStringLiteral("0");
        g_packageHash = md5(m_package);
        m_window->ui->pushButton->setText(QStringLiteral("Download"));
        // The download-information dialog disables the button before a run starts, a launcher update offered
        // too.
        m_window->ui->pushButton->setEnabled(false);
        m_messageBoxes.seen.clear();
        m_log.clear();
    }

    void runEndsAsServed_data()
    {
        QTest::addColumn<FakeHttpServer::Route>("route");
        QTest::addColumn<QString>("message"); // in the one message box; empty: the package installs
        QTest::addColumn<bool>("packageKept");
        QTest::addColumn<QString>("setup"); // "tls", "disk full", "c.ini directory", "locked" or empty
        QTest::addColumn<QString>("hash");  // the manifest's; empty: the package's own
        const auto row = [](const char *name, const FakeHttpServer::Route &route, const QString &message,
                            bool packageKept, const QString &setup = {}, const QString &hash = {}) {
            QTest::newRow(name) << route << message << packageKept << setup << hash;
        };
        using Mode = FakeHttpServer::Mode;
        using Server = FakeHttpServer;
        const QByteArray partial = randomBytes(40000), damaged = [this] {
            QByteArray copy = m_package; // still opens, but an item fails its CRC check
            for (int i = copy.size() / 2; i < copy.size() / 2 + 64; ++i)
                copy[i] = char(copy.at(i) ^ 0x5a);
            return copy;
        }();
        const QString noData = "No data received for 1 seconds", checkFailed = "Failed to check package!";
        const QString refused = kDownloadFailed + "Refused a redirect to ";
        row("no content length", Server::withMode(Mode::NoContentLength, m_package), "", false);
        row("relative redirect", Server::redirect("stored/Client.zip"), "", false);
        row("another package", Server::complete(m_package), checkFailed, false, "", md5("other"));
        row("hash in upper case", Server::complete(m_package), checkFailed, false, "",
            md5(m_package).toUpper());
        row("line break after hash", Server::complete(m_package), checkFailed, false, "",
            md5(m_package) + '\n');
        row("damaged", Server::complete(damaged), "Failed to extract package!", false, "", md5(damaged));
        // After a network fault the partial package stays until the next download truncates it; one that
        // could not be written or failed its check or extraction goes at once.
        row("404", Server::complete("missing", 404), "server replied: Canned", true);
        row("dropped mid-body", Server::withMode(Mode::DropMidBody, partial, 100000), kDownloadFailed, true);
        row("stalled mid-body", Server::withMode(Mode::StallMidBody, partial, 100000), noData, true);
        row("never answers", Server::withMode(Mode::NeverAnswer), noData, true);
        row("redirect loop", Server::redirect(kPackagePath), kDownloadFailed + "Too many redirects", true);
        for (const char *target : {"file:///etc/passwd", "data:text/plain,PK", "ftp://127.0.0.1/Client.zip"})
            row(target, Server::redirect(target), refused + target, true);
        row("no location", Server::redirect(""), kDownloadFailed + "Redirect without a location", true);
        row("https to http", Server::redirect(m_server.baseUrl().toLatin1() + kStoredPath.mid(1)),
            kDownloadFailed + "Refused a redirect from https to http", true, "tls");
#ifndef Q_OS_WIN // a full device stands in for a full disk
        row("disk full", Server::complete(randomBytes(300000)), kDownloadFailed + "No space left on device",
            false, "disk full");
#endif
        row("c.ini unwritable", Server::complete(m_package), "Failed to save the installed version!", false,
            "c.ini directory");
        row("another launcher installing", Server::complete(m_package),
            "Another launcher is installing in this folder!", false, "locked");
    }

    void runEndsAsServed()
    {
        QFETCH(FakeHttpServer::Route, route);
        QFETCH(QString, message);
        QFETCH(bool, packageKept);
        QFETCH(QString, setup);
        QFETCH(QString, hash);
        const QString package = LauncherUnderTest::path("/TEMP/package.zip");
        if (!hash.isEmpty())
            g_packageHash = hash;
        FakeHttpServer tlsServer;
        // Seen: GnuTLS's "Decryption has failed" with this EC key, the connection closed with an RSA key.
        if (setup == "tls" && !wineVersion().isEmpty())
            QSKIP(qPrintable(wineVersion() + ": a TLS server through Qt's Schannel backend never completes "
                                             "its handshake"));
        if (setup == "tls") {
            const QString error = tlsServer.serveOverTls();
            QVERIFY2(error.isEmpty(), qPrintable(error));
            Endpoints::overrideForTesting(m_server.baseUrl() + "raw/", tlsServer.baseUrl());
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

        const QPointer<GameDownloader> pipeline = new GameDownloader(nullptr);
        pipeline->startDownload();
        if (message.isEmpty()) {
            QTRY_COMPARE_WITH_TIMEOUT(m_window->ui->pushButton->text(), QStringLiteral("Play"),
                                      kRunTimeoutMs);
            QVERIFY(m_messageBoxes.seen.isEmpty());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), kRunTimeoutMs);
            QCOMPARE(m_messageBoxes.seen.size(), 1);
            const MessageBoxWatcher::Seen box = m_messageBoxes.seen.first();
            QVERIFY2(box.title == "Launcher" && box.text.contains(message), qPrintable(box.text));
            QVERIFY(!g_gameInstalled && !QFileInfo(LauncherUnderTest::path("/c.ini")).isFile());
            QCOMPARE(m_window->ui->pushButton->text(), QStringLiteral("Download"));
            QCOMPARE(QFileInfo(package).exists() || QFileInfo(package).isSymLink(), packageKept);
            QCOMPARE(m_server.requestCount(kStoredPath), storedRequests);
            QVERIFY(m_server.requestCount(kPackagePath) - packageRequests <= 11); // a loop is cut short
        }
        QTRY_VERIFY(pipeline.isNull());
        otherLauncher.unlock();
        installServedOnce();
    }

    void engineMissingEndsApplication()
    {
        // Run by name, in a process of its own: a loaded engine stays loaded.
        if (!QCoreApplication::arguments().contains(QTest::currentTestFunction()))
            QSKIP("runs as tst_engine_missing");
        QTemporaryDir noEngineHere;
        EngineLibrary::setSearchLocations({noEngineHere.path()});
        m_server.setRoute(kPackagePath, FakeHttpServer::complete(m_package));

        (new GameDownloader(nullptr))->startDownload();
        QCOMPARE(LauncherUnderTest::execFor(30000), -1);

        // The extraction request was already sent: the worker answers it with a failure too, in a box that
        // may open over this one while it waits for the user.
        QTRY_COMPARE(m_messageBoxes.seen.size(), 2);
        const QList<MessageBoxWatcher::Seen> &seen = m_messageBoxes.seen;
        QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [](const MessageBoxWatcher::Seen &box) {
            return box.title == "Q7Zip" && box.text.contains("Load Failure!!!");
        }));
        QVERIFY(!g_gameInstalled && !QFile::exists(LauncherUnderTest::path("/c.ini")));
        LauncherUnderTest::clearInstallTree();
    }

    void launcherUpdateStartsNewLauncherAndEnds()
    {
        // What an earlier attempt left behind goes before the extraction: the hand-over would move it.
        QVERIFY(TestFiles::write(updateDir("leftover.dat"), "old"));
        const QByteArray library(300000, 'L');
        // A new launcher that only leaves a mark beside itself when it runs.
        const QByteArray newLauncher = TestFiles::markingProgram();
        m_server.setRoute(kLauncherPath,
                          FakeHttpServer::complete(
                              zipOf({{"VelmoraGameLauncher.exe", newLauncher}, {"library.bin", library}})));

        (new LauncherDownloader(nullptr))->startDownload();
        QCOMPARE(LauncherUnderTest::execFor(30000), 0);

        QVERIFY(m_messageBoxes.seen.isEmpty());
        QCOMPARE(TestFiles::read(updateDir("library.bin")), library);
        QVERIFY(!QFile::exists(updateDir("leftover.dat")));
        QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/launcher_package.zip")));
        QTRY_COMPARE(TestFiles::read(updateDir("started.txt")), QByteArray("new 0\n"));
        QVERIFY(!QFile::exists(LauncherUnderTest::path("/c.ini"))); // the game side is untouched
    }

    void launcherThatCannotStartIsReported()
    {
        m_server.setRoute(kLauncherPath, FakeHttpServer::complete(zipOf({{"library.bin", "L"}})));

        (new LauncherDownloader(nullptr))->startDownload();
        QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), kRunTimeoutMs);

        QCOMPARE(m_messageBoxes.seen.size(), 1);
        const QString text = m_messageBoxes.seen.first().text;
        QVERIFY2(text.contains("Failed to start the new launcher!\n" + updateDir("VelmoraGameLauncher.exe")),
                 qPrintable(text));
    }

private:
    void installServedOnce()
    {
        init();
        m_server.setRoute(kPackagePath, FakeHttpServer::complete(m_package));
        const int requestsBefore = m_server.requestCount(kPackagePath);
        const QPointer<GameDownloader> pipeline = new GameDownloader(nullptr);
        pipeline->startDownload(); // it releases itself when its run is over, as in the launcher

        QTRY_COMPARE_WITH_TIMEOUT(m_window->ui->pushButton->text(), QStringLiteral("Play"), kRunTimeoutMs);
        QVERIFY(m_messageBoxes.seen.isEmpty());
        for (auto it = kGame.cbegin(); it != kGame.cend(); ++it)
            QVERIFY2(TestFiles::read(LauncherUnderTest::path("/GameDir/") + it.key()) == it.value(),
                     qPrintable(it.key()));
        QVERIFY(QFileInfo(LauncherUnderTest::path("/GameDir/Velmora.exe")).isExecutable());
        QCOMPARE(TestFiles::read(LauncherUnderTest::path("/c.ini")), QByteArray("12"));
        QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/package.zip")));
        QVERIFY(m_window->ui->pushButton->isEnabled() && m_window->ui->label->isHidden() &&
                m_window->ui->progressBar->isHidden() && g_gameInstalled);
        QCOMPARE(m_server.requestCount(kPackagePath), requestsBefore + 1);
        QCOMPARE(m_log.lines().filter("Operation_Result:").size(), 1);
        QTRY_VERIFY(pipeline.isNull());
    }

    MessageBoxWatcher m_messageBoxes;
    DebugLogCapture m_log;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
    QByteArray m_package;
};

QTEST_MAIN(GameDownloaderTest)
#include "tst_game_downloader.moc"
