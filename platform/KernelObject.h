// Kernel objects behind HANDLE values (files, find handles, and later mutexes and processes).
// Every live object is recorded, so that a stale or made-up handle fails cleanly instead of crashing.
#pragma once

#include "platform/WinTypes.h"

class KernelObject {
public:
    KernelObject();
    virtual ~KernelObject();
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    HANDLE Handle() { return static_cast<HANDLE>(this); }
};

// The live object behind a handle, or null (and ERROR_INVALID_HANDLE) when it is not one of T.
KernelObject* KernelObjectFromHandle(HANDLE handle);
template <typename T> T* KernelObjectAs(HANDLE handle) {
    return dynamic_cast<T*>(KernelObjectFromHandle(handle));
}
