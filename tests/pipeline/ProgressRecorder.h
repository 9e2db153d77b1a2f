#pragma once

#include <QList>
#include <QObject>
#include <QString>

class MainWindow;

// Records what the main window shows each time the overall bar changes. The pipelines pause in
// nested event loops, below which a test cannot look; the recorder sees every step as it happens.
class ProgressRecorder : public QObject
{
    Q_OBJECT

public:
    struct Snapshot
    {
        int overall;
        QString caption;
        bool stepBarShown;
        int stepValue;
        int stepMaximum;
    };

    explicit ProgressRecorder(const MainWindow &window);

    const QList<Snapshot> &snapshots() const { return m_snapshots; }
    // The snapshot taken when the overall bar first reached value; null when it never did.
    const Snapshot *at(int overall) const;
    QList<int> overallValues() const;

private slots:
    void onOverallChanged(int value);

private:
    const MainWindow &m_window;
    QList<Snapshot> m_snapshots;
};
