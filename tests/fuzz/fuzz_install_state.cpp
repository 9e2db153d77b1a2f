// c.ini from disk: the installed version read from any bytes, written back and compared as the manifest
// check compares it.
#include "core/InstallState.h"
#include "core/ReleaseManifest.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTemporaryDir appDir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QFile ini(appDir.filePath(QStringLiteral("c.ini")));
    if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate) || ini.write(bytes) != bytes.size())
        std::abort();
    ini.close();
    // The text up to the first NUL, as UTF-8; written back, the file holds that text alone, as UTF-8; a
    // release of the same text is never newer.
    const std::optional<QString> version = readInstalledVersion(appDir.path());
    const int nul = bytes.indexOf('\0');
    if (!version || *version != QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul)) ||
        !writeInstalledVersion(appDir.path(), *version).isEmpty() || !ini.open(QIODevice::ReadOnly) ||
        ini.readAll() != version->toUtf8() ||
        ReleaseManifest{{}, *version, {}, {}, {}}.offersGameUpdate(*version))
        std::abort();
    return 0;
}
