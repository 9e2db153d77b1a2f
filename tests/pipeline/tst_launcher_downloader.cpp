// The launcher self-update run in-process, the real engine extracting into TEMP/LauncherUpdate: the new
// launcher is started and this one ends, or the user hears why not. Runs from a path holding a space.
#include "app/MainWindow.h"
#include "pipeline/LauncherDownloader.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/pipeline/ZipPackage.h"
#include "tests/support/MessageBoxWatcher.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include <memory>

namespace {

const QByteArray kPackagePath = "/raw/main/launcher/OSRELWIN/Launcher.zip";
// A new launcher that only leaves a mark beside itself when it runs.
const QByteArray kNewLauncher = "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.txt\"\n";

QString updateDir(const char *name)
{
    return LauncherUnderTest::path("/TEMP/LauncherUpdate/") + name;
}

} // namespace

class LauncherDownloaderTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void updateStartsNewLauncherAndEnds();
    void launcherThatCannotStartIsReported();

private:
    MessageBoxWatcher m_messageBoxes;
    FakeHttpServer m_server;
    std::unique_ptr<MainWindow> m_window;
};

void LauncherDownloaderTest::initTestCase()
{
    QVERIFY(QCoreApplication::applicationDirPath().contains(QLatin1Char(' ')));
    m_window = LauncherUnderTest::open(m_server, "4;12;1.5;3.2;00");
}

void LauncherDownloaderTest::init()
{
    LauncherUnderTest::clearInstallTree();
    // While a launcher update is offered the main button stays disabled.
    m_window->ui->pushButton->setEnabled(false);
}

void LauncherDownloaderTest::updateStartsNewLauncherAndEnds()
{
    // What an earlier attempt left behind goes before the extraction: the hand-over would move it.
    QVERIFY(TestFiles::write(updateDir("leftover.dat"), "old"));
    const QByteArray library(300000, 'L');
    m_server.setRoute(kPackagePath,
                      FakeHttpServer::complete(ZipPackage::make(
                          {{"VelmoraGameLauncher.exe", kNewLauncher}, {"library.bin", library}})));

    (new LauncherDownloader(nullptr))->startDownload();
    QTimer giveUp;
    connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(42); });
    giveUp.start(30000);
    QCOMPARE(QApplication::exec(), 0);

    QVERIFY(m_messageBoxes.seen().isEmpty());
    QCOMPARE(TestFiles::read(updateDir("library.bin")), library);
    QVERIFY(!QFile::exists(updateDir("leftover.dat")));
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/TEMP/launcher_package.zip")));
    QTRY_COMPARE(TestFiles::read(updateDir("started.txt")), QByteArray("started\n"));
    // The game side is untouched.
    QVERIFY(!QFile::exists(LauncherUnderTest::path("/c.ini")));
}

void LauncherDownloaderTest::launcherThatCannotStartIsReported()
{
    m_server.setRoute(kPackagePath,
                      FakeHttpServer::complete(ZipPackage::make({{"library.bin", QByteArray(1000, 'L')}})));

    (new LauncherDownloader(nullptr))->startDownload();
    QTRY_VERIFY_WITH_TIMEOUT(LauncherUnderTest::isIdle(*m_window), 20000);

    QCOMPARE(m_messageBoxes.seen().size(), 1);
    const QString text = m_messageBoxes.seen().first().text;
    QVERIFY2(text.contains("Failed to start the new launcher!\n" + updateDir("VelmoraGameLauncher.exe")),
             qPrintable(text));
}

QTEST_MAIN(LauncherDownloaderTest)
#include "tst_launcher_downloader.moc"
