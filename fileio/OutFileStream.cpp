#include "fileio/OutFileStream.h"

#include "fileio/LastError.h"

HRESULT COutFileStream::QueryInterface(const GUID &iid, void **object)
{
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOutStream)
        return answerInterface(static_cast<IOutStream *>(this), object);
    return E_NOINTERFACE;
}

HRESULT COutFileStream::Write(const void *data, UInt32 size, UInt32 *processedSize)
{
    if (processedSize)
        *processedSize = 0;
    // Checked on every write, so that a stop takes effect within one write whatever the engine's progress
    // reports.
    if (stopFlag && stopFlag->load(std::memory_order_relaxed))
        return E_ABORT;
    UInt32 written = 0;
    const bool ok = file.WriteAll(data, size, written);
    processed += written;
    if (processedSize)
        *processedSize = written;
    if (ok)
        return S_OK;
    const HRESULT result = LastErrorResult();
    if (firstWriteFailure.empty())
        firstWriteFailure = LastErrorText();
    return result;
}

HRESULT COutFileStream::Seek(Int64 offset, UInt32 seekOrigin, UInt64 *newPosition)
{
    return file.SeekResult(offset, seekOrigin, newPosition);
}

HRESULT COutFileStream::SetSize(UInt64 newSize)
{
    UInt64 position = 0;
    if (!file.SeekTo(0, 1, position))
        return E_FAIL;
    if (!file.Resize(newSize))
        return E_FAIL;
    UInt64 restored = 0;
    if (!file.SeekTo(static_cast<Int64>(position), 0, restored))
        return E_FAIL;
    return S_OK;
}

HRESULT COutFileStream::Close()
{
    return file.Close() ? S_OK : LastErrorResult();
}
