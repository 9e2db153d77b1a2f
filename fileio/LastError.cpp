#include "fileio/LastError.h"

#ifdef _WIN32

UInt32 GetLastErrorNumber()
{
    return GetLastError();
}

void SetLastErrorNumber(UInt32 error)
{
    SetLastError(error);
}

#else

#include <cerrno>

namespace {
thread_local UInt32 lastError = 0;
} // namespace

UInt32 GetLastErrorNumber()
{
    return lastError;
}

void SetLastErrorNumber(UInt32 error)
{
    lastError = error;
}

UInt32 ErrorNumberFromErrno(int errnoValue)
{
    switch (errnoValue) {
    case 0:
        return 0;
    case ENOENT:
        return kErrorFileNotFound;
    case ENOTDIR:
        return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return kErrorAccessDenied;
    case EBADF:
        return kErrorInvalidHandle;
    case ENOMEM:
        return kErrorNotEnoughMemory;
    case EEXIST:
        return kErrorAlreadyExists;
    case EINVAL:
        return kErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return kErrorDiskFull;
    case ENOSYS:
    case EOPNOTSUPP:
        return kErrorNotImplemented;
    case ENOTEMPTY:
        return kErrorDirNotEmpty;
    case ENAMETOOLONG:
        return kErrorFilenameTooLong;
    case EILSEQ:
        return kErrorNoUnicodeTranslation;
    default:
        // Keeps the errno recognisable in the low bits of the last-error result, as the engine does.
        return 0x88000000u | static_cast<UInt32>(errnoValue);
    }
}

#endif

HRESULT ResultFromErrorNumber(UInt32 error)
{
    if (error == 0)
        return E_FAIL;
    if (error & 0x80000000u)
        return static_cast<HRESULT>(error);
    return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

HRESULT LastErrorResult()
{
    return ResultFromErrorNumber(GetLastErrorNumber());
}
