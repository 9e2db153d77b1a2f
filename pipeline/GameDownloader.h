#pragma once

#include <QObject>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;

// The game package pipeline: download, integrity check, installation.
class GameDownloader : public QObject
{
    Q_OBJECT

public:
    explicit GameDownloader(QObject *parent = nullptr);
    ~GameDownloader() override;

    void startDownload();

private:
    QNetworkAccessManager *manager = nullptr;
    QNetworkReply *reply = nullptr;
    QFile *file = nullptr;
};
