#pragma once

#include <QPointer>
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
// Only http and https addresses are followed, and never from https to http.
//
// A hop's signals may come in any order and some may still be queued when its run is over (a reply
// can be finished as it is created). Slots therefore act only for the pipeline's current reply, and
// a run that is over has none: the transfer's objects are released once, when the run ends.
namespace PackageTransfer {

// Creates the manager (owned by pipeline), issues the package GET for url, opens packagePath write-only
// (truncating it) and wires the manager and the reply to the pipeline's slots.
void begin(QObject *pipeline, const QString &url, const QString &packagePath,
           QPointer<QNetworkAccessManager> &manager, QPointer<QNetworkReply> &reply, QPointer<QFile> &file);

// Whether a signal of sender belongs to the pipeline's current reply.
bool isCurrent(const QObject *sender, const QNetworkReply *reply);

// A progress report of reply, shown with caption unless reply only redirects.
void showProgress(QNetworkReply *reply, const QString &caption, qint64 received, qint64 total);

// Moves what the current reply holds into the package file. A package file that cannot be written ends
// the run as a download failure with the system's reason, and the partial file is removed at once.
void writeAvailable(QObject *pipeline, QPointer<QNetworkAccessManager> &manager, QPointer<QNetworkReply> &reply,
                    QPointer<QFile> &file);

// The current reply has emitted finished(). Unless another hop follows it, the package is complete or
// failed: the file is closed and released (the manager's report of the same reply closes it too; the
// second finds it closed).
void closeAfterLastHop(QNetworkReply *reply, QPointer<QFile> &file);

enum class Outcome {
    Downloaded, // the package is complete: file closed, the check step shown, the fixed pause taken
    Redirected, // reply is now the next hop's
    Failed,     // reported to the user; the window is idle again and the pipeline released
    Ignored,    // not the current reply: an earlier hop, or a run already over
    Stopped,    // the application is quitting: the run ends without a word
};

// The manager reports finishedReply finished. A run that ends here, downloaded or failed, releases the
// reply, the file and the manager (whose thread and connection would otherwise stay for the life of
// the process with every attempt); a failed one releases the pipeline too.
Outcome finish(QObject *pipeline, QNetworkReply *finishedReply, QPointer<QNetworkAccessManager> &manager,
               QPointer<QNetworkReply> &reply, QPointer<QFile> &file);

} // namespace PackageTransfer
