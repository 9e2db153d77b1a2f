#include "fileio/FileSystemOps.h"

#include "common/EngineError.h"
#include "fileio/Platform.h"

#include <string>

namespace {

constexpr int kOemConversionError = 282228;

bool isDirectoryAttributes(UInt32 attributes)
{
    return attributes != kInvalidAttributes && (attributes & kAttributeDirectory);
}

#ifndef _WIN32
// Archivers on Unix keep the mode in the high half, flagged by kAttributeUnixExtension.
bool carriesUnixMode(UInt32 attributes)
{
    return (attributes & kAttributeUnixExtension) && (attributes >> 16) != 0;
}
#endif

// What other values keep: only their low 14 bits once any of the top four is set.
UInt32 windowsAttributes(UInt32 attributes)
{
    return (attributes & 0xF0000000u) ? attributes & 0x3FFF : attributes;
}

enum class StreamFormResult { Found, Failed, NotAStream };

// A last component "name:stream" names a stream of the file "name".
StreamFormResult findStreamEntry(const WideString &path, int colon, CFoundEntry &entry)
{
    const WideString streamName = StreamLookupName(path.mid(static_cast<UInt32>(colon)));
    const WideString filePath = path.left(static_cast<UInt32>(colon));
    if (HasDrivePrefix(filePath) && (colon == 2 || (colon == 3 && filePath[2] == L'\\'))) {
        entry.clear();
        if (colon == 2)
            entry.name = filePath;
    } else if (!FindEntry(filePath, entry)) {
        return StreamFormResult::NotAStream;
    }
    entry.attributes &= ~(kAttributeDirectory | kAttributeReparsePoint);
    entry.size = 0;
    CFoundEntry stream;
    if (!Platform::findStream(filePath, streamName, stream))
        return StreamFormResult::Failed;
    entry.name += StreamEntrySuffix(stream.name);
    entry.size = stream.size;
    entry.isAltStream = true;
    return StreamFormResult::Found;
}

// "\\server\share" without anything below it.
bool findShare(const WideString &path, CFoundEntry &entry)
{
    const int prefix = ServerPrefixLength(path);
    if (prefix <= 0 || static_cast<UInt32>(prefix) >= path.length())
        return false;
    const WideString share = path.mid(static_cast<UInt32>(prefix));
    if (FirstSeparator(share) >= 0)
        return false;
    CFoundEntry listing;
    const bool listed = Platform::findFirstFile(path + WideString(L"\\*"), listing);
    if (listed && listing.name == WideString(L".")) {
        entry = listing;
        entry.name = share;
        return true;
    }
    const UInt32 attributes = Platform::fileAttributes(path);
    if (!listed && !isDirectoryAttributes(attributes))
        return false;
    entry.clear();
    entry.attributes = attributes == kInvalidAttributes ? kAttributeDirectory : attributes;
    entry.name = share;
    return true;
}

} // namespace

bool FindEntry(const WideString &path, CFoundEntry &entry)
{
    const int colon = FindStreamColon(path);
    if (colon >= 0 && static_cast<UInt32>(colon) + 1 < path.length()) {
#ifndef _WIN32
        // No named streams here: a colon is part of the name when such a name exists.
        if (Platform::findFirstFile(path, entry))
            return true;
#endif
        const StreamFormResult result = findStreamEntry(path, colon, entry);
        if (result != StreamFormResult::NotAStream)
            return result == StreamFormResult::Found;
    }

    const WideString rest = HasLongPathPrefix(path) ? path.mid(4) : path;
    if (rest.length() == 3 && HasDriveRootPrefix(rest)) {
        const UInt32 attributes = Platform::fileAttributes(path);
        if (isDirectoryAttributes(attributes)) {
            entry.clear();
            entry.attributes = attributes;
            entry.name = rest.left(2);
            return true;
        }
    } else if (path.length() == 1 && IsPathSeparator(path[0])) {
        const UInt32 attributes = Platform::fileAttributes(path);
        if (isDirectoryAttributes(attributes)) {
            entry.clear();
            entry.attributes = attributes;
            return true;
        }
    } else if (path.length() > 1 && IsPathSeparator(path[0]) && findShare(path, entry)) {
        return true;
    }
    return Platform::findFirstFile(path, entry);
}

bool CreateDirectoryChain(const WideString &path)
{
    if (isDirectoryAttributes(Platform::fileAttributes(path)))
        return true;
    if (IsDriveRoot(path))
        return false;
    const int rootLength = RootPrefixLength(path);

    WideString working = path;
    if (!working.isEmpty() && LastSeparator(working) == static_cast<int>(working.length()) - 1) {
        if (working.length() == 1)
            return true;
        working.truncate(working.length() - 1);
    }
    const WideString target = working;
    UInt32 position = target.length();

    // Climb until a level can be created or already is a directory.
    for (;;) {
        if (Platform::createDirectory(working))
            break;
        if (GetLastErrorNumber() == kErrorAlreadyExists) {
            CFoundEntry entry;
            if (FindEntry(working, entry) && entry.isDir())
                break;
        }
        if (GetLastErrorNumber() == kErrorAlreadyExists)
            return false;
        const int separator = LastSeparator(working);
        if (separator < 1 || (separator == 1 && IsPathSeparator(working[0])) || rootLength >= separator + 1)
            return false;
        position = static_cast<UInt32>(separator);
        working.truncate(position);
    }

    // Descend, creating each level below the one that now exists.
    while (position < target.length()) {
        int next = -1;
        for (UInt32 i = position + 1; i < target.length() && next < 0; ++i)
            if (IsPathSeparator(target[i]))
                next = static_cast<int>(i);
        position = next < 0 ? target.length() : static_cast<UInt32>(next);
        working = target.left(position);
        if (!Platform::createDirectory(working))
            return false;
    }
    return true;
}

bool CreateDirectoryChainBeneath(const WideString &base, const WideString &relative)
{
#ifdef _WIN32
    return CreateDirectoryChain(base + relative);
#else
    // The base is the caller's own directory: made when missing, wherever its path leads.
    if (!base.isEmpty() && !CreateDirectoryChain(base))
        return false;
    return Platform::createDirectoriesBeneath(base, relative);
#endif
}

bool ForceDeleteFile(const WideString &path)
{
    const UInt32 attributes = Platform::fileAttributes(path);
    if (attributes != kInvalidAttributes && !(attributes & kAttributeDirectory) &&
        (attributes & kAttributeReadOnly) &&
        !Platform::setFileAttributes(path, attributes & ~kAttributeReadOnly))
        return false;
    return Platform::deleteFile(path);
}

bool ApplyFileAttributes(const WideString &path, UInt32 attributes)
{
#ifndef _WIN32
    if (carriesUnixMode(attributes)) {
        UInt32 mode = (attributes >> 16) & 0777;
        // A directory made read-only or closed before its content is extracted would refuse the content.
        if (isDirectoryAttributes(Platform::fileAttributes(path)))
            mode |= 0700;
        return Platform::setUnixPermissions(path, mode);
    }
#endif
    return Platform::setFileAttributes(path, windowsAttributes(attributes));
}

bool ApplyFileAttributes(CDiskFile &file, UInt32 attributes)
{
#ifdef _WIN32
    (void)file;
    (void)attributes;
    SetLastErrorNumber(kErrorNotImplemented);
    return false;
#else
    if (carriesUnixMode(attributes))
        return file.SetPermissions((attributes >> 16) & 0777);
    return file.SetAttributes(windowsAttributes(attributes));
#endif
}

void EnsureTrailingSeparator(WideString &path)
{
    if (!path.isEmpty() && !IsPathSeparator(path.back()))
        path += L'\\';
}

void ToOemText(const WideString &text, NarrowString &target)
{
    target.clear();
    if (text.isEmpty())
        return;
    const UInt32 needed = Platform::wideToOem(text, nullptr, 0);
    if (needed == 0)
        throw EngineError(kOemConversionError);
    std::string buffer(needed, '\0');
    const UInt32 converted = Platform::wideToOem(text, &buffer[0], needed);
    if (converted == 0)
        throw EngineError(kOemConversionError);
    target.assign(buffer.data(), converted);
}
