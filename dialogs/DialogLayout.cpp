#include "dialogs/DialogLayout.h"

#include <QDialog>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>

namespace {

QPushButton *addButton(QDialog *window, const char *objectName, const QRect &geometry, const char *styleSheet)
{
    auto *button = new QPushButton(window);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setGeometry(geometry);
    button->setStyleSheet(QString::fromLatin1(styleSheet));
    return button;
}

} // namespace

void DialogLayout::prepareWindow(QDialog *window, const char *defaultObjectName)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QString::fromLatin1(defaultObjectName));
    window->resize(400, 300);
    window->setStyleSheet(QStringLiteral("background-color: white;"));
}

QLabel *DialogLayout::addHeading(QDialog *window)
{
    auto *label = new QLabel(window);
    label->setObjectName(QStringLiteral("label"));
    label->setGeometry(QRect(0, 0, 401, 31));
    QFont font;
    font.setFamily(QStringLiteral("Segoe MDL2 Assets"));
    font.setPointSize(12);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    return label;
}

QTextBrowser *DialogLayout::addTextPane(QDialog *window)
{
    auto *textBrowser = new QTextBrowser(window);
    textBrowser->setObjectName(QStringLiteral("textBrowser"));
    textBrowser->setGeometry(QRect(10, 40, 381, 201));
    textBrowser->setStyleSheet(
        QStringLiteral("background-color: rgb(240,240,254);\nborder-radius: 10px;\ncolor: #3C3C3C;"));
    return textBrowser;
}

QPushButton *DialogLayout::addLeftButton(QDialog *window, const char *objectName)
{
    return addButton(window, objectName, QRect(10, 250, 181, 41),
                     "background-color: rgb(98,127,144);\nborder-radius: 10px;\ncolor: #3C3C3C;");
}

QPushButton *DialogLayout::addRightButton(QDialog *window, const char *objectName)
{
    return addButton(window, objectName, QRect(210, 250, 181, 41),
                     "background-color: rgb(38,127,184);\nborder-radius: 10px;\ncolor: #3C3C3C;");
}
