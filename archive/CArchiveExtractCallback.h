#pragma once

#include "common/ComPtr.h"
#include "common/EngineInterfaces.h"
#include "common/MyUnknown.h"
#include "common/WideString.h"

class COutFileStream;

// Handed to the engine for an extraction: places every item under the output directory, opens its output
// file, puts the item's time and attributes on it, logs each item and reports progress and names through
// the worker's signals. No password is ever defined, so encrypted items are refused.
class CArchiveExtractCallback : public IArchiveExtractCallback,
                                public ICryptoGetTextPassword,
                                public CMyUnknownImp
{
public:
    // Holds `archive` (the open archive the engine extracts from) and the output directory, given a
    // trailing separator unless it is empty.
    void Init(IInArchive *archive, const WideString &outputDir);

    // IUnknown and the password interface are answered with the password face; nothing else.
    HRESULT QueryInterface(const GUID &iid, void **object) override;
    VELMORA_UNKNOWN_REFCOUNT

    HRESULT SetTotal(UInt64 total) override;
    // A null pointer is ignored.
    HRESULT SetCompleted(const UInt64 *completeValue) override;
    // Refuses an index beyond the archive's items (E_INVALIDARG) and an item path that would lead outside
    // the output directory (E_ABORT, logged).
    HRESULT GetStream(UInt32 index, ISequentialOutStream **outStream, Int32 askExtractMode) override;
    HRESULT PrepareOperation(Int32 askExtractMode) override;
    HRESULT SetOperationResult(Int32 operationResult) override;
    HRESULT CryptoGetTextPassword(BSTR *password) override;

    // Items the engine reported as failed through SetOperationResult.
    UInt32 failedItemCount() const { return failedItems; }

    bool passwordDefined = false;
    WideString password;

private:
    HRESULT getStream(UInt32 index, ISequentialOutStream **outStream, Int32 askExtractMode);
    // Reads the current item's attributes, directory flag, time and size (steps that may fail with E_FAIL).
    HRESULT readItemProperties(UInt32 index);
    HRESULT openOutputFile(ISequentialOutStream **outStream);
    HRESULT finishItem(Int32 operationResult);

    ComPtr<IInArchive> archive;
    UInt32 itemCount = 0;
    WideString outputDir;
    WideString itemPath;
    WideString diskPath;
    bool extractMode = false;
    FILETIME itemMTime{};
    UInt32 itemAttrib = 0;
    bool itemIsDir = false;
    bool attribDefined = false;
    bool mtimeDefined = false;
    COutFileStream *outFile = nullptr;
    ComPtr<ISequentialOutStream> outStream;
    UInt64 totalSize = 0;
    UInt32 failedItems = 0;
};
