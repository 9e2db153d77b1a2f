// The main window as the normal mode builds it, under the offscreen platform.
#include "app/MainWindow.h"
#include "app/ManifestCheck.h"
#include "app/WindowSize.h"
#include "core/AppState.h"
#include "core/DownloadSizeText.h"
#include "dialogs/DownloadInfo.h"
#include "tests/app/TestFiles.h"

#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>

namespace {

// Set in a copy of this test started from an install directory whose path contains spaces.
const char kPlayChildVariable[] = "VELMORA_TEST_PLAY_CHILD";

QList<QWidget *> pipelineWidgets(const MainWindow &window)
{
    return {window.ui->label, window.ui->progressBar, window.ui->progressBar_2, window.ui->label_2};
}

// The window as the manifest check finds it when it starts.
struct ManifestCheckStart
{
    int calls = 0;
    MainWindow *window = nullptr;
    bool buttonEnabled = true;
    bool pipelineWidgetsHidden = false;
};
ManifestCheckStart manifestCheckStart;

} // namespace

// Stands in for the manifest check, which has tests of its own: the linker takes this definition and
// leaves the library's out. Whatever answers on the release port then cannot change the window here,
// and the start-up steps before the check can be seen as they were when it began.
void checkReleaseManifest()
{
    ++manifestCheckStart.calls;
    manifestCheckStart.window = g_mainWindow;
    manifestCheckStart.buttonEnabled = g_mainWindow->ui->pushButton->isEnabled();
    manifestCheckStart.pipelineWidgetsHidden = true;
    for (QWidget *widget : pipelineWidgets(*g_mainWindow))
        manifestCheckStart.pipelineWidgetsHidden &= widget->isHidden();
}

class MainWindowTest : public QObject
{
    Q_OBJECT

private slots:
    void normalModePreparesWindow();
    void objectNamesOthersRelyOn();
    void buttonSitsBottomLeftAndNeverMoves();
    void playStartsGameDetachedFromPathWithSpaces();
    void otherwiseButtonOffersDownload_data();
    void otherwiseButtonOffersDownload();

private:
    void clickPlay();
};

void MainWindowTest::normalModePreparesWindow()
{
    manifestCheckStart = {};
    MainWindow window;
    QCOMPARE(g_mainWindow, &window);
    // The check comes last, once, on a window whose button is disabled and whose progress is hidden.
    QCOMPARE(manifestCheckStart.calls, 1);
    QCOMPARE(manifestCheckStart.window, &window);
    QVERIFY(!manifestCheckStart.buttonEnabled);
    QVERIFY(manifestCheckStart.pipelineWidgetsHidden);

    const QSize expected = launcherWindowSize(QGuiApplication::primaryScreen()->geometry().width());
    QCOMPARE(window.size(), expected);
    QCOMPARE(window.minimumSize(), expected);
    QCOMPARE(window.maximumSize(), expected);
    QCOMPARE(window.ui->centralwidget->size(), expected);

    const QBrush background = window.palette().brush(QPalette::Inactive, QPalette::Window);
    QVERIFY(!background.texture().isNull());
    QCOMPARE(background.texture().width(), expected.width());

    for (QWidget *widget : pipelineWidgets(window)) {
        QVERIFY2(widget->isHidden(), qPrintable(widget->objectName()));
        QVERIFY2(widget->sizePolicy().retainSizeWhenHidden(), qPrintable(widget->objectName()));
    }
    QVERIFY(!window.ui->pushButton->isEnabled());
    QCOMPARE(window.ui->pushButton->text(), QStringLiteral("Download"));
}

void MainWindowTest::objectNamesOthersRelyOn()
{
    MainWindow window;
    QCOMPARE(window.objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(window.findChild<QPushButton *>("pushButton"), window.ui->pushButton);
    QCOMPARE(window.findChild<QLabel *>("label"), window.ui->label);
    QCOMPARE(window.findChild<QLabel *>("label_2"), window.ui->label_2);
    QCOMPARE(window.findChild<QProgressBar *>("progressBar"), window.ui->progressBar);
    QCOMPARE(window.findChild<QProgressBar *>("progressBar_2"), window.ui->progressBar_2);
    QCOMPARE(window.findChild<QWidget *>("centralwidget"), window.centralWidget());
}

void MainWindowTest::buttonSitsBottomLeftAndNeverMoves()
{
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QRect area = window.ui->centralwidget->rect().adjusted(30, 0, -30, -30);
    const QRect button = window.ui->pushButton->geometry();
    QCOMPARE(button.left(), area.left());
    QVERIFY2(button.bottom() <= area.bottom() && button.top() > area.center().y(),
             "button not at the bottom");
    QVERIFY(button.width() >= 160);
    QCOMPARE(button.height(), 70);

    // Caption and bars to the right of the button, 38 pixels apart, inside the margins, label above bars.
    for (QWidget *widget : pipelineWidgets(window)) {
        const QRect geometry = widget->geometry();
        QVERIFY2(geometry.left() == button.right() + 1 + 38, qPrintable(widget->objectName()));
        QVERIFY2(area.contains(geometry), qPrintable(widget->objectName()));
    }
    QVERIFY(window.ui->label->y() < window.ui->progressBar->y());
    QVERIFY(window.ui->progressBar->y() < window.ui->progressBar_2->y());
    QVERIFY(window.ui->progressBar_2->y() < window.ui->label_2->y());

    // The pipelines show and hide these one by one; the button stays where it is throughout.
    for (QWidget *widget : pipelineWidgets(window)) {
        widget->show();
        QCoreApplication::processEvents();
        QCOMPARE(window.ui->pushButton->geometry(), button);
    }
    for (QWidget *widget : pipelineWidgets(window)) {
        widget->hide();
        QCoreApplication::processEvents();
        QCOMPARE(window.ui->pushButton->geometry(), button);
    }
}

void MainWindowTest::playStartsGameDetachedFromPathWithSpaces()
{
    if (qEnvironmentVariableIsSet(kPlayChildVariable)) {
        clickPlay();
        return;
    }
    // The game path comes from the application directory, so a copy of this test runs from there.
    QTemporaryDir root;
    const QString appDir = root.path() + "/Velmora Games/launcher dir";
    const QString copy = appDir + "/launcher test";
    QVERIFY(TestFiles::copyExecutable(QCoreApplication::applicationFilePath(), copy));
    QVERIFY(TestFiles::writeScript(appDir + "/GameDir/Velmora.exe",
                                   "echo \"$# $PWD\" > \"$(dirname \"$0\")/../started.txt\"\n"));
    const QString workDir = root.path() + "/working dir";
    QVERIFY(QDir().mkpath(workDir));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kPlayChildVariable, "1");
    child.setProcessEnvironment(environment);
    child.setWorkingDirectory(workDir);
    child.start(copy, {"playStartsGameDetachedFromPathWithSpaces"});
    QVERIFY(child.waitForFinished(60000));
    QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
             child.readAllStandardOutput() + child.readAllStandardError());

    // Started with no arguments, in the launcher's working directory.
    QTRY_COMPARE_WITH_TIMEOUT(TestFiles::read(appDir + "/started.txt"), ("0 " + workDir + "\n").toUtf8(),
                              10000);
}

void MainWindowTest::clickPlay()
{
    MainWindow window;
    QVERIFY(g_gameInstalled);
    // No c.ini and no manifest: both versions are "0", so the button plays.
    QCOMPARE(g_installedVersion, QStringLiteral("0"));
    QCOMPARE(g_latestVersion, QStringLiteral("0"));
    window.ui->pushButton->setEnabled(true);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.ui->pushButton, Qt::LeftButton);
    QVERIFY(window.ui->pushButton->isEnabled());
    QVERIFY(window.isVisible());
}

void MainWindowTest::otherwiseButtonOffersDownload_data()
{
    QTest::addColumn<bool>("gameInstalled");
    QTest::addColumn<QString>("installedVersion");
    QTest::addColumn<QString>("latestVersion");
    QTest::newRow("not installed") << false << "0"
                                   << "0";
    QTest::newRow("older version") << true << "11"
                                   << "12";
    // The same number, yet not the same text: the installed version is compared exactly.
    QTest::newRow("line break in c.ini") << true << "12\n"
                                         << "12";
    QTest::newRow("leading zero") << true << "12"
                                  << "012";
}

void MainWindowTest::otherwiseButtonOffersDownload()
{
    QFETCH(bool, gameInstalled);
    QFETCH(QString, installedVersion);
    QFETCH(QString, latestVersion);
    MainWindow window;
    g_gameInstalled = gameInstalled;
    g_installedVersion = installedVersion;
    g_latestVersion = latestVersion;
    g_packageSizeGb = QStringLiteral("1.5");
    g_installedSizeGb = QStringLiteral("3.2");
    window.ui->pushButton->setEnabled(true);
    QDialog *previousWindow = g_downloadInfoWindow;

    QTest::mouseClick(window.ui->pushButton, Qt::LeftButton);

    QVERIFY(g_downloadInfoWindow && g_downloadInfoWindow != previousWindow);
    QVERIFY(g_downloadInfoWindow->isVisible());
    QCOMPARE(g_downloadInfoWindow->findChild<QTextBrowser *>("textBrowser")->toPlainText(),
             downloadSizeText("1.5", "3.2"));
    QVERIFY(!window.ui->pushButton->isEnabled());
    g_downloadInfoWindow->hide();
}

QTEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
