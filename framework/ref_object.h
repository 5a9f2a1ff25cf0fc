#pragma once
// Base of the framework and image objects: an intrusive, single-threaded reference count.
// Objects start with a count of 1; Release at a count of 1 destroys the object.

#include "framework/types.h"

class RefObject
{
public:
    RefObject() = default;
    RefObject(const RefObject&) = delete;
    RefObject& operator=(const RefObject&) = delete;
    // Warns on the debugger output when the object is destroyed while still referenced.
    virtual ~RefObject();

    virtual void AddRef() { ++m_refCount; }
    virtual void Release();

    i32 RefCount() const { return m_refCount; }

private:
    i32 m_refCount = 1;
};
