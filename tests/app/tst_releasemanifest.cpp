// The release manifest check at start-up against a fault-injecting fake server: what it stores, how it
// labels and enables the main button, and how it fails.
#include "app/MainWindow.h"
#include "app/ManifestCheck.h"
#include "core/AppState.h"
#include "core/TransferWatchdog.h"
#include "dialogs/LauncherUpdate.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(FakeHttpServer::Route)

namespace {
const QByteArray kManifestPath = "/raw/main/launcher/version.txt";
} // namespace

class ReleaseManifestTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void labelsAndEnablesButton_data();
    void labelsAndEnablesButton();
    void unreadableManifestKeepsState_data();
    void unreadableManifestKeepsState();
    void newerLauncherShowsChangeLog();

private:
    QPushButton *button() { return m_window->ui->pushButton; }

    MessageBoxWatcher m_messageBoxes;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

void ReleaseManifestTest::initTestCase()
{
    TransferWatchdog::setInactivityLimitForTesting(1000);
    m_window = LauncherUnderTest::open(m_server, "3;12;1.5;3.2;00");
}

void ReleaseManifestTest::init()
{
    button()->setEnabled(false);
    button()->setText(QStringLiteral("Download"));
    g_installedVersion = QStringLiteral("12");
    g_latestVersion = QStringLiteral("0");
    g_packageSizeGb.clear();
    g_installedSizeGb.clear();
    g_packageHash.clear();
    m_messageBoxes.clear();
}

void ReleaseManifestTest::labelsAndEnablesButton_data()
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

void ReleaseManifestTest::labelsAndEnablesButton()
{
    QFETCH(QByteArray, manifest);
    QFETCH(bool, installed);
    QFETCH(QString, installedVersion);
    QFETCH(QString, label);
    g_gameInstalled = installed;
    g_installedVersion = installedVersion;
    m_server.setRoute(kManifestPath, FakeHttpServer::complete(manifest));

    checkReleaseManifest();

    QVERIFY(m_messageBoxes.seen().isEmpty());
    QVERIFY(button()->isEnabled());
    QCOMPARE(button()->text(), label);
    const QList<QByteArray> fields = manifest.split(';');
    QCOMPARE(g_latestVersion, QString::fromUtf8(fields.at(1)));
    QCOMPARE(g_packageSizeGb, QStringLiteral("1.5"));
    QCOMPARE(g_installedSizeGb, QStringLiteral("3.2"));
    // Stored as sent, a line break included: such a hash fails the package check later.
    QCOMPARE(g_packageHash, QString::fromUtf8(fields.at(4)));
    QVERIFY(!g_launcherUpdateWindow);
}

void ReleaseManifestTest::unreadableManifestKeepsState_data()
{
    QTest::addColumn<FakeHttpServer::Route>("route");
    QTest::addColumn<bool>("installed");
    using Server = FakeHttpServer;
    QTest::newRow("trailing ;, installed") << Server::complete("3;12;1.5;3.2;h;") << true;
    QTest::newRow("four fields") << Server::complete("3;12;1.5;3.2") << false;
    QTest::newRow("empty") << Server::complete("") << true;
    QTest::newRow("never answers") << Server::withMode(Server::Mode::NeverAnswer) << true;
    QTest::newRow("endless body") << Server::withMode(Server::Mode::Endless) << false;
}

void ReleaseManifestTest::unreadableManifestKeepsState()
{
    QFETCH(FakeHttpServer::Route, route);
    QFETCH(bool, installed);
    g_gameInstalled = installed;
    m_server.setRoute(kManifestPath, route);
    const qint64 sentBefore = m_server.bodyBytesSent();

    checkReleaseManifest();

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QCOMPARE(m_messageBoxes.seen().first().title, QStringLiteral("Launcher"));
    QVERIFY(m_messageBoxes.seen().first().text.contains("Failed to get game info!"));
    // An installed game can still be played.
    QCOMPARE(button()->isEnabled(), installed);
    QCOMPARE(button()->text(), QStringLiteral("Download"));
    QCOMPARE(g_latestVersion, QStringLiteral("0"));
    QVERIFY(g_packageSizeGb.isEmpty() && g_installedSizeGb.isEmpty() && g_packageHash.isEmpty());
    // An endless body is refused soon after the 1 MiB cap.
    QVERIFY(m_server.bodyBytesSent() - sentBefore < 32 << 20);
}

void ReleaseManifestTest::newerLauncherShowsChangeLog()
{
    g_gameInstalled = true;
    m_server.setRoute("/raw/main/launcher/changelog.txt", FakeHttpServer::complete("Faster downloads."));
    m_server.setRoute(kManifestPath, FakeHttpServer::complete("4;13;1.5;3.2;h"));

    checkReleaseManifest();

    QVERIFY(g_launcherUpdateWindow && g_launcherUpdateWindow->isVisible());
    auto *dialog = g_launcherUpdateWindow->findChild<QTextBrowser *>();
    QVERIFY(dialog);
    QCOMPARE(dialog->toPlainText(), QStringLiteral("Faster downloads."));
    QVERIFY(!button()->isEnabled());
    QCOMPARE(button()->text(), QStringLiteral("Update"));
    QVERIFY(m_messageBoxes.seen().isEmpty());

    // Deleted without closing: closing the window would quit the application.
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<LauncherUpdate *>(widget))
            delete widget;
    }
    delete g_launcherUpdateWindow;
    g_launcherUpdateWindow = nullptr;
}

QTEST_MAIN(ReleaseManifestTest)
#include "tst_releasemanifest.moc"
