#pragma once

#include <QString>

// A failure the user must see: a modal critical message box with no parent, one Ok button and no
// default button. Returns when the user has dismissed it.
void showFailureBox(const QString &title, const QString &richText);

// The rich text of the launcher's failure messages: message centred in one paragraph.
QString centredMessage(const QString &message);
