#pragma once

class QDialog;
class QLabel;
class QPushButton;
class QTextBrowser;

// The download-information form: non-owning pointers to widgets that belong to the window.
class Ui_DownloadInfo
{
public:
    QLabel *label = nullptr;
    QTextBrowser *textBrowser = nullptr;
    QPushButton *Cancel = nullptr;
    QPushButton *Download = nullptr;

    void setupUi(QDialog *window);
    void retranslateUi(QDialog *window);
};

namespace Ui {
class DownloadInfo : public Ui_DownloadInfo
{
};
} // namespace Ui
