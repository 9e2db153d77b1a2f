#pragma once

#include <QString>

// The rich text of the launcher's failure messages, centred in one paragraph: the message, then what it
// inserts (a path, a reason the system or a server gave) escaped, so that it shows as written.
inline QString centredMessage(const QString &message, const QString &inserted = QString())
{
    return QLatin1String("<html><head/><body><p align=\"center\">") + message + inserted.toHtmlEscaped() +
           QLatin1String("</p></body></html>");
}
