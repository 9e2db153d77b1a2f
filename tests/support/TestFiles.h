#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers for tests that build install trees in temporary directories.
namespace TestFiles {

// Writes bytes to path (creating parent directories); returns whether all were written.
bool write(const QString &path, const QByteArray &bytes);

// Writes a shell script and makes it executable: a stand-in for a program the launcher starts.
bool writeScript(const QString &path, const QByteArray &body);

// The whole content of path (empty when it cannot be read).
QByteArray read(const QString &path);

// Copies an executable (permissions kept), creating the target's parent directories.
bool copyExecutable(const QString &from, const QString &to);

} // namespace TestFiles
