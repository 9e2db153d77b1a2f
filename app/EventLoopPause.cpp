#include "app/EventLoopPause.h"

#include <QEventLoop>
#include <QTimer>

void pauseProcessingEvents(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, SLOT(quit()));
    loop.exec();
}
