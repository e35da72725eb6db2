#include "wceui/ui/RealWnd.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/ui/XiWndHelper.h"

CRealWnd::CRealWnd() {
    SetClassName(WCEUI_CLASS_NAME(CRealWnd));
}

CRealWnd::~CRealWnd() {
    if (::IsWindow(m_hWnd)) {
        WceUiLog(WCEUI_LOG_WARNING, "call destroy window in destruct");
        ::DestroyWindow(m_hWnd);
    }
    // A window that outlived its object must not reach it any more.
    if (m_hWnd)
        CXiWndHelper::Instance().RemoveWnd(m_hWnd);
}

BOOL CRealWnd::Create(DWORD dwStyle, LPCRECT lpRect, HWND hWndParent) {
    CXiWndHelper::Instance().RegisterClassOnce();
    RECT rc = lpRect ? *lpRect : RECT{0, 0, 0, 0};
    HWND hWnd = ::CreateWindowExW(0, CXiWndHelper::GetClassName(), u"", dwStyle, rc.left, rc.top,
                                  rc.right - rc.left, rc.bottom - rc.top, hWndParent, nullptr,
                                  CFhGlobalData::Instance().GetInstanceHandle(), this);
    if (!hWnd) {
        // Writing the log line must not hide the cause from the caller.
        DWORD dwError = ::GetLastError();
        WceUiLog(WCEUI_LOG_ERROR, "CreateWindow failed, GetLastError is %d", static_cast<int>(dwError));
        ::SetLastError(dwError);
        return FALSE;
    }
    return TRUE;
}

LRESULT CRealWnd::WindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    int x = static_cast<short>(LOWORD(lParam));
    int y = static_cast<short>(HIWORD(lParam));
    UINT nFlags = static_cast<UINT>(wParam);
    switch (nMsg) {
        case WM_CREATE:
            DefWindowProc(nMsg, wParam, lParam);
            return OnCreate(reinterpret_cast<LPCREATESTRUCTW>(lParam));
        case WM_DESTROY: {
            DefWindowProc(nMsg, wParam, lParam);
            CXiWndHelper::Instance().RemoveWnd(m_hWnd);
            OnDestroy();
            m_hWnd = nullptr;
            return 0;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC hDC = ::BeginPaint(m_hWnd, &ps);
            OnPaint(hDC, &ps.rcPaint);
            ::EndPaint(m_hWnd, &ps);
            return 0;
        }
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_ERASEBKGND:
            return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
        case WM_KEYDOWN:
            OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_KEYUP:
            OnKeyUp(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_TIMER:
            OnTimer(wParam);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(nFlags, x, y);
            return 0;
        case WM_LBUTTONDOWN:
            OnLButtonDown(nFlags, x, y);
            return 0;
        case WM_LBUTTONUP:
            OnLButtonUp(nFlags, x, y);
            return 0;
        case WM_LBUTTONDBLCLK:
            OnLButtonDblClk(nFlags, x, y);
            return 0;
        case WM_CAPTURECHANGED:
        case WM_WCEUI_CANCEL_CAPTURE:
            OnCaptureChanged(reinterpret_cast<HWND>(lParam));
            return 0;
        default:
            return DefWindowProc(nMsg, wParam, lParam);
    }
}

void CRealWnd::OnLButtonDown(UINT, int, int) {}
void CRealWnd::OnLButtonUp(UINT, int, int) {}
void CRealWnd::OnMouseMove(UINT, int, int) {}
void CRealWnd::OnLButtonDblClk(UINT, int, int) {}
void CRealWnd::OnKeyDown(UINT, UINT, UINT) {}
void CRealWnd::OnKeyUp(UINT, UINT, UINT) {}
void CRealWnd::OnCaptureChanged(HWND) {}
BOOL CRealWnd::OnEraseBkgnd(HDC) {
    return TRUE;
}
void CRealWnd::OnPaint(HDC, const RECT*) {}
void CRealWnd::OnTimer(UINT_PTR) {}
void CRealWnd::OnClose() {
    ::DefWindowProcW(m_hWnd, WM_CLOSE, 0, 0);
}
void CRealWnd::OnDestroy() {}
int CRealWnd::OnCreate(LPCREATESTRUCTW) {
    return 0;
}
LRESULT CRealWnd::DefWindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(m_hWnd, nMsg, wParam, lParam);
}
