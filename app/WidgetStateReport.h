#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

// Scripts that drive the real window (the end-to-end tests, the headless demo) need to know where a
// button is, what it reads and whether it takes clicks, and to wait for a state rather than guess from
// pixels and sleep. With VELMORA_WIDGET_REPORT set, this prints every visible window and its named
// widgets as one debug line, "widgets: <JSON>", at start and whenever that description changes.
// Users never see it: without the variable nothing is created.
class WidgetStateReport : public QObject
{
public:
    static void startIfRequested(QObject *owner);

private:
    explicit WidgetStateReport(QObject *owner);
    void printIfChanged();

    QTimer poll;
    QByteArray lastPrinted;
};
