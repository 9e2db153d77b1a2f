#pragma once

// What a lookup found at a path: a file, a directory, a root or a named stream.

#include "common/WideString.h"
#include "fileio/FileAttributes.h"

struct CFoundEntry
{
    UInt64 size = 0;
    FILETIME creationTime{};
    FILETIME accessTime{};
    FILETIME writeTime{};
    UInt32 attributes = 0;
    bool isAltStream = false;
    // The last component as the platform reports it, or the root or stream form FindEntry gives.
    WideString name;

    void clear();
    bool isDir() const { return (attributes & kAttributeDirectory) != 0; }
};
