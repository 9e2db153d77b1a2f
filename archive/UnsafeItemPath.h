#pragma once

#include "common/WideString.h"

// True when an item path read from an archive would lead outside the output directory: it is absolute
// (starts with a separator, which covers network paths), has a drive prefix (a letter and a colon), or
// has a ".." component. Both the backslash and the slash separate components.
bool isUnsafeItemPath(const WideString &path);
