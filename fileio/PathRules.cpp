#include "fileio/PathRules.h"

#include <cwctype>

namespace {

bool isLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

wchar_t upperUnit(wchar_t c)
{
    if (c >= L'a' && c <= L'z')
        return static_cast<wchar_t>(c - 32);
    if (static_cast<UInt32>(c) > 127)
#ifdef _WIN32
        return static_cast<wchar_t>(
            reinterpret_cast<ULONG_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(ULONG_PTR(c)))));
#else
        return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
#endif
    return c;
}

// Index of the first separator at or after `from`, or -1.
int separatorFrom(const WideString &path, UInt32 from)
{
    for (UInt32 i = from; i < path.length(); ++i)
        if (IsPathSeparator(path[i]))
            return static_cast<int>(i);
    return -1;
}

} // namespace

bool IsPathSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool HasDrivePrefix(const WideString &path)
{
    return path.length() >= 2 && isLetter(path[0]) && path[1] == L':';
}

bool HasDriveRootPrefix(const WideString &path)
{
    return path.length() >= 3 && HasDrivePrefix(path) && IsPathSeparator(path[2]);
}

bool HasLongPathPrefix(const WideString &path)
{
    return path.length() >= 4 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]) && path[2] == L'?' &&
           IsPathSeparator(path[3]);
}

bool HasLongUncPrefix(const WideString &path)
{
    return path.length() >= 8 && HasLongPathPrefix(path) && upperUnit(path[4]) == L'U' &&
           upperUnit(path[5]) == L'N' && upperUnit(path[6]) == L'C' && IsPathSeparator(path[7]);
}

bool IsDriveRoot(const WideString &path)
{
    const WideString rest = HasLongPathPrefix(path) ? path.mid(4) : path;
    return rest.length() == 3 && HasDriveRootPrefix(rest);
}

int FindStreamColon(const WideString &path)
{
    int colon = -1;
    for (UInt32 i = HasDrivePrefix(path) ? 2 : 0; i < path.length(); ++i) {
        if (IsPathSeparator(path[i]))
            colon = -1;
        else if (path[i] == L':' && colon < 0)
            colon = static_cast<int>(i);
    }
    return colon;
}

int ServerPrefixLength(const WideString &path)
{
    if (path.length() < 2 || !IsPathSeparator(path[0]) || !IsPathSeparator(path[1]))
        return 0;
    const bool longUnc = HasLongUncPrefix(path);
    if (!longUnc && path.length() > 2 && (path[2] == L'.' || path[2] == L'?'))
        return 0;
    const UInt32 nameStart = longUnc ? 8 : 2;
    const int separator = separatorFrom(path, nameStart);
    if (separator <= static_cast<int>(nameStart))
        return 0;
    return separator + 1;
}

int ShareRootLength(const WideString &text)
{
    const int afterServer = separatorFrom(text, 0);
    if (afterServer < 0)
        return 0;
    const int afterShare = separatorFrom(text, static_cast<UInt32>(afterServer) + 1);
    if (afterShare < 0)
        return 0;
    return afterShare + 1;
}

int RootPrefixLength(const WideString &path)
{
    if (path.length() >= 4 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]) && path[2] == L'.' &&
        IsPathSeparator(path[3]))
        return 4;
    if (HasLongUncPrefix(path)) {
        const int share = ShareRootLength(path.mid(8));
        return share == 0 ? 0 : 8 + share;
    }
    if (HasLongPathPrefix(path)) {
        const int separator = separatorFrom(path, 4);
        return separator < 0 ? 0 : separator + 1;
    }
    if (HasDriveRootPrefix(path))
        return 3;
    if (path.isEmpty() || !IsPathSeparator(path[0]))
        return 0;
    if (path.length() < 2 || !IsPathSeparator(path[1]))
        return 1;
    const int share = ShareRootLength(path.mid(2));
    return share == 0 ? 0 : 2 + share;
}

bool EqualsNoCase(const WideString &a, const WideString &b)
{
    if (a.length() != b.length())
        return false;
    for (UInt32 i = 0; i < a.length(); ++i)
        if (a[i] != b[i] && upperUnit(a[i]) != upperUnit(b[i]))
            return false;
    return true;
}

bool EqualsAsciiNoCase(const WideString &a, const char *ascii)
{
    UInt32 i = 0;
    for (; i < a.length() && ascii[i] != 0; ++i) {
        const wchar_t unit = a[i];
        const wchar_t other = static_cast<unsigned char>(ascii[i]);
        if (unit == other)
            continue;
        if (static_cast<UInt32>(unit) >= 128 || other >= 128)
            return false;
        const auto lower = [](wchar_t c) {
            return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
        };
        if (lower(unit) != lower(other))
            return false;
    }
    return i == a.length() && ascii[i] == 0;
}

bool IsReservedDeviceName(const WideString &name)
{
    UInt32 end = 0;
    while (end < name.length() && name[end] != L'.')
        ++end;
    while (end > 0 && name[end - 1] == L' ')
        --end;
    const WideString base = name.left(end);
    for (const char *device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (EqualsAsciiNoCase(base, device))
            return true;
    if (base.length() != 4 ||
        !(EqualsAsciiNoCase(base.left(3), "COM") || EqualsAsciiNoCase(base.left(3), "LPT")))
        return false;
    const wchar_t number = base[3];
    return (number >= L'0' && number <= L'9') || number == L'\x00B9' || number == L'\x00B2' ||
           number == L'\x00B3';
}

int LastSeparator(const WideString &path)
{
    for (UInt32 i = path.length(); i > 0; --i)
        if (IsPathSeparator(path[i - 1]))
            return static_cast<int>(i - 1);
    return -1;
}

int FirstSeparator(const WideString &path)
{
    return separatorFrom(path, 0);
}

WideString StreamLookupName(const WideString &streamPart)
{
    static const char kDataSuffix[] = ":$DATA";
    const UInt32 suffixLength = sizeof(kDataSuffix) - 1;
    WideString name(streamPart);
    if (name.length() <= suffixLength ||
        !EqualsAsciiNoCase(name.mid(name.length() - suffixLength), kDataSuffix))
        name += L":$DATA";
    return name;
}

WideString StreamEntrySuffix(const WideString &reportedName)
{
    return reportedName.length() > 7 ? reportedName.left(reportedName.length() - 6) : reportedName;
}
