#include "app/FailureBox.h"

#include <QMessageBox>

void showFailureBox(const QString &title, const QString &richText)
{
    QMessageBox::critical(nullptr, title, richText, QMessageBox::Ok, QMessageBox::NoButton);
}

QString centredMessage(const QString &message)
{
    return QLatin1String("<html><head/><body><p align=\"center\">") + message +
           QLatin1String("</p></body></html>");
}
