// The download-information and launcher-update dialogs over the main window, under the offscreen
// platform: Cancel, Escape and the title bar's close act alike, and every closed window is released.
#include "app/MainWindow.h"
#include "core/AppState.h"
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
#include <QtTest>

#include <memory>

namespace {

const QByteArray kGamePackage = "/releases/download/12/Client.zip";
const QByteArray kLauncherPackage = "/raw/main/launcher/OSRELWIN/Launcher.zip";
const char kGame[] = "/GameDir/Velmora.exe";

// Runs the application's event loop as the launcher does: its exit code, or 42 when nothing ended it.
int execFor(int milliseconds)
{
    QTimer giveUp;
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(42); });
    giveUp.start(milliseconds);
    return QApplication::exec();
}

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

bool downloadInfoRemains()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<DownloadInfo *>(widget) || widget->objectName() == QLatin1String("DownloadInfo"))
            return true;
    }
    return false;
}

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void downloadInfoDismissedChangesNothing_data() { addWays(); }
    void downloadInfoDismissedChangesNothing();
    void downloadWipesGameDirThenStartsPipeline();
    void launcherUpdateDeclinedEndsLauncher_data() { addWays(); }
    void launcherUpdateDeclinedEndsLauncher();
    void launcherUpdateOnTopOnceActive();
    void launcherUpdateStartsSelfUpdate(); // last: the started flag is never cleared again

private:
    QPushButton *mainButton() { return m_window->ui->pushButton; }
    void openDownloadInfo();

    MessageBoxWatcher m_messageBoxes;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

void DialogsTest::initTestCase()
{
    m_window = LauncherUnderTest::open(m_server, "3;12;1.5;3.2;00");
    // Shown, so closing a dialog never ends the event loop as "last window closed"; active before any
    // dialog appears, as the offscreen platform activates the application inside the first window's creation.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void DialogsTest::init()
{
    LauncherUnderTest::clearInstallTree();
    QVERIFY(TestFiles::write(LauncherUnderTest::path(kGame), "#!/bin/sh\n"));
    m_messageBoxes.clear();
}

void DialogsTest::openDownloadInfo()
{
    // An outdated game: the button offers the download rather than playing.
    g_gameInstalled = true;
    g_installedVersion = QStringLiteral("11");
    g_latestVersion = QStringLiteral("12");
    mainButton()->setEnabled(true);
    mainButton()->click();
    QVERIFY(g_downloadInfoWindow && g_downloadInfoWindow->isVisible());
    QVERIFY(!mainButton()->isEnabled());
}

void DialogsTest::downloadInfoDismissedChangesNothing()
{
    QFETCH(QString, way);
    openDownloadInfo();
    dismiss(g_downloadInfoWindow, way);

    QVERIFY(mainButton()->isEnabled());
    QVERIFY(QFile::exists(LauncherUnderTest::path(kGame)));
    QVERIFY(m_window->ui->label->isHidden()); // no download started
    QTRY_VERIFY(!downloadInfoRemains() && !g_downloadInfoWindow);
}

void DialogsTest::downloadWipesGameDirThenStartsPipeline()
{
    openDownloadInfo();
    g_downloadInfoWindow->findChild<QPushButton *>("Download")->click();

    QVERIFY(!QFile::exists(LauncherUnderTest::path(kGame)));
    QCOMPARE(m_window->ui->label->text(), QStringLiteral("Preparing..."));
    // The pipeline asks for the package (refused here) and ends at the idle state.
    QTRY_VERIFY_WITH_TIMEOUT(mainButton()->isEnabled(), 10000);
    QCOMPARE(m_server.requestCount(kGamePackage), 1);
    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QTRY_VERIFY(!downloadInfoRemains() && !g_downloadInfoWindow);
}

void DialogsTest::launcherUpdateDeclinedEndsLauncher()
{
    QFETCH(QString, way);
    QPointer<LauncherUpdate> dialog = new LauncherUpdate(nullptr);
    QPointer<QDialog> window = g_launcherUpdateWindow;
    QVERIFY(window && window->isVisible());
    QTimer::singleShot(0, window, [=] { dismiss(window, way); });

    QCOMPARE(execFor(5000), 0);
    QVERIFY(!g_launcherUpdateStarted);
    QCOMPARE(m_server.requestCount(kLauncherPackage), 0);
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP")));
    if (way == "Cancel") { // the launcher ends with the window still up
        window->hide();
        delete dialog;
    }
    QTRY_VERIFY(!dialog && (way == "Cancel" || (!window && !g_launcherUpdateWindow)));
}

void DialogsTest::launcherUpdateOnTopOnceActive()
{
    std::unique_ptr<LauncherUpdate> dialog(new LauncherUpdate(nullptr));
    QDialog *window = g_launcherUpdateWindow;
    const auto setState = [](Qt::ApplicationState state) {
        QMetaObject::invokeMethod(qApp, "applicationStateChanged", Q_ARG(Qt::ApplicationState, state));
    };
    // Every state change shows the window again; only activation puts it on top, for good.
    for (Qt::ApplicationState state :
         {Qt::ApplicationInactive, Qt::ApplicationHidden, Qt::ApplicationActive, Qt::ApplicationInactive}) {
        const bool onTopBefore = window->windowFlags() & Qt::WindowStaysOnTopHint;
        window->hide();
        setState(state);
        QVERIFY(window->isVisible());
        QCOMPARE(bool(window->windowFlags() & Qt::WindowStaysOnTopHint),
                 onTopBefore || state == Qt::ApplicationActive);
    }
    QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
    window->hide();
}

void DialogsTest::launcherUpdateStartsSelfUpdate()
{
    QPointer<LauncherUpdate> dialog = new LauncherUpdate(nullptr);
    QPointer<QDialog> window = g_launcherUpdateWindow;
    QTimer::singleShot(0, window, [=] { dialog->ui->Update->click(); });

    QCOMPARE(execFor(1500), 42);
    QVERIFY(g_launcherUpdateStarted);
    QTRY_VERIFY(!window && !dialog);
    // The self-update asked for the launcher package; the server answers 404, so it fails and says so.
    QTRY_COMPARE(m_server.requestCount(kLauncherPackage), 1);
    QTRY_COMPARE(m_messageBoxes.seen().size(), 1);
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
