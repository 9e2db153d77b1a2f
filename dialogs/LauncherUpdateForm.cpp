#include "dialogs/LauncherUpdateForm.h"

#include "dialogs/DialogLayout.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>

namespace {

// Qt's empty rich-text document: the change log replaces it as soon as the dialog is built.
const char kEmptyDocument[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
    "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
    "p, li { white-space: pre-wrap; }\n"
    "</style></head><body style=\" font-family:'Segoe UI'; font-size:9pt; font-weight:400; "
    "font-style:normal;\">\n"
    "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; "
    "margin-right:0px; -qt-block-indent:0; text-indent:0px;\"><br /></p></body></html>";

} // namespace

void Ui_LauncherUpdate::setupUi(QDialog *window)
{
    DialogLayout::prepareWindow(window, "LauncherUpdate");
    label = DialogLayout::addHeading(window);
    textBrowser = DialogLayout::addTextPane(window);
    Cancel = DialogLayout::addLeftButton(window, "Cancel");
    Update = DialogLayout::addRightButton(window, "Update");

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
