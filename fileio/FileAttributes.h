#pragma once

// Windows file attribute bits, the attribute language of archives and of the file access layer on every
// platform.

#include "common/ComTypes.h"

constexpr UInt32 kAttributeReadOnly = 0x1;
constexpr UInt32 kAttributeHidden = 0x2;
constexpr UInt32 kAttributeDirectory = 0x10;
constexpr UInt32 kAttributeArchive = 0x20;
constexpr UInt32 kAttributeNormal = 0x80;
constexpr UInt32 kAttributeReparsePoint = 0x400;
// Set by archivers on Unix: the high 16 bits then hold the Unix mode (st_mode).
constexpr UInt32 kAttributeUnixExtension = 0x8000;
// What the platform answers when a path's attributes cannot be read.
constexpr UInt32 kInvalidAttributes = 0xFFFFFFFF;
