// Text between Qt and the engine: UTF-8 (valid or not) through QString and wide strings and back, UTF-16
// with lone surrogates to wide strings, and wide strings appended to themselves and made narrow for logs.
#include "common/WideString.h"
#include "fileio/FileSystemOps.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    if (toQString(toWideString(text)) != text)
        std::abort();
    const QString units(reinterpret_cast<const QChar *>(data), int(size / 2));
    WideString wide = toWideString(units);
    (void)toQString(wide);
    const std::wstring once(wide.data(), wide.length());
    wide += wide;
    wide.append(wide.data(), wide.length());
    if (std::wstring(wide.data(), wide.length()) != once + once + once + once)
        std::abort();
    NarrowString narrow;
    ToOemText(wide, narrow);
    return 0;
}
