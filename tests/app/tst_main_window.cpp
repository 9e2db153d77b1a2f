// The main window against a fault-injecting fake server, under the offscreen platform: the release
// manifest check at start-up, and the two dialogs, which Cancel, Escape and the title bar's close
// dismiss alike and which release every window closed.
#include "app/MainWindow.h"
#include "app/ManifestCheck.h"
#include "core/AppState.h"
#include "core/TransferWatchdog.h"
#include "dialogs/DownloadInfo.h"
#include "dialogs/LauncherUpdate.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(FakeHttpServer::Route)

namespace {

const QByteArray kManifestPath = "/raw/main/launcher/version.txt";
const QByteArray kGamePackage = "/releases/download/12/Client.zip";
const QByteArray kLauncherPackage = "/raw/main/launcher/OSRELWIN/Launcher.zip";
const char kGame[] = "/GameDir/Velmora.exe";

void addWays()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("Escape") << "Escape";
    QTest::newRow("title bar") << "title bar";
}

void dismiss(QDialog *window, const QString &way)
{
    if (way == "Cancel")
        window->findChild<QPushButton *>("Cancel")->click();
    else if (way == "Escape")
        QTest::keyClick(window, Qt::Key_Escape);
    else
        window->close();
}

// Runs the application's event loop as the launcher does: its exit code, or 42 when nothing ended it.
int execFor(int milliseconds)
{
    QTimer giveUp;
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(42); });
    giveUp.start(milliseconds);
    return QApplication::exec();
}

LauncherUpdate *launcherUpdate()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<LauncherUpdate *>(widget))
            return dialog;
    }
    return nullptr;
}

bool downloadInfoRemains()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<DownloadInfo *>(widget) || widget->objectName() == QLatin1String("DownloadInfo"))
            return true;
    }
    return false;
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void manifestLabelsAndEnablesButton_data();
    void manifestLabelsAndEnablesButton();
    void unreadableManifestKeepsState_data();
    void unreadableManifestKeepsState();
    void downloadInfoDismissedChangesNothing_data() { addWays(); }
    void downloadInfoDismissedChangesNothing();
    void downloadWipesGameDirThenStartsPipeline();
    void launcherUpdateDeclinedEndsLauncher_data() { addWays(); }
    void launcherUpdateDeclinedEndsLauncher();
    void launcherUpdateStartsSelfUpdate(); // last: the started flag is never cleared again

private:
    QPushButton *button() { return m_window->ui->pushButton; }
    void checkManifest(const FakeHttpServer::Route &route);
    QPointer<QDialog> openLauncherUpdate();
    void openDownloadInfo();

    MessageBoxWatcher m_messageBoxes;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

void MainWindowTest::initTestCase()
{
    TransferWatchdog::setInactivityLimitForTesting(1000);
    m_window = LauncherUnderTest::open(m_server, "3;12;1.5;3.2;00");
    m_server.setRoute("/raw/main/launcher/changelog.txt", FakeHttpServer::complete("Faster downloads."));
    // Shown, so closing a dialog never ends the event loop as "last window closed"; active before any
    // dialog appears, as the offscreen platform activates the application inside the first window's creation.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void MainWindowTest::init()
{
    LauncherUnderTest::clearInstallTree();
    QVERIFY(TestFiles::write(LauncherUnderTest::path(kGame), "#!/bin/sh\n"));
    button()->setEnabled(false);
    button()->setText(QStringLiteral("Download"));
    g_installedVersion = QStringLiteral("12");
    g_latestVersion = QStringLiteral("0");
    g_packageSizeGb.clear();
    g_installedSizeGb.clear();
    g_packageHash.clear();
    m_messageBoxes.clear();
}

void MainWindowTest::checkManifest(const FakeHttpServer::Route &route)
{
    m_server.setRoute(kManifestPath, route);
    checkReleaseManifest();
}

void MainWindowTest::manifestLabelsAndEnablesButton_data()
{
    QTest::addColumn<QByteArray>("manifest");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("installedVersion");
    QTest::addColumn<QString>("label");
    QTest::newRow("not installed") << QByteArray("3;13;1.5;3.2;h") << false << "0"
                                   << "Download";
    QTest::newRow("current") << QByteArray("3;12;1.5;3.2;h") << true << "12"
                             << "Play";
    QTest::newRow("outdated") << QByteArray("3;13;1.5;3.2;h") << true << "12"
                              << "Update";
    QTest::newRow("newer than the release") << QByteArray("3;11;1.5;3.2;h") << true << "12"
                                            << "Play";
    QTest::newRow("compared as numbers") << QByteArray("3;012;1.5;3.2;h") << true << "12"
                                         << "Play";
    QTest::newRow("no c.ini") << QByteArray("3;1;1.5;3.2;h\n") << true << "0"
                              << "Update";
}

void MainWindowTest::manifestLabelsAndEnablesButton()
{
    QFETCH(QByteArray, manifest);
    QFETCH(bool, installed);
    QFETCH(QString, installedVersion);
    QFETCH(QString, label);
    g_gameInstalled = installed;
    g_installedVersion = installedVersion;

    checkManifest(FakeHttpServer::complete(manifest));

    QVERIFY(m_messageBoxes.seen().isEmpty());
    QVERIFY(button()->isEnabled());
    QCOMPARE(button()->text(), label);
    const QList<QByteArray> fields = manifest.split(';');
    QCOMPARE(g_latestVersion, QString::fromUtf8(fields.at(1)));
    QCOMPARE(g_packageSizeGb + ' ' + g_installedSizeGb, QStringLiteral("1.5 3.2"));
    // Stored as sent, a line break included: such a hash fails the package check later.
    QCOMPARE(g_packageHash, QString::fromUtf8(fields.at(4)));
    QVERIFY(!g_launcherUpdateWindow);
}

void MainWindowTest::unreadableManifestKeepsState_data()
{
    QTest::addColumn<FakeHttpServer::Route>("route");
    QTest::addColumn<bool>("installed");
    using Server = FakeHttpServer;
    QTest::newRow("trailing ;") << Server::complete("3;12;1.5;3.2;h;") << true;
    QTest::newRow("four fields") << Server::complete("3;12;1.5;3.2") << false;
    QTest::newRow("empty") << Server::complete("") << true;
    QTest::newRow("never answers") << Server::withMode(Server::Mode::NeverAnswer) << true;
    QTest::newRow("endless body") << Server::withMode(Server::Mode::Endless) << false;
}

void MainWindowTest::unreadableManifestKeepsState()
{
    QFETCH(FakeHttpServer::Route, route);
    QFETCH(bool, installed);
    g_gameInstalled = installed;
    const qint64 sentBefore = m_server.bodyBytesSent();

    checkManifest(route);

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QCOMPARE(m_messageBoxes.seen().first().title, QStringLiteral("Launcher"));
    QVERIFY(m_messageBoxes.seen().first().text.contains("Failed to get game info!"));
    QCOMPARE(button()->isEnabled(), installed); // an installed game can still be played
    QCOMPARE(button()->text(), QStringLiteral("Download"));
    QCOMPARE(g_latestVersion, QStringLiteral("0"));
    QVERIFY(g_packageSizeGb.isEmpty() && g_installedSizeGb.isEmpty() && g_packageHash.isEmpty());
    // An endless body is refused soon after the 1 MiB cap.
    QVERIFY(m_server.bodyBytesSent() - sentBefore < 32 << 20);
}

void MainWindowTest::openDownloadInfo()
{
    // An outdated game: the button offers the download rather than playing.
    g_gameInstalled = true;
    g_installedVersion = QStringLiteral("11");
    g_latestVersion = QStringLiteral("12");
    button()->setEnabled(true);
    button()->click();
    QVERIFY(g_downloadInfoWindow && g_downloadInfoWindow->isVisible());
    QVERIFY(!button()->isEnabled());
}

void MainWindowTest::downloadInfoDismissedChangesNothing()
{
    QFETCH(QString, way);
    openDownloadInfo();
    dismiss(g_downloadInfoWindow, way);

    QVERIFY(button()->isEnabled());
    QVERIFY(QFile::exists(LauncherUnderTest::path(kGame)));
    QVERIFY(m_window->ui->label->isHidden()); // no download started
    QTRY_VERIFY(!downloadInfoRemains() && !g_downloadInfoWindow);
}

void MainWindowTest::downloadWipesGameDirThenStartsPipeline()
{
    openDownloadInfo();
    g_downloadInfoWindow->findChild<QPushButton *>("Download")->click();

    QVERIFY(!QFile::exists(LauncherUnderTest::path(kGame)));
    QCOMPARE(m_window->ui->label->text(), QStringLiteral("Preparing..."));
    // The pipeline asks for the package (refused here) and ends at the idle state.
    QTRY_VERIFY_WITH_TIMEOUT(button()->isEnabled(), 10000);
    QCOMPARE(m_server.requestCount(kGamePackage), 1);
    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QTRY_VERIFY(!downloadInfoRemains() && !g_downloadInfoWindow);
}

QPointer<QDialog> MainWindowTest::openLauncherUpdate()
{
    g_gameInstalled = true;
    checkManifest(FakeHttpServer::complete("4;13;1.5;3.2;h"));
    // The button waits for the user's answer.
    if (button()->isEnabled() || !g_launcherUpdateWindow || !g_launcherUpdateWindow->isVisible())
        return nullptr;
    const auto *changeLog = g_launcherUpdateWindow->findChild<QTextBrowser *>();
    return changeLog && changeLog->toPlainText() == "Faster downloads." ? g_launcherUpdateWindow : nullptr;
}

void MainWindowTest::launcherUpdateDeclinedEndsLauncher()
{
    QFETCH(QString, way);
    const QPointer<QDialog> window = openLauncherUpdate();
    QVERIFY(window);
    QTimer::singleShot(0, window, [=] { dismiss(window, way); });

    QCOMPARE(execFor(5000), 0);
    QVERIFY(!g_launcherUpdateStarted);
    QCOMPARE(m_server.requestCount(kLauncherPackage), 0);
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP")));
    if (way == "Cancel") { // the launcher ends with the window still up
        delete launcherUpdate();
        window->hide();
        return;
    }
    QTRY_VERIFY(!window && !g_launcherUpdateWindow && !launcherUpdate());
}

void MainWindowTest::launcherUpdateStartsSelfUpdate()
{
    const QPointer<QDialog> window = openLauncherUpdate();
    QVERIFY(window);
    QTimer::singleShot(0, window, [=] { window->findChild<QPushButton *>("Update")->click(); });

    QCOMPARE(execFor(1500), 42);
    QVERIFY(g_launcherUpdateStarted);
    QTRY_VERIFY(!window && !launcherUpdate());
    // The self-update asked for the launcher package; the server answers 404, so it fails and says so.
    QTRY_COMPARE(m_server.requestCount(kLauncherPackage), 1);
    QTRY_COMPARE(m_messageBoxes.seen().size(), 1);
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
