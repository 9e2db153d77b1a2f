#include "app/MainWindow.h"
#include "core/AppState.h"
#include "core/Endpoints.h"
#include "dialogs/LauncherUpdate.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <memory>

namespace {

// Exit code that no slot under test uses: the event loop was still running when the test gave up.
constexpr int kStillRunning = 42;

const QByteArray kLauncherPackage = "/raw/main/launcher/OSRELWIN/Launcher.zip";

// Runs the application's event loop as the launcher does and returns its exit code, or kStillRunning
// when nothing ended it within the given time.
int execFor(int milliseconds)
{
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(kStillRunning); });
    fallback.start(milliseconds);
    return QApplication::exec();
}

void setApplicationState(Qt::ApplicationState state)
{
    QMetaObject::invokeMethod(qApp, "applicationStateChanged", Q_ARG(Qt::ApplicationState, state));
}

} // namespace

class LauncherUpdateTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void buildsItsFormOnASeparateWindow();
    void cancelQuitsTheLauncher();
    void closingTheWindowQuitsTheLauncher_data();
    void closingTheWindowQuitsTheLauncher();
    void activationPutsTheWindowOnTopAndShowsIt();
    void updateStartsTheSelfUpdateAndLeavesTheLauncherRunning();

private:
    FakeHttpServer m_server;
    MessageBoxWatcher m_messages;
    MainWindow *m_mainWindow = nullptr;
    bool m_hadTempDir = false;
};

void LauncherUpdateTest::initTestCase()
{
    // A manifest without a launcher update; everything else, the launcher package included, is 404.
    m_server.setRoute("/raw/main/launcher/version.txt",
                      FakeHttpServer::complete("3;12;1.5;3.2;0123456789abcdef0123456789abcdef"));
    m_hadTempDir = QDir(QCoreApplication::applicationDirPath() + QLatin1String("/TEMP")).exists();
    Endpoints::overrideForTesting(m_server.baseUrl() + QLatin1String("raw/"), m_server.baseUrl());
    // The self-update pipeline reports through the main window, as in the launcher. It is shown, so
    // closing a dialog never ends the event loop as "last window closed".
    m_mainWindow = new MainWindow;
    QCOMPARE(g_mainWindow, m_mainWindow);
    m_mainWindow->show();
    // Active before any dialog appears. The offscreen platform activates the application from inside the
    // creation of the first window it activates, where OnTop's show() would re-enter that creation; on
    // a real display activation arrives later, as an event.
    QVERIFY(QTest::qWaitForWindowActive(m_mainWindow));
    QVERIFY(m_messages.seen().isEmpty());
}

void LauncherUpdateTest::cleanupTestCase()
{
    delete m_mainWindow;
    if (!m_hadTempDir)
        QDir(QCoreApplication::applicationDirPath() + QLatin1String("/TEMP")).removeRecursively();
}

void LauncherUpdateTest::buildsItsFormOnASeparateWindow()
{
    auto *dialog = new LauncherUpdate(nullptr);
    QDialog *window = g_launcherUpdateWindow;
    QVERIFY(window && window != dialog);
    QVERIFY(window->isVisible());
    QVERIFY(!dialog->isVisible());
    QVERIFY(!window->isModal());
    QCOMPARE(window->parent(), nullptr);
    QCOMPARE(window->windowTitle(), QStringLiteral("Launcher Updater"));
    QCOMPARE(window->size(), QSize(400, 300));

    QCOMPARE(dialog->ui->label->parent(), window);
    QCOMPARE(dialog->ui->label->text(), QStringLiteral("Launcher Update Found"));
    QCOMPARE(int(dialog->ui->label->alignment()), 0x84);
    QCOMPARE(dialog->ui->label->geometry(), QRect(0, 0, 401, 31));
    QCOMPARE(dialog->ui->textBrowser->geometry(), QRect(10, 40, 381, 201));
    QVERIFY(dialog->ui->textBrowser->toPlainText().isEmpty());
    // The end-to-end tests click these by position.
    QCOMPARE(dialog->ui->Cancel->geometry(), QRect(10, 250, 181, 41));
    QCOMPARE(dialog->ui->Update->geometry(), QRect(210, 250, 181, 41));
    QCOMPARE(dialog->ui->Cancel->text(), QStringLiteral("Cancel"));
    QCOMPARE(dialog->ui->Update->text(), QStringLiteral("Update"));

    // A second dialog builds a new window; the first stays alive.
    auto *second = new LauncherUpdate(nullptr);
    QVERIFY(g_launcherUpdateWindow != window);
    QVERIFY(window->isVisible());
    window->hide();
    g_launcherUpdateWindow->hide();
    delete second;
    delete dialog;
}

void LauncherUpdateTest::cancelQuitsTheLauncher()
{
    auto *dialog = new LauncherUpdate(nullptr);
    QPushButton *cancel = dialog->ui->Cancel;
    QTimer::singleShot(0, cancel, [=] { QTest::mouseClick(cancel, Qt::LeftButton); });
    QCOMPARE(execFor(5000), 0);
    QVERIFY(!g_launcherUpdateStarted);
    QCOMPARE(m_server.requestCount(kLauncherPackage), 0);
    g_launcherUpdateWindow->hide();
    delete dialog;
}

void LauncherUpdateTest::closingTheWindowQuitsTheLauncher_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("title bar") << false;
    QTest::newRow("Escape") << true;
}

void LauncherUpdateTest::closingTheWindowQuitsTheLauncher()
{
    QFETCH(bool, escape);
    QPointer<LauncherUpdate> dialog = new LauncherUpdate(nullptr);
    QPointer<QDialog> window = g_launcherUpdateWindow;
    QTimer::singleShot(0, window, [=] {
        if (escape)
            QTest::keyClick(window, Qt::Key_Escape);
        else
            window->close();
    });
    QCOMPARE(execFor(5000), 0);
    // The closed window and its dialog are released together.
    QTRY_VERIFY(!window && !dialog && !g_launcherUpdateWindow);
    QVERIFY(!g_launcherUpdateStarted);
    QCOMPARE(m_server.requestCount(kLauncherPackage), 0);
}

void LauncherUpdateTest::activationPutsTheWindowOnTopAndShowsIt()
{
    std::unique_ptr<LauncherUpdate> dialog(new LauncherUpdate(nullptr));
    QDialog *window = g_launcherUpdateWindow;
    QVERIFY(!(window->windowFlags() & Qt::WindowStaysOnTopHint));

    const Qt::ApplicationState others[] = {Qt::ApplicationInactive, Qt::ApplicationHidden,
                                           Qt::ApplicationSuspended};
    for (Qt::ApplicationState state : others) {
        window->hide();
        setApplicationState(state);
        QVERIFY2(window->isVisible(), qPrintable(QString::number(state)));
        QVERIFY(!(window->windowFlags() & Qt::WindowStaysOnTopHint));
    }

    setApplicationState(Qt::ApplicationActive);
    QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(window->isVisible());
    // The flag stays when the launcher is left again.
    setApplicationState(Qt::ApplicationInactive);
    QVERIFY(window->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(window->isVisible());
    window->hide();
}

// Last: the started flag is never cleared again.
void LauncherUpdateTest::updateStartsTheSelfUpdateAndLeavesTheLauncherRunning()
{
    QPointer<LauncherUpdate> dialog = new LauncherUpdate(nullptr);
    QPointer<QDialog> window = g_launcherUpdateWindow;
    QPushButton *update = dialog->ui->Update;
    QTimer::singleShot(0, update, [=] { QTest::mouseClick(update, Qt::LeftButton, {}); });
    QCOMPARE(execFor(1500), kStillRunning);
    QVERIFY(g_launcherUpdateStarted);
    QTRY_VERIFY(!window && !dialog);
    // The self-update pipeline asked for the launcher package (the server answers 404, so the run fails
    // and the watcher answers its message box).
    QTRY_COMPARE(m_server.requestCount(kLauncherPackage), 1);
    QTRY_COMPARE(m_messages.seen().size(), 1);
    QCOMPARE(m_messages.seen().first().title, QStringLiteral("Launcher"));

    // From now on state changes bring back no window.
    setApplicationState(Qt::ApplicationActive);
    setApplicationState(Qt::ApplicationInactive);
    QCOMPARE(execFor(300), kStillRunning);
}

QTEST_MAIN(LauncherUpdateTest)
#include "tst_launcher_update.moc"
