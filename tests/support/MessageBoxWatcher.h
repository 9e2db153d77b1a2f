#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

// Answers modal message boxes while a test runs: records each box's title and text and accepts it.
class MessageBoxWatcher : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString title;
        QString text;
    };

    MessageBoxWatcher();

    const QList<Seen> &seen() const { return m_seen; }
    void clear() { m_seen.clear(); }

private slots:
    void poll();

private:
    QTimer m_timer;
    QList<Seen> m_seen;
};
