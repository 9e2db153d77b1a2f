#pragma once

#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// Wine's name and version when the test runs under Wine, else an empty string: a call Wine lacks or gets
// wrong is skipped there with its reason, never passed.
inline QString wineVersion()
{
#ifdef Q_OS_WIN
    using Version = const char *(*)();
    const auto version = reinterpret_cast<Version>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
    if (version)
        return QStringLiteral("Wine %1").arg(QString::fromLatin1(version()));
#endif
    return QString();
}
