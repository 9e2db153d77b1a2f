#pragma once

#include <QStringList>

// Records every debug line written by any thread once installed, and passes each line on to the handler
// installed before it. Install it from a test function: QTest installs its own handler when the run starts.
class DebugLogCapture
{
public:
    DebugLogCapture() = default;
    ~DebugLogCapture();
    DebugLogCapture(const DebugLogCapture &) = delete;
    DebugLogCapture &operator=(const DebugLogCapture &) = delete;

    void install();
    QStringList lines() const;
    void clear();

    // True when `expected` occurs as consecutive lines of the log.
    bool containsRun(const QStringList &expected) const;
};
