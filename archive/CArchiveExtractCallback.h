#pragma once

#include "common/ComPtr.h"
#include "common/EngineInterfaces.h"
#include "common/RefCounted.h"
#include "common/WideString.h"

#include <atomic>

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
    // trailing separator unless it is empty. Once `*stop` is true (it may be set from another thread; null
    // never stops), progress reports, stream requests and the output files' writes answer E_ABORT.
    void Init(IInArchive *archive, const WideString &outputDir, const std::atomic<bool> *stop);

    // IUnknown and the password interface are answered with the password face; nothing else.
    HRESULT QueryInterface(const GUID &iid, void **object) override;
    VELMORA_UNKNOWN_REFCOUNT

    HRESULT SetTotal(UInt64 total) override;
    // A null pointer is ignored.
    HRESULT SetCompleted(const UInt64 *completeValue) override;
    // Refuses an index beyond the archive's items (E_INVALIDARG), and with E_ABORT (logged): an item path
    // that would lead outside the output directory, and a directory that cannot be made inside it (taken
    // by a file, a name over the limit, or a symbolic link found there, which is never followed).
    HRESULT GetStream(UInt32 index, ISequentialOutStream **outStream, Int32 askExtractMode) override;
    HRESULT PrepareOperation(Int32 askExtractMode) override;
    HRESULT SetOperationResult(Int32 operationResult) override;
    HRESULT CryptoGetTextPassword(BSTR *password) override;

    // Items the engine reported as failed through SetOperationResult.
    UInt32 failedItemCount() const { return failedItems; }
    // Called when the engine's Extract has returned. The engine leaves an item without SetOperationResult
    // when a write failed or a call answered E_ABORT: its file holds part of the data and is deleted, so
    // that it never passes for extracted. A failed write's reason is logged.
    void discardUnfinishedItem();

    bool passwordDefined = false;
    WideString password;

private:
    HRESULT getStream(UInt32 index, ISequentialOutStream **outStream, Int32 askExtractMode);
    // Reads the current item's attributes, directory flag, time and size (steps that may fail with E_FAIL).
    HRESULT readItemProperties(UInt32 index);
    // Makes the directory part of the current item (all of it for a directory item) inside the output
    // directory; logs the failure.
    bool createItemDirectory();
    HRESULT openOutputFile(ISequentialOutStream **outStream);
    bool stopRequested() const { return stopFlag && stopFlag->load(std::memory_order_relaxed); }
    HRESULT finishItem(Int32 operationResult);

    ComPtr<IInArchive> archive;
    UInt32 itemCount = 0;
    const std::atomic<bool> *stopFlag = nullptr;
    WideString outputDir;
    // The item directory made last: the items of one directory follow each other, and nothing this
    // extraction does turns a directory it made into something else.
    WideString madeDirectory;
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
