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

std::string LastErrorText()
{
    const DWORD error = GetLastError();
    char *message = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
    std::string text = length != 0 ? std::string(message, length) : "error " + std::to_string(error);
    LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

#else

#include <cerrno>
#include <cstring>

namespace {
thread_local UInt32 lastError = 0;
// The errno behind lastError; 0 when the number was set directly.
thread_local int lastErrno = 0;
} // namespace

UInt32 GetLastErrorNumber()
{
    return lastError;
}

void SetLastErrorNumber(UInt32 error)
{
    lastError = error;
    lastErrno = 0;
}

void SetLastErrorFromErrno(int errnoValue, UInt32 error)
{
    lastError = error;
    lastErrno = errnoValue;
}

std::string LastErrorText()
{
    return lastErrno != 0 ? std::string(std::strerror(lastErrno)) : "error " + std::to_string(lastError);
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
