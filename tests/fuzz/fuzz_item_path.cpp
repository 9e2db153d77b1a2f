// Item paths from archives and the path forms the file layer reads: the unsafe-item-path rule and the
// path rules on any code units (drive letters, long-path and UNC prefixes, device names, streams).
#include "archive/UnsafeItemPath.h"
#include "fileio/PathRules.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    WideString path; // two bytes a code unit, as the engine's names arrive on Windows
    for (size_t i = 0; i + 1 < size; i += 2)
        path.append(wchar_t(data[i] | data[i + 1] << 8));
    const int length = int(path.length());
    const bool rooted = length > 0 && IsPathSeparator(path[0]);
    bool parent = false, nul = false;
    for (int start = 0, i = 0; i <= length; ++i) {
        nul = nul || (i < length && path[i] == 0);
        if (i == length || IsPathSeparator(path[i])) {
            parent = parent || (i - start == 2 && path[start] == '.' && path[start + 1] == '.');
            start = i + 1;
        }
    }
    const bool unsafe = rooted || parent || nul || HasDrivePrefix(path);
#ifdef _WIN32 // where a colon also names a stream and a device name opens the device, refused too
    if (unsafe && !isUnsafeItemPath(path))
#else
    if (unsafe != isUnsafeItemPath(path))
#endif
        std::abort();
    for (const int index : {FindStreamColon(path), ServerPrefixLength(path), RootPrefixLength(path),
                            LastSeparator(path), FirstSeparator(path)})
        if (index < -1 || index > length)
            std::abort();
    if (!EqualsNoCase(path, path) || (HasDriveRootPrefix(path) && !HasDrivePrefix(path)) ||
        (HasLongUncPrefix(path) && !HasLongPathPrefix(path)))
        std::abort();
    (void)IsReservedDeviceName(path);
    (void)StreamLookupName(path);
    (void)StreamEntrySuffix(path);
    return 0;
}
