#include "app/LaunchMode.h"
#include "app/MainWindow.h"

#include <QApplication>

int main(int argc, char **argv)
{
    chooseWindowlessPlatformForHashMode(argc, argv);
    QApplication application(argc, argv);
    MainWindow window;
    window.show();
    return application.exec();
}
