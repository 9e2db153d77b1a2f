#pragma once

// The reference-count base of every engine-facing object. The count starts at 0; the creator takes the
// first reference at once, and the last Release destroys the object. The count is atomic: while it
// writes a zip the engine calls Release from its own worker threads.

#include "common/EngineInterfaces.h"

#include <atomic>

class CMyUnknownImp
{
public:
    CMyUnknownImp() = default;
    CMyUnknownImp(const CMyUnknownImp &) = delete;
    CMyUnknownImp &operator=(const CMyUnknownImp &) = delete;
    // Its slots come after every interface slot of the concrete class.
    virtual ~CMyUnknownImp() = default;

protected:
    ULONG addReference() { return ++referenceCount; }
    ULONG releaseReference() { return --referenceCount; }

private:
    std::atomic<ULONG> referenceCount{0};
};

// AddRef and Release for a class deriving from CMyUnknownImp and one or more interfaces. One definition
// overrides the slots of every interface base. Release destroys the object when the count reaches 0.
#define VELMORA_UNKNOWN_REFCOUNT                                                                             \
    ULONG AddRef() override                                                                                  \
    {                                                                                                        \
        return addReference();                                                                               \
    }                                                                                                        \
    ULONG Release() override                                                                                 \
    {                                                                                                        \
        const ULONG remaining = releaseReference();                                                          \
        if (remaining == 0)                                                                                  \
            delete this;                                                                                     \
        return remaining;                                                                                    \
    }

// Answers a QueryInterface: stores `face` (already cast to the interface asked for) in *object, adds a
// reference through it and returns S_OK.
template <typename Interface> HRESULT answerInterface(Interface *face, void **object)
{
    *object = face;
    face->AddRef();
    return S_OK;
}
