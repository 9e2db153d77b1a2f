#include "fileio/InFileStream.h"

#include "fileio/LastError.h"

HRESULT CInFileStream::QueryInterface(const GUID &iid, void **object)
{
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IInStream)
        return answerInterface(static_cast<IInStream *>(this), object);
    if (iid == IID_IStreamGetSize)
        return answerInterface(static_cast<IStreamGetSize *>(this), object);
    if (iid == IID_IStreamGetProps)
        return answerInterface(static_cast<IStreamGetProps *>(this), object);
    if (iid == IID_IStreamGetProps2)
        return answerInterface(static_cast<IStreamGetProps2 *>(this), object);
    return E_NOINTERFACE;
}

HRESULT CInFileStream::Read(void *data, UInt32 size, UInt32 *processedSize)
{
    UInt32 processed = 0;
    const bool ok = file.ReadChunk(data, size, processed);
    if (processedSize)
        *processedSize = processed;
    return ok ? S_OK : LastErrorResult();
}

HRESULT CInFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64 *newPosition)
{
    return file.SeekResult(offset, seekOrigin, newPosition);
}

HRESULT CInFileStream::GetSize(UInt64 *size)
{
    UInt64 length = 0;
    if (!file.QuerySize(length))
        return LastErrorResult();
    *size = length;
    return S_OK;
}

HRESULT CInFileStream::GetProps(UInt64 *size, FILETIME *creationTime, FILETIME *accessTime,
                                FILETIME *writeTime, UInt32 *attributes)
{
    Platform::FileInformation info;
    if (!file.QueryInformation(info))
        return static_cast<HRESULT>(GetLastErrorNumber());
    if (size)
        *size = info.size;
    if (creationTime)
        *creationTime = info.creationTime;
    if (accessTime)
        *accessTime = info.accessTime;
    if (writeTime)
        *writeTime = info.writeTime;
    if (attributes)
        *attributes = info.attributes;
    return S_OK;
}

HRESULT CInFileStream::GetProps2(StreamFileProps *props)
{
    Platform::FileInformation info;
    if (!file.QueryInformation(info))
        return static_cast<HRESULT>(GetLastErrorNumber());
    props->Size = info.size;
    props->VolId = info.volumeSerial;
    props->FileId_Low = info.fileIndex;
    props->FileId_High = 0;
    props->NumLinks = 1;
    props->Attrib = info.attributes;
    props->CTime = info.creationTime;
    props->ATime = info.accessTime;
    props->MTime = info.writeTime;
    return S_OK;
}
