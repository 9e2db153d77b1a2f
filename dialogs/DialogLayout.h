#pragma once

class QDialog;
class QLabel;
class QPushButton;
class QTextBrowser;

// The look both dialogs share: a white 400 x 300 window with a heading, a rounded text pane and two
// rounded buttons along the bottom (a grey one on the left, a blue one on the right).
namespace DialogLayout {
void prepareWindow(QDialog *window, const char *defaultObjectName);
QLabel *addHeading(QDialog *window);
QTextBrowser *addTextPane(QDialog *window);
QPushButton *addLeftButton(QDialog *window, const char *objectName);
QPushButton *addRightButton(QDialog *window, const char *objectName);
} // namespace DialogLayout
