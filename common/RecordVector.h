#pragma once

// Growable arrays of the engine side. A full RecordVector grows to capacity + capacity / 4 + 1 elements.
// RecordVector holds plain values; ObjectVector owns heap objects and deletes them when cleared or
// destroyed.

#include "common/ComTypes.h"

#include <algorithm>
#include <type_traits>
#include <utility>

template <typename T> class RecordVector
{
    static_assert(std::is_trivially_copyable<T>::value, "RecordVector holds plain values");

public:
    RecordVector() = default;
    RecordVector(const RecordVector &other) { *this = other; }
    RecordVector &operator=(const RecordVector &other)
    {
        if (this != &other) {
            clear();
            reserve(other.count);
            std::copy(other.items, other.items + other.count, items);
            count = other.count;
        }
        return *this;
    }
    ~RecordVector() { delete[] items; }

    UInt32 size() const { return count; }
    UInt32 capacity() const { return cap; }
    bool isEmpty() const { return count == 0; }
    T &operator[](UInt32 index) { return items[index]; }
    const T &operator[](UInt32 index) const { return items[index]; }
    T &back() { return items[count - 1]; }
    const T *begin() const { return items; }
    const T *end() const { return items + count; }

    // Appends a copy of `value` and returns its index.
    UInt32 add(const T &value)
    {
        if (count == cap)
            reserve(cap + cap / 4 + 1);
        items[count] = value;
        return count++;
    }
    void reserve(UInt32 newCapacity)
    {
        if (newCapacity <= cap)
            return;
        T *grown = new T[newCapacity];
        std::copy(items, items + count, grown);
        delete[] items;
        items = grown;
        cap = newCapacity;
    }
    // Empties the vector and keeps its capacity.
    void clear() { count = 0; }

private:
    T *items = nullptr;
    UInt32 count = 0;
    UInt32 cap = 0;
};

template <typename T> class ObjectVector
{
public:
    ObjectVector() = default;
    ObjectVector(const ObjectVector &) = delete;
    ObjectVector &operator=(const ObjectVector &) = delete;
    ~ObjectVector() { clear(); }

    UInt32 size() const { return pointers.size(); }
    bool isEmpty() const { return pointers.isEmpty(); }
    T &operator[](UInt32 index) { return *pointers[index]; }
    const T &operator[](UInt32 index) const { return *pointers[index]; }

    // Takes ownership of `object` and returns its index.
    UInt32 addOwned(T *object) { return pointers.add(object); }
    // Appends a heap copy of `value`.
    UInt32 add(const T &value) { return pointers.add(new T(value)); }
    void clear()
    {
        for (T *object : pointers)
            delete object;
        pointers.clear();
    }

private:
    RecordVector<T *> pointers;
};
