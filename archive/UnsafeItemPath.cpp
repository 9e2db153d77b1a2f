#include "archive/UnsafeItemPath.h"

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
        if (i < length && !isSeparator(path[i]))
            continue;
        if (i - componentStart == 2 && path[componentStart] == L'.' && path[componentStart + 1] == L'.')
            return true;
        componentStart = i + 1;
    }
    return false;
}
