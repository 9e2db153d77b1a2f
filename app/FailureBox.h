#pragma once

#include <QString>

// A failure the user must see: a modal critical message box with no parent, one Ok button and no
// default button. Returns when the user has dismissed it. The one place that shows such boxes.
void showFailureBox(const QString &title, const QString &richText);
