#include "app/MainWindowForm.h"

#include <QCoreApplication>
#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <QWidget>

namespace {

const char kButtonStyle[] = "background-color: rgb(98,127,144);\nborder-radius: 10px;\ncolor: #3C3C3C;";
const char kLabelStyle[] = "color: rgb(118,147,164);";
const char kProgressBarStyle[] =
    "QProgressBar {\nborder-radius: 10px;\ncolor: #3C3C3C;\nborder-style: solid;\n"
    "border-width: 2px;\nborder-color: rgb(150,150,210);\n"
    "background-color: rgb(98,127,144);\n}\n\nQProgressBar::chunk {\n"
    "background-color: #00FF7F;\nborder-radius: 10px;\n}";

QSizePolicy zeroStretchPolicy(QSizePolicy::Policy horizontal, QSizePolicy::Policy vertical,
                              const QWidget *widget)
{
    QSizePolicy policy(horizontal, vertical);
    policy.setHorizontalStretch(0);
    policy.setVerticalStretch(0);
    policy.setHeightForWidth(widget->sizePolicy().hasHeightForWidth());
    return policy;
}

QLabel *newLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setEnabled(true);
    label->setStyleSheet(QString::fromLatin1(kLabelStyle));
    return label;
}

QProgressBar *newProgressBar(QWidget *parent, const char *name)
{
    auto *bar = new QProgressBar(parent);
    bar->setObjectName(QString::fromLatin1(name));
    bar->setEnabled(true);
    bar->setStyleSheet(QString::fromLatin1(kProgressBarStyle));
    bar->setValue(24);
    bar->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return bar;
}

} // namespace

void Ui_MainWindow::setupUi(QMainWindow *window)
{
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(704, 396);
    window->setStyleSheet(QString());

    centralwidget = new QWidget(window);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    centralwidget->setSizePolicy(
        zeroStretchPolicy(QSizePolicy::Preferred, QSizePolicy::Preferred, centralwidget));

    verticalLayout = new QVBoxLayout(centralwidget);
    verticalLayout->setSpacing(0);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSizeConstraint(QLayout::SetDefaultConstraint);
    verticalLayout->setContentsMargins(30, -1, 30, 30); // -1: the style's default top margin
    verticalSpacer = new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
    verticalLayout->addItem(verticalSpacer);

    gridLayout_5 = new QGridLayout();
    gridLayout_5->setObjectName(QStringLiteral("gridLayout_5"));
    gridLayout_5->setHorizontalSpacing(38);

    pushButton = new QPushButton(centralwidget);
    pushButton->setObjectName(QStringLiteral("pushButton"));
    pushButton->setSizePolicy(zeroStretchPolicy(QSizePolicy::Minimum, QSizePolicy::Fixed, pushButton));
    pushButton->setMinimumSize(QSize(160, 70));
    QFont buttonFont;
    buttonFont.setFamily(QStringLiteral("Segoe MDL2 Assets"));
    buttonFont.setPointSize(12);
    pushButton->setFont(buttonFont);
    pushButton->setCheckable(false);
    pushButton->setStyleSheet(QString::fromLatin1(kButtonStyle));
    gridLayout_5->addWidget(pushButton, 0, 0, 1, 1);

    verticalLayout_2 = new QVBoxLayout();
    verticalLayout_2->setSpacing(6);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    label = newLabel(centralwidget, "label");
    verticalLayout_2->addWidget(label);
    progressBar = newProgressBar(centralwidget, "progressBar");
    verticalLayout_2->addWidget(progressBar);
    progressBar_2 = newProgressBar(centralwidget, "progressBar_2");
    progressBar_2->setInvertedAppearance(false);
    progressBar_2->setTextDirection(QProgressBar::TopToBottom);
    verticalLayout_2->addWidget(progressBar_2);
    label_2 = newLabel(centralwidget, "label_2");
    verticalLayout_2->addWidget(label_2);
    gridLayout_5->addLayout(verticalLayout_2, 0, 1, 1, 1);

    verticalLayout->addLayout(gridLayout_5);
    window->setCentralWidget(centralwidget);

    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void Ui_MainWindow::retranslateUi(QMainWindow *window)
{
    window->setWindowTitle(QCoreApplication::translate("MainWindow", "Velmora Launcher", nullptr));
    pushButton->setText(QCoreApplication::translate("MainWindow", "Download", nullptr));
    label->setText(QCoreApplication::translate("MainWindow", "Downloading Game Package (1/3)", nullptr));
    progressBar->setFormat(QCoreApplication::translate("MainWindow", "%p%  ", nullptr));
    progressBar_2->setFormat(QCoreApplication::translate("MainWindow", "%p%  ", nullptr));
    label_2->setText(QCoreApplication::translate("MainWindow", "Downloading: 300/400 Mb(320 KB/s)", nullptr));
}
