#pragma once

#include <QObject>
#include <QString>

class QNetworkReply;
class QNetworkRequest;

// No fetch waits or buffers forever. A request given limitSilence ends when its transfer stays silent too
// long (the network library's transfer timeout); a watchdog, living as a child of the reply it watches,
// ends a transfer that grows past the size its caller expects. An ended transfer finishes with an error
// like any failed one; errorString() then says why.
class TransferWatchdog : public QObject
{
    Q_OBJECT

public:
    // How long a transfer may go without receiving a byte.
    static constexpr int kInactivityLimitMs = 30000;

    // Test-only: shortens the inactivity limit for requests made afterwards.
    static void setInactivityLimitForTesting(int milliseconds);

    // Makes the request's transfer end after the inactivity limit without data.
    static void limitSilence(QNetworkRequest &request);

    // The reply must not be read before it finishes.
    TransferWatchdog(QNetworkReply *reply, qint64 maxBytes);

    // Whether this watchdog ended the transfer.
    bool tripped() const { return !endReason.isEmpty(); }

    // Why the reply failed: a watchdog's reason when it ended the transfer, the silence when the transfer
    // timed out, else the reply's own.
    static QString errorString(QNetworkReply *reply);

private slots:
    void onData();
    void onProgress(qint64 received, qint64 total);

private:
    void endOversized();
    void end(const QString &reason);

    QNetworkReply *watched;
    qint64 sizeLimit;
    QString endReason;
};
