#include "dialogs/DownloadInfoForm.h"

#include "dialogs/DialogLayout.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>

namespace {

// Qt's empty rich-text document: the size text replaces it as soon as the dialog is built.
const char kEmptyDocument[] =
    "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\" \"http://www.w3.org/TR/REC-html40/strict.dtd\">\n"
    "<html><head><meta name=\"qrichtext\" content=\"1\" /><style type=\"text/css\">\n"
    "p, li { white-space: pre-wrap; }\n"
    "</style></head><body style=\" font-family:'Segoe UI'; font-size:12pt; font-weight:400; "
    "font-style:normal;\">\n"
    "<p style=\"-qt-paragraph-type:empty; margin-top:0px; margin-bottom:0px; margin-left:0px; "
    "margin-right:0px; -qt-block-indent:0; text-indent:0px; font-size:9pt;\"><br /></p></body></html>";

} // namespace

void Ui_DownloadInfo::setupUi(QDialog *window)
{
    DialogLayout::prepareWindow(window, "DownloadInfo");
    label = DialogLayout::addHeading(window);
    textBrowser = DialogLayout::addTextPane(window);
    // The size text is plain and shows in this font.
    QFont textFont;
    textFont.setPointSize(12);
    textBrowser->setFont(textFont);
    Cancel = DialogLayout::addLeftButton(window, "Cancel");
    Download = DialogLayout::addRightButton(window, "Download");

    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void Ui_DownloadInfo::retranslateUi(QDialog *window)
{
    window->setWindowTitle(QCoreApplication::translate("DownloadInfo", "Download Package Info", nullptr));
    label->setText(QCoreApplication::translate("DownloadInfo", "Download Info", nullptr));
    textBrowser->document()->setMetaInformation(QTextDocument::DocumentTitle, QString());
    textBrowser->setHtml(QCoreApplication::translate("DownloadInfo", kEmptyDocument, nullptr));
    Cancel->setText(QCoreApplication::translate("DownloadInfo", "Cancel", nullptr));
    Download->setText(QCoreApplication::translate("DownloadInfo", "Download", nullptr));
}
