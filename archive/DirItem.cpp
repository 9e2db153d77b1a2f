#include "archive/DirItem.h"

#include "fileio/FileAttributes.h"

bool DirItem::isDir() const
{
    return (attributes & kAttributeDirectory) != 0;
}
