#pragma once

// Strings that cross the engine boundary in either direction. Allocated exactly as the engine allocates
// them (a 32-bit byte count, the characters, a 4-byte NUL; the BSTR points past the count), because the
// engine frees the ones we hand it (paths, passwords) and we free the ones it hands us.
// Deliberately not named SysAllocString/SysFreeString: the engine reaches its own helpers of those names
// through the dynamic linker and must never be handed ours.

#include "common/ComTypes.h"

// A copy of a NUL-terminated text; null when memory runs out.
BSTR AllocBstr(const wchar_t *text);
// A copy of `length` characters of `text` (text may be null: the characters are then zero); null when memory
// runs out or the length cannot be represented.
BSTR AllocBstrLen(const wchar_t *text, UInt32 length);
// Frees a BSTR from either side; null is accepted.
void FreeBstr(BSTR text);
// Number of characters, from the stored byte count; 0 for null.
UInt32 BstrLength(BSTR text);
