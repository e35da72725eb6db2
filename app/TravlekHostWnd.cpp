#include "app/TravlekHostWnd.h"

#include "app/FileListDlg.h"
#include "app/TravlekApp.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayerCtrl.h"
#include "wceui/widgets/WceUiButton.h"
#include "wceui/widgets/WceUiSlider.h"

#include "platform/display/Display.h"

#include <string>

namespace {

void DumpLayer(CWceUiLayer* pLayer, int nDepth, std::string* pOut) {
    RECT rc = {0, 0, 0, 0};
    pLayer->GetWindowRect(&rc);
    std::u16string line(static_cast<size_t>(nDepth) * 2, u' ');
    line += pLayer->GetClassName();
    line += u" \"";
    line += pLayer->GetName();
    line += u"\" ";
    line += Utf8ToWide(std::to_string(rc.left) + "," + std::to_string(rc.top) + "," +
                       std::to_string(rc.right) + "," + std::to_string(rc.bottom));
    line += pLayer->IsLayerVisible() ? u" visible" : u" hidden";
    line += pLayer->IsLayerEnabled() ? u" enabled" : u" disabled";
    if (pLayer->IsKindOf(WCEUI_CLASS_NAME(CWceUiButton))) {
        line += static_cast<CWceUiButton*>(pLayer)->GetDumpInfo();
    } else if (pLayer->IsKindOf(WCEUI_CLASS_NAME(CWceUiSlider))) {
        line += static_cast<CWceUiSlider*>(pLayer)->GetDumpInfo();
    }
    if (0 != pLayer->GetText()[0]) {
        line += u" text=\"";
        line += pLayer->GetText();
        line += u"\"";
    }
    *pOut += WideToUtf8(line);
    *pOut += "\n";
    for (CWceUiLayer* pChild = pLayer->GetFirstChild(); NULL != pChild; pChild = pLayer->NextChild(pChild)) {
        DumpLayer(pChild, nDepth + 1, pOut);
    }
}

} // namespace

std::string TravlekLayerTreeText(CWceUiLayerCtrl* pCtrl) {
    std::string text;
    if (NULL != pCtrl && NULL != pCtrl->RootLayer()) {
        DumpLayer(pCtrl->RootLayer(), 0, &text);
    }
    return text;
}

CTravlekHostWnd::CTravlekHostWnd() : m_nMainResult(-2) {
    SetClassName(WCEUI_CLASS_NAME(CTravlekHostWnd));
}

void CTravlekHostWnd::OnClose() {
    PostMessage(TRAVLEK_WM_END_MAIN_DLG, 0, 0);
}

void CTravlekHostWnd::OnInitDialog() {
    SetWindowText(TRAVLEK_WINDOW_TITLE);
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    // On the simulator a script's "dump" describes the layers, not just the window.
    PlatformSetDumpHook([pCtrl]() { return PlatformWindowListText() + TravlekLayerTreeText(pCtrl); });
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
    PlatformSetDumpHook(nullptr);
    EndDialog(0);
}
