#include "common/WideString.h"

#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <utility>

namespace {

UInt32 textLength(const wchar_t *text)
{
    return static_cast<UInt32>(std::wcslen(text));
}

UInt32 textLength(const char *text)
{
    return static_cast<UInt32>(std::strlen(text));
}

} // namespace

template <typename Char> UInt32 GrowableString<Char>::grownCapacity(UInt32 neededLength)
{
    const UInt64 n = neededLength;
    const UInt64 capacity = ((n + 16 + n / 2) & ~UInt64(15)) - 1;
    if (capacity >= kCapacityLimit)
        throw EngineError(kLimitError);
    return static_cast<UInt32>(capacity);
}

template <typename Char>
GrowableString<Char>::GrowableString() : chars(new Char[kInitialCapacity + 1]), len(0), cap(kInitialCapacity)
{
    chars[0] = 0;
}

template <typename Char> GrowableString<Char>::GrowableString(const Char *text) : GrowableString()
{
    append(text);
}

template <typename Char>
GrowableString<Char>::GrowableString(const Char *text, UInt32 length) : GrowableString()
{
    append(text, length);
}

template <typename Char> GrowableString<Char>::GrowableString(const GrowableString &other) : GrowableString()
{
    append(other.chars, other.len);
}

template <typename Char>
GrowableString<Char>::GrowableString(GrowableString &&other) noexcept
    : chars(other.chars), len(other.len), cap(other.cap)
{
    // The moved-from string keeps a valid empty buffer of its own.
    other.chars = new Char[kInitialCapacity + 1];
    other.chars[0] = 0;
    other.len = 0;
    other.cap = kInitialCapacity;
}

template <typename Char> GrowableString<Char> &GrowableString<Char>::operator=(const GrowableString &other)
{
    if (this != &other)
        assign(other.chars, other.len);
    return *this;
}

template <typename Char>
GrowableString<Char> &GrowableString<Char>::operator=(GrowableString &&other) noexcept
{
    std::swap(chars, other.chars);
    std::swap(len, other.len);
    std::swap(cap, other.cap);
    return *this;
}

template <typename Char> GrowableString<Char>::~GrowableString()
{
    delete[] chars;
}

template <typename Char> void GrowableString<Char>::reserve(UInt32 length)
{
    if (length <= cap)
        return;
    const UInt32 newCapacity = grownCapacity(length);
    Char *grown = new Char[newCapacity + 1];
    std::memcpy(grown, chars, (static_cast<std::size_t>(len) + 1) * sizeof(Char));
    delete[] chars;
    chars = grown;
    cap = newCapacity;
}

template <typename Char> void GrowableString<Char>::append(Char c)
{
    if (len == 0xFFFFFFFFu)
        throw EngineError(kLimitError);
    reserve(len + 1);
    chars[len++] = c;
    chars[len] = 0;
}

template <typename Char> void GrowableString<Char>::append(const Char *text, UInt32 length)
{
    const UInt64 needed = UInt64(len) + length;
    if (needed >= kCapacityLimit)
        throw EngineError(kLimitError);
    // `text` may point into this string, whose buffer growing would free.
    const bool inside =
        !std::less<const Char *>()(text, chars) && std::less<const Char *>()(text, chars + cap + 1);
    const std::size_t offset = inside ? static_cast<std::size_t>(text - chars) : 0;
    reserve(static_cast<UInt32>(needed));
    if (inside)
        text = chars + offset;
    std::memmove(chars + len, text, static_cast<std::size_t>(length) * sizeof(Char));
    len = static_cast<UInt32>(needed);
    chars[len] = 0;
}

template <typename Char> void GrowableString<Char>::append(const Char *text)
{
    append(text, textLength(text));
}

template <typename Char> GrowableString<Char> &GrowableString<Char>::operator+=(const GrowableString &other)
{
    append(other.chars, other.len);
    return *this;
}

template <typename Char> GrowableString<Char> &GrowableString<Char>::operator+=(const Char *text)
{
    append(text);
    return *this;
}

template <typename Char> GrowableString<Char> &GrowableString<Char>::operator+=(Char c)
{
    append(c);
    return *this;
}

template <typename Char> GrowableString<Char> GrowableString<Char>::left(UInt32 count) const
{
    return GrowableString(chars, count < len ? count : len);
}

template <typename Char> GrowableString<Char> GrowableString<Char>::mid(UInt32 start) const
{
    return start < len ? GrowableString(chars + start, len - start) : GrowableString();
}

template <typename Char> void GrowableString<Char>::truncate(UInt32 count)
{
    if (count < len) {
        len = count;
        chars[len] = 0;
    }
}

template <typename Char> void GrowableString<Char>::clear()
{
    truncate(0);
}

template <typename Char> void GrowableString<Char>::assign(const Char *text, UInt32 length)
{
    if (text == chars) {
        truncate(length);
        return;
    }
    clear();
    append(text, length);
}

template <typename Char> bool GrowableString<Char>::operator==(const GrowableString &other) const
{
    return len == other.len &&
           std::memcmp(chars, other.chars, static_cast<std::size_t>(len) * sizeof(Char)) == 0;
}

template class GrowableString<wchar_t>;
template class GrowableString<char>;

WideString toWideString(const QString &text)
{
    // QString is UTF-16; wchar_t is UTF-32 here, so a surrogate pair becomes one character.
    const std::wstring wide = text.toStdWString();
    return WideString(wide.data(), static_cast<UInt32>(wide.size()));
}

QString toQString(const WideString &text)
{
    return QString::fromWCharArray(text.data(), static_cast<int>(text.length()));
}
