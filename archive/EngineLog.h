#pragma once

#include "common/WideString.h"

#include <string>

// Writes an error to the debug log as four lines: "Error: ", an empty line, the message, an empty line.
void LogError(const char *message);

// Writes a path as one debug line, in the 8-bit text of ToOemText.
void LogPathLine(const WideString &path);

// Writes the system's reason for a failure (LastErrorText) as one debug line.
void LogReasonLine(const std::string &reason);
