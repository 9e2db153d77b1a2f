#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Small file helpers for tests that build install trees in temporary directories.
namespace TestFiles {

// Writes bytes to path (creating parent directories), executable when they start with "#!"; returns whether
// all went well.
inline bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
           (!bytes.startsWith("#!") ||
            file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther));
}

inline QByteArray read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Leaves "new N" (N: its argument count) in started.txt beside itself: a script, on Windows LeaveMark.cpp.
inline QByteArray markingProgram()
{
#ifdef Q_OS_WIN
    return read(QStringLiteral(VELMORA_MARK_PATH));
#else
    return "#!/bin/sh\necho \"new $#\" > \"$(dirname \"$0\")/started.txt\"\n";
#endif
}

} // namespace TestFiles
