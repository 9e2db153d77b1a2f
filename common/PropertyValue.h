#pragma once

// A PROPVARIANT that owns its value. Each setter clears the old value first. Values the engine hands back
// (IInArchive::GetProperty, GetArchiveProperty) are ours to clear: read them into a PropertyValue.

#include "common/ComTypes.h"

// VariantClear's contract over a bare record: frees a VT_BSTR, then sets VT_EMPTY. Always S_OK.
HRESULT ClearVariant(PROPVARIANT *value);

class PropertyValue : public PROPVARIANT
{
public:
    PropertyValue();
    ~PropertyValue();
    PropertyValue(const PropertyValue &) = delete;
    PropertyValue &operator=(const PropertyValue &) = delete;

    // VT_FILETIME; the precision field stays 0.
    void setFileTime(const FILETIME &time);
    // VT_BSTR, a new copy of `length` characters; throws EngineError (out of memory) when allocation fails.
    void setString(const wchar_t *text, UInt32 length);
    // VT_BSTR from a NUL-terminated text.
    void setString(const wchar_t *text);
    void setUInt32(UInt32 number);
    void setUInt64(UInt64 number);
    // VT_BOOL: -1 for true, 0 for false.
    void setBool(bool flag);

    // Plain types become VT_EMPTY directly; every other type goes through ClearVariant.
    void clear();
    // Clears `target` and moves this value into it; this one is left empty.
    void moveTo(PROPVARIANT *target);
};
