// What a package transfer reads from outside: the status and Content-Range that decide where a body goes,
// the ETag and Last-Modified that make If-Range, the Location of a redirect, and the resume record kept
// beside a partial package. Input: status, offset and total as text, then the headers, one line each.
#include "core/PartialDownload.h"
#include "core/RangeReply.h"
#include "core/RedirectHop.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QTemporaryDir temp;
    const QList<QByteArray> lines = QByteArray(reinterpret_cast<const char *>(data), int(size)).split('\n');
    const int status = lines.value(0).toInt();
    const qint64 offset = lines.value(1).toLongLong(), total = lines.value(2).toLongLong();
    const QByteArray contentRange = lines.value(3), etag = lines.value(4), modified = lines.value(5);
    // Appended only: exactly the bytes from offset to the end of the same total (digits may have leading
    // zeros, as the header's grammar allows).
    static const QRegularExpression form(QStringLiteral("^bytes\\s+(\\d+)-(\\d+)/(\\d+)$"));
    const QRegularExpressionMatch range = form.match(QString::fromLatin1(contentRange.trimmed()));
    const auto at = [&range](int i) { return range.captured(i).toLongLong(); };
    if (placeBody(status, contentRange, offset, total) == BodyPlacement::Append &&
        (status != 206 || offset <= 0 || !range.hasMatch() || at(1) != offset || at(2) != total - 1 ||
         at(3) != total))
        std::abort();
    const QByteArray validator = rangeValidator(etag, modified);
    if (!validator.isEmpty() && validator != modified && (validator != etag || etag.startsWith("W/")))
        std::abort();
    // Followed only to the web, never from https to http.
    const RedirectHop hop = RedirectHop::from(QUrl(QString::fromUtf8(modified)), lines.value(6));
    if (!hop.address.isEmpty() &&
        (!hop.refusal.isEmpty() || hop.address.host().isEmpty() || !hop.address.scheme().startsWith("http") ||
         (QUrl(QString::fromUtf8(modified)).scheme() == "https" && hop.address.scheme() != "https")))
        std::abort();
    // A record of any bytes: what it lets a request continue lies within the package on disk.
    const QString package = temp.filePath(QStringLiteral("package.zip"));
    QFile record(package + ".resume"), partial(package);
    if (!record.open(QIODevice::WriteOnly | QIODevice::Truncate) || !partial.open(QIODevice::WriteOnly) ||
        record.write(lines.mid(7).join('\n')) < 0 || !partial.resize(offset & 0xffff))
        std::abort();
    record.close();
    PartialDownload download(package, QString::fromUtf8(lines.value(7)));
    const qint64 resumable = download.resumableSize();
    if (resumable < 0 || resumable > (offset & 0xffff) ||
        (resumable > 0 && (download.validator().isEmpty() || download.total() <= resumable)))
        std::abort();
    return 0;
}
