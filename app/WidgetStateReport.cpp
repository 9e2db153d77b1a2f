#include "app/WidgetStateReport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProgressBar>

namespace {

QJsonObject describeWidget(const QWidget *widget)
{
    const QPoint topLeft = widget->mapToGlobal(QPoint(0, 0));
    QJsonObject state{
        {"x", topLeft.x()}, {"y", topLeft.y()}, {"w", widget->width()}, {"h", widget->height()}};
    state.insert("enabled", widget->isEnabled());
    state.insert("visible", widget->isVisible());
    if (const auto *button = qobject_cast<const QAbstractButton *>(widget))
        state.insert("text", button->text());
    if (const auto *label = qobject_cast<const QLabel *>(widget))
        state.insert("text", label->text());
    if (const auto *bar = qobject_cast<const QProgressBar *>(widget)) {
        state.insert("value", bar->value());
        state.insert("minimum", bar->minimum());
        state.insert("maximum", bar->maximum());
    }
    return state;
}

} // namespace

void WidgetStateReport::startIfRequested(QObject *owner)
{
    if (!qEnvironmentVariableIsEmpty("VELMORA_WIDGET_REPORT"))
        new WidgetStateReport(owner);
}

WidgetStateReport::WidgetStateReport(QObject *owner) : QObject(owner)
{
    connect(&poll, &QTimer::timeout, this, &WidgetStateReport::printIfChanged);
    poll.start(50);
    printIfChanged();
}

void WidgetStateReport::printIfChanged()
{
    QJsonArray windows;
    for (const QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->isVisible())
            continue;
        QJsonObject widgets;
        for (const QWidget *widget : window->findChildren<QWidget *>())
            if (!widget->objectName().isEmpty())
                widgets.insert(widget->objectName(), describeWidget(widget));
        QJsonObject description = describeWidget(window);
        description.insert("title", window->windowTitle());
        description.insert("active", window->isActiveWindow());
        description.insert("widgets", widgets);
        windows.append(description);
    }
    const QByteArray report = QJsonDocument(windows).toJson(QJsonDocument::Compact);
    if (report == lastPrinted)
        return;
    lastPrinted = report;
    qDebug("widgets: %s", report.constData());
}
