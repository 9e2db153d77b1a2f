#include "tests/support/MessageBoxWatcher.h"

#include <QApplication>
#include <QMessageBox>

MessageBoxWatcher::MessageBoxWatcher()
{
    connect(&m_timer, SIGNAL(timeout()), this, SLOT(poll()));
    m_timer.start(20);
}

void MessageBoxWatcher::poll()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    m_seen.append({box->windowTitle(), box->text()});
    box->accept();
}
