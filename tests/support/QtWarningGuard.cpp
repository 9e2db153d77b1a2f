#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

// A string connection to a signal or slot that does not exist only prints a warning at run time.
// Every test executable links this guard, so such a warning aborts the test instead of passing silently.
namespace {

QtMessageHandler previousHandler = nullptr;

bool isBrokenConnection(const QString &message)
{
    return message.contains(QLatin1String("No such signal")) ||
           message.contains(QLatin1String("No such slot")) ||
           message.contains(QLatin1String("QMetaObject::connectSlotsByName: No matching signal")) ||
           (message.startsWith(QLatin1String("QObject::connect")) &&
            message.contains(QLatin1String("invalid null parameter")));
}

void guardHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && isBrokenConnection(message)) {
        std::fprintf(stderr, "FATAL: broken signal/slot connection: %s\n", qPrintable(message));
        std::fflush(stderr);
        std::abort();
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

struct GuardInstaller
{
    GuardInstaller() { previousHandler = qInstallMessageHandler(guardHandler); }
} installer;

} // namespace
