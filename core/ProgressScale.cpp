#include "core/ProgressScale.h"

#include <limits>

int ProgressScale::shiftFor(quint64 total)
{
    int shift = 0;
    while ((total >> shift) > quint64(std::numeric_limits<int>::max()))
        ++shift;
    return shift;
}

int ProgressScale::overallValue(quint64 done, quint64 total, double base)
{
    if (total == 0)
        return -1;
    const float ratio = float(done) / float(total);
    return int(double(ratio) * 100.0 / 3.0 + base);
}
