#include "core/RangeReply.h"

#include <optional>

namespace {
struct ContentRange
{
    qint64 first;
    qint64 last;
    qint64 total; // -1 for "*"
};

std::optional<qint64> number(const QByteArray &digits)
{
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    // Digits only: toLongLong also takes signs and white space.
    for (char c : digits)
        if (c < '0' || c > '9')
            return std::nullopt;
    return ok ? std::optional<qint64>(value) : std::nullopt;
}

// "bytes FIRST-LAST/TOTAL" or "bytes FIRST-LAST/*".
std::optional<ContentRange> parseContentRange(const QByteArray &header)
{
    const QByteArray value = header.trimmed();
    if (!value.startsWith("bytes "))
        return std::nullopt;
    const QByteArray byteRange = value.mid(6).trimmed();
    const int dash = byteRange.indexOf('-'), slash = byteRange.indexOf('/');
    if (dash < 0 || slash < dash)
        return std::nullopt;
    const auto first = number(byteRange.left(dash)), last = number(byteRange.mid(dash + 1, slash - dash - 1));
    const QByteArray totalText = byteRange.mid(slash + 1);
    const auto total = totalText == "*" ? std::optional<qint64>(-1) : number(totalText);
    if (!first || !last || !total || *last < *first)
        return std::nullopt;
    return ContentRange{*first, *last, *total};
}
} // namespace

BodyPlacement placeBody(int status, const QByteArray &contentRange, qint64 offset, qint64 total)
{
    if (offset == 0)
        return status >= 200 && status <= 299 ? BodyPlacement::FromStart : BodyPlacement::NotPackage;
    if (status == 206) {
        const auto range = parseContentRange(contentRange);
        const bool continues =
            range && range->first == offset && range->total == total && range->last == total - 1;
        return continues ? BodyPlacement::Append : BodyPlacement::StartOver;
    }
    if (status == 416)
        return BodyPlacement::StartOver;
    // A 200 is the whole package: the server ignores ranges, or the package changed since.
    return status >= 200 && status <= 299 ? BodyPlacement::FromStart : BodyPlacement::NotPackage;
}

QByteArray rangeValidator(const QByteArray &etag, const QByteArray &lastModified)
{
    // A weak ETag says "equivalent", not "the same bytes": it must not vouch for a byte range.
    if (!etag.isEmpty() && !etag.startsWith("W/"))
        return etag;
    return lastModified;
}
