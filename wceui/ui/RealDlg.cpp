#include "wceui/ui/RealDlg.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/ui/FhIgnoreMsg.h"

CRealDlg::CRealDlg() : m_nResult(-1), m_bEnd(FALSE), m_DlgRunWay(DLG_RUN_NOT_RUNNING) {
    SetClassName(WCEUI_CLASS_NAME(CRealDlg));
}

CRealDlg::~CRealDlg() = default;

int CRealDlg::DoModal(DWORD dwStyle, LPCRECT lpRect, HWND hWndParent) {
    if (!CFhGlobalData::Instance().GetInstanceHandle())
        WceUiLog(WCEUI_LOG_ERROR, "%s::DoModal, WceUiGetInstanceHandle() return NULL, call WceUiInit first",
                 "CRealDlg");
    m_bEnd = FALSE;
    BOOL bEnableParent = FALSE;
    if (hWndParent && ::IsWindowEnabled(hWndParent)) {
        ::EnableWindow(hWndParent, FALSE);
        bEnableParent = TRUE;
    }
    if (!Create(dwStyle, lpRect, hWndParent)) {
        WceUiLog(WCEUI_LOG_ERROR, "call CRealWnd::Create failed, GetLastError is %d",
                 static_cast<int>(::GetLastError()));
        // Without a window there is nothing to run: give the parent back and report no result.
        if (bEnableParent)
            ::EnableWindow(hWndParent, TRUE);
        return m_nResult;
    }
    HWND hWnd = m_hWnd;
    m_DlgRunWay = DLG_RUN_IN_MODAL;
    OnInitDialog();
    if (!m_bEnd) {
        MSG msg;
        for (;;) {
            BOOL bRet = ::GetMessageW(&msg, nullptr, 0, 0);
            if (bRet == 0 || bRet == -1)
                break;
            if (!CFhIgnoreMsg::Instance().IsIgnoreMsg(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
            if (m_bEnd)
                break;
        }
    }
    if (::IsWindow(m_hWnd))
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
    if (bEnableParent) {
        ::EnableWindow(hWndParent, TRUE);
        if (::GetActiveWindow() == hWnd)
            ::SetActiveWindow(hWndParent);
    }
    if (::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    m_DlgRunWay = DLG_RUN_NOT_RUNNING;
    return m_nResult;
}

void CRealDlg::OnInitDialog() {}

BOOL CRealDlg::EndDialog(int nResult) {
    if (!WCEUI_CHECK("CRealDlg::EndDialog", DLG_RUN_IN_MODAL == m_DlgRunWay))
        return FALSE;
    if (!WCEUI_CHECK("CRealDlg::EndDialog", ::IsWindow(m_hWnd)))
        return FALSE;
    m_bEnd = TRUE;
    m_nResult = nResult;
    ::PostMessageW(m_hWnd, 0, 0, 0);
    m_DlgRunWay = DLG_RUN_NOT_RUNNING;
    return TRUE;
}
