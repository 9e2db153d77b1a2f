#pragma once

#include <QByteArray>
#include <QString>

// A package partly downloaded into TEMP, and what a later attempt needs to continue it: the origin it
// came from (its address and release) and the validator (ETag or Last-Modified) and full size of the
// answer that produced it. These are kept in a small record beside the package (PACKAGE.resume), so a
// new run, after a crash too, continues where the last one stopped.
class PartialDownload
{
public:
    PartialDownload(QString packagePath, QString origin);

    // The bytes on disk that a request may continue, with the validator and full size that go with them;
    // 0 when the download starts from the first byte.
    [[nodiscard]] qint64 resumableSize();
    QByteArray validator() const { return recordedValidator; }
    qint64 total() const { return recordedTotal; }

    // A whole answer of total bytes (-1: not said) begins: the package is emptied and the answer recorded.
    // Without a validator or a size nothing is recorded, and nothing of it will be continued.
    // Returns why the package could not be emptied, or an empty string.
    [[nodiscard]] QString restart(const QByteArray &validator, qint64 total);
    // The package is complete: nothing is left to continue.
    void complete();
    // The package and its record go.
    void discard();

private:
    QString recordPath() const { return packagePath + QLatin1String(".resume"); }
    void readRecord();

    const QString packagePath;
    const QString origin;
    QByteArray recordedValidator;
    qint64 recordedTotal = -1;
};
