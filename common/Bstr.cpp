#include "common/Bstr.h"

#ifdef _WIN32

BSTR AllocBstr(const wchar_t *text)
{
    return SysAllocString(text);
}

BSTR AllocBstrLen(const wchar_t *text, UInt32 length)
{
    return SysAllocStringLen(text, length);
}

void FreeBstr(BSTR text)
{
    SysFreeString(text);
}

UInt32 BstrLength(BSTR text)
{
    return SysStringLen(text);
}

#else

#include <cstdlib>
#include <cwchar>

namespace {
constexpr std::size_t kCountSize = sizeof(UInt32);
constexpr std::size_t kTerminatorSize = sizeof(UInt32);
} // namespace

BSTR AllocBstr(const wchar_t *text)
{
    return AllocBstrLen(text, text ? static_cast<UInt32>(std::wcslen(text)) : 0);
}

BSTR AllocBstrLen(const wchar_t *text, UInt32 length)
{
    const UInt64 byteCount = static_cast<UInt64>(length) * sizeof(OLECHAR);
    if (byteCount > 0xFFFFFFFFu - kCountSize - kTerminatorSize)
        return nullptr;
    auto *block = static_cast<unsigned char *>(std::malloc(kCountSize + byteCount + kTerminatorSize));
    if (!block)
        return nullptr;
    const UInt32 storedCount = static_cast<UInt32>(byteCount);
    std::memcpy(block, &storedCount, kCountSize);
    auto *characters = reinterpret_cast<BSTR>(block + kCountSize);
    if (text)
        std::memcpy(characters, text, byteCount);
    else
        std::memset(characters, 0, byteCount);
    std::memset(block + kCountSize + byteCount, 0, kTerminatorSize);
    return characters;
}

void FreeBstr(BSTR text)
{
    if (text)
        std::free(reinterpret_cast<unsigned char *>(text) - kCountSize);
}

UInt32 BstrLength(BSTR text)
{
    if (!text)
        return 0;
    UInt32 byteCount;
    std::memcpy(&byteCount, reinterpret_cast<unsigned char *>(text) - kCountSize, kCountSize);
    return byteCount / sizeof(OLECHAR);
}

#endif
