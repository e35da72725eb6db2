#include "tools/wceui-gallery/GalleryMsgDlg.h"

#include "wceui/core/WceUiLog.h"
#include "wceui/widgets/WceUiButton.h"

CGalleryMsgDlg::CGalleryMsgDlg() {
    SetClassName(WCEUI_CLASS_NAME(CGalleryMsgDlg));
}

void CGalleryMsgDlg::OnInitDialog() {
    CWceUiDlg::OnInitDialog();
    if (CWceUiLayer* pMsg = GetChildByName(u"msg")) {
        pMsg->SetText(m_strMessage.c_str());
    } else {
        WceUiLogW(WCEUI_LOG_WARNING, u"CGalleryMsgDlg::OnInitDialog, no layer \"msg\"");
    }
}

void CGalleryMsgDlg::OnCommand(CWceUiLayer* pSender) {
    if (NULL != pSender && pSender->IsEqualName(u"ok")) {
        EndDialog(RESULT_OK);
    }
}

void CGalleryMsgDlg::OnKeyDown(UINT nChar, UINT, UINT) {
    if (VK_RETURN == nChar || VK_ESCAPE == nChar) {
        EndDialog(RESULT_OK);
    }
}
