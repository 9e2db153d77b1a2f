#include "tests/pipeline/ZipPackage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace {
const char kZipScript[] = R"(
import os, sys, zipfile
root, out = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as archive:
    for folder, _, names in sorted(os.walk(root)):
        for name in sorted(names):
            path = os.path.join(folder, name)
            archive.write(path, os.path.relpath(path, root))
)";
} // namespace

QByteArray ZipPackage::make(const QMap<QString, QByteArray> &files)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("tree"));
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        const QString path = root + QLatin1Char('/') + it.key();
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(it.value()) != it.value().size())
            return QByteArray();
        if (it.value().startsWith("#!"))
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                QFileDevice::ExeOther);
    }
    const QString out = dir.filePath(QStringLiteral("package.zip"));
    if (QProcess::execute(QStringLiteral("python3"),
                          {QStringLiteral("-c"), QString::fromLatin1(kZipScript), root, out}) != 0)
        return QByteArray();
    QFile zip(out);
    return zip.open(QIODevice::ReadOnly) ? zip.readAll() : QByteArray();
}

QByteArray ZipPackage::damaged(const QByteArray &package)
{
    QByteArray copy = package;
    for (int i = copy.size() / 2; i < copy.size() / 2 + 64; ++i)
        copy[i] = char(copy.at(i) ^ 0x5a);
    return copy;
}
