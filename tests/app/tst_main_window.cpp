// The main window against a fault-injecting fake server, under the offscreen platform: the release
// manifest check at start-up, and the two dialogs, which Cancel, Escape and the title bar's close
// dismiss alike and which release every window closed.
#include "app/ManifestCheck.h"
#include "core/AppState.h"
#include "core/ReleaseSignature.h"
#include "core/TransferWatchdog.h"
#include "dialogs/DownloadInfo.h"
#include "dialogs/LauncherUpdate.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/DebugLogCapture.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QTextBrowser>
#include <QtTest>

#include <sodium.h>

Q_DECLARE_METATYPE(FakeHttpServer::Route)

namespace {

const QByteArray kGamePackage = "/releases/download/12/Client.zip";
const QByteArray kLauncherPackage = "/raw/main/launcher/OSRELWIN/Launcher.zip";
const char kGame[] = "/GameDir/Velmora.exe";

// Cancel, Escape and the title bar's close, then the dialog's other button(s).
void addWays(std::initializer_list<const char *> accepts)
{
    QTest::addColumn<QString>("way");
    for (const char *way : {"Cancel", "Escape", "title bar"})
        QTest::newRow(way) << way;
    for (const char *way : accepts)
        QTest::newRow(way) << way;
}

void dismiss(QDialog *window, const QString &way)
{
    if (way == "Escape")
        QTest::keyClick(window, Qt::Key_Escape);
    else if (way == "title bar")
        window->close();
    else
        window->findChild<QPushButton *>(way)->click();
}

// A dialog of that class, else a window built from its form, still there.
QWidget *topLevel(const char *name)
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    const auto dialog =
        std::find_if(widgets.cbegin(), widgets.cend(), [=](QWidget *w) { return w->inherits(name); });
    const auto window =
        std::find_if(widgets.cbegin(), widgets.cend(), [=](QWidget *w) { return w->objectName() == name; });
    return dialog != widgets.cend() ? *dialog : window != widgets.cend() ? *window : nullptr;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TransferWatchdog::setInactivityLimitForTesting(1000);
        m_log.install();
        // No game and no manifest: nothing the button could do, and it stays disabled from the start.
        LauncherUnderTest::clearInstallTree();
        m_window = LauncherUnderTest::open(m_server, "");
        QVERIFY(!button()->isEnabled() && m_messageBoxes.seen.size() == 1);
        m_server.setRoute("/raw/main/launcher/changelog.txt", FakeHttpServer::complete("Faster downloads."));
        // Shown, so closing a dialog never ends the event loop as "last window closed"; active before any
        // dialog appears, as the offscreen platform activates the application inside the first window's
        // creation.
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void init()
    {
        LauncherUnderTest::clearInstallTree();
        QVERIFY(TestFiles::write(LauncherUnderTest::path(kGame), "#!/bin/sh\n"));
        button()->setEnabled(false);
        button()->setText(QStringLiteral("Download"));
        g_installedVersion = QStringLiteral("12");
        g_latestVersion = QStringLiteral("0");
        g_packageSizeGb = g_installedSizeGb = g_packageHash = g_packageSha256 = QString();
        m_messageBoxes.seen.clear();
    }

    // Unsigned, and in a build that trusts two keys, where a manifest counts only with a valid signature.
    void manifestCheck_data()
    {
        QTest::addColumn<FakeHttpServer::Route>("route");
        QTest::addColumn<bool>("installed");
        QTest::addColumn<int>("installedVersion");
        QTest::addColumn<QString>("label");   // empty: the manifest is unreadable
        QTest::addColumn<QString>("verdict"); // in the debug log; empty: releases are not signed
        QTest::addColumn<FakeHttpServer::Route>("signature"); // version.txt.sig
        using Server = FakeHttpServer;
        const auto row = [](const char *name, const Server::Route &route, bool installed, int version,
                            const char *label) {
            QTest::newRow(name) << route << installed << version << label << QString() << Server::Route();
        };
        row("not installed", Server::complete("3;13;1.5;3.2;h"), false, 0, "Download");
        row("current", Server::complete("3;12;1.5;3.2;h"), true, 12, "Play");
        row("outdated", Server::complete("3;13;1.5;3.2;h"), true, 12, "Update");
        row("newer than the release", Server::complete("3;11;1.5;3.2;h"), true, 12, "Play");
        row("compared as numbers", Server::complete("3;012;1.5;3.2;h"), true, 12, "Play");
        row("no c.ini", Server::complete("3;1;1.5;3.2;h\n"), true, 0, "Update");
        row("empty", Server::complete(""), true, 12, "");
        row("never answers", Server::withMode(Server::Mode::NeverAnswer), true, 12, "");
        row("endless body", Server::withMode(Server::Mode::Endless), false, 12, "");

        const QByteArray manifest = "3;13;1.5;3.2;h", game(64, 'a'), launcher(64, 'b');
        const QDateTime later = QDateTime::currentDateTimeUtc().addDays(1);
        const auto signedBy = [&](int key, const QByteArray &body, const QDateTime &expires) {
            return Server::complete(ReleaseSignature::sign(body, game, launcher, expires, secretKey(key)));
        };
        const auto signedRow = [&](const char *name, const Server::Route &signature, const QString &verdict) {
            QTest::newRow(name) << Server::complete(manifest) << true << 12
                                << (verdict == "valid" ? "Update" : "") << verdict << signature;
        };
        const QString unknown = "not made by a known key over this manifest";
        signedRow("signed", signedBy(1, manifest, later), "valid");
        signedRow("signed by the second key", signedBy(2, manifest, later), "valid");
        signedRow("manifest changed after signing", signedBy(1, "3;13;1.5;3.2;x", later), unknown);
        signedRow("signed by an unknown key", signedBy(3, manifest, later), unknown);
        signedRow("signature expired", signedBy(1, manifest, later.addDays(-2)), "expired");
        signedRow("signature missing", Server::complete("not here", 404), "missing");
        signedRow("signature malformed", Server::complete("velmora-release-signature 1\n"), "malformed");
        signedRow("signature oversized", Server::withMode(Server::Mode::Endless), "missing");
    }

    void manifestCheck()
    {
        QFETCH(FakeHttpServer::Route, route);
        QFETCH(bool, installed);
        QFETCH(int, installedVersion);
        QFETCH(QString, label);
        QFETCH(QString, verdict);
        QFETCH(FakeHttpServer::Route, signature);
        g_gameInstalled = installed;
        g_installedVersion = QString::number(installedVersion);
        const qint64 sentBefore = m_server.bodyBytesSent();
        const QByteArray signaturePath = "/raw/main/launcher/version.txt.sig";
        m_server.setRoute(signaturePath, signature);
        if (!verdict.isEmpty())
            overrideTrustedReleaseKeysForTesting({publicKey(1), publicKey(2)});
        const auto trustNoneAfter = qScopeGuard([] { overrideTrustedReleaseKeysForTesting({}); });
        m_log.clear();

        checkManifest(route);

        QVERIFY(!g_launcherUpdateWindow);
        QVERIFY(verdict.isEmpty() ? !m_server.requestCount(signaturePath)
                                  : m_log.lines().contains("Release signature: \"" + verdict + "\""));
        if (label.isEmpty()) {
            QCOMPARE(m_messageBoxes.seen.size(), 1);
            QCOMPARE(m_messageBoxes.seen.first().title, QStringLiteral("Launcher"));
            QVERIFY(m_messageBoxes.seen.first().text.contains("Failed to get game info!"));
            QCOMPARE(button()->isEnabled(), installed); // an installed game can still be played
            QCOMPARE(button()->text(), QStringLiteral("Download"));
            QCOMPARE(g_latestVersion + g_packageSizeGb + g_installedSizeGb + g_packageHash + g_packageSha256,
                     QStringLiteral("0"));
            // An endless body is refused soon after the 1 MiB cap.
            QVERIFY(m_server.bodyBytesSent() - sentBefore < 32 << 20);
            return;
        }
        QVERIFY(m_messageBoxes.seen.isEmpty() && button()->isEnabled());
        QCOMPARE(button()->text(), label);
        const QList<QByteArray> fields = route.body.split(';');
        QCOMPARE(g_latestVersion, QString::fromUtf8(fields.at(1)));
        QCOMPARE(g_packageSizeGb + ' ' + g_installedSizeGb, QStringLiteral("1.5 3.2"));
        // Stored as sent, a line break included: such a hash fails the package check later.
        QCOMPARE(g_packageHash, QString::fromUtf8(fields.at(4)));
        QCOMPARE(g_packageSha256, verdict.isEmpty() ? QString() : QString(64, 'a'));
    }

    void downloadInfo_data() { addWays({"Download"}); }

    void downloadInfo()
    {
        QFETCH(QString, way);
        QVERIFY(openDownloadInfo());
        const QString sizes = g_downloadInfoWindow->findChild<QTextBrowser *>()->toPlainText();
        QCOMPARE(sizes, "\n\nDownload Package Size: 1.5 GB\n\nNeed Space For Unpack: 4.7 GB\n\nGame Size "
                        "After Install: 3.2 GB");
        dismiss(g_downloadInfoWindow, way);

        // Dismissed, the window changes nothing; "Download" wipes GameDir and starts the pipeline, which asks
        // for the package (refused here) and ends at the idle state.
        const bool download = way == "Download";
        QCOMPARE(QFile::exists(LauncherUnderTest::path(kGame)), !download);
        QVERIFY(download ? m_window->ui->label->text() == "Preparing..." : m_window->ui->label->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(button()->isEnabled(), 10000);
        QCOMPARE(m_server.requestCount(kGamePackage), int(download));
        QCOMPARE(m_messageBoxes.seen.size(), int(download));
        QTRY_VERIFY(!topLevel("DownloadInfo") && !g_downloadInfoWindow);
    }

    void launcherUpdate_data() { addWays({"Update, another launcher installing", "Update"}); }

    // Last: the started flag is never cleared again.
    void launcherUpdate()
    {
        QFETCH(QString, way);
        const QPointer<QDialog> window = openLauncherUpdate();
        QVERIFY(window);
        QLockFile otherLauncher(LauncherUnderTest::path("/install.lock"));
        if (way.startsWith("Update, ")) {
            QVERIFY(otherLauncher.tryLock(0)); // the box will stand before the offer, which stays usable
            emit qApp->applicationStateChanged(Qt::ApplicationActive); // the offer comes to the front
            QVERIFY(window->isVisible() && window->windowFlags() & Qt::WindowStaysOnTopHint);
            window->findChild<QPushButton *>("Update")->click();
            QTRY_COMPARE(m_messageBoxes.seen.size(), 1);
            QVERIFY(m_messageBoxes.seen.first().text.contains("Another launcher is installing") &&
                    !m_messageBoxes.seen.first().covered);
            QVERIFY(window->isVisible() && !g_launcherUpdateStarted);
            way = "Cancel";
            m_messageBoxes.seen.clear();
        }
        bool shownAgain = false; // after Update, by the launcher becoming active
        QTimer::singleShot(0, window, [=, &shownAgain] {
            dismiss(window, way);
            emit qApp->applicationStateChanged(Qt::ApplicationActive);
            shownAgain = window && window->isVisible();
        });

        // Declined, the launcher ends; "Update" starts the self-update, which asks for the launcher package,
        // fails on the server's 404 and says so.
        const bool update = way == "Update";
        QCOMPARE(LauncherUnderTest::execFor(update ? 1500 : 5000), update ? 42 : 0);
        QCOMPARE(g_launcherUpdateStarted, update);
        QVERIFY(!update || !shownAgain);
        if (way == "Cancel") { // the launcher ends with the window still up
            delete topLevel("LauncherUpdate");
            delete window.data();
        }
        QTRY_VERIFY(!window && !g_launcherUpdateWindow && !topLevel("LauncherUpdate"));
        QTRY_COMPARE(m_server.requestCount(kLauncherPackage), int(update));
        QTRY_COMPARE(m_messageBoxes.seen.size(), int(update));
        if (!update)
            QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP")));
    }

private:
    QPushButton *button() { return m_window->ui->pushButton; }
    // Test keys made from a seed: one Ed25519 key pair for each number.
    static QByteArray secretKey(int number)
    {
        unsigned char seed[crypto_sign_SEEDBYTES] = {static_cast<unsigned char>(number)},
                      publicKey[crypto_sign_PUBLICKEYBYTES];
        QByteArray secret(crypto_sign_SECRETKEYBYTES, '\0');
        (void)crypto_sign_seed_keypair(publicKey, reinterpret_cast<unsigned char *>(secret.data()), seed);
        return secret;
    }
    static QByteArray publicKey(int number) { return secretKey(number).right(crypto_sign_PUBLICKEYBYTES); }
    void checkManifest(const FakeHttpServer::Route &route)
    {
        m_server.setRoute("/raw/main/launcher/version.txt", route);
        checkReleaseManifest();
    }
    QPointer<QDialog> openLauncherUpdate()
    {
        g_gameInstalled = true;
        checkManifest(FakeHttpServer::complete("4;13;1.5;3.2;h"));
        // The button waits for the user's answer.
        if (button()->isEnabled() || !g_launcherUpdateWindow || !g_launcherUpdateWindow->isVisible())
            return nullptr;
        const auto *changeLog = g_launcherUpdateWindow->findChild<QTextBrowser *>();
        return changeLog && changeLog->toPlainText() == "Faster downloads." ? g_launcherUpdateWindow
                                                                            : nullptr;
    }

    bool openDownloadInfo()
    {
        // An outdated game: the button offers the download rather than playing.
        g_gameInstalled = true;
        g_installedVersion = QStringLiteral("11");
        g_latestVersion = QStringLiteral("12");
        g_packageSizeGb = "1.5", g_installedSizeGb = "3.2";
        button()->setEnabled(true);
        button()->click();
        return g_downloadInfoWindow && g_downloadInfoWindow->isVisible() && !button()->isEnabled();
    }

    MessageBoxWatcher m_messageBoxes;
    DebugLogCapture m_log;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
