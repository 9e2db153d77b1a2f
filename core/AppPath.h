#pragma once

#include <QCoreApplication>
#include <QString>

// A path of the install tree: the application directory with a fixed suffix appended as text.
inline QString appPath(const char *suffix)
{
    return QCoreApplication::applicationDirPath() + QLatin1String(suffix);
}
