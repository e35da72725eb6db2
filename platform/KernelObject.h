// Kernel objects behind HANDLE values (files, find handles, registry keys, and later mutexes and
// processes). Every live object is recorded, so that a stale or made-up handle fails cleanly instead of
// crashing. A call working on an object holds a counted reference to it: a handle closed by another
// thread meanwhile only disappears from the table, and the object goes when the last call is done.
#pragma once

#include "platform/WinSystem.h"
#include "platform/WinTypes.h"

#include <atomic>

class KernelObject {
public:
    KernelObject(); // enters the object in the table, which holds its first reference
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    HANDLE Handle() { return static_cast<HANDLE>(this); }

    // False for the handles that have a closing call of their own (find handles, registry keys):
    // CloseHandle refuses them, as the unit does.
    virtual bool ClosedByCloseHandle() const { return true; }

    void AddRef() { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void Release() {
        if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            delete this;
    }

protected:
    virtual ~KernelObject(); // leaves the table when the object was never closed

private:
    std::atomic<long> m_refs{1};
};

// The live object behind a handle with one more reference, or null (and ERROR_INVALID_HANDLE).
KernelObject* KernelObjectAcquire(HANDLE handle);

// Takes a handle out of the table when accepts(object) agrees, and drops the table's reference.
// Returns FALSE (ERROR_INVALID_HANDLE) for an unknown handle or one that accepts refuses.
BOOL KernelObjectClose(HANDLE handle, bool (*accepts)(KernelObject*));

// A counted reference to the object of type T behind a handle; empty (and ERROR_INVALID_HANDLE) when
// the handle is not a live T.
template <typename T> class KernelRef {
public:
    explicit KernelRef(HANDLE handle) {
        KernelObject* object = KernelObjectAcquire(handle);
        m_object = object ? dynamic_cast<T*>(object) : nullptr;
        if (object && !m_object) {
            object->Release();
            SetLastError(ERROR_INVALID_HANDLE);
        }
    }
    ~KernelRef() {
        if (m_object)
            m_object->Release();
    }
    KernelRef(KernelRef&& other) noexcept : m_object(other.m_object) { other.m_object = nullptr; }
    KernelRef(const KernelRef&) = delete;
    KernelRef& operator=(const KernelRef&) = delete;
    KernelRef& operator=(KernelRef&&) = delete;

    explicit operator bool() const { return m_object != nullptr; }
    T* operator->() const { return m_object; }
    T* get() const { return m_object; }

private:
    T* m_object;
};

// Closes a handle only when it is a T.
template <typename T> BOOL KernelObjectCloseAs(HANDLE handle) {
    return KernelObjectClose(handle, [](KernelObject* o) { return dynamic_cast<T*>(o) != nullptr; });
}
