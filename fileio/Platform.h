#pragma once

// The operating-system calls the file access layer needs, with the contract of the Windows calls they
// stand for (kernel32 on Windows, POSIX on Linux). Every failing call leaves a Windows error number in
// the thread's last error (LastError.h). On Linux wide paths become UTF-8 and a backslash is read as a
// separator, as it is on Windows.

#include "common/WideString.h"
#include "fileio/FoundEntry.h"

#include <cstdint>
#include <string>

namespace Platform {

using FileHandle = std::intptr_t;
constexpr FileHandle kInvalidHandle = -1;

enum class OpenMode {
    ReadExisting,      // share for reading only
    WriteCreateAlways, // create or truncate; share for reading only
    WriteCreateNew,    // fail when the file exists; share for reading only
};

// What GetFileInformationByHandle reports.
struct FileInformation
{
    UInt32 attributes;
    FILETIME creationTime;
    FILETIME accessTime;
    FILETIME writeTime;
    UInt32 volumeSerial;
    UInt64 size;
    UInt32 numberOfLinks;
    UInt64 fileIndex;
};

FileHandle openFile(const WideString &path, OpenMode mode);
[[nodiscard]] bool closeFile(FileHandle handle);
#ifdef _WIN32
constexpr bool kFailedCloseReleasesHandle = false;
#else
// POSIX close releases the descriptor even when it reports an error (EIO, EINTR, ...).
constexpr bool kFailedCloseReleasesHandle = true;
#endif
[[nodiscard]] bool readFile(FileHandle handle, void *data, UInt32 size, UInt32 &processed);
[[nodiscard]] bool writeFile(FileHandle handle, const void *data, UInt32 size, UInt32 &processed);
// origin 0 start, 1 current, 2 end
[[nodiscard]] bool seekFile(FileHandle handle, Int64 offset, UInt32 origin, UInt64 &newPosition);
// Cuts or extends the file at the current position.
[[nodiscard]] bool setEndOfFile(FileHandle handle);
[[nodiscard]] bool fileSize(FileHandle handle, UInt64 &size);
[[nodiscard]] bool fileInformation(FileHandle handle, FileInformation &info);
[[nodiscard]] bool setFileModificationTime(FileHandle handle, const FILETIME &time);

[[nodiscard]] bool createDirectory(const WideString &path);
[[nodiscard]] bool deleteFile(const WideString &path);
// kInvalidAttributes when they cannot be read.
UInt32 fileAttributes(const WideString &path);
// Windows attribute bits. On Linux only read-only maps (no write permission bits); hidden is ignored, and a
// symbolic link at the path is refused (the last error then holds ELOOP's number).
[[nodiscard]] bool setFileAttributes(const WideString &path, UInt32 attributes);
// Lists `pattern` and reports its first match, as FindFirstFileW; any search handle is closed before
// returning. A last component of "*" lists the directory before it (its "." entry first).
[[nodiscard]] bool findFirstFile(const WideString &pattern, CFoundEntry &entry);
// Looks for the named stream (":name:$DATA", compared without case) among the streams of `filePath`.
// On success `stream` holds the reported stream name and size. Platforms without named streams fail with
// error 120; a missing stream fails with error 2.
[[nodiscard]] bool findStream(const WideString &filePath, const WideString &streamName, CFoundEntry &stream);

// WideCharToMultiByte into the OEM code page: with `target` null, measures; returns the byte count, or 0 on
// failure. Characters without a mapping become '_'.
UInt32 wideToOem(const WideString &text, char *target, UInt32 targetSize);

#ifndef _WIN32
// Sets the permission bits of `mode` (& 0777). Like setFileAttributes, refuses a symbolic link at the path
// rather than change what it points to.
[[nodiscard]] bool setUnixPermissions(const WideString &path, UInt32 mode);
// setFileAttributes and setUnixPermissions for a file this layer has open (never a directory): no path is
// looked up, so what changes is the open file itself, whatever has meanwhile appeared at its path.
[[nodiscard]] bool setHandleAttributes(FileHandle handle, UInt32 attributes);
[[nodiscard]] bool setHandlePermissions(FileHandle handle, UInt32 mode);
// Makes every missing level of `relative` inside the existing directory `base`. No level below `base` is
// ever followed if it is a symbolic link: a link, or anything else that is not a directory, fails with
// error 183. A path the system could not reach whole (PATH_MAX) fails at once with error 206.
[[nodiscard]] bool createDirectoriesBeneath(const WideString &base, const WideString &relative);
// The UTF-8 form of a wide path, every backslash turned into a slash.
std::string nativePath(const WideString &path);
#endif

} // namespace Platform

#ifdef _WIN32
// The stream enumeration functions, taken from the loaded kernel32.dll by name during static
// initialisation; null where the system lacks them.
using FindFirstStreamFunction = HANDLE(WINAPI *)(LPCWSTR, STREAM_INFO_LEVELS, LPVOID, DWORD);
using FindNextStreamFunction = BOOL(WINAPI *)(HANDLE, LPVOID);
extern const FindFirstStreamFunction g_findFirstStream;
extern const FindNextStreamFunction g_findNextStream;
#endif
