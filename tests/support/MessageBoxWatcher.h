#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

// Answers modal message boxes while a test runs: records each box's title and text and accepts it.
class MessageBoxWatcher
{
public:
    struct Seen
    {
        QString title, text;
    };

    MessageBoxWatcher()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && box->isVisible()) {
                seen.append({box->windowTitle(), box->text()});
                box->accept();
            }
        });
        m_timer.start(20);
    }

    QList<Seen> seen;

private:
    QTimer m_timer;
};
