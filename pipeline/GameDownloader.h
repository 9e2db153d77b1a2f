#pragma once

#include <QObject>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

// The game package pipeline: downloads the latest release's package into TEMP, checks it against the
// manifest's MD5, then has the archive worker install it into GameDir. One object per attempt, never
// deleted.
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

private:
    QNetworkAccessManager *manager = nullptr;
    QNetworkReply *reply = nullptr;
    QFile *file = nullptr;
};
