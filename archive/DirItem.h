#pragma once

#include "common/ComTypes.h"
#include "common/WideString.h"

// One file or directory to put into an archive: what the file system reported for it, its name inside the
// archive and its path on disk.
struct DirItem
{
    UInt64 size = 0;
    FILETIME creationTime{};
    FILETIME accessTime{};
    FILETIME modificationTime{};
    WideString name;
    WideString fullPath;
    UInt32 attributes = 0;

    bool isDir() const;
};
