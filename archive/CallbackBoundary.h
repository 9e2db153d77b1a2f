#pragma once

#include "common/ComTypes.h"
#include "common/EngineError.h"

#include <new>

// Runs the body of a method the engine calls. A C++ exception must never unwind into the engine (it
// would end the process): running out of memory answers E_OUTOFMEMORY, anything else E_FAIL.
template <typename Body> HRESULT callbackBoundary(Body &&body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    } catch (const EngineError &error) {
        return error.isOutOfMemory() ? E_OUTOFMEMORY : E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}
