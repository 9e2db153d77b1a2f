#pragma once

// The growable, zero-terminated strings of the engine side. WideString holds the platform's wchar_t
// (UTF-32 on Linux, UTF-16 on Windows): the engine's own character type, so engine strings copy in
// unchanged. NarrowString holds 8-bit text and is used only to log paths.
//
// Growth is fixed: a new string has room for 3 characters; growing to a needed length n gives the capacity
// ((n + 16 + n / 2) rounded down to a multiple of 16) - 1. A capacity of 0x40000000 characters or more is
// refused by throwing EngineError with kLimitError (20130221 wide, 20130220 narrow).

#include "common/ComTypes.h"
#include "common/EngineError.h"

#include <QString>

template <typename Char> struct StringLimitError;
template <> struct StringLimitError<wchar_t>
{
    static constexpr int value = 20130221;
};
template <> struct StringLimitError<char>
{
    static constexpr int value = 20130220;
};

template <typename Char> class GrowableString
{
public:
    static constexpr int kLimitError = StringLimitError<Char>::value;
    static constexpr UInt32 kCapacityLimit = 0x40000000;
    static constexpr UInt32 kInitialCapacity = 3;

    GrowableString();
    GrowableString(const Char *text);
    GrowableString(const Char *text, UInt32 length);
    GrowableString(const GrowableString &other);
    GrowableString(GrowableString &&other) noexcept;
    GrowableString &operator=(const GrowableString &other);
    GrowableString &operator=(GrowableString &&other) noexcept;
    ~GrowableString();

    // The capacity the growth rule gives for a needed length; throws EngineError(kLimitError) beyond the
    // limit.
    static UInt32 grownCapacity(UInt32 neededLength);

    UInt32 length() const { return len; }
    UInt32 capacity() const { return cap; }
    bool isEmpty() const { return len == 0; }
    const Char *data() const { return chars; }
    Char operator[](UInt32 index) const { return chars[index]; }
    Char back() const { return chars[len - 1]; }

    // Makes room for `length` characters (growing by the rule when needed).
    void reserve(UInt32 length);
    void append(Char c);
    void append(const Char *text, UInt32 length);
    void append(const Char *text);
    GrowableString &operator+=(const GrowableString &other);
    GrowableString &operator+=(const Char *text);
    GrowableString &operator+=(Char c);

    GrowableString left(UInt32 count) const;
    GrowableString mid(UInt32 start) const;
    // Cuts the string to `count` characters (no effect when it is shorter).
    void truncate(UInt32 count);
    void clear();
    // Replaces the content with `length` characters of `text`.
    void assign(const Char *text, UInt32 length);

    bool operator==(const GrowableString &other) const;
    bool operator!=(const GrowableString &other) const { return !(*this == other); }

private:
    Char *chars;
    UInt32 len;
    UInt32 cap;
};

template <typename Char>
GrowableString<Char> operator+(const GrowableString<Char> &a, const GrowableString<Char> &b)
{
    GrowableString<Char> result(a);
    result += b;
    return result;
}

using WideString = GrowableString<wchar_t>;
using NarrowString = GrowableString<char>;

extern template class GrowableString<wchar_t>;
extern template class GrowableString<char>;

WideString toWideString(const QString &text);
QString toQString(const WideString &text);
