#include "bench/support/DebugLines.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace {

void printAllButDebugLines(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

} // namespace

void discardDebugLines()
{
    qInstallMessageHandler(printAllButDebugLines);
}
