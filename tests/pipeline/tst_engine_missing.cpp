// A game installation whose archive engine cannot be loaded: the "Q7Zip" message, then the end of
// the application with -1. A process of its own, since a loaded engine stays loaded.
#include "app/MainWindow.h"
#include "archive/EngineLibrary.h"
#include "core/AppState.h"
#include "pipeline/GameDownloader.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/pipeline/LauncherUnderTest.h"
#include "tests/pipeline/ZipPackage.h"
#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class EngineMissingTest : public QObject
{
    Q_OBJECT

private slots:
    void engineLoadFailureEndsApplication();

public slots:
    void giveUp() { QCoreApplication::exit(42); }
};

void EngineMissingTest::engineLoadFailureEndsApplication()
{
    QTemporaryDir noEngineHere;
    EngineLibrary::setSearchLocations({noEngineHere.path()});
    MessageBoxWatcher messageBoxes;
    FakeHttpServer server;
    LauncherUnderTest::clearInstallTree();
    std::unique_ptr<MainWindow> window = LauncherUnderTest::open(server, "3;12;1.5;3.2;00");
    const QByteArray package = ZipPackage::make({{QStringLiteral("Velmora.exe"), QByteArray("#!/bin/sh\n")}});
    server.setRoute("/releases/download/12/Client.zip", FakeHttpServer::complete(package));
    g_latestVersion = QStringLiteral("12");
    g_packageHash = QString::fromLatin1(QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex());

    (new GameDownloader(nullptr))->startDownload();
    QTimer::singleShot(30000, this, SLOT(giveUp()));
    QCOMPARE(QApplication::exec(), -1);

    // The extraction request was already sent: its failed result may be reported too, in a box over
    // this one while it waits for the user.
    const QString loadFailure = QStringLiteral("<html><head/><body><p align=\"center\">7z.dll</p><p "
                                               "align=\"center\"> Load Failure!!!</p></body></html>");
    bool reported = false;
    for (const MessageBoxWatcher::Seen &box : messageBoxes.seen())
        reported = reported || (box.title == QLatin1String("Q7Zip") && box.text == loadFailure);
    QVERIFY(reported);
    // The worker still answers the request with a failure; that ends the run and releases the pipeline.
    QTRY_COMPARE(messageBoxes.seen().size(), 2);
    QVERIFY(!g_gameInstalled);
    LauncherUnderTest::clearInstallTree();
}

QTEST_MAIN(EngineMissingTest)
#include "tst_engine_missing.moc"
