#pragma once

// The engine's interfaces, declared from its binary layout: every table is QueryInterface, AddRef, Release,
// then the interface's own methods in the order below, and nothing else. No interface has a virtual
// destructor: the engine's IUnknown has none, and an extra slot would shift every method after it (the
// engine's first Release would then run a destructor). Concrete classes may add a virtual destructor:
// its slots come after all interface slots.
// On Windows the interfaces build on the system's IUnknown; only the single x64 calling convention is
// supported there (the methods carry no __stdcall).

#include "common/ComTypes.h"

// {23170F69-40C1-278A-0000-00GG00SS0000}: the form of every engine interface identifier.
constexpr GUID engineInterfaceId(unsigned char group, unsigned char sub)
{
    return GUID{0x23170F69, 0x40C1, 0x278A, {0, 0, 0, group, 0, sub, 0, 0}};
}

#ifndef _WIN32
constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown
{
public:
    virtual HRESULT QueryInterface(const GUID &iid, void **object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // Objects are destroyed by their last Release, never through an interface pointer.
    ~IUnknown() = default;
};
#endif

constexpr GUID IID_IProgress = engineInterfaceId(0x00, 0x05);
constexpr GUID IID_ISequentialInStream = engineInterfaceId(0x03, 0x01);
constexpr GUID IID_ISequentialOutStream = engineInterfaceId(0x03, 0x02);
constexpr GUID IID_IInStream = engineInterfaceId(0x03, 0x03);
constexpr GUID IID_IOutStream = engineInterfaceId(0x03, 0x04);
constexpr GUID IID_IStreamGetSize = engineInterfaceId(0x03, 0x06);
constexpr GUID IID_IStreamGetProps = engineInterfaceId(0x03, 0x08);
constexpr GUID IID_IStreamGetProps2 = engineInterfaceId(0x03, 0x09);
constexpr GUID IID_ICryptoGetTextPassword = engineInterfaceId(0x05, 0x10);
constexpr GUID IID_ICryptoGetTextPassword2 = engineInterfaceId(0x05, 0x11);
constexpr GUID IID_IArchiveOpenCallback = engineInterfaceId(0x06, 0x10);
constexpr GUID IID_IArchiveExtractCallback = engineInterfaceId(0x06, 0x20);
constexpr GUID IID_IInArchive = engineInterfaceId(0x06, 0x60);
constexpr GUID IID_IArchiveUpdateCallback = engineInterfaceId(0x06, 0x80);
constexpr GUID IID_IArchiveUpdateCallback2 = engineInterfaceId(0x06, 0x82);
constexpr GUID IID_IOutArchive = engineInterfaceId(0x06, 0xA0);
constexpr GUID IID_ISetProperties = engineInterfaceId(0x06, 0x03);

// The Zip format handler, used for reading and for writing.
constexpr GUID CLSID_ZipHandler = {
    0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, 0x01, 0x00, 0x00}};

// Item and archive property identifiers.
enum EnginePropId : PROPID {
    kpidPath = 3,
    kpidIsDir = 6,
    kpidSize = 7,
    kpidAttrib = 9,
    kpidCTime = 10,
    kpidATime = 11,
    kpidMTime = 12,
    kpidIsAnti = 21,
    kpidErrorFlags = 71,
};

// askExtractMode of GetStream and PrepareOperation.
enum ExtractAskMode : Int32 {
    kAskExtract = 0,
    kAskTest = 1,
    kAskSkip = 2,
};

// SetOperationResult of an extraction.
enum ExtractOperationResult : Int32 {
    kOpResultOk = 0,
    kOpResultUnsupportedMethod = 1,
    kOpResultDataError = 2,
    kOpResultCrcError = 3,
    kOpResultUnavailable = 4,
    kOpResultUnexpectedEnd = 5,
    kOpResultDataAfterEnd = 6,
    kOpResultIsNotArchive = 7,
    kOpResultHeadersError = 8,
};

// Archive error flag (property kpidErrorFlags): the archive ended before its directory did.
constexpr UInt32 kArchiveErrorUnexpectedEnd = 0x20;

// HRESULT CreateObject(const GUID *classId, const GUID *interfaceId, void **object)
using CreateObjectFunction = HRESULT (*)(const GUID *classId, const GUID *interfaceId, void **object);
// HRESULT GetModuleProp(PROPID, PROPVARIANT *)
using GetModulePropFunction = HRESULT (*)(PROPID propId, PROPVARIANT *value);

// The 64-byte record of IStreamGetProps2.
struct StreamFileProps
{
    UInt64 Size;
    UInt64 VolId;       // volume serial number, zero-extended
    UInt64 FileId_Low;  // the whole platform file index: high 32 bits in the upper half
    UInt64 FileId_High; // always 0
    UInt32 NumLinks;    // always 1
    UInt32 Attrib;      // Windows attribute bits
    FILETIME CTime;
    FILETIME ATime;
    FILETIME MTime;
};
static_assert(sizeof(StreamFileProps) == 64, "the file properties record is 64 bytes");

class IProgress : public IUnknown
{
public:
    virtual HRESULT SetTotal(UInt64 total) = 0;
    virtual HRESULT SetCompleted(const UInt64 *completeValue) = 0;
};

class ISequentialInStream : public IUnknown
{
public:
    virtual HRESULT Read(void *data, UInt32 size, UInt32 *processedSize) = 0;
};

class ISequentialOutStream : public IUnknown
{
public:
    virtual HRESULT Write(const void *data, UInt32 size, UInt32 *processedSize) = 0;
};

// Seek origins: 0 from the start, 1 from the current position, 2 from the end.
class IInStream : public ISequentialInStream
{
public:
    virtual HRESULT Seek(Int64 offset, UInt32 seekOrigin, UInt64 *newPosition) = 0;
};

class IOutStream : public ISequentialOutStream
{
public:
    virtual HRESULT Seek(Int64 offset, UInt32 seekOrigin, UInt64 *newPosition) = 0;
    virtual HRESULT SetSize(UInt64 newSize) = 0;
};

class IStreamGetSize : public IUnknown
{
public:
    virtual HRESULT GetSize(UInt64 *size) = 0;
};

class IStreamGetProps : public IUnknown
{
public:
    virtual HRESULT GetProps(UInt64 *size, FILETIME *creationTime, FILETIME *accessTime, FILETIME *writeTime,
                             UInt32 *attributes) = 0;
};

class IStreamGetProps2 : public IUnknown
{
public:
    virtual HRESULT GetProps2(StreamFileProps *props) = 0;
};

class ICryptoGetTextPassword : public IUnknown
{
public:
    virtual HRESULT CryptoGetTextPassword(BSTR *password) = 0;
};

class ICryptoGetTextPassword2 : public IUnknown
{
public:
    virtual HRESULT CryptoGetTextPassword2(Int32 *passwordIsDefined, BSTR *password) = 0;
};

class IArchiveOpenCallback : public IUnknown
{
public:
    virtual HRESULT SetTotal(const UInt64 *files, const UInt64 *bytes) = 0;
    virtual HRESULT SetCompleted(const UInt64 *files, const UInt64 *bytes) = 0;
};

class IArchiveExtractCallback : public IProgress
{
public:
    virtual HRESULT GetStream(UInt32 index, ISequentialOutStream **outStream, Int32 askExtractMode) = 0;
    virtual HRESULT PrepareOperation(Int32 askExtractMode) = 0;
    virtual HRESULT SetOperationResult(Int32 operationResult) = 0;
};

class IArchiveUpdateCallback : public IProgress
{
public:
    virtual HRESULT GetUpdateItemInfo(UInt32 index, Int32 *newData, Int32 *newProperties,
                                      UInt32 *indexInArchive) = 0;
    virtual HRESULT GetProperty(UInt32 index, PROPID propId, PROPVARIANT *value) = 0;
    virtual HRESULT GetStream(UInt32 index, ISequentialInStream **inStream) = 0;
    virtual HRESULT SetOperationResult(Int32 operationResult) = 0;
};

class IArchiveUpdateCallback2 : public IArchiveUpdateCallback
{
public:
    virtual HRESULT GetVolumeSize(UInt32 index, UInt64 *size) = 0;
    virtual HRESULT GetVolumeStream(UInt32 index, ISequentialOutStream **volumeStream) = 0;
};

class IInArchive : public IUnknown
{
public:
    virtual HRESULT Open(IInStream *stream, const UInt64 *maxCheckStartPosition,
                         IArchiveOpenCallback *openCallback) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT GetNumberOfItems(UInt32 *numItems) = 0;
    virtual HRESULT GetProperty(UInt32 index, PROPID propId, PROPVARIANT *value) = 0;
    virtual HRESULT Extract(const UInt32 *indices, UInt32 numItems, Int32 testMode,
                            IArchiveExtractCallback *extractCallback) = 0;
    virtual HRESULT GetArchiveProperty(PROPID propId, PROPVARIANT *value) = 0;
    virtual HRESULT GetNumberOfProperties(UInt32 *numProps) = 0;
    virtual HRESULT GetPropertyInfo(UInt32 index, BSTR *name, PROPID *propId, VARTYPE *varType) = 0;
    virtual HRESULT GetNumberOfArchiveProperties(UInt32 *numProps) = 0;
    virtual HRESULT GetArchivePropertyInfo(UInt32 index, BSTR *name, PROPID *propId, VARTYPE *varType) = 0;
};

class IOutArchive : public IUnknown
{
public:
    virtual HRESULT UpdateItems(ISequentialOutStream *outStream, UInt32 numItems,
                                IArchiveUpdateCallback *updateCallback) = 0;
    virtual HRESULT GetFileTimeType(UInt32 *type) = 0;
};

// The writer's options by name ("x": the compression level, 0 stores), set before UpdateItems.
class ISetProperties : public IUnknown
{
public:
    virtual HRESULT SetProperties(const wchar_t *const *names, const PROPVARIANT *values, UInt32 count) = 0;
};
