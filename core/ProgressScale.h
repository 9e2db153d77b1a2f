#pragma once

#include <QtGlobal>

// Arithmetic between 64-bit byte counts and the int-valued progress bars of the main window.
namespace ProgressScale {

// The right shift that brings total into the range of an int: 0 for totals that fit, more from 2 GiB
// on. Range and value of a bar are both shifted by it, so the bar keeps the true proportion.
[[nodiscard]] int shiftFor(quint64 total);

// The overall bar's value for `done` of `total` within a step that starts at `base` and spans a third
// of the bar: base + done / total * 100 / 3, truncated. The ratio is taken in single precision, so a
// complete step gives exactly base + 33. Returns -1 when total is 0 and the ratio has no meaning.
[[nodiscard]] int overallValue(quint64 done, quint64 total, double base);

} // namespace ProgressScale
