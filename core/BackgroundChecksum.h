#pragma once

#include <QCryptographicHash>
#include <QObject>
#include <QString>

#include <atomic>

class QThread;

// fileChecksum on a thread of its own, for files of gigabytes: the caller's event loop goes on meanwhile,
// and the result comes as done() on the caller's thread. The application's end, or the object's, stops
// the computation and waits for its thread (one block read at most).
class BackgroundChecksum : public QObject
{
    Q_OBJECT

public:
    BackgroundChecksum(const QString &path, QCryptographicHash::Algorithm algorithm, QObject *parent);
    ~BackgroundChecksum() override;

signals:
    void done(const QString &checksum);

private:
    void stop();

    std::atomic_bool stopped{false};
    QThread *thread;
};
