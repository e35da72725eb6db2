#include "wceui/ui/RealGenericWnd.h"
#include "wceui/core/WceUiLog.h"

CRealGenericWnd::CRealGenericWnd() : m_hWnd(nullptr), m_bRepaintEnabled(TRUE) {
    SetClassName(WCEUI_CLASS_NAME(CRealGenericWnd));
}

CRealGenericWnd::~CRealGenericWnd() = default;

BOOL CRealGenericWnd::UpdateWindow() {
    WCEUI_CHECK("CRealGenericWnd::UpdateWindow", ::IsWindow(m_hWnd));
    return ::UpdateWindow(m_hWnd);
}

BOOL CRealGenericWnd::PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    WCEUI_CHECK("CRealGenericWnd::PostMessage", ::IsWindow(m_hWnd));
    return ::PostMessageW(m_hWnd, nMsg, wParam, lParam);
}

BOOL CRealGenericWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    WCEUI_CHECK("CRealGenericWnd::MoveWindow", ::IsWindow(m_hWnd));
    return ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

BOOL CRealGenericWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
    if (!WCEUI_CHECK("CRealGenericWnd::MoveWindow", NULL != lpRect))
        return FALSE;
    WCEUI_CHECK("CRealGenericWnd::MoveWindow", ::IsWindow(m_hWnd));
    return ::MoveWindow(m_hWnd, lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                        lpRect->bottom - lpRect->top, bRepaint);
}

BOOL CRealGenericWnd::SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    WCEUI_CHECK("CRealGenericWnd::SetWindowPos", ::IsWindow(m_hWnd));
    return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
}

BOOL CRealGenericWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase) {
    if (!m_bRepaintEnabled)
        return FALSE;
    WCEUI_CHECK("CRealGenericWnd::InvalidateRect", ::IsWindow(m_hWnd));
    return ::InvalidateRect(m_hWnd, lpRect, bErase);
}

UINT_PTR CRealGenericWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse) {
    WCEUI_CHECK("CRealGenericWnd::SetTimer", ::IsWindow(m_hWnd));
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr);
}

BOOL CRealGenericWnd::KillTimer(UINT_PTR nIDEvent) {
    WCEUI_CHECK("CRealGenericWnd::KillTimer", ::IsWindow(m_hWnd));
    return ::KillTimer(m_hWnd, nIDEvent);
}

BOOL CRealGenericWnd::GetClientRect(LPRECT lpRect) {
    if (!WCEUI_CHECK("CRealGenericWnd::GetClientRect", NULL != lpRect))
        return FALSE;
    WCEUI_CHECK("CRealGenericWnd::GetClientRect", ::IsWindow(m_hWnd));
    return ::GetClientRect(m_hWnd, lpRect);
}

BOOL CRealGenericWnd::EnableWindow(BOOL bEnable) {
    WCEUI_CHECK("CRealGenericWnd::EnableWindow", ::IsWindow(m_hWnd));
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CRealGenericWnd::SetWindowText(LPCWSTR lpszText) {
    WCEUI_CHECK("CRealGenericWnd::SetWindowText", ::IsWindow(m_hWnd));
    return ::SetWindowTextW(m_hWnd, lpszText);
}
