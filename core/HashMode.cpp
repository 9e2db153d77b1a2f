#include "core/HashMode.h"

#include "core/FileChecksum.h"

#include <QFile>

void writeHashFile(const QString &appDir, const QString &path)
{
    // Truncated before the input is read: naming hash.txt itself hashes an empty file.
    QFile output(appDir + QLatin1String("/hash.txt"));
    if (!output.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    if (path.isEmpty())
        return;
    output.write(fileChecksum(path, QCryptographicHash::Md5).toUtf8());
}
