// Intrusive singly linked list: elements are the caller's objects and carry their own "next" link;
// the list never allocates.
#pragma once

#include "platform/WinCe.h"

#include <cstddef>

class CWceUiHList {
public:
    explicit CWceUiHList(size_t nextOffset) : m_nNextOffset(nextOffset) {}

    void AddHead(void* pElement);
    // FALSE when the element is not in the list.
    BOOL Remove(void* pElement);
    void** GetNextPtr(void* pElement) const {
        return reinterpret_cast<void**>(static_cast<char*>(pElement) + m_nNextOffset);
    }
    void* GetNext(void* pElement) const { return *GetNextPtr(pElement); }
    void* GetHead() const { return m_pHead; }
    int GetCount() const { return m_nCount; }

private:
    void* m_pHead = nullptr;
    size_t m_nNextOffset;
    int m_nCount = 0;
};

// The byte offset of a pointer member inside T, without constructing a T.
template <typename T, typename M> size_t WceUiMemberOffset(M T::*member) {
    alignas(T) static unsigned char storage[sizeof(T)];
    T* object = reinterpret_cast<T*>(storage);
    return static_cast<size_t>(reinterpret_cast<unsigned char*>(&(object->*member)) - storage);
}

// Typed view of the list for elements of type T linked through the member pNext.
template <typename T> class CWceUiHListOf : public CWceUiHList {
public:
    explicit CWceUiHListOf(T* T::*next) : CWceUiHList(WceUiMemberOffset(next)) {}
    T* GetHead() const { return static_cast<T*>(CWceUiHList::GetHead()); }
    T* GetNext(T* pElement) const { return static_cast<T*>(CWceUiHList::GetNext(pElement)); }
};
