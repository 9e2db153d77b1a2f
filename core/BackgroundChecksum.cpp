#include "core/BackgroundChecksum.h"

#include "core/FileChecksum.h"

#include <QCoreApplication>
#include <QThread>

BackgroundChecksum::BackgroundChecksum(const QString &path,
                                       const QList<QCryptographicHash::Algorithm> &algorithms,
                                       QObject *parent)
    : QObject(parent)
{
    thread = QThread::create([this, path, algorithms] {
        const QStringList checksums = fileChecksums(path, algorithms, &stopped);
        // Queued to this object: it is dropped if the object is gone by then.
        if (!stopped)
            QMetaObject::invokeMethod(
                this, [this, checksums] { emit done(checksums); }, Qt::QueuedConnection);
    });
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] { stop(); });
    thread->start();
}

BackgroundChecksum::~BackgroundChecksum()
{
    stop();
    delete thread;
}

void BackgroundChecksum::stop()
{
    stopped = true;
    thread->wait();
}
