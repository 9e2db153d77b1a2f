#pragma once

#include <QElapsedTimer>
#include <QObject>

class QProgressBar;
class QPushButton;

// Times one install in the main window, in seconds from start(): the overall bar reaching 34 (downloaded:
// the pause before the check begins), the first single-shot timer of a second or more firing after that
// (that pause ends and the check runs), the bar reaching 66 (checked) and 100 (the extraction result), and
// the main button enabled again ("Play" after the pause that follows a success, or idle after a failure).
// Watches every event of the main thread while it lives.
class InstallClock : public QObject
{
    Q_OBJECT

public:
    InstallClock(QProgressBar *overall, QPushButton *button);
    ~InstallClock() override;

    void start();
    bool ended() const { return endedAt >= 0; }
    bool succeeded() const { return m_succeeded; }

    double downloadedAt = -1;
    double checkPauseEndedAt = -1;
    double checkedAt = -1;
    double extractedAt = -1;
    double endedAt = -1;
    // Processor time of the whole process from start() to the extraction result.
    double processorSecondsToExtracted = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void onOverall(int value);

private:
    double now() const { return double(m_timer.nsecsElapsed()) / 1e9; }

    QElapsedTimer m_timer;
    double m_processorStart = 0;
    QPushButton *m_button;
    bool m_succeeded = false;
};
