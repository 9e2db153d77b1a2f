#pragma once

// The thread's last-error number: Windows error numbers on every platform (on Linux mapped from errno by
// the platform layer), so rules that test an error number read the same everywhere.

#include "common/ComTypes.h"

#include <string>

constexpr UInt32 kErrorFileNotFound = 2;
constexpr UInt32 kErrorPathNotFound = 3;
constexpr UInt32 kErrorAccessDenied = 5;
constexpr UInt32 kErrorInvalidHandle = 6;
constexpr UInt32 kErrorNotEnoughMemory = 8;
constexpr UInt32 kErrorSharingViolation = 32;
constexpr UInt32 kErrorHandleEof = 38;
constexpr UInt32 kErrorFileExists = 80;
constexpr UInt32 kErrorInvalidParameter = 87;
constexpr UInt32 kErrorDiskFull = 112;
constexpr UInt32 kErrorNotImplemented = 120;
constexpr UInt32 kErrorInsufficientBuffer = 122;
constexpr UInt32 kErrorNegativeSeek = 131;
constexpr UInt32 kErrorDirNotEmpty = 145;
constexpr UInt32 kErrorAlreadyExists = 183;
constexpr UInt32 kErrorFilenameTooLong = 206;
constexpr UInt32 kErrorNoUnicodeTranslation = 1113;

UInt32 GetLastErrorNumber();
void SetLastErrorNumber(UInt32 error);
// The system's own words for the last error, for the debug log: the message of the error number on
// Windows; on Linux strerror of the errno behind it (or "error N" when the number was set directly).
std::string LastErrorText();

// The last-error result of a failed call: E_FAIL when the number is 0, the number itself when its top bit
// is set, else 0x80070000 | (number & 0xFFFF).
HRESULT LastErrorResult();
HRESULT ResultFromErrorNumber(UInt32 error);

#ifndef _WIN32
// The Windows error number that stands for an errno value.
UInt32 ErrorNumberFromErrno(int errnoValue);
// Sets the last error to `error` and keeps `errnoValue` for LastErrorText.
void SetLastErrorFromErrno(int errnoValue, UInt32 error);
#endif
