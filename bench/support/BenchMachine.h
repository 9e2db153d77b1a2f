#pragma once

// These machines are shared: every benchmark says how busy the machine was and keeps one timed step
// from paying for another's writes.
namespace BenchMachine {

// Prints the load averages (/proc/loadavg) and the number of cores, and a warning when the 1-minute load
// is above half the cores: wall times measured then say little. `moment` names when ("start", "end").
void reportLoad(const char *moment);

// Writes back the whole page cache (sync). Called before each timed step: the kernel throttles a writer
// once too much is dirty, so whichever side ran after the other's writes would pay for them.
void writeBackPageCache();

} // namespace BenchMachine
