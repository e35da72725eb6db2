#include "app/TravlekHostWnd.h"

#include "app/FileListDlg.h"
#include "app/TravlekApp.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayerCtrl.h"

CTravlekHostWnd::CTravlekHostWnd() : m_nMainResult(-2) {
    SetClassName(WCEUI_CLASS_NAME(CTravlekHostWnd));
}

void CTravlekHostWnd::OnClose() {
    PostMessage(TRAVLEK_WM_END_MAIN_DLG, 0, 0);
}

void CTravlekHostWnd::OnInitDialog() {
    SetWindowText(TRAVLEK_WINDOW_TITLE);
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    CWceUiDlg* pDlg = NULL == pCtrl ? NULL : pCtrl->CreateDlg(u"CTravlekDlg");
    if (NULL != pDlg && pDlg->IsKindOf(WCEUI_CLASS_NAME(CFileListDlg))) {
        // The updater lists only packages, each with the package image, and opens the folder of the
        // package this unit expects.
        CFileListDlg* pList = static_cast<CFileListDlg*>(pDlg);
        pList->AddAcceptedType(u"msk", u"listbox\\file.565a.conf");
        pList->SetExpectedPath(TravlekExpectedPackagePath());
    }
    if (NULL != pDlg) {
        m_nMainResult = pDlg->DoModal();
        pCtrl->DeleteLayer(pDlg);
    }
    EndDialog(0);
}
