#pragma once

// Path classification rules, pure functions over wide strings. They read Windows path forms (drive
// letters, \\?\ long paths, \\server\share roots) on every platform; a separator is a backslash or a slash.

#include "common/WideString.h"

bool IsPathSeparator(wchar_t c);
// letter, colon
bool HasDrivePrefix(const WideString &path);
// letter, colon, separator
bool HasDriveRootPrefix(const WideString &path);
// separator, separator, '?', separator
bool HasLongPathPrefix(const WideString &path);
// the long-path prefix, then U, N, C in any case, then a separator
bool HasLongUncPrefix(const WideString &path);
// after an optional long-path prefix: letter, colon, separator, and nothing more
bool IsDriveRoot(const WideString &path);
// Index of the colon that starts a stream name in the last component, or -1.
int FindStreamColon(const WideString &path);
// For a path starting with two separators: the index just past the separator after the server name, or 0.
int ServerPrefixLength(const WideString &path);
// For the text after the two leading separators of a network path: the length of "server\share\", or 0.
int ShareRootLength(const WideString &text);
// Length of the root part a directory chain may not climb above.
int RootPrefixLength(const WideString &path);
// Code units equal after upper-casing (a-z by subtracting 32, above 127 by the platform's mapping).
bool EqualsNoCase(const WideString &a, const WideString &b);
// Units equal, or both below 128 and equal after lower-casing A-Z.
bool EqualsAsciiNoCase(const WideString &a, const char *ascii);
// A name Windows reads as a device in every directory: CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM and LPT
// followed by a digit or a superscript 1, 2 or 3; in any letter case, and also with an extension or
// trailing spaces before it ("aux.txt", "nul .tar.gz"). `name` is one path component.
bool IsReservedDeviceName(const WideString &name);
// Index of the last / first separator, or -1.
int LastSeparator(const WideString &path);
int FirstSeparator(const WideString &path);

// The stream name FindEntry enumerates for: the text from the colon on, with ":$DATA" appended unless it
// is longer than 6 characters and already ends in it (":extra" -> ":extra:$DATA").
WideString StreamLookupName(const WideString &streamPart);
// The name a matching enumerated stream adds to the entry: ":$DATA" cut off when the reported name is
// longer than 7 characters, so the unnamed stream ("::$DATA") stays whole.
WideString StreamEntrySuffix(const WideString &reportedName);
