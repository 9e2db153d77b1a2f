#include "tests/pipeline/LauncherUnderTest.h"

#include "app/MainWindow.h"
#include "core/Endpoints.h"
#include "pipeline/ArchiveWorkerThread.h"
#include "tests/pipeline/FakeHttpServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

std::unique_ptr<MainWindow> LauncherUnderTest::open(FakeHttpServer &server, const QByteArray &manifest)
{
    Endpoints::overrideForTesting(server.baseUrl() + QStringLiteral("raw/"), server.baseUrl());
    server.setRoute("/raw/main/launcher/version.txt", FakeHttpServer::complete(manifest));
    if (!ArchiveWorkerThread::current()) {
        // As the launcher's main has it: the worker's thread is stopped before the application object goes.
        new ArchiveWorkerThread;
        qAddPostRoutine([] { delete ArchiveWorkerThread::current(); });
    }
    return std::make_unique<MainWindow>();
}

void LauncherUnderTest::clearInstallTree()
{
    QDir(path("/GameDir")).removeRecursively();
    QDir(path("/TEMP")).removeRecursively();
    QDir(path("/c.ini")).removeRecursively();
    QFile::remove(path("/c.ini"));
}

QString LauncherUnderTest::path(const char *suffix)
{
    return QCoreApplication::applicationDirPath() + QLatin1String(suffix);
}

bool LauncherUnderTest::isIdle(const MainWindow &window)
{
    const Ui::MainWindow &ui = *window.ui;
    return ui.progressBar->isHidden() && ui.progressBar->value() == 0 && ui.progressBar_2->isHidden() &&
           ui.progressBar_2->value() == 0 && ui.label->isHidden() && ui.label->text().isEmpty() &&
           ui.label_2->isHidden() && ui.label_2->text().isEmpty() && ui.pushButton->isEnabled();
}
