// An engine library with another interface layout: its GetModuleProp reports an IUnknown with a virtual
// destructor. The launcher must refuse to load it.
#include "common/ComTypes.h"

#ifdef _WIN32
#define ENGINE_EXPORT extern "C" __declspec(dllexport)
#else
#define ENGINE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

ENGINE_EXPORT HRESULT GetModuleProp(PROPID propId, PROPVARIANT *value)
{
    value->vt = VT_UI4;
    value->ulVal = propId == 0 ? 1 : 0x00100002;
    return S_OK;
}

ENGINE_EXPORT HRESULT CreateObject(const GUID *, const GUID *, void **object)
{
    *object = nullptr;
    return E_NOTIMPL;
}
