#include "fileio/DiskFile.h"

#include "fileio/LastError.h"

#include <algorithm>

CDiskFile::~CDiskFile()
{
    // Nobody is left to hear of a failed close; the descriptor is released either way.
    (void)Close();
}

bool CDiskFile::OpenForRead(const WideString &path)
{
    if (!Close())
        return false;
    handle = Platform::openFile(path, Platform::OpenMode::ReadExisting);
    return isOpen();
}

bool CDiskFile::OpenForWrite(const WideString &path, Disposition disposition)
{
    if (!Close())
        return false;
    handle = Platform::openFile(path, disposition == Disposition::CreateNew
                                          ? Platform::OpenMode::WriteCreateNew
                                          : Platform::OpenMode::WriteCreateAlways);
    return isOpen();
}

bool CDiskFile::ReadChunk(void *data, UInt32 size, UInt32 &processed)
{
    return Platform::readFile(handle, data, std::min(size, kMaxChunk), processed);
}

bool CDiskFile::WriteAll(const void *data, UInt32 size, UInt32 &processed)
{
    processed = 0;
    while (processed < size) {
        UInt32 written = 0;
        const bool ok = Platform::writeFile(handle, static_cast<const unsigned char *>(data) + processed,
                                            std::min(size - processed, kMaxChunk), written);
        processed += written;
        if (!ok)
            return false;
        if (written == 0)
            break;
    }
    return true;
}

bool CDiskFile::SeekTo(Int64 offset, UInt32 origin, UInt64 &newPosition)
{
    return Platform::seekFile(handle, offset, origin, newPosition);
}

HRESULT CDiskFile::SeekResult(Int64 offset, UInt32 origin, UInt64 *newPosition)
{
    if (origin >= 3)
        return STG_E_INVALIDFUNCTION;
    UInt64 position = 0;
    if (!SeekTo(offset, origin, position))
        return LastErrorResult();
    if (newPosition)
        *newPosition = position;
    return S_OK;
}

bool CDiskFile::QuerySize(UInt64 &size)
{
    return Platform::fileSize(handle, size);
}

bool CDiskFile::Resize(UInt64 length)
{
    UInt64 position = 0;
    if (!SeekTo(static_cast<Int64>(length), 0, position) || position != length)
        return false;
    return Platform::setEndOfFile(handle);
}

bool CDiskFile::QueryInformation(Platform::FileInformation &info)
{
    return Platform::fileInformation(handle, info);
}

bool CDiskFile::SetModificationTime(const FILETIME &time)
{
    return Platform::setFileModificationTime(handle, time);
}

#ifndef _WIN32
bool CDiskFile::SetAttributes(UInt32 attributes)
{
    return Platform::setHandleAttributes(handle, attributes);
}

bool CDiskFile::SetPermissions(UInt32 mode)
{
    return Platform::setHandlePermissions(handle, mode);
}
#endif

bool CDiskFile::Close()
{
    if (!isOpen())
        return true;
    const bool closed = Platform::closeFile(handle);
    // Closing a number again could close a file opened meanwhile under the same number.
    if (closed || Platform::kFailedCloseReleasesHandle)
        handle = Platform::kInvalidHandle;
    return closed;
}
