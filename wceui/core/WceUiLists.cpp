#include "wceui/core/WceUiHTList.h"
#include "wceui/core/WceUiLog.h"

void CWceUiHList::AddHead(void* pElement) {
    *GetNextPtr(pElement) = m_pHead;
    m_pHead = pElement;
    ++m_nCount;
}

BOOL CWceUiHList::Remove(void* pElement) {
    void** link = &m_pHead;
    while (*link && *link != pElement)
        link = GetNextPtr(*link);
    if (!*link)
        return FALSE;
    *link = *GetNextPtr(pElement);
    *GetNextPtr(pElement) = nullptr;
    --m_nCount;
    return TRUE;
}

CWceUiHTList::CWceUiHTList(size_t nextOffset, size_t preOffset)
    : m_nNextOffset(nextOffset), m_nPreOffset(preOffset) {
    WCEUI_CHECK("CWceUiHTList::CWceUiHTList", m_nPreOffset != m_nNextOffset);
}

void CWceUiHTList::AddTail(void* pElement) {
    *GetNextPtr(pElement) = nullptr;
    *GetPrePtr(pElement) = m_pTail;
    if (m_pTail)
        *GetNextPtr(m_pTail) = pElement;
    else
        m_pHead = pElement;
    m_pTail = pElement;
    ++m_nCount;
}

void CWceUiHTList::InsertAfter(void* pAfter, void* pElement) {
    void* next = pAfter ? *GetNextPtr(pAfter) : m_pHead;
    *GetPrePtr(pElement) = pAfter;
    *GetNextPtr(pElement) = next;
    if (pAfter)
        *GetNextPtr(pAfter) = pElement;
    else
        m_pHead = pElement;
    if (next)
        *GetPrePtr(next) = pElement;
    else
        m_pTail = pElement;
    ++m_nCount;
}

void* CWceUiHTList::RemoveHead() {
    if (!WCEUI_CHECK("CWceUiHTList::RemoveHead", NULL != m_pHead))
        return nullptr;
    void* pOldHead = m_pHead;
    m_pHead = *GetNextPtr(pOldHead);
    if (m_pHead)
        *GetPrePtr(m_pHead) = nullptr;
    else
        m_pTail = nullptr;
    WCEUI_CHECK("CWceUiHTList::RemoveHead", NULL == *GetPrePtr(pOldHead));
    *GetNextPtr(pOldHead) = nullptr;
    *GetPrePtr(pOldHead) = nullptr;
    --m_nCount;
    return pOldHead;
}

void* CWceUiHTList::RemoveTail() {
    if (!WCEUI_CHECK("CWceUiHTList::RemoveTail", NULL != m_pTail))
        return nullptr;
    void* pOldTail = m_pTail;
    m_pTail = *GetPrePtr(pOldTail);
    if (m_pTail)
        *GetNextPtr(m_pTail) = nullptr;
    else
        m_pHead = nullptr;
    WCEUI_CHECK("CWceUiHTList::RemoveTail", NULL == *GetNextPtr(pOldTail));
    *GetNextPtr(pOldTail) = nullptr;
    *GetPrePtr(pOldTail) = nullptr;
    --m_nCount;
    return pOldTail;
}

BOOL CWceUiHTList::Remove(void* pElement) {
    if (!m_pHead || !pElement)
        return FALSE;
    if (pElement == m_pHead)
        return RemoveHead() != nullptr;
    if (pElement == m_pTail)
        return RemoveTail() != nullptr;
    void* pre = *GetPrePtr(pElement);
    void* next = *GetNextPtr(pElement);
    // An element with no neighbours that is neither head nor tail is not in this list.
    if (!pre || !next)
        return FALSE;
    *GetNextPtr(pre) = next;
    *GetPrePtr(next) = pre;
    *GetNextPtr(pElement) = nullptr;
    *GetPrePtr(pElement) = nullptr;
    --m_nCount;
    return TRUE;
}

void* CWceUiHTList::GetNext(void* prevElement) const {
    if (!WCEUI_CHECK("CWceUiHTList::GetNext", NULL != prevElement))
        return nullptr;
    return *GetNextPtr(prevElement);
}

void* CWceUiHTList::GetPre(void* pElement) const {
    if (!WCEUI_CHECK("CWceUiHTList::GetPre", NULL != pElement))
        return nullptr;
    return *GetPrePtr(pElement);
}
