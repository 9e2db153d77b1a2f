#pragma once

#include <QString>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// "Wine VERSION" under Wine, else empty: what Wine lacks is skipped there with its reason, never passed.
inline QString wineVersion()
{
#ifdef Q_OS_WIN
    using Version = const char *(*)();
    if (const auto version = reinterpret_cast<Version>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))))
        return QStringLiteral("Wine ") + QLatin1String(version());
#endif
    return QString();
}
