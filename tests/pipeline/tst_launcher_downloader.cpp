// The launcher self-update pipeline, in-process with the real engine: download, extraction into
// TEMP/LauncherUpdate, start of the new launcher and the end of this one. The test runs from a
// directory whose path holds a space.
#include "app/MainWindow.h"
#include "core/AppState.h"
#include "core/Endpoints.h"
#include "pipeline/LauncherDownloader.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/pipeline/ProgressRecorder.h"
#include "tests/pipeline/ZipPackage.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kPackagePath = "/raw/main/launcher/OSRELWIN/Launcher.zip";
// Exit code no pipeline uses: the application was still running when the test gave up on it.
constexpr int kStillRunning = 42;

// A new launcher that only leaves a mark beside itself when it runs.
const QByteArray kNewLauncher = "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.txt\"\n";

QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class LauncherDownloaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void damagedPackageLeavesLauncherRunning();
    void updateStartsNewLauncherAndEnds();
    void missingExecutableIsReported();

public slots:
    void giveUp() { QCoreApplication::exit(kStillRunning); }

private:
    void startPipeline();
    int runApplication();
    QString updateDir(const char *name) { return LauncherUnderTest::path("/TEMP/LauncherUpdate/") + name; }
    Ui::MainWindow &ui() { return *m_window->ui; }

    MessageBoxWatcher m_messageBoxes;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

void LauncherDownloaderTest::initTestCase()
{
    QVERIFY(QCoreApplication::applicationDirPath().contains(QLatin1Char(' ')));
    LauncherUnderTest::clearInstallTree();
    m_window = LauncherUnderTest::open(m_server, "4;12;1.5;3.2;00");
}

void LauncherDownloaderTest::init()
{
    // While a launcher update is offered the main button stays disabled.
    ui().pushButton->setEnabled(false);
    m_messageBoxes.clear();
}

void LauncherDownloaderTest::cleanup()
{
    // Finished pipelines release themselves once deferred deletions run.
    QTest::qWait(0);
    LauncherUnderTest::clearInstallTree();
}

void LauncherDownloaderTest::startPipeline()
{
    // Released by itself when its run is over, as in the launcher.
    (new LauncherDownloader(nullptr))->startDownload();
}

int LauncherDownloaderTest::runApplication()
{
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, SIGNAL(timeout()), this, SLOT(giveUp()));
    guard.start(30000);
    return QApplication::exec();
}

void LauncherDownloaderTest::damagedPackageLeavesLauncherRunning()
{
    m_server.setRoute(kPackagePath, FakeHttpServer::complete(ZipPackage::damaged(ZipPackage::make(
                                        {{QStringLiteral("VelmoraGameLauncher.exe"), kNewLauncher},
                                         {QStringLiteral("library.bin"), QByteArray(1 << 20, 'L')}}))));

    startPipeline();
    QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), 20000);

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    QCOMPARE(m_messageBoxes.seen().first().text,
             QStringLiteral("<html><head/><body><p align=\"center\">Failed to extract package!\n"
                            "Please try again later.</p></body></html>"));
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/launcher_package.zip")));
}

void LauncherDownloaderTest::updateStartsNewLauncherAndEnds()
{
    // What an earlier attempt left behind goes before the extraction: the hand-over would move it.
    QDir().mkpath(updateDir(""));
    QFile leftover(updateDir("leftover.dat"));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    const QByteArray library(300000, 'L');
    m_server.setRoute(kPackagePath, FakeHttpServer::complete(ZipPackage::make(
                                        {{QStringLiteral("VelmoraGameLauncher.exe"), kNewLauncher},
                                         {QStringLiteral("library.bin"), library}})));
    ProgressRecorder recorder(*m_window);

    startPipeline();
    QCOMPARE(runApplication(), 0);

    QVERIFY(m_messageBoxes.seen().isEmpty());
    QCOMPARE(recorder.at(33)->caption, QStringLiteral("Downloading Launcher Package (1/3)"));
    QCOMPARE(recorder.at(34)->caption, QStringLiteral("Package Integrity Check (2/3)"));
    QCOMPARE(recorder.overallValues().last(), 100);
    QCOMPARE(ui().label->text(), QStringLiteral("Preparing For Launcher Update..."));
    QVERIFY(ui().progressBar_2->isHidden());
    QCOMPARE(read(updateDir("library.bin")), library);
    QVERIFY(!QFile::exists(updateDir("leftover.dat")));
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/launcher_package.zip")));
    QTRY_COMPARE(read(updateDir("started.txt")), QByteArray("started\n"));
    // The game side is untouched: no installed-version file, no "Play".
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/c.ini")));
    QVERIFY(!ui().pushButton->isEnabled());
}

void LauncherDownloaderTest::missingExecutableIsReported()
{
    m_server.setRoute(kPackagePath, FakeHttpServer::complete(ZipPackage::make(
                                        {{QStringLiteral("library.bin"), QByteArray(1000, 'L')}})));

    startPipeline();
    QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), 20000);

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    const QString text = m_messageBoxes.seen().first().text;
    QVERIFY2(text.contains(QStringLiteral("Failed to start the new launcher!\n") +
                           updateDir("VelmoraGameLauncher.exe")),
             qPrintable(text));
    QVERIFY(QFile::exists(updateDir("library.bin")));
}

QTEST_MAIN(LauncherDownloaderTest)
#include "tst_launcher_downloader.moc"
