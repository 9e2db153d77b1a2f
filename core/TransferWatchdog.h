#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkReply;

// Ends a transfer that stays silent too long or grows past the size its caller expects, so no fetch
// waits or buffers forever. It lives as a child of the reply it watches. An ended transfer finishes
// with an error like any failed one; errorString() then says why.
class TransferWatchdog : public QObject
{
    Q_OBJECT

public:
    // How long a transfer may go without receiving a byte.
    static constexpr int kInactivityLimitMs = 30000;

    // Test-only: shortens the inactivity limit for watchdogs created afterwards.
    static void setInactivityLimitForTesting(int milliseconds);

    // maxBytes < 0 means no size limit; with a limit, the reply must not be read before it finishes.
    explicit TransferWatchdog(QNetworkReply *reply, qint64 maxBytes = -1);

    // Whether this watchdog ended the transfer.
    bool tripped() const { return !endReason.isEmpty(); }

    // Why the reply failed: the watchdog's reason when it ended the transfer, else the reply's own.
    static QString errorString(QNetworkReply *reply);

private slots:
    void onData();
    void onProgress(qint64 received, qint64 total);
    void onSilence();
    void onFinished();

private:
    void endOversized();
    void end(const QString &reason);

    QNetworkReply *watched;
    qint64 sizeLimit;
    QTimer silenceTimer;
    QString endReason;
};
