// A platform window run modally: DoModal creates the window, calls the initialisation hook and runs
// the message loop (every message through the input-ignore filter) until EndDialog.
#pragma once

#include "wceui/ui/RealWnd.h"

// Run states of dialogs (also those of the layer dialogs).
#define DLG_RUN_IN_MODELESS 1
#define DLG_RUN_IN_MODAL 2
#define DLG_RUN_NOT_RUNNING 3

class CRealDlg : public CRealWnd {
public:
    CRealDlg();
    ~CRealDlg() override;

    // Returns the result given to EndDialog (-1 when the loop ended otherwise).
    virtual int DoModal(DWORD dwStyle, LPCRECT lpRect, HWND hWndParent);
    // Called once the window exists, before the loop; the application runs its main dialog here.
    virtual void OnInitDialog();

    BOOL EndDialog(int nResult);
    int GetDlgRunWay() const { return m_DlgRunWay; }

protected:
    int m_nResult;
    BOOL m_bEnd;
    int m_DlgRunWay;
};

WCEUI_DYNCREATE_BEGIN(CRealDlg, CRealWnd)
WCEUI_DYNCREATE_END(CRealDlg)
