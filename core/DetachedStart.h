#pragma once

#include <QString>

// Starts the program at path as a detached process: the command line is the quoted path alone, run in
// the caller's working directory. Returns whether the process could be started.
[[nodiscard]] bool startQuotedDetached(const QString &path);
