#include "wceui/ui/XiWndHelper.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/ui/RealWnd.h"

#include <new>

CXiWndHelper& CXiWndHelper::Instance() {
    static CXiWndHelper s_instance;
    return s_instance;
}

CXiWndHelper::CXiWndHelper() : m_bRegistered(FALSE), m_apBuckets{}, m_pFree(nullptr), m_nCount(0) {}

CXiWndHelper::~CXiWndHelper() = default;

BOOL CXiWndHelper::RegisterClassOnce() {
    if (m_bRegistered)
        return TRUE;
    HINSTANCE hInstance = WceUiGetInstanceHandle();
    if (!hInstance)
        WceUiLog(
            WCEUI_LOG_ERROR,
            "CXiWndHelper::RegisterClassOnce, WceUiGetInstanceHandle() return NULL, call WceUiInit first");
    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = &CXiWndHelper::WndProc;
    wc.hInstance = hInstance;
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(0));
    wc.lpszClassName = GetClassName();
    if (!::RegisterClassW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return FALSE;
    m_bRegistered = TRUE;
    return TRUE;
}

CXiWndHelper::Entry* CXiWndHelper::NewEntry() {
    if (!m_pFree) {
        std::unique_ptr<Block> pBlock(new (std::nothrow) Block);
        if (!pBlock)
            return nullptr;
        for (Entry& entry : pBlock->entries) {
            entry.pNext = m_pFree;
            m_pFree = &entry;
        }
        pBlock->pNext = std::move(m_pBlocks);
        m_pBlocks = std::move(pBlock);
    }
    Entry* p = m_pFree;
    m_pFree = p->pNext;
    return p;
}

BOOL CXiWndHelper::AddWnd(HWND hWnd, CRealWnd* pWnd) {
    if (!WCEUI_CHECK("CXiWndHelper::AddWnd", NULL != hWnd && NULL != pWnd))
        return FALSE;
    Entry** ppBucket = &m_apBuckets[Bucket(hWnd)];
    for (Entry* p = *ppBucket; p; p = p->pNext) {
        if (p->hWnd == hWnd) {
            p->pWnd = pWnd;
            return TRUE;
        }
    }
    Entry* p = NewEntry();
    if (!p)
        return FALSE;
    p->hWnd = hWnd;
    p->pWnd = pWnd;
    p->pNext = *ppBucket;
    *ppBucket = p;
    m_nCount++;
    return TRUE;
}

BOOL CXiWndHelper::RemoveWnd(HWND hWnd) {
    for (Entry** pp = &m_apBuckets[Bucket(hWnd)]; *pp; pp = &(*pp)->pNext) {
        if ((*pp)->hWnd == hWnd) {
            Entry* p = *pp;
            *pp = p->pNext;
            p->pNext = m_pFree;
            m_pFree = p;
            m_nCount--;
            return TRUE;
        }
    }
    return FALSE;
}

CRealWnd* CXiWndHelper::FindWnd(HWND hWnd) const {
    for (Entry* p = m_apBuckets[Bucket(hWnd)]; p; p = p->pNext)
        if (p->hWnd == hWnd)
            return p->pWnd;
    return nullptr;
}

LRESULT CXiWndHelper::WndProc(HWND hWnd, UINT nMsg, WPARAM wParam, LPARAM lParam) {
    CXiWndHelper& helper = Instance();
    if (nMsg == WM_CREATE) {
        auto* pCreate = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* pWnd = pCreate ? static_cast<CRealWnd*>(pCreate->lpCreateParams) : nullptr;
        if (pWnd) {
            pWnd->m_hWnd = hWnd;
            helper.AddWnd(hWnd, pWnd);
            return pWnd->WindowProc(nMsg, wParam, lParam);
        }
    }
    CRealWnd* pWnd = helper.FindWnd(hWnd);
    if (!pWnd)
        return ::DefWindowProcW(hWnd, nMsg, wParam, lParam);
    return pWnd->WindowProc(nMsg, wParam, lParam);
}
