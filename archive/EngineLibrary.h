#pragma once

// Finding and loading the engine library. Load it only once QCoreApplication exists: the engine decodes
// zip names stored without the UTF-8 flag through the C locale in force when it is loaded.
// The library is loaded with local binding (QLibrary's default); its own helpers must never be resolved
// against ours.

#include "common/EngineInterfaces.h"

#include <QLibrary>
#include <QStringList>

namespace EngineLibrary {

// The file name of the library on this platform: "7z.dll" on Windows, "7z.so" elsewhere.
QString fileName();
// Where the library is looked for, in order: beside the executable, then (Linux) /usr/lib/p7zip.
QStringList searchLocations();
// Replaces the locations (tests point them at an empty directory to simulate a missing engine); an empty
// list restores the defaults.
void setSearchLocations(const QStringList &directories);

// Points `library` at the first location holding the library (the first location when none does).
void configure(QLibrary &library);
// Configures and loads `library` unless it is loaded, then checks its interface layout: a library that
// does not report "IUnknown has no virtual destructor" (GetModuleProp property 0 = VT_UI4 0) is unloaded
// and refused. True when a library with our layout is loaded.
[[nodiscard]] bool load(QLibrary &library);
// load(), then the "CreateObject" entry point; null when either fails.
[[nodiscard]] CreateObjectFunction resolveCreateObject(QLibrary &library);

} // namespace EngineLibrary
