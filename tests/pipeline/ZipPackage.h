#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Zip packages made at test time (python3's zipfile, deflated) from a map of relative path -> content.
// Entries whose content starts with "#!" are stored executable.
namespace ZipPackage {

QByteArray make(const QMap<QString, QByteArray> &files);

// A copy of package with bytes in the middle of its data flipped: it still opens, but an item fails its
// CRC check.
QByteArray damaged(const QByteArray &package);

} // namespace ZipPackage
