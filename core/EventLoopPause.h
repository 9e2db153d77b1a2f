#pragma once

// Waits the given time while the calling thread keeps processing events (timers, network replies):
// a local event loop that a single-shot timer quits. Returns false when the loop ended early because
// the application is quitting: whatever was to follow the pause should not happen any more.
[[nodiscard]] bool pauseProcessingEvents(int milliseconds);
