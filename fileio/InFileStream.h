#pragma once

// The input stream the engine reads archives and input files through. Created with a count of 0: the
// creator takes the first reference at once, and the last Release closes the file.

#include "common/EngineInterfaces.h"
#include "common/RefCounted.h"
#include "fileio/DiskFile.h"

class CInFileStream : public IInStream,
                      public IStreamGetSize,
                      public IStreamGetProps,
                      public IStreamGetProps2,
                      public CMyUnknownImp
{
public:
    CInFileStream() = default;
    ~CInFileStream() override = default;

    bool OpenForRead(const WideString &path) { return file.OpenForRead(path); }
    CDiskFile &diskFile() { return file; }

    // Answers IUnknown, IInStream, IStreamGetSize, IStreamGetProps and IStreamGetProps2; not
    // ISequentialInStream.
    HRESULT QueryInterface(const GUID &iid, void **object) override;
    VELMORA_UNKNOWN_REFCOUNT

    // At most 4 MiB per call; S_OK also for a short read or none at the end.
    HRESULT Read(void *data, UInt32 size, UInt32 *processedSize) override;
    // Origin 3 or more: STG_E_INVALIDFUNCTION, nothing moved.
    HRESULT Seek(Int64 offset, UInt32 seekOrigin, UInt64 *newPosition) override;
    HRESULT GetSize(UInt64 *size) override;
    // These two return the bare error number (positive) on failure.
    HRESULT GetProps(UInt64 *size, FILETIME *creationTime, FILETIME *accessTime, FILETIME *writeTime,
                     UInt32 *attributes) override;
    HRESULT GetProps2(StreamFileProps *props) override;

private:
    CDiskFile file;
};
