// Game packages and the launcher self-update run in-process, the real engine extracting, against a
// fault-injecting fake server: how each run ends, and that a later game install in the same process still
// works, served and answered once. Runs from a path holding a space and an '&', as an installation's may.
#include "core/AppState.h"
#include "core/InstallLock.h"
#include "core/TransferWatchdog.h"
#include "pipeline/GameDownloader.h"
#include "pipeline/LauncherDownloader.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/DebugLogCapture.h"
#include "tests/support/MessageBoxWatcher.h"
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
    QByteArray bytes(size, 0); // the last size % 4 bytes stay 0
    QRandomGenerator(size).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

const auto updateDir = [](const char *name) {
    return LauncherUnderTest::path("/TEMP/LauncherUpdate/") + name;
};

const auto md5 = [](const QByteArray &bytes) -> QString {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
};
const auto sha256 = [](const QByteArray &bytes) -> QString {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
};

// A package of these files, a script ("#!") stored executable.
QByteArray zipOf(const QMap<QString, QByteArray> &files)
{
    ZipBuilder zip;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        zip.add(it.key().toUtf8(), it.value(), it.value().startsWith("#!") ? 0100755 : 0100644);
    return zip.bytes();
}

// What the window shows through a run that installs, and through a launcher update.
const QStringList kGameSteps = {"Downloading Game Package (1/3)", "Package Integrity Check (2/3)",
                                "Extracting Package (3/3)", "Preparing... (no step bar)"};
const QStringList kLauncherSteps = {"Downloading Launcher Package (1/3)", "Package Integrity Check (2/3)",
                                    "Extracting Package (3/3)",
                                    "Preparing For Launcher Update... (no step bar)"};

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
        QVERIFY(QCoreApplication::applicationDirPath().contains(" & "));
        TransferWatchdog::setInactivityLimitForTesting(1000);
        PackagePipeline::setFirstRetryWaitForTesting(10);
        m_log.install();
        m_package = zipOf(kGame);
        LauncherUnderTest::clearInstallTree();
        m_window = LauncherUnderTest::open(m_server, "3;12;1.5;3.2;" + md5(m_package).toLatin1());
        m_window->show();
        m_steps = std::make_unique<LauncherUnderTest::ShownSteps>(*m_window);
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
        g_packageSha256 = g_launcherPackageSha256 = QString();
        g_packageSizeGb = g_installedSizeGb = QStringLiteral("0.01");
        m_window->ui->pushButton->setText(QStringLiteral("Download"));
        // The download-information dialog disables the button before a run starts, a launcher update offered
        // too.
        m_window->ui->pushButton->setEnabled(false);
        m_messageBoxes.seen.clear();
        m_log.clear();
        m_steps->shown.clear();
    }

    void runEndsAsServed_data()
    {
        QTest::addColumn<FakeHttpServer::Route>("route");
        QTest::addColumn<QString>("message"); // in the one message box; empty: the package installs
        QTest::addColumn<bool>("packageKept");
        QTest::addColumn<int>("attempts");  // package requests, retries and redirects included
        QTest::addColumn<QString>("setup"); // "filling disk", "small disk", "c.ini directory", "locked",
                                            // "signed (otherwise)", "earlier ..." (below)
        QTest::addColumn<QString>("hash");  // the manifest's; empty: the package's own
        QTest::addColumn<QStringList>(
            "exchanges"); // "RANGE STATUS BYTES-SENT" of the run's requests, if given
        const auto row = [](const char *name, const FakeHttpServer::Route &route, const QString &message,
                            bool packageKept, int attempts, const QString &setup = {},
                            const QString &hash = {}) {
            QTest::newRow(name) << route << message << packageKept << attempts << setup << hash
                                << QStringList();
        };
        using Mode = FakeHttpServer::Mode;
        using Server = FakeHttpServer;
        const QByteArray partial = randomBytes(100000), damaged = [this] {
            QByteArray copy = m_package; // still opens, but an item fails its CRC check
            for (int i = copy.size() / 2; i < copy.size() / 2 + 64; ++i)
                copy[i] = char(copy.at(i) ^ 0x5a);
            return copy;
        }();
        const QString noData = "No data received for 1 seconds", checkFailed = "Failed to check package!";
        const QString refused = kDownloadFailed + "Refused a redirect to ";
        row("no content length", Server::withMode(Mode::NoContentLength, m_package), "", false, 1);
        row("relative redirect", Server::redirect("stored/Client.zip"), "", false, 1);
        row("another package", Server::complete(m_package), checkFailed, false, 1, "", md5("other"));
        row("hash in upper case", Server::complete(m_package), checkFailed, false, 1, "",
            md5(m_package).toUpper());
        row("line break after hash", Server::complete(m_package), checkFailed, false, 1, "",
            md5(m_package) + '\n');
        row("signed", Server::complete(m_package), "", false, 1, "signed");
        row("MD5 right, signed SHA-256 not", Server::complete(m_package), checkFailed, false, 1,
            "signed otherwise");
        row("damaged", Server::complete(damaged), "Failed to extract package!", false, 1, "", md5(damaged));
        // A stall is tried five times more; what was received stays for a later run to continue.
        row("404", Server::complete("missing", 404), "server replied: Canned", false, 1);
        row("stalled mid-body", Server::withMode(Mode::StallMidBody, partial, 40000), noData, true, 6);
        row("redirect loop", Server::redirect(kPackagePath), kDownloadFailed + "Too many redirects", false,
            11);
        for (const char *target : {"file:///etc/passwd", "data:text/plain,PK", "ftp://127.0.0.1/Client.zip"})
            row(target, Server::redirect(target), refused + target, false, 1);
        row("no location", Server::redirect(""), kDownloadFailed + "Redirect without a location", false, 1);
#ifndef Q_OS_WIN // TEMP on a file system of 64 KiB; the path shows as written, '&' and all
        row("disk fills mid-package", Server::complete(randomBytes(300000)),
            kDownloadFailed + "No space left on device", false, 1, "filling disk");
        row("no room for the package", Server::complete(m_package),
            "Not enough disk space to download and install the game!\n" +
                LauncherUnderTest::path("/TEMP").toHtmlEscaped() + ": 0.01 GB needed, 0.00 GB free",
            false, 0, "small disk");
#endif
        row("c.ini unwritable", Server::complete(m_package), "Failed to save the installed version!", false,
            1, "c.ini directory");
        row("another launcher installing", Server::complete(m_package),
            "Another launcher is installing in this folder!", false, 0, "locked");

        // An interrupted download costs only the bytes still missing; whatever the server answers, only what
        // it published is installed. "earlier X": a run before this one received half of the package ("v0"
        // or "v1": under that ETag; "garbage": half of other bytes; "other release": under another manifest).
        const qint64 size = m_package.size(), half = size / 2, rest = size - half;
        const auto x = [](qint64 from, int status, qint64 sent) {
            return QString("%1 %2 %3").arg(from ? QString("bytes=%1-").arg(from) : "-").arg(status).arg(sent);
        };
        const auto resumed = [this](const char *name, const QString &earlier, Server::Ranges ranges,
                                    const QStringList &exchanges, Mode mode = Mode::Complete,
                                    qint64 cutAfter = -1) {
            QTest::newRow(name) << Server::ranged(ranges, Server::withMode(mode, m_package, cutAfter, 1))
                                << QString() << false << int(exchanges.size()) << earlier << QString()
                                << exchanges;
        };
        using Ranges = Server::Ranges;
        resumed("dropped, continued", "", Ranges::Honoured, {x(0, 200, half), x(half, 206, rest)},
                Mode::DropMidBody, half);
        resumed("earlier run continued", "earlier v1", Ranges::Honoured, {x(half, 206, rest)});
        resumed("range ignored", "earlier v1", Ranges::Ignored, {x(half, 200, size)});
        resumed("package changed", "earlier v0", Ranges::Honoured, {x(half, 200, size)});
        resumed("416", "earlier v1", Ranges::Refused, {x(half, 416, 0), x(0, 200, size)});
        resumed("206 at the wrong byte", "earlier v1", Ranges::Misplaced,
                {x(half, 206, size), x(0, 200, size)});
        resumed("continued package fails its check", "earlier garbage", Ranges::Honoured,
                {x(half, 206, rest), x(0, 200, size)});
        resumed("another release's partial", "earlier other release", Ranges::Honoured, {x(0, 200, size)});
    }

    void runEndsAsServed()
    {
        QFETCH(FakeHttpServer::Route, route);
        QFETCH(QString, message);
        QFETCH(bool, packageKept);
        QFETCH(int, attempts);
        QFETCH(QString, setup);
        QFETCH(QString, hash);
        QFETCH(QStringList, exchanges);
        const QString package = LauncherUnderTest::path("/TEMP/package.zip");
        if (setup.startsWith("earlier ")) {
            const QString earlier = setup.mid(8);
            const QByteArray served = earlier == "garbage" ? randomBytes(m_package.size()) : m_package;
            const auto cut =
                FakeHttpServer::withMode(FakeHttpServer::Mode::DropMidBody, served, served.size() / 2);
            m_server.setRoute(kPackagePath, FakeHttpServer::ranged(FakeHttpServer::Ranges::Ignored, cut,
                                                                   earlier == "v0" ? "\"v0\"" : "\"v1\""));
            g_packageHash = earlier == "other release" ? md5("another") : md5(m_package);
            (new GameDownloader(nullptr))->startDownload();
            QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), kRunTimeoutMs);
            QCOMPARE(m_messageBoxes.seen.size(), 1);
            m_messageBoxes.seen.clear();
        }
        g_packageHash = hash.isEmpty() ? md5(m_package) : hash;
        if (setup.startsWith("signed"))
            g_packageSha256 = sha256(setup == "signed" ? m_package : "another package");
        m_server.setRoute(kPackagePath, route);
        m_server.clearExchanges();
        bool mounted = false;
        const auto unmount = [&mounted] {
            if (std::exchange(mounted, false))
                QProcess::execute("umount", {LauncherUnderTest::path("/TEMP")});
        };
        const auto unmountAtEnd = qScopeGuard(unmount);
        if (setup.endsWith("disk")) {
            QVERIFY(QDir().mkpath(LauncherUnderTest::path("/TEMP")));
            mounted = !QProcess::execute(
                "mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", LauncherUnderTest::path("/TEMP")});
            if (!mounted)
                QSKIP("cannot mount a small file system here (not root?)");
            if (setup == "filling disk") // a release that does not say its size
                g_packageSizeGb = g_installedSizeGb = "0";
        }
        if (setup == "c.ini directory")
            QVERIFY(QDir().mkpath(LauncherUnderTest::path("/c.ini")));
        QLockFile otherLauncher(installLockPath());
        if (setup == "locked")
            QVERIFY(otherLauncher.tryLock(0));
        const int storedRequests = m_server.requestCount(kStoredPath);
        const int packageRequests = m_server.requestCount(kPackagePath);

        if (message.isEmpty()) {
            installs();
            // A continued package that fails its check is downloaded and checked once more.
            QCOMPARE(m_steps->shown,
                     (setup == "earlier garbage" ? kGameSteps.mid(0, 2) : QStringList()) + kGameSteps);
        } else {
            const QPointer<GameDownloader> pipeline = new GameDownloader(nullptr);
            pipeline->startDownload();
            QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), kRunTimeoutMs);
            QCOMPARE(m_messageBoxes.seen.size(), 1);
            const MessageBoxWatcher::Seen box = m_messageBoxes.seen.first();
            QVERIFY2(box.title == "Launcher" && box.text.contains(message), qPrintable(box.text));
            QVERIFY(!g_gameInstalled && !QFileInfo(LauncherUnderTest::path("/c.ini")).isFile());
            QCOMPARE(m_window->ui->pushButton->text(), QStringLiteral("Download"));
            QCOMPARE(QFileInfo(package).exists() || QFileInfo(package).isSymLink(), packageKept);
            QCOMPARE(m_server.requestCount(kStoredPath), storedRequests);
            QTRY_VERIFY(pipeline.isNull());
        }
        QCOMPARE(m_server.requestCount(kPackagePath) - packageRequests, attempts);
        if (!exchanges.isEmpty())
            QCOMPARE(m_server.exchanges(kPackagePath), exchanges);
        // Only bytes of another package fail the check once continued: a misplaced range is never appended.
        QCOMPARE(m_log.lines().filter("failed its check").size(), int(setup == "earlier garbage"));
        otherLauncher.unlock();
        unmount();
        installServedOnce();
    }

    void readBufferLimitThatNeverArrivedIsMended()
    {
        // The limit is taken back before the transfer starts, as when it never reaches the network thread;
        // a server on a thread of its own sends three quarters of the package while this thread is held.
        const QByteArray package =
            zipOf({{"Velmora.exe", "#!/bin/sh\n"}, {"big.pak", randomBytes(48 << 20)}});
        const qint64 cut = package.size() / 4 * 3;
        FakeHttpServer server;
        server.setRoute(kPackagePath,
                        FakeHttpServer::ranged(
                            FakeHttpServer::Ranges::Honoured,
                            FakeHttpServer::withMode(FakeHttpServer::Mode::StallMidBody, package, cut, 1)));
        QSemaphore sent;
        connect(
            &server, &FakeHttpServer::bodyWritten, &server, [&sent] { sent.release(); },
            Qt::DirectConnection);
        QThread serving;
        server.moveToThread(&serving);
        serving.start();
        Endpoints::overrideForTesting(m_server.baseUrl() + "raw/", server.baseUrl());
        g_packageHash = md5(package);

        auto *pipeline = new GameDownloader(nullptr);
        pipeline->startDownload();
        pipeline->findChild<QNetworkReply *>()->setReadBufferSize(0);
        QVERIFY2(sent.tryAcquire(1, 30000), "the client did not take the body in: the limit still holds");

        QTRY_COMPARE_WITH_TIMEOUT(m_window->ui->pushButton->text(), QStringLiteral("Play"), kRunTimeoutMs);
        serving.exit();
        QVERIFY(serving.wait());
        // Mended at once, not by the stall's retry: what the first request had received by then is kept, and
        // the new one asks for the rest.
        QCOMPARE(m_log.lines().filter("The read buffer held").size(), 1);
        const QStringList exchanges = server.exchanges(kPackagePath);
        const qint64 kept = exchanges.value(1).section('=', 1).section('-', 0, 0).toLongLong();
        QVERIFY2(kept > 2 << 20 && kept <= cut && exchanges.first() == QString("- 200 %1").arg(cut) &&
                     exchanges.mid(1) ==
                         QStringList{QString("bytes=%1- 206 %2").arg(kept).arg(package.size() - kept)},
                 qPrintable(exchanges.join(", ")));
    }

    // A new launcher is started once its package is in place; a package without a launcher fails at its
    // start, and one the publisher did not sign fails its check.
    void launcherUpdateEndsAsServed_data()
    {
        QTest::addColumn<QByteArray>("launcher");  // in the package; empty: none
        QTest::addColumn<QString>("signedSha256"); // "package": the package's own; empty: not signed
        QTest::addColumn<QString>("message");      // in the one message box; empty: the new launcher starts
        QTest::newRow("starts") << TestFiles::markingProgram() << "package" << QString();
        QTest::newRow("cannot start")
            << QByteArray() << QString()
            << "Failed to start the new launcher!\n" + updateDir("VelmoraGameLauncher.exe").toHtmlEscaped();
        QTest::newRow("signed otherwise")
            << TestFiles::markingProgram() << sha256("another package") << "Failed to check package!";
    }

    void launcherUpdateEndsAsServed()
    {
        QFETCH(QByteArray, launcher);
        QFETCH(QString, signedSha256);
        QFETCH(QString, message);
        // What an earlier attempt left behind goes before the extraction: the hand-over would move it.
        QVERIFY(TestFiles::write(updateDir("leftover.dat"), "old"));
        const QByteArray library(300000, 'L');
        const QByteArray package =
            launcher.isEmpty() ? zipOf({{"library.bin", library}})
                               : zipOf({{"VelmoraGameLauncher.exe", launcher}, {"library.bin", library}});
        m_server.setRoute(kLauncherPath, FakeHttpServer::complete(package));
        g_launcherPackageSha256 = signedSha256 == "package" ? sha256(package) : signedSha256;

        (new LauncherDownloader(nullptr))->startDownload();
        if (!message.isEmpty()) {
            QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), kRunTimeoutMs);
            QCOMPARE(m_messageBoxes.seen.size(), 1);
            QVERIFY2(m_messageBoxes.seen.first().text.contains(message),
                     qPrintable(m_messageBoxes.seen.first().text));
            return;
        }
        QCOMPARE(LauncherUnderTest::execFor(30000), 0);
        QVERIFY(m_messageBoxes.seen.isEmpty());
        QCOMPARE(m_steps->shown, kLauncherSteps);
        QCOMPARE(TestFiles::read(updateDir("library.bin")), library);
        QVERIFY(!QFile::exists(updateDir("leftover.dat")));
        QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/launcher_package.zip")));
        QTRY_COMPARE(TestFiles::read(updateDir("started.txt")), QByteArray("new 0\n"));
        QVERIFY(!QFile::exists(LauncherUnderTest::path("/c.ini"))); // the game side is untouched
    }

private:
    void installServedOnce()
    {
        init();
        m_server.setRoute(kPackagePath, FakeHttpServer::complete(m_package));
        installs();
        QCOMPARE(m_steps->shown, kGameSteps);
        QCOMPARE(m_server.requestCount(kPackagePath), 1);
        QCOMPARE(m_log.lines().filter("Operation_Result:").size(), 1);
    }

    // A run installs the package and ends: GameDir, c.ini, nothing left in TEMP.
    void installs()
    {
        const QPointer<GameDownloader> pipeline = new GameDownloader(nullptr);
        pipeline->startDownload(); // it releases itself when its run is over, as in the launcher
        QTRY_COMPARE_WITH_TIMEOUT(m_window->ui->pushButton->text(), QStringLiteral("Play"), kRunTimeoutMs);
        QVERIFY(m_messageBoxes.seen.isEmpty());
        for (auto it = kGame.cbegin(); it != kGame.cend(); ++it)
            QVERIFY2(TestFiles::read(LauncherUnderTest::path("/GameDir/") + it.key()) == it.value(),
                     qPrintable(it.key()));
        QVERIFY(QFileInfo(LauncherUnderTest::path("/GameDir/Velmora.exe")).isExecutable());
        QCOMPARE(TestFiles::read(LauncherUnderTest::path("/c.ini")), QByteArray("12"));
        QCOMPARE(QDir(LauncherUnderTest::path("/TEMP")).entryList(QDir::Files), QStringList());
        QVERIFY(m_window->ui->pushButton->isEnabled() && m_window->ui->label->isHidden() &&
                m_window->ui->progressBar->isHidden() && g_gameInstalled);
        QTRY_VERIFY(pipeline.isNull());
    }

    MessageBoxWatcher m_messageBoxes;
    DebugLogCapture m_log;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<LauncherUnderTest::ShownSteps> m_steps;
    QByteArray m_package;
};

QTEST_MAIN(GameDownloaderTest)
#include "tst_game_downloader.moc"
