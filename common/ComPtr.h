#pragma once

// Holds one reference to an engine-facing object and releases it when it goes, so no return path
// forgets a Release.

#include <utility>

template <typename T> class ComPtr
{
public:
    ComPtr() = default;
    // Adds a reference to `object` (a new object's count is 0: this takes the creator's reference).
    explicit ComPtr(T *object) : pointer(object)
    {
        if (pointer)
            pointer->AddRef();
    }
    ComPtr(const ComPtr &other) : ComPtr(other.pointer) {}
    ComPtr(ComPtr &&other) noexcept : pointer(other.pointer) { other.pointer = nullptr; }
    ComPtr &operator=(const ComPtr &other)
    {
        reset(other.pointer);
        return *this;
    }
    ComPtr &operator=(ComPtr &&other) noexcept
    {
        std::swap(pointer, other.pointer);
        return *this;
    }
    ~ComPtr() { release(); }

    T *get() const { return pointer; }
    T *operator->() const { return pointer; }
    explicit operator bool() const { return pointer != nullptr; }

    // Holds `object` (adding a reference) instead of the current one (released).
    void reset(T *object = nullptr)
    {
        if (object)
            object->AddRef();
        release();
        pointer = object;
    }
    // Releases the current object and gives the address to fill for an out parameter that hands over
    // a reference (CreateObject, QueryInterface).
    T **put()
    {
        release();
        return &pointer;
    }
    // For out parameters typed void ** (CreateObject, QueryInterface).
    void **putVoid() { return reinterpret_cast<void **>(put()); }
    // Gives up the reference without releasing it, e.g. to hand it to the engine through an out pointer.
    T *detach()
    {
        T *object = pointer;
        pointer = nullptr;
        return object;
    }

private:
    void release()
    {
        if (pointer) {
            T *object = pointer;
            pointer = nullptr;
            object->Release();
        }
    }

    T *pointer = nullptr;
};
