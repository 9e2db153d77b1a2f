#pragma once

#include "archive/Q7Zip.h"

#include <QObject>
#include <QPointer>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

// The game package pipeline: downloads the latest release's package into TEMP, checks it against the
// manifest's MD5, then has the archive worker install it into GameDir. One object per attempt, released when
// its run is over.
class GameDownloader : public QObject
{
    Q_OBJECT

public:
    explicit GameDownloader(QObject *parent = nullptr);
    ~GameDownloader() override;

    void startDownload();

private slots:
    void onDownloadProgress(qint64 received, qint64 total);
    void onFinished(QNetworkReply *finishedReply);
    void onReadyRead();
    void onReplyFinished();
    void WorkerThread_Started(int result);
    void Operation_Result(Q7Zip::Operation operation, const QString archive_filename, int result);
    void ExtractRange(const quint64 val);
    void ExtractionValue(const quint64 val);

private:
    // Guarded: a run that is over has released them, and a late signal must find them gone.
    QPointer<QNetworkAccessManager> manager;
    QPointer<QNetworkReply> reply;
    QPointer<QFile> file;
};
