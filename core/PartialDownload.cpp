#include "core/PartialDownload.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
// The record: the origin, the validator and the full size, one per line.
constexpr int kRecordLines = 3;
constexpr qint64 kMaxRecordBytes = 64 * 1024;
} // namespace

PartialDownload::PartialDownload(QString packagePath, QString origin)
    : packagePath(std::move(packagePath)), origin(std::move(origin))
{
}

void PartialDownload::readRecord()
{
    recordedValidator.clear();
    recordedTotal = -1;
    QFile record(recordPath());
    if (!record.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> lines = record.read(kMaxRecordBytes).split('\n');
    bool sized = false;
    const qint64 total = lines.value(2).toLongLong(&sized);
    // A package of another address or release (the manifest moved on) is never continued.
    if (lines.size() != kRecordLines || lines.at(0) != origin.toUtf8() || lines.at(1).isEmpty() || !sized)
        return;
    recordedValidator = lines.at(1);
    recordedTotal = total;
}

qint64 PartialDownload::resumableSize()
{
    readRecord();
    const QFileInfo package(packagePath);
    const qint64 size = package.isFile() ? package.size() : 0;
    return recordedTotal > 0 && size < recordedTotal ? size : 0;
}

QString PartialDownload::restart(const QByteArray &validator, qint64 total)
{
    // The package is emptied before the record names the new answer: a crash in between leaves nothing
    // that a later run could continue with the wrong bytes.
    QFile::remove(recordPath());
    QFile package(packagePath);
    if (!package.open(QIODevice::WriteOnly))
        return package.errorString();
    package.close();
    recordedValidator.clear();
    recordedTotal = -1;
    if (validator.isEmpty() || validator.contains('\n') || total <= 0)
        return QString();
    QSaveFile record(recordPath());
    if (record.open(QIODevice::WriteOnly)) {
        record.write(origin.toUtf8() + '\n' + validator + '\n' + QByteArray::number(total));
        // A record that cannot be written only means this download cannot be continued later.
        if (record.commit()) {
            recordedValidator = validator;
            recordedTotal = total;
        }
    }
    return QString();
}

void PartialDownload::complete()
{
    QFile::remove(recordPath());
}

void PartialDownload::discard()
{
    QFile::remove(recordPath());
    QFile::remove(packagePath);
}
