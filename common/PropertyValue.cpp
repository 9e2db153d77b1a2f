#include "common/PropertyValue.h"

#include "common/Bstr.h"
#include "common/EngineError.h"

#include <cwchar>

HRESULT ClearVariant(PROPVARIANT *value)
{
#ifdef _WIN32
    return VariantClear(reinterpret_cast<VARIANTARG *>(value));
#else
    if (value->vt == VT_BSTR)
        FreeBstr(value->bstrVal);
    value->vt = VT_EMPTY;
    value->wReserved1 = value->wReserved2 = value->wReserved3 = 0;
    value->uhVal.QuadPart = 0;
    return S_OK;
#endif
}

namespace {

bool isPlainType(VARTYPE type)
{
    switch (type) {
    case VT_EMPTY:
    case VT_BOOL:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_UI8:
    case VT_FILETIME:
        return true;
    default:
        return false;
    }
}

} // namespace

PropertyValue::PropertyValue() : PROPVARIANT()
{
    vt = VT_EMPTY;
}

PropertyValue::~PropertyValue()
{
    clear();
}

void PropertyValue::clear()
{
    if (isPlainType(vt)) {
        vt = VT_EMPTY;
        wReserved1 = 0;
        return;
    }
    ClearVariant(this);
}

void PropertyValue::setFileTime(const FILETIME &time)
{
    clear();
    vt = VT_FILETIME;
    filetime = time;
}

void PropertyValue::setString(const wchar_t *text, UInt32 length)
{
    clear();
    BSTR copy = AllocBstrLen(text, length);
    if (!copy)
        throw EngineError(EngineError::kOutOfMemory);
    vt = VT_BSTR;
    bstrVal = copy;
}

void PropertyValue::setString(const wchar_t *text)
{
    setString(text, static_cast<UInt32>(std::wcslen(text)));
}

void PropertyValue::setUInt32(UInt32 number)
{
    clear();
    vt = VT_UI4;
    ulVal = number;
}

void PropertyValue::setUInt64(UInt64 number)
{
    clear();
    vt = VT_UI8;
    uhVal.QuadPart = number;
}

void PropertyValue::setBool(bool flag)
{
    clear();
    vt = VT_BOOL;
    boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
}

void PropertyValue::moveTo(PROPVARIANT *target)
{
    ClearVariant(target);
    *target = *static_cast<PROPVARIANT *>(this);
    vt = VT_EMPTY;
}
