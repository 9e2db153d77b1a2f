#pragma once

#include <QString>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QObject;

// The download steps both package pipelines share. The pipeline object passed in must have the slots
// onFinished(QNetworkReply*), onDownloadProgress(qint64,qint64), onReadyRead() and onReplyFinished().
namespace PackageTransfer {

// Creates the manager (owned by pipeline), issues the package GET for url following redirects, opens
// packagePath write-only (truncating it) and wires the manager and the reply to the pipeline's slots.
void begin(QObject *pipeline, const QString &url, const QString &packagePath, QNetworkAccessManager *&manager,
           QNetworkReply *&reply, QFile *&file);

// Moves what the reply holds into the package file.
void writeAvailable(QNetworkReply *reply, QFile *file);

// The reply has ended: the package file is closed and released.
void release(QFile *&file);

// The manager reports the reply finished. On a transfer error: the failure message, the idle reset,
// and false. Otherwise the package file is closed, the integrity-check step shown, the fixed pause
// taken, and true.
bool finish(QNetworkReply *reply, QFile *file);

} // namespace PackageTransfer
