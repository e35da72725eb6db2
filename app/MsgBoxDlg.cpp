#include "app/MsgBoxDlg.h"

#include "app/MsgBox.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/ui/WceUiLayerCtrl.h"
#include "wceui/ui/WceUiRealWnd.h"
#include "wceui/widgets/WceUiButton.h"

#include <new>

namespace {

void ShowIf(CWceUiLayer* pLayer, BOOL bShow) {
    if (NULL != pLayer) {
        pLayer->ShowLayer(bShow, TRUE);
    }
}

BOOL IsLayerNamed(CWceUiLayer* pLayer, LPCWSTR pName) {
    return NULL != pLayer && 0 == WStrCmp(pLayer->GetName(), pName);
}

} // namespace

void TravlekRegisterMessageBox() {
    WceUiRegisterClass(WCEUI_CLASS_NAME(CMsgBoxDlg), WCEUI_CLASS_NAME(CWceUiDlg),
                       []() -> CWceUiObject* { return new (std::nothrow) CMsgBoxDlg; });
}

CMsgBoxDlg::CMsgBoxDlg()
    : m_pYes(NULL), m_pNo(NULL), m_pOk(NULL), m_pMsg(NULL), m_pInfoIcon(NULL), m_pQuestionIcon(NULL),
      m_pWarningIcon(NULL), m_pErrorIcon(NULL), m_nTextMode(0), m_uFlags(0) {
    SetClassName(WCEUI_CLASS_NAME(CMsgBoxDlg));
    m_szText[0] = 0;
}

int CMsgBoxDlg::ShowMessage(LPCWSTR pText, int nTextMode, UINT uFlags) {
    SetMessage(pText, nTextMode, uFlags);
    return DoModal();
}

void CMsgBoxDlg::SetMessage(LPCWSTR pText, int nTextMode, UINT uFlags) {
    // The text is cut rather than refused: a long error message still reaches the user.
    int n = 0;
    if (NULL != pText) {
        for (; n < MAX_TEXT - 1 && 0 != pText[n]; ++n) {
            m_szText[n] = pText[n];
        }
    }
    m_szText[n] = 0;
    m_nTextMode = nTextMode;
    m_uFlags = uFlags;
}

void CMsgBoxDlg::OnInitDialog() {
    CWceUiDlg::OnInitDialog();
    m_pYes = GetChildByName(u"yes");
    m_pNo = GetChildByName(u"no");
    m_pOk = GetChildByName(u"ok");
    // "ok" may have been left pressed by an earlier box of the same look: pass it through its
    // pressed style back to its normal one so that it starts up.
    if (NULL != m_pOk && m_pOk->IsKindOf(WCEUI_CLASS_NAME(CWceUiButton))) {
        CWceUiButton* pOk = static_cast<CWceUiButton*>(m_pOk);
        if (0 != pOk->GetDownStyle()[0]) {
            m_pOk->SetStyle(pOk->GetDownStyle());
        }
        if (0 != pOk->GetNormalStyle()[0]) {
            m_pOk->SetStyle(pOk->GetNormalStyle());
        }
    }

    m_pMsg = GetChildByName(u"msg");
    m_pInfoIcon = GetChildByName(u"info_icon");
    m_pQuestionIcon = GetChildByName(u"question_icon");
    m_pWarningIcon = GetChildByName(u"warning_icon");
    m_pErrorIcon = GetChildByName(u"error_icon");
    ShowIf(m_pInfoIcon, FALSE);
    ShowIf(m_pQuestionIcon, FALSE);
    ShowIf(m_pWarningIcon, FALSE);
    ShowIf(m_pErrorIcon, FALSE);
    switch (m_uFlags & MB_ICONMASK) {
        case MB_ICONHAND:
            ShowIf(m_pErrorIcon, TRUE);
            break;
        case MB_ICONQUESTION:
            ShowIf(m_pQuestionIcon, TRUE);
            break;
        case MB_ICONEXCLAMATION:
            ShowIf(m_pWarningIcon, TRUE);
            break;
        case MB_ICONASTERISK:
            ShowIf(m_pInfoIcon, TRUE);
            break;
        default:
            break;
    }

    if (NULL != m_pMsg) {
        if (0 == m_nTextMode) {
            m_pMsg->SetText(m_szText);
        } else {
            m_pMsg->SetTextResID(m_szText);
            m_pMsg->RefreshText();
        }
    } else {
        WceUiLogW(WCEUI_LOG_WARNING, u"CMsgBoxDlg::OnInitDialog, no layer \"msg\"");
    }

    const BOOL bYesNo = 0 != (m_uFlags & MB_YESNO);
    ShowIf(m_pOk, !bYesNo);
    ShowIf(m_pYes, bYesNo);
    ShowIf(m_pNo, bYesNo);
}

void CMsgBoxDlg::OnCommand(CWceUiLayer* pSender) {
    if (IsLayerNamed(pSender, u"yes")) {
        EndDialog(IDYES);
    } else if (IsLayerNamed(pSender, u"no")) {
        EndDialog(IDNO);
    } else if (IsLayerNamed(pSender, u"ok")) {
        EndDialog(IDYES);
    }
}

int TravlekMessageBox(CWceUiRealWnd* pWnd, LPCWSTR pText, UINT uFlags, BOOL* pShown) {
    if (NULL != pShown) {
        *pShown = FALSE;
    }
    if (NULL == pWnd || NULL == pWnd->GetLayerCtrl()) {
        return 0;
    }
    CWceUiLayerCtrl* pCtrl = pWnd->GetLayerCtrl();
    CWceUiDlg* pDlg = pCtrl->CreateDlg(WCEUI_CLASS_NAME(CMsgBoxDlg));
    if (NULL == pDlg) {
        return 0;
    }
    int nResult = 0;
    if (pDlg->IsKindOf(WCEUI_CLASS_NAME(CMsgBoxDlg))) {
        if (NULL != pShown) {
            *pShown = TRUE;
        }
        nResult = static_cast<CMsgBoxDlg*>(pDlg)->ShowMessage(pText, 0, uFlags);
    }
    pCtrl->DeleteLayer(pDlg);
    return nResult;
}
