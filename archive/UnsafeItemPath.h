#pragma once

#include "common/WideString.h"

// True when an item path read from an archive would lead outside the output directory or somewhere else
// than it says: it is absolute (starts with a separator, which covers network paths), has a drive prefix
// (a letter and a colon), a ".." component or a NUL character; on Windows also when a component is a
// reserved device name or holds a colon (a named stream). Both the backslash and the slash separate
// components.
[[nodiscard]] bool isUnsafeItemPath(const WideString &path);
