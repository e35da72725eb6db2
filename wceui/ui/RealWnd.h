// A platform window of the framework's class "WceUiWnd" whose messages become virtual calls.
#pragma once

#include "wceui/ui/RealGenericWnd.h"

class CRealWnd : public CRealGenericWnd {
public:
    CRealWnd();
    // Destroys the platform window if it still exists (with a warning: its owner should have).
    ~CRealWnd() override;

    // Registers the class if needed and creates the window (empty title) with this object as its
    // creation parameter. FALSE after "CreateWindow failed, GetLastError is %d".
    BOOL Create(DWORD dwStyle, LPCRECT lpRect, HWND hWndParent);

    virtual LRESULT WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam);
    // Pen positions are in client coordinates.
    virtual void OnLButtonDown(UINT nFlags, int x, int y);
    virtual void OnLButtonUp(UINT nFlags, int x, int y);
    virtual void OnMouseMove(UINT nFlags, int x, int y);
    virtual void OnLButtonDblClk(UINT nFlags, int x, int y);
    virtual void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    virtual void OnCaptureChanged(HWND hWndNew);
    // TRUE: the background counts as erased (the window always paints all of it).
    virtual BOOL OnEraseBkgnd(HDC hDC);
    virtual void OnPaint(HDC hDC, const RECT* pPaintRect);
    virtual void OnTimer(UINT_PTR nIDEvent);
    // Default: the platform's handling, which destroys the window.
    virtual void OnClose();
    virtual void OnDestroy();
    virtual int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    virtual LRESULT DefWindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam);
};

// Posted by the layer host to drop what the pen was doing; handled like a capture change.
#define WM_WCEUI_CANCEL_CAPTURE 0x2A03E592u

WCEUI_DYNCREATE_BEGIN(CRealWnd, CRealGenericWnd)
WCEUI_DYNCREATE_END(CRealWnd)
