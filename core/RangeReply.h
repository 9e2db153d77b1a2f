#pragma once

#include <QByteArray>
#include <QtGlobal>

// Where the body of an answer to a package request goes, given the request continued a partial package
// at offset (0: it asked for the whole package) of which the whole is total bytes.
enum class BodyPlacement {
    FromStart,  // the whole package: written over the partial one from its first byte
    Append,     // exactly the missing bytes: appended
    StartOver,  // a range that does not continue the partial package: discard it, ask for the whole
    NotPackage, // an error page or no answer: nothing is written
};

[[nodiscard]] BodyPlacement placeBody(int status, const QByteArray &contentRange, qint64 offset,
                                      qint64 total);

// The validator that may go into If-Range: a strong ETag, else Last-Modified, else nothing.
[[nodiscard]] QByteArray rangeValidator(const QByteArray &etag, const QByteArray &lastModified);
