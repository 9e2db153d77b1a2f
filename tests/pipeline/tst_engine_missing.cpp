// A game installation whose archive engine cannot be loaded: the "Q7Zip" message, then the end of the
// application with -1. A process of its own, since a loaded engine stays loaded.
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

#include <algorithm>

class EngineMissingTest : public QObject
{
    Q_OBJECT

private slots:
    void engineLoadFailureEndsApplication()
    {
        QTemporaryDir noEngineHere;
        EngineLibrary::setSearchLocations({noEngineHere.path()});
        MessageBoxWatcher messageBoxes;
        FakeHttpServer server;
        LauncherUnderTest::clearInstallTree();
        const auto window = LauncherUnderTest::open(server, "3;12;1.5;3.2;00");
        const QByteArray package = ZipPackage::make({{"Velmora.exe", "#!/bin/sh\n"}});
        server.setRoute("/releases/download/12/Client.zip", FakeHttpServer::complete(package));
        g_latestVersion = QStringLiteral("12");
        g_packageHash = QCryptographicHash::hash(package, QCryptographicHash::Md5).toHex();

        (new GameDownloader(nullptr))->startDownload();
        QTimer giveUp;
        connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(42); });
        giveUp.start(30000);
        QCOMPARE(QApplication::exec(), -1);

        // The extraction request was already sent: the worker answers it with a failure too, in a box
        // that may open over this one while it waits for the user.
        QTRY_COMPARE(messageBoxes.seen().size(), 2);
        const QList<MessageBoxWatcher::Seen> &seen = messageBoxes.seen();
        QVERIFY(std::any_of(seen.cbegin(), seen.cend(), [](const MessageBoxWatcher::Seen &box) {
            return box.title == "Q7Zip" && box.text.contains("Load Failure!!!");
        }));
        QVERIFY(!g_gameInstalled && !QFile::exists(LauncherUnderTest::path("/c.ini")));
        LauncherUnderTest::clearInstallTree();
    }
};

QTEST_MAIN(EngineMissingTest)
#include "tst_engine_missing.moc"
