#pragma once

#include "tests/archive/WorkerSignalRecorder.h"
#include "tests/support/DebugLogCapture.h"

#include <QStringList>

class QThread;

// Runs the process-wide archive worker on its own thread the way the pipelines do, records its answers on
// the test's thread and captures the debug log. Also makes the fixture archives the tests need.
class ArchiveWorkerHarness
{
public:
    ArchiveWorkerHarness();
    ~ArchiveWorkerHarness();
    ArchiveWorkerHarness(const ArchiveWorkerHarness &) = delete;
    ArchiveWorkerHarness &operator=(const ArchiveWorkerHarness &) = delete;

    // Installs the log capture, moves the worker to a new thread, starts it and waits for
    // threadStarted_signal; returns its value (-1 on a time-out).
    int start();
    // Requests an operation through the worker's request signal and waits for its result signal; the
    // recorder and the log hold only what this operation produced. Returns the result (-1 on a time-out).
    int extract(const QString &archive, const QString &outputDir);
    int compress(const QString &archive, const QStringList &files, const QString &workingPath);

    WorkerSignalRecorder recorder;
    DebugLogCapture log;
    QThread *workerThread = nullptr;

private:
    void prepareForRequest();
    int waitForResult();
};

namespace Fixture {

// Runs a program to its end; true when it exited with status 0. Its output goes to the test's log.
bool run(const QString &program, const QStringList &arguments, const QString &workingDir = QString());
// Writes a zip from a JSON list of entries (see make_zip.py for the fields).
bool pythonZip(const QString &archive, const QString &entriesJson);
// Writes `size` pseudo-random bytes (or the given text) to a file, creating its directory.
bool writeFile(const QString &path, const QByteArray &content);
QByteArray randomBytes(int size, quint32 seed);
QByteArray readFile(const QString &path);
// Every file and directory below `root`, as paths relative to it, sorted.
QStringList listTree(const QString &root);

} // namespace Fixture
