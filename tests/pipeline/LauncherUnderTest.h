#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class FakeHttpServer;
class MainWindow;

// The launcher's main window and install tree inside a test process: {app} is the test executable's
// directory, its GameDir, TEMP and c.ini belong to the test.
namespace LauncherUnderTest {

// Points both endpoints at server (raw-file endpoint at "raw/", release endpoint at its root), serves
// manifest there, and builds the window as the normal mode does, manifest check included.
std::unique_ptr<MainWindow> open(FakeHttpServer &server, const QByteArray &manifest);

// Removes GameDir, TEMP and c.ini (a file or a directory) from {app}.
void clearInstallTree();

// {app} + suffix.
QString path(const char *suffix);

// The idle state a run ends in: bars, caption and detail line hidden and cleared, button enabled.
bool isIdle(const MainWindow &window);

} // namespace LauncherUnderTest
