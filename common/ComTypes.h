#pragma once

// The plain types, value records and result codes of the engine's COM-style binary interface.
// On Linux x86_64 they are declared here with the exact sizes the engine library was built with
// (LONG/HRESULT are 32-bit: never `long`; OLECHAR is the 4-byte wchar_t). Only types and constants
// live here: nothing in this header becomes a linker symbol the engine could pick up instead of its own.

#include <cstddef>
#include <cstdint>
#include <cstring>

using Int32 = std::int32_t;
using UInt32 = std::uint32_t;
using Int64 = std::int64_t;
using UInt64 = std::uint64_t;
using UInt16 = std::uint16_t;

#ifdef _WIN32
// Windows declares every name below itself (result codes as macros, the records in propidl.h).
#include <propidl.h>
#include <windows.h>
#else

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using PROPID = std::uint32_t;
using VARTYPE = unsigned short;
using VARIANT_BOOL = short;
using OLECHAR = wchar_t;
using BSTR = OLECHAR *;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_ABORT = static_cast<HRESULT>(0x80004004u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT STG_E_INVALIDFUNCTION = static_cast<HRESULT>(0x80030001u);

enum VarType : VARTYPE {
    VT_EMPTY = 0,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_UI8 = 21,
    VT_FILETIME = 64,
};

// 100-nanosecond intervals since 1601-01-01 UTC, low half first.
struct FILETIME
{
    UInt32 dwLowDateTime;
    UInt32 dwHighDateTime;
};

struct GUID
{
    UInt32 Data1;
    UInt16 Data2;
    UInt16 Data3;
    unsigned char Data4[8];
};

inline bool operator==(const GUID &a, const GUID &b)
{
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

inline bool operator!=(const GUID &a, const GUID &b)
{
    return !(a == b);
}

struct ULARGE_INTEGER
{
    UInt64 QuadPart;
};

struct LARGE_INTEGER
{
    Int64 QuadPart;
};

// vt at 0, three reserved shorts, the value at 8. For a FILETIME handed to the engine wReserved1 stays 0:
// the engine reads it as the time's precision.
struct PROPVARIANT
{
    VARTYPE vt;
    unsigned short wReserved1;
    unsigned short wReserved2;
    unsigned short wReserved3;
    union {
        char cVal;
        unsigned char bVal;
        short iVal;
        unsigned short uiVal;
        Int32 lVal;
        UInt32 ulVal;
        Int32 intVal;
        UInt32 uintVal;
        LARGE_INTEGER hVal;
        ULARGE_INTEGER uhVal;
        VARIANT_BOOL boolVal;
        Int32 scode;
        FILETIME filetime;
        BSTR bstrVal;
    };
};

static_assert(sizeof(FILETIME) == 8, "FILETIME crosses the engine boundary");
static_assert(sizeof(GUID) == 16, "GUID crosses the engine boundary");
static_assert(sizeof(PROPVARIANT) == 16 && alignof(PROPVARIANT) == 8,
              "PROPVARIANT crosses the engine boundary");
static_assert(offsetof(PROPVARIANT, filetime) == 8, "the value of a PROPVARIANT starts at offset 8");

#endif // _WIN32
