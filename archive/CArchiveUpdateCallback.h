#pragma once

#include "archive/DirItem.h"
#include "common/EngineInterfaces.h"
#include "common/RecordVector.h"
#include "common/RefCounted.h"
#include "common/WideString.h"

#include <atomic>

// Handed to the engine while it writes a new archive: answers for every item of the caller's list, opens
// each file's data, records the files that fail to open, and reports progress and names through the
// worker's signals. No password is defined, so the archive is written without encryption.
// The engine calls SetCompleted and Release from its own threads while it compresses.
class CArchiveUpdateCallback : public IArchiveUpdateCallback2,
                               public ICryptoGetTextPassword2,
                               public CMyUnknownImp
{
public:
    // Writes the pending blank line.
    ~CArchiveUpdateCallback() override;

    // `items` stays the caller's and must outlive the callback.
    void Init(const ObjectVector<DirItem> *items);
    // Writes the blank line an operation result left pending.
    void finishPending();

    // IUnknown and IArchiveUpdateCallback2 give the callback face, ICryptoGetTextPassword2 the password
    // face; nothing else.
    HRESULT QueryInterface(const GUID &iid, void **object) override;
    VELMORA_UNKNOWN_REFCOUNT

    HRESULT SetTotal(UInt64 total) override;
    // A null pointer is ignored.
    HRESULT SetCompleted(const UInt64 *completeValue) override;
    HRESULT GetUpdateItemInfo(UInt32 index, Int32 *newData, Int32 *newProperties,
                              UInt32 *indexInArchive) override;
    // An index beyond the item list answers E_INVALIDARG (except for the is-anti property).
    HRESULT GetProperty(UInt32 index, PROPID propId, PROPVARIANT *value) override;
    // An index beyond the item list answers E_INVALIDARG. A file that cannot be opened is recorded and
    // answered with S_FALSE and no stream, so the engine leaves it out.
    HRESULT GetStream(UInt32 index, ISequentialInStream **inStream) override;
    HRESULT SetOperationResult(Int32 operationResult) override;
    HRESULT GetVolumeSize(UInt32 index, UInt64 *size) override;
    HRESULT GetVolumeStream(UInt32 index, ISequentialOutStream **volumeStream) override;
    HRESULT CryptoGetTextPassword2(Int32 *passwordIsDefined, BSTR *password) override;

    // Paths that failed to open, in the order the engine asked for them, and the error number of each.
    const ObjectVector<WideString> &failedFilePaths() const { return failedFiles; }
    const RecordVector<UInt32> &failedErrorCodes() const { return failedCodes; }

    RecordVector<UInt64> volumeSizes;
    WideString volumeName;
    WideString volumeExt;
    WideString dirPrefix;
    bool passwordDefined = false;
    WideString password;
    bool askPassword = false;

private:
    // The listed item at `index`; null beyond the list (the engine's index is not trusted).
    const DirItem *itemAt(UInt32 index) const;
    HRESULT getProperty(UInt32 index, PROPID propId, PROPVARIANT *value);
    HRESULT getStream(UInt32 index, ISequentialInStream **inStream);
    HRESULT getVolumeStream(UInt32 index, ISequentialOutStream **volumeStream);

    const ObjectVector<DirItem> *dirItems = nullptr;
    std::atomic<bool> needNewLine{false};
    ObjectVector<WideString> failedFiles;
    RecordVector<UInt32> failedCodes;
    UInt64 totalSize = 0;
};
