#pragma once

class QGridLayout;
class QLabel;
class QMainWindow;
class QProgressBar;
class QPushButton;
class QSpacerItem;
class QVBoxLayout;
class QWidget;

// The main window's form: non-owning pointers to the widgets (the window owns them through parenthood).
class Ui_MainWindow
{
public:
    QWidget *centralwidget = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QSpacerItem *verticalSpacer = nullptr;
    QGridLayout *gridLayout_5 = nullptr;
    QPushButton *pushButton = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QLabel *label = nullptr;
    QProgressBar *progressBar = nullptr;
    QProgressBar *progressBar_2 = nullptr;
    QLabel *label_2 = nullptr;

    void setupUi(QMainWindow *window);
    void retranslateUi(QMainWindow *window);
};

namespace Ui {
class MainWindow : public Ui_MainWindow
{
};
} // namespace Ui
