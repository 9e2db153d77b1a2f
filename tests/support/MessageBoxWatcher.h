#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>

// Answers modal message boxes while a test runs: records each box's title and text, and whether another
// window stays on top of it, and accepts it.
class MessageBoxWatcher
{
public:
    struct Seen
    {
        QString title, text;
        bool covered;
    };

    MessageBoxWatcher()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (box && box->isVisible()) {
                const QWidgetList windows = QApplication::topLevelWidgets();
                seen.append({box->windowTitle(), box->text(),
                             std::any_of(windows.cbegin(), windows.cend(), [](QWidget *w) {
                                 return w->isVisible() && w->windowFlags() & Qt::WindowStaysOnTopHint;
                             })});
                box->accept();
            }
        });
        m_timer.start(20);
    }

    QList<Seen> seen;

private:
    QTimer m_timer;
};
