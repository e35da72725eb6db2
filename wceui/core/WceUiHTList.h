// Intrusive doubly linked list with head and tail; elements carry their own "next" and "previous"
// links and the list never allocates.
#pragma once

#include "wceui/core/WceUiHList.h"

class CWceUiHTList {
public:
    CWceUiHTList(size_t nextOffset, size_t preOffset);

    void AddTail(void* pElement);
    // Both return the removed element, or null on an empty list.
    void* RemoveHead();
    void* RemoveTail();
    // FALSE on an empty list.
    BOOL Remove(void* pElement);
    // Inserts pElement right after pAfter (at the head when pAfter is null).
    void InsertAfter(void* pAfter, void* pElement);

    void** GetNextPtr(void* pElement) const {
        return reinterpret_cast<void**>(static_cast<char*>(pElement) + m_nNextOffset);
    }
    void** GetPrePtr(void* pElement) const {
        return reinterpret_cast<void**>(static_cast<char*>(pElement) + m_nPreOffset);
    }
    void* GetNext(void* prevElement) const;
    void* GetPre(void* pElement) const;
    void* GetHead() const { return m_pHead; }
    void* GetTail() const { return m_pTail; }
    int GetCount() const { return m_nCount; }

private:
    void* m_pHead = nullptr;
    void* m_pTail = nullptr;
    size_t m_nNextOffset;
    size_t m_nPreOffset;
    int m_nCount = 0;
};

// Typed view for elements of type T linked through two of their members.
template <typename T> class CWceUiHTListOf : public CWceUiHTList {
public:
    CWceUiHTListOf(T* T::*next, T* T::*pre) : CWceUiHTList(WceUiMemberOffset(next), WceUiMemberOffset(pre)) {}
    T* GetHead() const { return static_cast<T*>(CWceUiHTList::GetHead()); }
    T* GetTail() const { return static_cast<T*>(CWceUiHTList::GetTail()); }
    T* GetNext(T* pElement) const { return static_cast<T*>(CWceUiHTList::GetNext(pElement)); }
    T* GetPre(T* pElement) const { return static_cast<T*>(CWceUiHTList::GetPre(pElement)); }
    T* RemoveHead() { return static_cast<T*>(CWceUiHTList::RemoveHead()); }
    T* RemoveTail() { return static_cast<T*>(CWceUiHTList::RemoveTail()); }
};
