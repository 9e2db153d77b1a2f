#include "archive/PasswordAnswer.h"

#include "archive/EngineLog.h"
#include "common/Bstr.h"

HRESULT answerPassword(bool passwordDefined, const WideString &password, BSTR *answer)
{
    if (!passwordDefined) {
        LogError("Password is not defined");
        return E_ABORT;
    }
    return copyPassword(password, answer);
}

HRESULT copyPassword(const WideString &password, BSTR *answer)
{
    *answer = AllocBstrLen(password.data(), password.length());
    return *answer ? S_OK : E_OUTOFMEMORY;
}
