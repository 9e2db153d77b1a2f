# Cross-builds the Windows launcher with Debian's MinGW-w64 (POSIX threads) against the Qt for Windows
# that tools/windows/build-deps.sh makes: cmake -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# -DVELMORA_QT_PREFIX=... -DVELMORA_ENGINE_LIBRARY=.../7z.dll. Tests run under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_host x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_host}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_host}-g++-posix)
set(CMAKE_RC_COMPILER ${_host}-windres)

set(VELMORA_QT_PREFIX "" CACHE PATH "The Qt for Windows to build against")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMORA_QT_PREFIX)
set(CMAKE_FIND_ROOT_PATH ${VELMORA_QT_PREFIX} /usr/${_host})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One executable and the engine beside it: the C and C++ runtimes, the threads library and any library
# found (zlib for the tests) go inside.
set(ZLIB_USE_STATIC_LIBS ON)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/windows/wine-run.sh)
