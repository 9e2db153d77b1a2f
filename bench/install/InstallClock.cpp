#include "bench/install/InstallClock.h"

#include "bench/support/ToolRun.h"

#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

namespace {
// The pauses the pipeline makes last seconds; Qt's own single-shot timers on this thread are far shorter.
constexpr int kPauseTimerAtLeastMs = 1000;
} // namespace

InstallClock::InstallClock(QProgressBar *overall, QPushButton *button) : m_button(button)
{
    connect(overall, SIGNAL(valueChanged(int)), this, SLOT(onOverall(int)));
    QCoreApplication::instance()->installEventFilter(this);
}

InstallClock::~InstallClock()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

void InstallClock::start()
{
    m_processorStart = processorSeconds(RUSAGE_SELF);
    m_timer.start();
}

bool InstallClock::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Timer && downloadedAt >= 0 && checkPauseEndedAt < 0) {
        const auto *timer = qobject_cast<QTimer *>(watched);
        if (timer && timer->isSingleShot() && timer->interval() >= kPauseTimerAtLeastMs)
            checkPauseEndedAt = now();
    } else if (event->type() == QEvent::EnabledChange && watched == m_button && m_button->isEnabled() &&
               m_timer.isValid() && endedAt < 0) {
        endedAt = now();
        m_succeeded = m_button->text() == QLatin1String("Play") && extractedAt >= 0;
    }
    return false;
}

void InstallClock::onOverall(int value)
{
    if (value == 34 && downloadedAt < 0) {
        downloadedAt = now();
    } else if (value == 66 && checkedAt < 0) {
        checkedAt = now();
    } else if (value == 100 && extractedAt < 0) {
        extractedAt = now();
        processorSecondsToExtracted = processorSeconds(RUSAGE_SELF) - m_processorStart;
    }
}
