#ifndef _WIN32

#include "fileio/Platform.h"

#include "fileio/FileAttributes.h"
#include "fileio/LastError.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Platform {

namespace {

constexpr Int64 kSecondsFrom1601To1970 = 11644473600LL;
constexpr Int64 kTicksPerSecond = 10000000;

// Opens a directory only to look things up and create in it: search permission is enough.
#ifdef O_PATH
constexpr int kLookupOnly = O_PATH;
#else
constexpr int kLookupOnly = O_RDONLY;
#endif

// Leaves `error` (by default the Windows number for the errno value) in the last error, and the errno value
// for the text of the reason.
bool failWithErrno(int errnoValue, UInt32 error)
{
    SetLastErrorFromErrno(errnoValue, error);
    return false;
}

bool failWithErrno(int errnoValue = errno)
{
    return failWithErrno(errnoValue, ErrorNumberFromErrno(errnoValue));
}

bool failWith(UInt32 error)
{
    SetLastErrorNumber(error);
    return false;
}

FILETIME fileTimeFromTimespec(const timespec &time)
{
    Int64 ticks =
        (static_cast<Int64>(time.tv_sec) + kSecondsFrom1601To1970) * kTicksPerSecond + time.tv_nsec / 100;
    if (ticks < 0)
        ticks = 0;
    return FILETIME{static_cast<UInt32>(ticks), static_cast<UInt32>(static_cast<UInt64>(ticks) >> 32)};
}

timespec timespecFromFileTime(const FILETIME &time)
{
    const UInt64 ticks = (static_cast<UInt64>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    timespec result;
    result.tv_sec = static_cast<time_t>(static_cast<Int64>(ticks / kTicksPerSecond) - kSecondsFrom1601To1970);
    result.tv_nsec = static_cast<long>(ticks % kTicksPerSecond) * 100;
    return result;
}

// Windows attribute bits with the Unix mode carried in the high half, as archivers on Unix store them.
UInt32 attributesFromMode(mode_t mode, bool targetIsDirectory)
{
    UInt32 attributes = targetIsDirectory ? kAttributeDirectory : kAttributeArchive;
    if ((mode & 0222) == 0)
        attributes |= kAttributeReadOnly;
    if (S_ISLNK(mode))
        attributes |= kAttributeReparsePoint;
    return attributes | kAttributeUnixExtension | (static_cast<UInt32>(mode & 0xFFFF) << 16);
}

// What is at the path itself. A symbolic link is refused: a mode set through it would reach what it points
// to.
bool lookUpNotLink(const std::string &path, struct stat &info)
{
    if (lstat(path.c_str(), &info) != 0)
        return failWithErrno();
    if (S_ISLNK(info.st_mode))
        return failWithErrno(ELOOP);
    return true;
}

// A link reports its own mode and the directory bit of what it points to.
bool lookUp(const std::string &path, struct stat &info, UInt32 &attributes)
{
    if (lstat(path.c_str(), &info) != 0)
        return failWithErrno();
    bool isDirectory = S_ISDIR(info.st_mode);
    if (S_ISLNK(info.st_mode)) {
        struct stat target;
        isDirectory = stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    }
    attributes = attributesFromMode(info.st_mode, isDirectory);
    return true;
}

// The permission bits the Windows attributes leave: read-only takes every write bit; without it a file that
// had none gets its owner's back.
mode_t permissionsWithAttributes(mode_t permissions, UInt32 attributes)
{
    if (attributes & kAttributeReadOnly)
        return permissions & ~mode_t(0222);
    return (permissions & 0222) == 0 ? permissions | 0200 : permissions;
}

void fillEntry(const struct stat &info, UInt32 attributes, const WideString &name, CFoundEntry &data)
{
    data.attributes = attributes;
    data.creationTime = fileTimeFromTimespec(info.st_ctim);
    data.accessTime = fileTimeFromTimespec(info.st_atim);
    data.writeTime = fileTimeFromTimespec(info.st_mtim);
    data.size = S_ISREG(info.st_mode) ? static_cast<UInt64>(info.st_size) : 0;
    data.isAltStream = false;
    data.name = name;
}

void appendUtf8(std::string &out, UInt32 c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// One read or write call, repeated when a signal interrupts it before it moved anything.
template <typename Call> bool transfer(Call call, UInt32 &processed)
{
    processed = 0;
    ssize_t result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        return failWithErrno();
    processed = static_cast<UInt32>(result);
    return true;
}

} // namespace

std::string nativePath(const WideString &path)
{
    std::string result;
    result.reserve(path.length());
    for (UInt32 i = 0; i < path.length(); ++i)
        appendUtf8(result, path[i] == L'\\' ? UInt32('/') : static_cast<UInt32>(path[i]));
    return result;
}

FileHandle openFile(const WideString &path, OpenMode mode)
{
    const std::string native = nativePath(path);
    int flags = O_CLOEXEC;
    switch (mode) {
    case OpenMode::ReadExisting:
        flags |= O_RDONLY;
        break;
    // A writer never follows a symbolic link at the path: it would write wherever the link points.
    case OpenMode::WriteCreateAlways:
        flags |= O_WRONLY | O_CREAT | O_NOFOLLOW;
        break;
    case OpenMode::WriteCreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
        break;
    }
    const int fd = open(native.c_str(), flags, 0666);
    if (fd < 0) {
        failWithErrno(errno, errno == EEXIST ? kErrorFileExists : ErrorNumberFromErrno(errno));
        return kInvalidHandle;
    }
    struct stat info;
    if (fstat(fd, &info) != 0) {
        const int error = errno;
        close(fd);
        failWithErrno(error);
        return kInvalidHandle;
    }
    if (S_ISDIR(info.st_mode)) {
        // Like Windows, a directory is not a file to open.
        close(fd);
        failWith(kErrorAccessDenied);
        return kInvalidHandle;
    }
    if (mode != OpenMode::ReadExisting) {
        // Writers share the file for reading only: a second writer through this layer is refused. The lock
        // comes before truncation so that a refused writer destroys nothing.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            close(fd);
            failWithErrno(error, error == EWOULDBLOCK ? kErrorSharingViolation : ErrorNumberFromErrno(error));
            return kInvalidHandle;
        }
        // Only a file with content is cut: ext4 takes any truncation to 0 for a file being replaced and
        // starts writing its new data back when it is closed, which made closing a large extracted file
        // (and the clean-up after a stop) wait while its data was sent to the disk.
        if (mode == OpenMode::WriteCreateAlways && info.st_size != 0 && ftruncate(fd, 0) != 0) {
            const int error = errno;
            close(fd);
            failWithErrno(error);
            return kInvalidHandle;
        }
    }
    return fd;
}

bool closeFile(FileHandle handle)
{
    // The descriptor is released even when close reports an error: retrying could close another file.
    if (close(static_cast<int>(handle)) != 0 && errno != EINTR)
        return failWithErrno();
    return true;
}

bool readFile(FileHandle handle, void *data, UInt32 size, UInt32 &processed)
{
    return transfer([&] { return read(static_cast<int>(handle), data, size); }, processed);
}

bool writeFile(FileHandle handle, const void *data, UInt32 size, UInt32 &processed)
{
    return transfer([&] { return write(static_cast<int>(handle), data, size); }, processed);
}

bool seekFile(FileHandle handle, Int64 offset, UInt32 origin, UInt64 &newPosition)
{
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    if (origin > 2)
        return failWith(kErrorInvalidParameter);
    const off_t result = lseek(static_cast<int>(handle), static_cast<off_t>(offset), whence[origin]);
    if (result < 0)
        // What Windows reports for a position before the start of the file.
        return failWithErrno(errno, errno == EINVAL ? kErrorNegativeSeek : ErrorNumberFromErrno(errno));
    newPosition = static_cast<UInt64>(result);
    return true;
}

bool setEndOfFile(FileHandle handle)
{
    const off_t position = lseek(static_cast<int>(handle), 0, SEEK_CUR);
    if (position < 0 || ftruncate(static_cast<int>(handle), position) != 0)
        return failWithErrno();
    return true;
}

bool fileSize(FileHandle handle, UInt64 &size)
{
    struct stat info;
    if (fstat(static_cast<int>(handle), &info) != 0)
        return failWithErrno();
    size = static_cast<UInt64>(info.st_size);
    return true;
}

bool fileInformation(FileHandle handle, FileInformation &information)
{
    struct stat info;
    if (fstat(static_cast<int>(handle), &info) != 0)
        return failWithErrno();
    information.attributes = attributesFromMode(info.st_mode, S_ISDIR(info.st_mode));
    information.creationTime = fileTimeFromTimespec(info.st_ctim);
    information.accessTime = fileTimeFromTimespec(info.st_atim);
    information.writeTime = fileTimeFromTimespec(info.st_mtim);
    information.volumeSerial = static_cast<UInt32>(info.st_dev);
    information.size = static_cast<UInt64>(info.st_size);
    information.numberOfLinks = static_cast<UInt32>(info.st_nlink);
    information.fileIndex = static_cast<UInt64>(info.st_ino);
    return true;
}

bool setFileModificationTime(FileHandle handle, const FILETIME &time)
{
    timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = timespecFromFileTime(time);
    if (futimens(static_cast<int>(handle), times) != 0)
        return failWithErrno();
    return true;
}

bool createDirectory(const WideString &path)
{
    if (mkdir(nativePath(path).c_str(), 0777) != 0)
        return failWithErrno();
    return true;
}

bool deleteFile(const WideString &path)
{
    if (unlink(nativePath(path).c_str()) != 0)
        return failWithErrno(errno, errno == EISDIR ? kErrorAccessDenied : ErrorNumberFromErrno(errno));
    return true;
}

UInt32 fileAttributes(const WideString &path)
{
    struct stat info;
    UInt32 attributes;
    if (!lookUp(nativePath(path), info, attributes))
        return kInvalidAttributes;
    return attributes;
}

bool setFileAttributes(const WideString &path, UInt32 attributes)
{
    const std::string native = nativePath(path);
    struct stat info;
    if (!lookUpNotLink(native, info))
        return false;
    // Only read-only has a meaning here, and not for directories (as on Windows).
    if (S_ISDIR(info.st_mode))
        return true;
    const mode_t mode = permissionsWithAttributes(info.st_mode & 07777, attributes);
    if (mode != (info.st_mode & 07777) && chmod(native.c_str(), mode) != 0)
        return failWithErrno();
    return true;
}

bool setUnixPermissions(const WideString &path, UInt32 mode)
{
    const std::string native = nativePath(path);
    struct stat info;
    if (!lookUpNotLink(native, info))
        return false;
    if (chmod(native.c_str(), static_cast<mode_t>(mode & 0777)) != 0)
        return failWithErrno();
    return true;
}

bool setHandleAttributes(FileHandle handle, UInt32 attributes)
{
    struct stat info;
    if (fstat(static_cast<int>(handle), &info) != 0)
        return failWithErrno();
    const mode_t mode = permissionsWithAttributes(info.st_mode & 07777, attributes);
    if (mode != (info.st_mode & 07777) && fchmod(static_cast<int>(handle), mode) != 0)
        return failWithErrno();
    return true;
}

bool setHandlePermissions(FileHandle handle, UInt32 mode)
{
    if (fchmod(static_cast<int>(handle), static_cast<mode_t>(mode & 0777)) != 0)
        return failWithErrno();
    return true;
}

bool createDirectoriesBeneath(const WideString &base, const WideString &relative)
{
    const std::string root = base.isEmpty() ? std::string(".") : nativePath(base);
    const std::string rest = nativePath(relative);
    // What the system could not reach by its full path later is not made at all.
    if (root.size() + 1 + rest.size() >= PATH_MAX)
        return failWithErrno(ENAMETOOLONG);
    int directory = open(root.c_str(), kLookupOnly | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0)
        return failWithErrno();
    // One level at a time, each opened from the one above: linear in the depth, and a level that is a
    // symbolic link is refused (O_NOFOLLOW) rather than followed out of the base.
    for (std::size_t start = 0; directory >= 0 && start < rest.size();) {
        std::size_t end = rest.find('/', start);
        if (end == std::string::npos)
            end = rest.size();
        const std::string name = rest.substr(start, end - start);
        start = end + 1;
        if (name.empty())
            continue;
        const int flags = kLookupOnly | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int level = openat(directory, name.c_str(), flags);
        if (level < 0 && errno == ENOENT && (mkdirat(directory, name.c_str(), 0777) == 0 || errno == EEXIST))
            level = openat(directory, name.c_str(), flags);
        if (level < 0) {
            // A file or a link where a level should be: what CreateDirectoryW reports for a name taken.
            const int error = errno;
            failWithErrno(error, error == ENOTDIR || error == ELOOP ? kErrorAlreadyExists
                                                                    : ErrorNumberFromErrno(error));
        }
        close(directory);
        directory = level;
    }
    if (directory < 0)
        return false;
    close(directory);
    return true;
}

bool findFirstFile(const WideString &pattern, CFoundEntry &data)
{
    const UInt32 length = pattern.length();
    if (length == 0)
        return failWith(kErrorFileNotFound);
    // Windows finds nothing for a pattern ending in a separator.
    if (pattern[length - 1] == L'\\' || pattern[length - 1] == L'/')
        return failWith(kErrorFileNotFound);
    struct stat info;
    UInt32 attributes;
    if (length >= 2 && pattern[length - 1] == L'*' &&
        (pattern[length - 2] == L'\\' || pattern[length - 2] == L'/')) {
        const WideString directory = pattern.left(length - 2);
        if (!lookUp(nativePath(directory), info, attributes))
            return false;
        if (!(attributes & kAttributeDirectory))
            return failWith(kErrorPathNotFound);
        fillEntry(info, attributes, WideString(L"."), data);
        return true;
    }
    if (!lookUp(nativePath(pattern), info, attributes))
        return false;
    UInt32 nameStart = length;
    while (nameStart > 0 && pattern[nameStart - 1] != L'\\' && pattern[nameStart - 1] != L'/')
        --nameStart;
    fillEntry(info, attributes, pattern.mid(nameStart), data);
    return true;
}

bool findStream(const WideString &, const WideString &, CFoundEntry &)
{
    return failWith(kErrorNotImplemented);
}

UInt32 wideToOem(const WideString &text, char *target, UInt32 targetSize)
{
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    UInt32 total = 0;
    for (UInt32 i = 0; i < text.length(); ++i) {
        std::size_t produced = std::wcrtomb(buffer, text[i], &state);
        if (produced == static_cast<std::size_t>(-1)) {
            state = std::mbstate_t{};
            buffer[0] = '_';
            produced = 1;
        }
        if (target) {
            if (total + produced > targetSize) {
                failWith(kErrorInsufficientBuffer);
                return 0;
            }
            std::memcpy(target + total, buffer, produced);
        }
        total += static_cast<UInt32>(produced);
    }
    return total;
}

} // namespace Platform

#endif
