#pragma once

// One operating-system file handle. A new object is closed; destroying it closes the handle.
// Every failing operation leaves the reason in the thread's last error.

#include "common/ComTypes.h"
#include "common/WideString.h"
#include "fileio/Platform.h"

class CDiskFile
{
public:
    // No single read or write moves more than this.
    static constexpr UInt32 kMaxChunk = 4194304;

    enum class Disposition {
        CreateAlways, // create or truncate
        CreateNew,    // fail when the file exists
    };

    CDiskFile() = default;
    ~CDiskFile();
    CDiskFile(const CDiskFile &) = delete;
    CDiskFile &operator=(const CDiskFile &) = delete;

    bool isOpen() const { return handle != Platform::kInvalidHandle; }

    // Both close a handle already held first (failing when that fails). Others may read the file
    // meanwhile, not write it.
    [[nodiscard]] bool OpenForRead(const WideString &path);
    [[nodiscard]] bool OpenForWrite(const WideString &path, Disposition disposition);

    // One read of min(size, kMaxChunk) bytes; `processed` is set in every case.
    [[nodiscard]] bool ReadChunk(void *data, UInt32 size, UInt32 &processed);
    // Writes in calls of at most kMaxChunk bytes until all is written, a call writes 0 bytes (success with
    // a short count) or a call fails; `processed` is the total written in every case.
    [[nodiscard]] bool WriteAll(const void *data, UInt32 size, UInt32 &processed);
    [[nodiscard]] bool SeekTo(Int64 offset, UInt32 origin, UInt64 &newPosition);
    // Seek with the streams' results: STG_E_INVALIDFUNCTION for an origin of 3 or more (nothing moved),
    // the last-error result on failure; the new position is stored when `newPosition` is given.
    HRESULT SeekResult(Int64 offset, UInt32 origin, UInt64 *newPosition);
    [[nodiscard]] bool QuerySize(UInt64 &size);
    // Moves to `length`, checks the position, and marks the end of file there.
    [[nodiscard]] bool Resize(UInt64 length);
    [[nodiscard]] bool QueryInformation(Platform::FileInformation &info);
    // The last write time only.
    [[nodiscard]] bool SetModificationTime(const FILETIME &time);
#ifndef _WIN32
    // Windows attribute bits (only read-only has a meaning) and Unix permission bits (& 0777), set on the
    // open file itself.
    [[nodiscard]] bool SetAttributes(UInt32 attributes);
    [[nodiscard]] bool SetPermissions(UInt32 mode);
#endif
    // True when closed or already closed. A failed close keeps the handle only where the platform keeps it
    // (Windows); a POSIX descriptor is released even when close reports an error.
    [[nodiscard]] bool Close();

private:
    Platform::FileHandle handle = Platform::kInvalidHandle;
};
