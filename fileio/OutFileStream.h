#pragma once

// The output stream extracted files and new archives are written through. Created with a count of 0: the
// creator takes the first reference at once, and the last Release closes the file.

#include "common/EngineInterfaces.h"
#include "common/MyUnknown.h"
#include "fileio/DiskFile.h"

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

    // Answers IUnknown and IOutStream only; not ISequentialOutStream.
    HRESULT QueryInterface(const GUID &iid, void **object) override;
    VELMORA_UNKNOWN_REFCOUNT

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
};
