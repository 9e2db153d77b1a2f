#pragma once

#include <QObject>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

// The launcher self-update pipeline, twin of GameDownloader: downloads the launcher package, unpacks it
// into TEMP/LauncherUpdate, starts the new launcher there and ends this one. One object per attempt,
// never deleted.
class LauncherDownloader : public QObject
{
    Q_OBJECT

public:
    explicit LauncherDownloader(QObject *parent = nullptr);
    ~LauncherDownloader() override;

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
