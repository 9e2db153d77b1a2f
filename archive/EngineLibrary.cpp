#include "archive/EngineLibrary.h"

#include "common/PropertyValue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// GetModuleProp property 0: VT_UI4 0 means IUnknown has no virtual destructor (our interface layout).
constexpr PROPID kModulePropInterfaceType = 0;

QStringList &overriddenLocations()
{
    static QStringList locations;
    return locations;
}

bool hasExpectedLayout(QLibrary &library)
{
    const auto getModuleProp = reinterpret_cast<GetModulePropFunction>(library.resolve("GetModuleProp"));
    if (!getModuleProp)
        return false;
    PropertyValue value;
    return getModuleProp(kModulePropInterfaceType, &value) == S_OK && value.vt == VT_UI4 && value.ulVal == 0;
}

} // namespace

namespace EngineLibrary {

QString fileName()
{
#ifdef _WIN32
    return QStringLiteral("7z.dll");
#else
    return QStringLiteral("7z.so");
#endif
}

QStringList searchLocations()
{
    if (!overriddenLocations().isEmpty())
        return overriddenLocations();
    QStringList locations{QCoreApplication::applicationDirPath()};
#ifndef _WIN32
    locations << QStringLiteral("/usr/lib/p7zip");
#endif
    return locations;
}

void setSearchLocations(const QStringList &directories)
{
    overriddenLocations() = directories;
}

void configure(QLibrary &library)
{
    const QStringList locations = searchLocations();
    QString chosen = QDir(locations.first()).filePath(fileName());
    for (const QString &directory : locations) {
        const QString candidate = QDir(directory).filePath(fileName());
        if (QFileInfo(candidate).isFile()) {
            chosen = candidate;
            break;
        }
    }
    library.setFileName(chosen);
}

bool load(QLibrary &library)
{
    if (library.isLoaded())
        return true;
    configure(library);
    if (!library.load())
        return false;
    if (!hasExpectedLayout(library)) {
        qDebug("Engine library %s has another interface layout; refused", qPrintable(library.fileName()));
        library.unload();
        return false;
    }
    return true;
}

CreateObjectFunction resolveCreateObject(QLibrary &library)
{
    if (!load(library))
        return nullptr;
    return reinterpret_cast<CreateObjectFunction>(library.resolve("CreateObject"));
}

} // namespace EngineLibrary
