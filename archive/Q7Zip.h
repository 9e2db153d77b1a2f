#pragma once

#include <QLibrary>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

// Runs archive operations through the engine library on a worker thread. Requests arrive as queued
// signals; each operation runs to its end, or for an extraction until a stop is requested, and answers
// with operation_result_signal.
class Q7Zip : public QObject
{
    Q_OBJECT

public:
    enum Operation {
        Q7ZIP_COMPRESS = 0,
        Q7ZIP_EXTRACT = 1,
        Q7ZIP_SHOWLIST = 2,
    };
    Q_ENUM(Operation)

    static Q7Zip *getInstance();

    // Stops extraction for good, for an application that is quitting. Call it directly from any thread
    // (a queued call would wait behind the running operation): a running extraction ends at the engine's
    // next progress report, item request or write of an output file, with result 1 and the partly written
    // file deleted; every later extraction ends the same way before it writes anything. Compression is
    // not affected.
    void requestStop();

    // 0 success, 1 failure of any kind (a stopped extraction included).
    int extract(const QString &archive_name, const QString &output_path);
    // level: the engine's compression level, 0 (stored) to 9; -1 its default.
    int compress(const QString &archive_name, const QStringList &compress_filelist,
                 const QString &working_path, int level = -1);

signals:
    void threadStarted_signal(int result);
    void operation_signal_compress(const QString archive_name, const QStringList compress_filelist,
                                   const QString working_path);
    void operation_signal_extract(const QString archive_name, const QString output_path);
    void operation_result_signal(Q7Zip::Operation operation, const QString archive_filename, int result);
    void compress_filesize_signal(const quint64 filesize);
    void compress_completeValue_signal(const quint64 completeValue);
    void compressing_filename_signal(QString filename);
    void extract_filesize_signal(const quint64 filesize);
    void extract_completeValue_signal(const quint64 completeValue);
    void extracting_filename_signal(QString filename);

public slots:
    void threadStarted();
    void operation_slot_compress(const QString archive_name, const QStringList compress_filelist,
                                 const QString working_path);
    void operation_slot_extract(const QString archive_name, const QString output_path);

private:
    Q7Zip();

    // The engine library ("7z.dll"; "7z.so" beside the executable or in the distribution's location on
    // Linux). Loaded by threadStarted, or by the next operation when that failed; never unloaded.
    QLibrary engineLibrary;
    // Set by requestStop from any thread, read by the extract callback and the output files on the worker.
    std::atomic<bool> stopRequested{false};
};
