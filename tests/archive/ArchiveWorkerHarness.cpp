#include "tests/archive/ArchiveWorkerHarness.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

namespace {
constexpr int kOperationTimeoutMs = 120000;
}

ArchiveWorkerHarness::ArchiveWorkerHarness() = default;

ArchiveWorkerHarness::~ArchiveWorkerHarness()
{
    if (workerThread) {
        workerThread->quit();
        workerThread->wait();
        delete workerThread;
    }
}

int ArchiveWorkerHarness::start()
{
    log.install();
    Q7Zip *worker = Q7Zip::getInstance();
    recorder.attach(worker);
    workerThread = new QThread;
    worker->moveToThread(workerThread);
    QObject::connect(workerThread, SIGNAL(started()), worker, SLOT(threadStarted()));
    workerThread->start();
    if (!QTest::qWaitFor([this] { return !recorder.threadStarted.isEmpty(); }, kOperationTimeoutMs))
        return -1;
    return recorder.threadStarted.first();
}

void ArchiveWorkerHarness::prepareForRequest()
{
    recorder.clear();
    log.clear();
}

int ArchiveWorkerHarness::waitForResult()
{
    if (!QTest::qWaitFor([this] { return !recorder.results.isEmpty(); }, kOperationTimeoutMs))
        return -1;
    // Let the last queued deliveries arrive, so nothing of this operation leaks into the next one.
    QTest::qWait(20);
    return recorder.results.first().result;
}

int ArchiveWorkerHarness::extract(const QString &archive, const QString &outputDir)
{
    prepareForRequest();
    emit Q7Zip::getInstance()->operation_signal_extract(archive, outputDir);
    return waitForResult();
}

int ArchiveWorkerHarness::compress(const QString &archive, const QStringList &files,
                                   const QString &workingPath)
{
    prepareForRequest();
    emit Q7Zip::getInstance()->operation_signal_compress(archive, files, workingPath);
    return waitForResult();
}

namespace Fixture {

bool run(const QString &program, const QStringList &arguments, const QString &workingDir)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    if (!workingDir.isEmpty())
        process.setWorkingDirectory(workingDir);
    process.start(program, arguments);
    if (!process.waitForFinished(kOperationTimeoutMs))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool pythonZip(const QString &archive, const QString &entriesJson)
{
    return run(QStringLiteral("python3"),
               {QStringLiteral(VELMORA_ARCHIVE_TEST_DIR "/make_zip.py"), archive, entriesJson});
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = static_cast<char>(generator.generate() & 0xFF);
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList listTree(const QString &root)
{
    QStringList entries;
    const QDir base(root);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(base.relativeFilePath(it.next()));
    entries.sort();
    return entries;
}

} // namespace Fixture
