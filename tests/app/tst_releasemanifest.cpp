// The release manifest check at start-up: what it stores, how it labels and enables the main button,
// and how it fails, against a fault-injecting fake server.
#include "app/MainWindow.h"
#include "app/ManifestCheck.h"
#include "core/AppState.h"
#include "core/TransferWatchdog.h"
#include "dialogs/LauncherUpdate.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/support/DebugLogCapture.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTextBrowser>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kManifestPath = "/raw/main/launcher/version.txt";
const QString kUnreadable = QStringLiteral("<html><head/><body><p align=\"center\">Failed to get game info!\n"
                                           "Please try again later.</p></body></html>");

// Peak resident memory of this process so far, in KiB.
qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

LauncherUpdate *openLauncherUpdate()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<LauncherUpdate *>(widget))
            return dialog;
    }
    return nullptr;
}

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
    void lineBreakAfterHashIsStored();
    void newerLauncherShowsChangeLog_data();
    void newerLauncherShowsChangeLog();
    void silentServerFailsWithinLimit();
    void endlessBodyFailsWithoutFillingMemory();

private:
    void check(const QByteArray &manifest);
    QPushButton *button() { return m_window->ui->pushButton; }

    MessageBoxWatcher m_messageBoxes;
    DebugLogCapture m_log;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

void ReleaseManifestTest::initTestCase()
{
    TransferWatchdog::setInactivityLimitForTesting(1000);
    m_log.install();
    m_window = LauncherUnderTest::open(m_server, "3;12;1.5;3.2;00");
}

void ReleaseManifestTest::init()
{
    button()->setEnabled(false);
    button()->setText(QStringLiteral("Download"));
    g_gameInstalled = false;
    g_installedVersion = QStringLiteral("0");
    g_latestVersion = QStringLiteral("0");
    g_packageSizeGb.clear();
    g_installedSizeGb.clear();
    g_packageHash.clear();
    m_messageBoxes.clear();
    m_log.clear();
}

void ReleaseManifestTest::check(const QByteArray &manifest)
{
    m_server.setRoute(kManifestPath, FakeHttpServer::complete(manifest));
    checkReleaseManifest();
}

void ReleaseManifestTest::labelsAndEnablesButton_data()
{
    QTest::addColumn<QByteArray>("manifest");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("installedVersion");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("newGameLine");

    QTest::newRow("not installed") << QByteArray("3;13;1.5;3.2;h") << false << "0"
                                   << "Download" << false;
    QTest::newRow("installed 12, latest 12") << QByteArray("3;12;1.5;3.2;h") << true << "12"
                                             << "Play" << false;
    QTest::newRow("installed 12, latest 13") << QByteArray("3;13;1.5;3.2;h") << true << "12"
                                             << "Update" << true;
    QTest::newRow("installed 12, latest 11") << QByteArray("3;11;1.5;3.2;h") << true << "12"
                                             << "Play" << false;
    QTest::newRow("installed 12, latest 012") << QByteArray("3;012;1.5;3.2;h") << true << "12"
                                              << "Play" << false;
    QTest::newRow("installed 12, latest 1.2") << QByteArray("3;1.2;1.5;3.2;h") << true << "12"
                                              << "Play" << false;
    QTest::newRow("no c.ini, latest 1") << QByteArray("3;1;1.5;3.2;h") << true << "0"
                                        << "Update" << true;
    QTest::newRow("launcher field not a number") << QByteArray("x;12;1.5;3.2;h") << true << "12"
                                                 << "Play" << false;
}

void ReleaseManifestTest::labelsAndEnablesButton()
{
    QFETCH(QByteArray, manifest);
    QFETCH(bool, installed);
    QFETCH(QString, installedVersion);
    QFETCH(QString, label);
    QFETCH(bool, newGameLine);
    g_gameInstalled = installed;
    g_installedVersion = installedVersion;

    check(manifest);

    QVERIFY(m_messageBoxes.seen().isEmpty());
    QVERIFY(button()->isEnabled());
    QCOMPARE(button()->text(), label);
    QCOMPARE(m_log.lines().contains(QStringLiteral("New Game Version Found")), newGameLine);
    QVERIFY(!m_log.lines().contains(QStringLiteral("New Launcher Version Found")));
    const QList<QByteArray> fields = manifest.split(';');
    QCOMPARE(g_latestVersion, QString::fromUtf8(fields.at(1)));
    QCOMPARE(g_packageSizeGb, QStringLiteral("1.5"));
    QCOMPARE(g_installedSizeGb, QStringLiteral("3.2"));
    QCOMPARE(g_packageHash, QStringLiteral("h"));
    QVERIFY(!openLauncherUpdate());
}

void ReleaseManifestTest::unreadableManifestKeepsState_data()
{
    QTest::addColumn<QByteArray>("manifest");
    QTest::addColumn<bool>("installed");
    QTest::newRow("trailing ;, not installed") << QByteArray("3;12;1.5;3.2;h;") << false;
    QTest::newRow("trailing ;, installed") << QByteArray("3;12;1.5;3.2;h;") << true;
    QTest::newRow("empty body") << QByteArray() << false;
    QTest::newRow("four fields") << QByteArray("3;12;1.5;3.2") << true;
}

void ReleaseManifestTest::unreadableManifestKeepsState()
{
    QFETCH(QByteArray, manifest);
    QFETCH(bool, installed);
    g_gameInstalled = installed;
    g_installedVersion = QStringLiteral("12");

    check(manifest);

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QCOMPARE(m_messageBoxes.seen().first().title, QStringLiteral("Launcher"));
    QCOMPARE(m_messageBoxes.seen().first().text, kUnreadable);
    QCOMPARE(button()->isEnabled(), installed);
    QCOMPARE(button()->text(), QStringLiteral("Download"));
    QCOMPARE(g_latestVersion, QStringLiteral("0"));
    QVERIFY(g_packageSizeGb.isEmpty() && g_installedSizeGb.isEmpty() && g_packageHash.isEmpty());
}

void ReleaseManifestTest::lineBreakAfterHashIsStored()
{
    // Five fields all the same; the hash keeps the line break, so the package check fails later.
    check("3;12;1.5;3.2;0123456789abcdef0123456789abcdef\n");
    QVERIFY(m_messageBoxes.seen().isEmpty());
    QVERIFY(button()->isEnabled());
    QCOMPARE(g_packageHash, QStringLiteral("0123456789abcdef0123456789abcdef\n"));
}

void ReleaseManifestTest::newerLauncherShowsChangeLog_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("label");
    QTest::newRow("installed") << true << "Update";
    QTest::newRow("not installed") << false << "Download";
}

void ReleaseManifestTest::newerLauncherShowsChangeLog()
{
    QFETCH(bool, installed);
    QFETCH(QString, label);
    g_gameInstalled = installed;
    g_installedVersion = QStringLiteral("12");
    m_server.setRoute("/raw/main/launcher/changelog.txt",
                      FakeHttpServer::complete("Faster downloads.\nFixes."));

    check("4;13;1.5;3.2;h");

    LauncherUpdate *update = openLauncherUpdate();
    QVERIFY(update);
    QVERIFY(g_launcherUpdateWindow->isVisible());
    QCOMPARE(update->ui->textBrowser->toPlainText(), QStringLiteral("Faster downloads.\nFixes."));
    QVERIFY(!button()->isEnabled());
    QCOMPARE(button()->text(), label);
    QCOMPARE(m_log.lines().contains(QStringLiteral("New Launcher Version Found")), true);
    QCOMPARE(g_latestVersion, QStringLiteral("13"));
    QVERIFY(m_messageBoxes.seen().isEmpty());

    // Deleted without closing: closing the window would quit the application.
    delete update;
    delete g_launcherUpdateWindow;
    g_launcherUpdateWindow = nullptr;
}

void ReleaseManifestTest::silentServerFailsWithinLimit()
{
    FakeHttpServer::Route silent;
    silent.mode = FakeHttpServer::Mode::NeverAnswer;
    m_server.setRoute(kManifestPath, silent);
    g_gameInstalled = true;
    const int requestsBefore = m_server.requestCount(kManifestPath);

    checkReleaseManifest();

    // The request arrived and was never answered: only the inactivity limit can have ended the check
    // (without one it would wait for ever).
    QCOMPARE(m_server.requestCount(kManifestPath), requestsBefore + 1);
    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QCOMPARE(m_messageBoxes.seen().first().text, kUnreadable);
    QVERIFY(button()->isEnabled());
}

void ReleaseManifestTest::endlessBodyFailsWithoutFillingMemory()
{
    FakeHttpServer::Route endless;
    endless.mode = FakeHttpServer::Mode::Endless;
    m_server.setRoute(kManifestPath, endless);
    const qint64 peakBefore = peakResidentKiB();

    checkReleaseManifest();

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QCOMPARE(m_messageBoxes.seen().first().text, kUnreadable);
    // The body was refused soon after the 1 MiB cap, and memory never held much more than that.
    QVERIFY2(m_server.bodyBytesSent() < 32 << 20, qPrintable(QString::number(m_server.bodyBytesSent())));
    const qint64 riseKiB = peakResidentKiB() - peakBefore;
    QVERIFY2(riseKiB < 32 * 1024, qPrintable(QString::number(riseKiB)));
}

QTEST_MAIN(ReleaseManifestTest)
#include "tst_releasemanifest.moc"
