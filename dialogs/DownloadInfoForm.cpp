#include "dialogs/DownloadInfoForm.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>

void Ui_DownloadInfo::setupUi(QDialog *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("DownloadInfo"));
    window->resize(400, 300);
    window->setStyleSheet(QStringLiteral("background-color: white;"));

    label = new QLabel(window);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(QRect(0, 0, 401, 31));
    QFont labelFont;
    labelFont.setFamily(QStringLiteral("Segoe MDL2 Assets"));
    labelFont.setPointSize(12);
    label->setFont(labelFont);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);

    textBrowser = new QTextBrowser(window);
    textBrowser->setObjectName(QStringLiteral("textBrowser"));
    textBrowser->setGeometry(QRect(10, 40, 381, 201));
    QFont textFont;
    textFont.setPointSize(12);
    textBrowser->setFont(textFont);
    textBrowser->setStyleSheet(QStringLiteral("background-color: rgb(240,240,254);\n"
                                              "border-radius: 10px;\n"
                                              "color: #3C3C3C;"));

    Cancel = new QPushButton(window);
    Cancel->setObjectName(QStringLiteral("Cancel"));
    Cancel->setGeometry(QRect(10, 250, 181, 41));
    Cancel->setStyleSheet(QStringLiteral("background-color: rgb(98,127,144);\n"
                                         "border-radius: 10px;\n"
                                         "color: #3C3C3C;"));

    Download = new QPushButton(window);
    Download->setObjectName(QStringLiteral("Download"));
    Download->setGeometry(QRect(210, 250, 181, 41));
    Download->setStyleSheet(QStringLiteral("background-color: rgb(38,127,184);\n"
                                           "border-radius: 10px;\n"
                                           "color: #3C3C3C;"));

    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void Ui_DownloadInfo::retranslateUi(QDialog *window)
{
    window->setWindowTitle(QCoreApplication::translate("DownloadInfo", "Download Package Info"));
    label->setText(QCoreApplication::translate("DownloadInfo", "Download Info"));
    textBrowser->document()->setMetaInformation(QTextDocument::DocumentTitle,
                                                QCoreApplication::translate("DownloadInfo", ""));
    textBrowser->setHtml(QCoreApplication::translate(
        "DownloadInfo",
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
        "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
        "p, li { white-space: pre-wrap; }\n"
        "</style></head><body style=\" font-family:'Segoe UI'; font-size:12pt; font-weight:400; "
        "font-style:normal;\">\n"
        "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; "
        "margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:9pt;\"><br /></p></body></html>"));
    Cancel->setText(QCoreApplication::translate("DownloadInfo", "Cancel"));
    Download->setText(QCoreApplication::translate("DownloadInfo", "Download"));
}
