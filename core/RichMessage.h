#pragma once

#include <QString>

// The rich text of the launcher's failure messages: message centred in one paragraph.
inline QString centredMessage(const QString &message)
{
    return QLatin1String("<html><head/><body><p align=\"center\">") + message +
           QLatin1String("</p></body></html>");
}
