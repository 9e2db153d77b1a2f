#pragma once

// Waits the given time while the calling thread keeps processing events (timers, network replies):
// a local event loop that a single-shot timer quits.
void pauseProcessingEvents(int milliseconds);
