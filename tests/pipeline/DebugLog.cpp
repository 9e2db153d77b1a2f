#include "tests/pipeline/DebugLog.h"

#include <QtGlobal>

namespace {

QtMessageHandler previousHandler = nullptr;

void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg)
        DebugLog::lines().append(message);
    previousHandler(type, context, message);
}

} // namespace

void DebugLog::startRecording()
{
    previousHandler = qInstallMessageHandler(record);
}

QStringList &DebugLog::lines()
{
    static QStringList recorded;
    return recorded;
}
