#pragma once

#include "common/ComTypes.h"
#include "common/WideString.h"

// The callbacks' answer to a password request. Without a defined password the request is refused
// ("Password is not defined", E_ABORT); otherwise `answer` receives an engine-owned copy of the password.
HRESULT answerPassword(bool passwordDefined, const WideString &password, BSTR *answer);

// An engine-owned copy of `password` in `answer`: S_OK, or E_OUTOFMEMORY.
HRESULT copyPassword(const WideString &password, BSTR *answer);
