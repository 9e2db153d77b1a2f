#include "tests/support/DebugLogCapture.h"

#include <QMutex>
#include <QMutexLocker>

namespace {

QMutex capturedMutex;
QStringList captured;
QtMessageHandler previousHandler = nullptr;

void captureHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    {
        QMutexLocker lock(&capturedMutex);
        captured.append(message);
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void DebugLogCapture::install()
{
    previousHandler = qInstallMessageHandler(captureHandler);
}

DebugLogCapture::~DebugLogCapture()
{
    if (previousHandler)
        qInstallMessageHandler(previousHandler);
}

QStringList DebugLogCapture::lines() const
{
    QMutexLocker lock(&capturedMutex);
    return captured;
}

void DebugLogCapture::clear()
{
    QMutexLocker lock(&capturedMutex);
    captured.clear();
}

bool DebugLogCapture::containsRun(const QStringList &expected) const
{
    const QStringList all = lines();
    for (int start = 0; start + expected.size() <= all.size(); ++start) {
        if (all.mid(start, expected.size()) == expected)
            return true;
    }
    return false;
}
