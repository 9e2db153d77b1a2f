#include "archive/UnsafeItemPath.h"

#include "fileio/PathRules.h"

namespace {

bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool isLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

} // namespace

bool isUnsafeItemPath(const WideString &path)
{
    const UInt32 length = path.length();
    if (length == 0)
        return false;
    if (isSeparator(path[0]))
        return true;
    if (length >= 2 && isLetter(path[0]) && path[1] == L':')
        return true;
    UInt32 componentStart = 0;
    for (UInt32 i = 0; i <= length; ++i) {
        if (i < length) {
            // The system reads a path only up to a NUL: the file would land under another name.
            if (path[i] == L'\0')
                return true;
#ifdef _WIN32
            // A colon names a stream of a file, not a file.
            if (path[i] == L':')
                return true;
#endif
            if (!isSeparator(path[i]))
                continue;
        }
        const UInt32 componentLength = i - componentStart;
        if (componentLength == 2 && path[componentStart] == L'.' && path[componentStart + 1] == L'.')
            return true;
#ifdef _WIN32
        // A device name opens the device, in whatever directory it stands.
        if (IsReservedDeviceName(WideString(path.data() + componentStart, componentLength)))
            return true;
#endif
        componentStart = i + 1;
    }
    return false;
}
