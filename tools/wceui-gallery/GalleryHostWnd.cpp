#include "tools/wceui-gallery/GalleryHostWnd.h"

#include "tools/wceui-gallery/GalleryDlg.h"
#include "wceui/ui/WceUiInit.h"
#include "wceui/ui/WceUiLayerCtrl.h"

CGalleryHostWnd::CGalleryHostWnd() {
    SetClassName(WCEUI_CLASS_NAME(CGalleryHostWnd));
}

void CGalleryHostWnd::OnInitDialog() {
    WceUiSetWindowText(m_hWnd, GALLERY_WINDOW_TITLE);
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    CWceUiDlg* pDlg = NULL == pCtrl ? NULL : pCtrl->CreateDlg(WCEUI_CLASS_NAME(CGalleryDlg));
    if (NULL != pDlg) {
        if (pDlg->IsKindOf(WCEUI_CLASS_NAME(CGalleryDlg))) {
            m_pGallery = static_cast<CGalleryDlg*>(pDlg);
        }
        m_bRan = true;
        pDlg->DoModal();
        m_pGallery = nullptr;
        pCtrl->DeleteLayer(pDlg);
    }
    EndDialog(0);
}

void CGalleryHostWnd::OnClose() {
    PostMessage(GALLERY_WM_END, 0, 0);
}

void CGalleryHostWnd::OnLButtonDown(UINT nFlags, int x, int y) {
    if (NULL != m_pGallery && NULL == GetCaptureLayer()) {
        const POINT pt = {x, y};
        m_pGallery->OnPenDown(GetLayerCtrl()->HitTest(pt));
    }
    CWceUiRealWnd::OnLButtonDown(nFlags, x, y);
}

void CGalleryHostWnd::OnLButtonUp(UINT nFlags, int x, int y) {
    CWceUiRealWnd::OnLButtonUp(nFlags, x, y);
    if (NULL != m_pGallery) {
        m_pGallery->OnPenUp();
    }
}
