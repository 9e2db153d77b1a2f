#include "dialogs/LauncherUpdateForm.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>

namespace {

const char kTextBrowserStyle[] = "background-color: rgb(240,240,254);\nborder-radius: 10px;\ncolor: #3C3C3C;";
const char kCancelStyle[] = "background-color: rgb(98,127,144);\nborder-radius: 10px;\ncolor: #3C3C3C;";
const char kUpdateStyle[] = "background-color: rgb(38,127,184);\nborder-radius: 10px;\ncolor: #3C3C3C;";

// Qt's empty rich-text document: the change log replaces it as soon as the dialog is built.
const char kEmptyDocument[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
    "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
    "p, li { white-space: pre-wrap; }\n"
    "</style></head><body style=\" font-family:'Segoe UI'; font-size:9pt; font-weight:400; "
    "font-style:normal;\">\n"
    "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; "
    "margin-right:0px; -qt-block-indent:0; text-indent:0px;\"><br /></p></body></html>";

QPushButton *newButton(QDialog *window, const char *name, const QRect &geometry, const char *styleSheet)
{
    auto *button = new QPushButton(window);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setStyleSheet(QString::fromLatin1(styleSheet));
    return button;
}

} // namespace

void Ui_LauncherUpdate::setupUi(QDialog *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("LauncherUpdate"));
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
    textBrowser->setStyleSheet(QString::fromLatin1(kTextBrowserStyle));

    Cancel = newButton(window, "Cancel", QRect(10, 250, 181, 41), kCancelStyle);
    Update = newButton(window, "Update", QRect(210, 250, 181, 41), kUpdateStyle);

    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void Ui_LauncherUpdate::retranslateUi(QDialog *window)
{
    window->setWindowTitle(QCoreApplication::translate("LauncherUpdate", "Launcher Updater", nullptr));
    label->setText(QCoreApplication::translate("LauncherUpdate", "Launcher Update Found", nullptr));
    textBrowser->document()->setMetaInformation(QTextDocument::DocumentTitle, QString());
    textBrowser->setHtml(QCoreApplication::translate("LauncherUpdate", kEmptyDocument, nullptr));
    Cancel->setText(QCoreApplication::translate("LauncherUpdate", "Cancel", nullptr));
    Update->setText(QCoreApplication::translate("LauncherUpdate", "Update", nullptr));
}
