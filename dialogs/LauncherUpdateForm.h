#pragma once

class QDialog;
class QLabel;
class QPushButton;
class QTextBrowser;

// The launcher-update form: non-owning pointers to widgets that belong to the window.
class Ui_LauncherUpdate
{
public:
    QLabel *label = nullptr;
    QTextBrowser *textBrowser = nullptr;
    QPushButton *Cancel = nullptr;
    QPushButton *Update = nullptr;

    void setupUi(QDialog *window);
    void retranslateUi(QDialog *window);
};

namespace Ui {
class LauncherUpdate : public Ui_LauncherUpdate
{
};
} // namespace Ui
