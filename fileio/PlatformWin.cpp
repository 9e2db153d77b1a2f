#ifdef _WIN32

#include "fileio/Platform.h"

#include "fileio/LastError.h"
#include "fileio/PathRules.h"

namespace {

// Through the generic function type, which converts to any other without a warning.
using AnyFunction = void (*)();

AnyFunction kernel32Function(const char *name)
{
    const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    return kernel32 ? reinterpret_cast<AnyFunction>(GetProcAddress(kernel32, name)) : nullptr;
}

HANDLE toHandle(Platform::FileHandle handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

const FindFirstStreamFunction g_findFirstStream =
    reinterpret_cast<FindFirstStreamFunction>(kernel32Function("FindFirstStreamW"));
const FindNextStreamFunction g_findNextStream =
    reinterpret_cast<FindNextStreamFunction>(kernel32Function("FindNextStreamW"));

namespace Platform {

FileHandle openFile(const WideString &path, OpenMode mode)
{
    const DWORD access = mode == OpenMode::ReadExisting ? GENERIC_READ : GENERIC_WRITE;
    const DWORD disposition = mode == OpenMode::ReadExisting     ? OPEN_EXISTING
                              : mode == OpenMode::WriteCreateNew ? CREATE_NEW
                                                                 : CREATE_ALWAYS;
    const HANDLE handle = CreateFileW(path.data(), access, FILE_SHARE_READ, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<FileHandle>(handle);
}

bool closeFile(FileHandle handle)
{
    return CloseHandle(toHandle(handle)) != FALSE;
}

bool readFile(FileHandle handle, void *data, UInt32 size, UInt32 &processed)
{
    DWORD read = 0;
    const BOOL ok = ReadFile(toHandle(handle), data, size, &read, nullptr);
    processed = read;
    return ok != FALSE;
}

bool writeFile(FileHandle handle, const void *data, UInt32 size, UInt32 &processed)
{
    DWORD written = 0;
    const BOOL ok = WriteFile(toHandle(handle), data, size, &written, nullptr);
    processed = written;
    return ok != FALSE;
}

bool seekFile(FileHandle handle, Int64 offset, UInt32 origin, UInt64 &newPosition)
{
    LONG high = static_cast<LONG>(offset >> 32);
    SetLastError(NO_ERROR);
    const DWORD low = SetFilePointer(toHandle(handle), static_cast<LONG>(offset), &high, origin);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return false;
    newPosition = (static_cast<UInt64>(static_cast<UInt32>(high)) << 32) | low;
    return true;
}

bool setEndOfFile(FileHandle handle)
{
    return SetEndOfFile(toHandle(handle)) != FALSE;
}

bool fileSize(FileHandle handle, UInt64 &size)
{
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(toHandle(handle), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return false;
    size = (static_cast<UInt64>(high) << 32) | low;
    return true;
}

bool fileInformation(FileHandle handle, FileInformation &info)
{
    BY_HANDLE_FILE_INFORMATION data;
    if (!GetFileInformationByHandle(toHandle(handle), &data))
        return false;
    info.attributes = data.dwFileAttributes;
    info.creationTime = data.ftCreationTime;
    info.accessTime = data.ftLastAccessTime;
    info.writeTime = data.ftLastWriteTime;
    info.volumeSerial = data.dwVolumeSerialNumber;
    info.size = (static_cast<UInt64>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info.numberOfLinks = data.nNumberOfLinks;
    info.fileIndex = (static_cast<UInt64>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    return true;
}

bool setFileModificationTime(FileHandle handle, const FILETIME &time)
{
    return SetFileTime(toHandle(handle), nullptr, nullptr, &time) != FALSE;
}

bool createDirectory(const WideString &path)
{
    return CreateDirectoryW(path.data(), nullptr) != FALSE;
}

bool deleteFile(const WideString &path)
{
    return DeleteFileW(path.data()) != FALSE;
}

UInt32 fileAttributes(const WideString &path)
{
    return GetFileAttributesW(path.data());
}

bool setFileAttributes(const WideString &path, UInt32 attributes)
{
    return SetFileAttributesW(path.data(), attributes) != FALSE;
}

bool findFirstFile(const WideString &pattern, CFoundEntry &data)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern.data(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    data.attributes = found.dwFileAttributes;
    data.creationTime = found.ftCreationTime;
    data.accessTime = found.ftLastAccessTime;
    data.writeTime = found.ftLastWriteTime;
    data.size = (static_cast<UInt64>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    data.isAltStream = false;
    data.name = WideString(found.cFileName);
    return true;
}

bool findStream(const WideString &filePath, const WideString &streamName, CFoundEntry &data)
{
    if (!g_findFirstStream) {
        SetLastError(kErrorNotImplemented);
        return false;
    }
    WIN32_FIND_STREAM_DATA stream;
    SetLastError(0);
    const HANDLE search = g_findFirstStream(filePath.data(), FindStreamInfoStandard, &stream, 0);
    bool found = false;
    if (search != INVALID_HANDLE_VALUE) {
        for (;;) {
            if (EqualsNoCase(WideString(stream.cStreamName), streamName)) {
                data.clear();
                data.name = WideString(stream.cStreamName);
                data.size = static_cast<UInt64>(stream.StreamSize.QuadPart);
                found = true;
                break;
            }
            if (!g_findNextStream) {
                SetLastError(kErrorNotImplemented);
                break;
            }
            if (!g_findNextStream(search, &stream))
                break;
        }
    }
    const DWORD error = GetLastError();
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    if (found)
        return true;
    SetLastError(error == kErrorHandleEof ? kErrorFileNotFound : error);
    return false;
}

UInt32 wideToOem(const WideString &text, char *target, UInt32 targetSize)
{
    // CP_OEMCP is neither 65000 nor 65001, so it takes a substitute character.
    return static_cast<UInt32>(WideCharToMultiByte(CP_OEMCP, 0, text.data(), static_cast<int>(text.length()),
                                                   target, static_cast<int>(targetSize), "_", nullptr));
}

} // namespace Platform

#endif
