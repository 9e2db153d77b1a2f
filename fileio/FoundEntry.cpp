#include "fileio/FoundEntry.h"

void CFoundEntry::clear()
{
    size = 0;
    creationTime = accessTime = writeTime = FILETIME{0, 0};
    attributes = 0;
    isAltStream = false;
    name.clear();
}
