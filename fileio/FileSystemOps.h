#pragma once

// Path-level file-system operations under the engine callbacks. Each returns whether it succeeded and
// leaves the reason in the thread's last error (LastError.h).

#include "common/WideString.h"
#include "fileio/DiskFile.h"
#include "fileio/FileAttributes.h"
#include "fileio/FoundEntry.h"
#include "fileio/LastError.h"
#include "fileio/PathRules.h"

// What is at `path`: a file, a directory, a drive root, a share, or (Windows) a file's named stream.
// On Linux a colon is an ordinary character: "a:b" is found as a file of that name. When "a:b" does not
// exist but "a" does, the stream form applies and fails with error 120 (no named streams).
[[nodiscard]] bool FindEntry(const WideString &path, CFoundEntry &entry);
// Creates the directory and every missing parent; true when it exists afterwards.
[[nodiscard]] bool CreateDirectoryChain(const WideString &path);
// Creates the directory `relative` and its missing parents inside the directory `base` (itself created when
// missing); true when it exists afterwards. On Linux no level below `base` is followed if it is a symbolic
// link (such a level fails like a file in the way, error 183), the work grows linearly with the depth, and
// a path longer than the system's limit fails at once (error 206). Elsewhere it is
// CreateDirectoryChain(base + relative).
[[nodiscard]] bool CreateDirectoryChainBeneath(const WideString &base, const WideString &relative);
// Deletes a file, clearing its read-only attribute first.
[[nodiscard]] bool ForceDeleteFile(const WideString &path);
// Applies an archive item's attributes. Values with any of the top four bits set apply their low 14 bits
// only. On Linux a value carrying a Unix mode (0x8000 and the mode in the high 16 bits) applies its
// permission bits (& 0777, never set-user-id, set-group-id or sticky); otherwise read-only clears the
// write bits. A directory keeps its owner's access, so extraction can go on into it. A symbolic link at the
// path is refused, never followed.
[[nodiscard]] bool ApplyFileAttributes(const WideString &path, UInt32 attributes);
// The same for a file still open for writing through `file`, before it is closed. On Linux the open
// descriptor gets them: its path is not looked up again, and what changes is the file just written (opened
// without following a link, never a directory). Elsewhere this fails with error 120, and the attributes are
// applied by path once the file is closed.
[[nodiscard]] bool ApplyFileAttributes(CDiskFile &file, UInt32 attributes);
// Appends a backslash to a non-empty path that does not end in a separator.
void EnsureTrailingSeparator(WideString &path);
// The text in the OEM code page (Linux: the locale's multibyte text), '_' for what does not map. Throws
// the int 282228 when the conversion fails.
void ToOemText(const WideString &text, NarrowString &target);
