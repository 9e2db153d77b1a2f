#pragma once

#include <QString>

// Writes the MD5 of the file at path to appDir/hash.txt: 32 lowercase hex digits, or nothing at all
// when the file cannot be read (also when no path was given: path empty).
void writeHashFile(const QString &appDir, const QString &path);
