#include "app/FailureBox.h"

#include <QMessageBox>

void showFailureBox(const QString &title, const QString &richText)
{
    QMessageBox::critical(nullptr, title, richText, QMessageBox::Ok, QMessageBox::NoButton);
}
