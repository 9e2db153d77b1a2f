#include "bench/support/BenchMachine.h"

#include <cstdio>
#include <fstream>

#include <unistd.h>

namespace {
// Above this share of the cores, the 1-minute load means others compete for them.
constexpr double kBusyLoadPerCore = 0.5;
} // namespace

void BenchMachine::reportLoad(const char *moment)
{
    double one = -1;
    double five = -1;
    double fifteen = -1;
    std::ifstream("/proc/loadavg") >> one >> five >> fifteen;
    const long cores = sysconf(_SC_NPROCESSORS_ONLN);
    std::printf("machine load at %s: %.2f %.2f %.2f (1, 5, 15 min) on %ld cores\n", moment, one, five,
                fifteen, cores);
    if (one > kBusyLoadPerCore * double(cores))
        std::printf(
            "WARNING: the machine is busy (1-minute load %.2f > %.1f x %ld cores): wall times are not "
            "comparable; processor times are steadier\n",
            one, kBusyLoadPerCore, cores);
    std::fflush(stdout);
}

void BenchMachine::writeBackPageCache()
{
    ::sync();
}
