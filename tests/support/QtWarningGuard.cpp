#include <QString>

#include <cstdio>
#include <cstdlib>

// A string connection to a signal or slot that does not exist only prints a warning at run time.
// Every test executable links this guard, so such a warning aborts the test instead of passing silently.
namespace {

QtMessageHandler previousHandler = nullptr;

void guardHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg &&
        (message.contains("No such signal") || message.contains("No such slot") ||
         message.contains("connectSlotsByName: No matching signal") ||
         (message.startsWith("QObject::connect") && message.contains("invalid null parameter")))) {
        std::fprintf(stderr, "FATAL: broken signal/slot connection: %s\n", qPrintable(message));
        std::abort();
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

const bool installed = (previousHandler = qInstallMessageHandler(guardHandler), true);

} // namespace
