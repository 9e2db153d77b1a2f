#pragma once

#include <QStringList>

// Records the debug lines of this process (they still reach the test log as well).
namespace DebugLog {
void startRecording();
QStringList &lines();
} // namespace DebugLog
