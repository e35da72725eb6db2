// The framework's handle on a platform window: thin wrappers that check the window exists first
// (logging the check, then calling the platform anyway, which fails harmlessly).
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/WceUiObject.h"

class CRealGenericWnd : public CWceUiObject {
public:
    CRealGenericWnd();
    ~CRealGenericWnd() override;

    HWND GetSafeHwnd() const { return m_hWnd; }

    BOOL UpdateWindow();
    BOOL PostMessage(UINT nMsg, WPARAM wParam, LPARAM lParam);
    BOOL MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    BOOL MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    // Does nothing while the repaint-enabled flag is clear (the window is drawing its layers).
    BOOL InvalidateRect(LPCRECT lpRect, BOOL bErase = FALSE);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse);
    BOOL KillTimer(UINT_PTR nIDEvent);
    BOOL GetClientRect(LPRECT lpRect);
    BOOL EnableWindow(BOOL bEnable);
    BOOL SetWindowText(LPCWSTR lpszText);

    void SetRepaintEnabled(BOOL bEnabled) { m_bRepaintEnabled = bEnabled; }
    BOOL IsRepaintEnabled() const { return m_bRepaintEnabled; }

protected:
    HWND m_hWnd;
    BOOL m_bRepaintEnabled;

    friend class CXiWndHelper;
};

WCEUI_DYNAMIC_BEGIN(CRealGenericWnd, CWceUiObject)
WCEUI_DYNAMIC_END(CRealGenericWnd)
