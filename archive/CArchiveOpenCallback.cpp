#include "archive/CArchiveOpenCallback.h"

#include "archive/CallbackBoundary.h"
#include "archive/PasswordAnswer.h"

HRESULT CArchiveOpenCallback::QueryInterface(const GUID &iid, void **object)
{
    if (iid == IID_IUnknown || iid == IID_ICryptoGetTextPassword)
        return answerInterface(static_cast<ICryptoGetTextPassword *>(this), object);
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CArchiveOpenCallback::SetTotal(const UInt64 *, const UInt64 *)
{
    return S_OK;
}

HRESULT CArchiveOpenCallback::SetCompleted(const UInt64 *, const UInt64 *)
{
    return S_OK;
}

HRESULT CArchiveOpenCallback::CryptoGetTextPassword(BSTR *answer)
{
    return callbackBoundary([&] { return answerPassword(passwordDefined, password, answer); });
}
