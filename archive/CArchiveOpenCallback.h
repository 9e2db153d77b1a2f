#pragma once

#include "common/EngineInterfaces.h"
#include "common/RefCounted.h"
#include "common/WideString.h"

// Handed to the engine while it opens an archive. Progress is not reported, and as no password is ever
// defined an encrypted archive header is refused.
class CArchiveOpenCallback : public IArchiveOpenCallback, public ICryptoGetTextPassword, public CMyUnknownImp
{
public:
    // IUnknown and the password interface are answered with the password face; nothing else.
    HRESULT QueryInterface(const GUID &iid, void **object) override;
    VELMORA_UNKNOWN_REFCOUNT

    HRESULT SetTotal(const UInt64 *files, const UInt64 *bytes) override;
    HRESULT SetCompleted(const UInt64 *files, const UInt64 *bytes) override;
    HRESULT CryptoGetTextPassword(BSTR *password) override;

    bool passwordDefined = false;
    WideString password;
};
