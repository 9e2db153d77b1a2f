#pragma once

#include <QString>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class QObject;

// The download steps both package pipelines share. The pipeline object passed in must have the slots
// onFinished(QNetworkReply*), onDownloadProgress(qint64,qint64), onReadyRead() and onReplyFinished().
//
// Redirects are followed here rather than by the network library: a reply that follows a redirect on
// its own forgets its read-buffer limit and buffers the whole package in memory. Each hop is a new
// reply that becomes the pipeline's `reply`; the answers of the redirecting hops are not shown or kept.
namespace PackageTransfer {

// Creates the manager (owned by pipeline), issues the package GET for url, opens packagePath write-only
// (truncating it) and wires the manager and the reply to the pipeline's slots.
void begin(QObject *pipeline, const QString &url, const QString &packagePath, QNetworkAccessManager *&manager,
           QNetworkReply *&reply, QFile *&file);

// A progress report of reply, shown with caption unless reply only redirects.
void showProgress(QNetworkReply *reply, const QString &caption, qint64 received, qint64 total);

// Moves what the reply holds into the package file.
void writeAvailable(QNetworkReply *reply, QFile *file);

// A reply has ended. Once it is the pipeline's current reply, the transfer is over: the package file is
// closed and released, and so are the reply and the manager, whose thread and connection would
// otherwise stay for the life of the process with every attempt. All three pointers are cleared. A run
// that ends here, without an extraction, releases the pipeline too.
void release(QObject *pipeline, QNetworkAccessManager *&manager, QNetworkReply *&reply, QFile *&file);

enum class Outcome {
    Downloaded, // the package is complete: file closed, the check step shown, the fixed pause taken
    Redirected, // reply is now the next hop's
    Failed,     // reported to the user; the window is idle again
    Stopped,    // the application is quitting: the run ends without a word
};

// The manager reports the pipeline's current reply finished.
Outcome finish(QObject *pipeline, QNetworkReply *&reply, QFile *file);

} // namespace PackageTransfer
