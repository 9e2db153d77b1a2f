// A whole extraction of any bytes opened as a zip by the real engine, through our streams and callbacks,
// into a scratch folder: nothing is written beside it, and a result of 0 means every item was written
// whole (the files hold as many bytes as the engine said it would write, unless two items share a path).
#include "archive/Q7Zip.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_extraction", *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    static const QTemporaryDir scratch;
    static quint64 total = 0;
    static QStringList items; // the paths the engine asked to be written
    static const bool connected = [] {
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {}); // quiet
        Q7Zip *engine = Q7Zip::getInstance();
        QObject::connect(engine, &Q7Zip::extract_filesize_signal, [](quint64 bytes) { total = bytes; });
        return QObject::connect(engine, &Q7Zip::extracting_filename_signal,
                                [](const QString &item) { items << item; });
    }();
    (void)connected;
    const QString archive = scratch.filePath(QStringLiteral("package.zip")),
                  out = scratch.filePath("level/out");
    QFile file(archive);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    file.close();
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    total = 0;
    items.clear();

    const int result = Q7Zip::getInstance()->extract(archive, out);
    quint64 written = 0;
    QDirIterator inside(out, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (inside.hasNext())
        written += quint64(QFileInfo(inside.next()).size());
    const auto entries = [](const QString &dir) {
        return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    if (entries(scratch.path()) != QStringList{"level", "package.zip"} ||
        entries(scratch.filePath("level")) != QStringList{"out"} ||
        (result == 0 && items.size() == QSet<QString>(items.cbegin(), items.cend()).size() &&
         written != total))
        std::abort();
    return 0;
}
