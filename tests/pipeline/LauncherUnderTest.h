#pragma once

#include "app/MainWindow.h"
#include "app/WindowProgress.h"
#include "core/Endpoints.h"
#include "core/ReleaseSignature.h"
#include "pipeline/ArchiveWorkerThread.h"
#include "tests/pipeline/FakeHttpServer.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <memory>

// The launcher's main window and install tree inside a test process: {app} is the test executable's
// directory, its GameDir, TEMP and c.ini belong to the test.
namespace LauncherUnderTest {

// Points both endpoints at server (raw-file endpoint at "raw/", release endpoint at its root), serves
// manifest there, and builds the window as the normal mode does, manifest check included.
inline std::unique_ptr<MainWindow> open(FakeHttpServer &server, const QByteArray &manifest)
{
    Endpoints::overrideForTesting(server.baseUrl() + "raw/", server.baseUrl());
    overrideTrustedReleaseKeysForTesting({}); // a test that signs its releases says so

    server.setRoute("/raw/main/launcher/version.txt", FakeHttpServer::complete(manifest));
    if (!ArchiveWorkerThread::current()) {
        // As the launcher's main has it: the worker's thread is stopped before the application object goes.
        new ArchiveWorkerThread;
        qAddPostRoutine([] { delete ArchiveWorkerThread::current(); });
    }
    return std::make_unique<MainWindow>();
}

// {app} + suffix.
inline const auto path = [](const char *suffix) { return QCoreApplication::applicationDirPath() + suffix; };

inline void clearInstallTree()
{
    for (const char *name : {"/GameDir", "/TEMP", "/c.ini"})
        QDir(path(name)).removeRecursively();
    QFile::remove(path("/c.ini"));
}

// Runs the application's event loop as the launcher does: its exit code, or 42 when nothing ended it.
inline int execFor(int milliseconds)
{
    QTimer giveUp;
    QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(42); });
    giveUp.start(milliseconds);
    return QApplication::exec();
}

// The idle state a run ends in: bars, caption and detail line hidden and cleared, button enabled.
inline bool isIdle(const MainWindow &window)
{
    const Ui::MainWindow &ui = *window.ui;
    return ui.progressBar->isHidden() && ui.progressBar->value() == 0 && ui.progressBar_2->isHidden() &&
           ui.progressBar_2->value() == 0 && ui.label->isHidden() && ui.label->text().isEmpty() &&
           ui.label_2->isHidden() && ui.label_2->text().isEmpty() && ui.pushButton->isEnabled();
}

// The window's progress, noting what the user saw after each step a run reported: the caption, marked
// "(no step bar)" while the step bar was hidden; a repeated state once.
class ShownSteps : public WindowProgress
{
public:
    explicit ShownSteps(MainWindow &window) : WindowProgress(*window.ui), ui(*window.ui) {}
    void showDownloadProgress(const QString &caption, qint64 received, qint64 total) override
    {
        WindowProgress::showDownloadProgress(caption, received, total), note();
    }
    void showIntegrityCheck() override { WindowProgress::showIntegrityCheck(), note(); }
    void showExtracting() override { WindowProgress::showExtracting(), note(); }
    void showSucceeded(const QString &caption) override { WindowProgress::showSucceeded(caption), note(); }
    void note()
    {
        const QString state = ui.label->text() + (ui.progressBar_2->isVisible() ? "" : " (no step bar)");
        if (shown.value(shown.size() - 1) != state)
            shown.append(state);
    }
    QStringList shown;
    Ui::MainWindow &ui;
};

} // namespace LauncherUnderTest
