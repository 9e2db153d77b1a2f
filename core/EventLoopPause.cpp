#include "core/EventLoopPause.h"

#include <QEventLoop>
#include <QTimer>

bool pauseProcessingEvents(int milliseconds)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, SIGNAL(timeout()), &loop, SLOT(quit()));
    timer.start(milliseconds);
    loop.exec();
    // Only the application's exit ends the loop while the timer still runs.
    return !timer.isActive();
}
