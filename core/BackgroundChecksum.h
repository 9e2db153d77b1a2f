#pragma once

#include <QCryptographicHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <atomic>

class QThread;

// fileChecksums on a thread of its own, for files of gigabytes: the caller's event loop goes on meanwhile,
// and the result comes as done() on the caller's thread. The application's end, or the object's, stops
// the computation and waits for its thread (one block read at most).
class BackgroundChecksum : public QObject
{
    Q_OBJECT

public:
    BackgroundChecksum(const QString &path, const QList<QCryptographicHash::Algorithm> &algorithms,
                       QObject *parent);
    ~BackgroundChecksum() override;

signals:
    void done(const QStringList &checksums);

private:
    void stop();

    std::atomic_bool stopped{false};
    QThread *thread;
};
