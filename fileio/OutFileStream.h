#pragma once

// The output stream extracted files and new archives are written through. Created with a count of 0: the
// creator takes the first reference at once, and the last Release closes the file.

#include "common/EngineInterfaces.h"
#include "common/RefCounted.h"
#include "fileio/DiskFile.h"

#include <atomic>
#include <string>

class COutFileStream : public IOutStream, public CMyUnknownImp
{
public:
    COutFileStream() = default;
    ~COutFileStream() override = default;

    bool OpenForWrite(const WideString &path, CDiskFile::Disposition disposition)
    {
        return file.OpenForWrite(path, disposition);
    }
    CDiskFile &diskFile() { return file; }

    // The total written through Write since the last reset.
    UInt64 processedSize() const { return processed; }
    void resetProcessedSize() { processed = 0; }

    // Once `*stop` is true, every Write answers E_ABORT without writing (the flag may be set from another
    // thread). Null: writes are never stopped.
    void stopWritesWhen(const std::atomic<bool> *stop) { stopFlag = stop; }
    // The system's reason for the first Write that failed (LastErrorText); empty while none has.
    const std::string &writeFailure() const { return firstWriteFailure; }

    // Answers IUnknown and IOutStream only; not ISequentialOutStream.
    HRESULT QueryInterface(const GUID &iid, void **object) override;
    VELMORA_UNKNOWN_REFCOUNT

    // E_ABORT, nothing written, once stopped (stopWritesWhen).
    HRESULT Write(const void *data, UInt32 size, UInt32 *processedSize) override;
    HRESULT Seek(Int64 offset, UInt32 seekOrigin, UInt64 *newPosition) override;
    // Cuts or extends the file and keeps the position; E_FAIL (no last-error result) on any failure.
    HRESULT SetSize(UInt64 newSize) override;

    // S_OK when closed or already closed, else the last-error result.
    HRESULT Close();
    // Sets the last write time only.
    bool SetModificationTime(const FILETIME &time) { return file.SetModificationTime(time); }

private:
    CDiskFile file;
    UInt64 processed = 0;
    const std::atomic<bool> *stopFlag = nullptr;
    std::string firstWriteFailure;
};
