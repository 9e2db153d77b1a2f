#include "app/MainWindow.h"
#include "app/WidgetStateReport.h"
#include "core/LaunchMode.h"
#include "pipeline/ArchiveWorkerThread.h"

#include <QApplication>

int main(int argc, char **argv)
{
    chooseWindowlessPlatformForHashMode(argc, argv);
    QApplication application(argc, argv);
    // Goes after the window and before the application object: a running extraction is stopped and its
    // thread joined, so closing the window ends the process promptly.
    ArchiveWorkerThread archiveWorker;
    MainWindow window;
    window.show();
    WidgetStateReport::startIfRequested(&application);
    return application.exec();
}
