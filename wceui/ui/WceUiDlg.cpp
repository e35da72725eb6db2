#include "wceui/ui/WceUiDlg.h"

#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/bitmap/WceUiRectOps.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/FhStyleFile.h"
#include "wceui/ui/WceUiLayerCtrl.h"

#include <memory>

struct CWceUiDlg::DlgData {
    CWceUiXmlDoc doc;
    CFhStyleFile styleFile;
    RECT rcWindow = {0, 0, 0, 0};
    BOOL bHasWindowRect = FALSE;
    int m_DlgRunWay = DLG_RUN_NOT_RUNNING;
    BOOL bEnd = FALSE;
    int nResult = -1;
};

CWceUiDlg::CWceUiDlg() : m_pDlgData(WceUiNewRecord<DlgData>("CWceUiDlg")) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiDlg));
}

CWceUiDlg::~CWceUiDlg() = default;

CWceUiDlg::DlgData* CWceUiDlg::GetDlgData() const {
    return m_pDlgData.get();
}

void CWceUiDlg::OnInitDialog() {}
void CWceUiDlg::OnBlankLButtonDown(UINT, POINT) {}

namespace {
LPCWSTR AnimateName(BOOL bEntering) {
    return bEntering ? u"in" : u"out";
}
} // namespace

BOOL CWceUiDlg::ApplyWndAnimate(BOOL bEntering) {
    CWceUiLayerHost* pWindow = GetWindow();
    if (NULL == pWindow || !DoesHaveAnimate(AnimateName(bEntering))) {
        return FALSE;
    }
    return pWindow->Apply(NULL);
}

BOOL CWceUiDlg::PlayWndAnimate(BOOL bEntering) {
    CWceUiLayerHost* pWindow = GetWindow();
    if (NULL == pWindow || !DoesHaveAnimate(AnimateName(bEntering))) {
        return FALSE;
    }
    std::unique_ptr<CWceUiWndAnimate> pAnimate(GetWndAnimate(AnimateName(bEntering)));
    if (!pAnimate) {
        return FALSE;
    }
    CWceUiWndAnimate* pOne = pAnimate.get();
    return pWindow->Play(&pOne, 1, TRUE);
}

int CWceUiDlg::DoModal() {
    DlgData* pData = GetDlgData();
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    if (NULL == pData || !WCEUI_CHECK("CWceUiDlg::DoModal", NULL != pCtrl)) {
        return -1;
    }
    CWceUiLayerHost* pWindow = pCtrl->GetWindow();
    if (!WCEUI_CHECK("CWceUiDlg::DoModal", NULL != pWindow) ||
        !WCEUI_CHECK("CWceUiDlg::DoModal", NULL == GetParent())) {
        return -1;
    }
    pData->bEnd = FALSE;
    CWceUiLayer* pRoot = pCtrl->RootLayer();
    CWceUiLayer* pLeftBrother = pRoot->GetLastChild();
    BOOL bApplied = FALSE;
    BOOL bReEnable = FALSE;
    if (NULL != pLeftBrother) {
        if (pLeftBrother->IsLayerEnabled()) {
            WCEUI_CHECK("CWceUiDlg::DoModal", pLeftBrother->IsKindOf(WCEUI_CLASS_NAME(CWceUiDlg)));
            bApplied = ApplyWndAnimate(TRUE);
            pLeftBrother->EnableLayer(FALSE, FALSE);
            bReEnable = TRUE;
        }
    } else {
        RECT rc;
        if (GetDlgWindowRect(&rc)) {
            pWindow->MoveWnd(&rc);
        }
        bApplied = ApplyWndAnimate(TRUE);
    }
    if (!pRoot->AppendChild(this)) {
        if (bReEnable) {
            pLeftBrother->EnableLayer(TRUE, FALSE);
        }
        return -1;
    }
    pData->m_DlgRunWay = DLG_RUN_IN_MODAL;
    InvalidateLayer();
    SendOnInitLayer();
    OnInitDialog();
    if (bApplied) {
        PlayWndAnimate(TRUE);
    }
    if (!pData->bEnd) {
        pWindow->RunModalLoop(&pData->bEnd);
    }
    const BOOL bAppliedOut = ApplyWndAnimate(FALSE);
    // The loop may also have ended without EndDialog (no message can come): the dialog stops running.
    pData->m_DlgRunWay = DLG_RUN_NOT_RUNNING;
    if (pRoot->GetLastChild() == this) {
        pRoot->RemoveTail();
    } else if (pRoot == GetParent()) {
        // A dialog opened above this one is still in the tree: take out only this one.
        pRoot->RemoveChild(this);
    }
    if (bReEnable) {
        pLeftBrother->EnableLayer(TRUE, FALSE);
    }
    if (bAppliedOut) {
        PlayWndAnimate(FALSE);
    }
    pWindow->InvalidateWndRect(NULL, TRUE);
    return pData->nResult;
}

BOOL CWceUiDlg::EndDialog(int nResult) {
    DlgData* pData = GetDlgData();
    if (NULL == pData || !WceUiCheck(DLG_RUN_IN_MODAL == pData->m_DlgRunWay, "CWceUiDlg::EndDialog",
                                     "DLG_RUN_IN_MODAL == GetData()->m_DlgRunWay")) {
        return FALSE;
    }
    pData->nResult = nResult;
    pData->bEnd = TRUE;
    if (CWceUiLayerHost* pWindow = GetWindow()) {
        pWindow->WakeUp();
    }
    pData->m_DlgRunWay = DLG_RUN_NOT_RUNNING;
    return TRUE;
}

BOOL CWceUiDlg::SetProperties(CWceUiXmlElem* pCreateElem) {
    if (!WCEUI_CHECK("CWceUiDlg::SetProperties", NULL != pCreateElem) || NULL == GetDlgData()) {
        return FALSE;
    }
    CWceUiLayer::SetProperties(pCreateElem);
    LPCWSTR pRect =
        NULL == pCreateElem->pDoc ? NULL : pCreateElem->pDoc->GetAttrValue(pCreateElem, u"windowrect");
    if (NULL != pRect) {
        RECT rc;
        if (ConvertRectStrToRect(pRect, &rc)) {
            GetDlgData()->rcWindow = rc;
            GetDlgData()->bHasWindowRect = TRUE;
        } else {
            WceUiLogW(WCEUI_LOG_ERROR, u"CWceUiDlg::SetProperties, windowrect %s is not valid", pRect);
        }
    }
    return TRUE;
}

BOOL CWceUiDlg::Init(LPCWSTR pDlgFileFullPath, LPCWSTR pStyleFileFullPath) {
    DlgData* pData = GetDlgData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiDlg::Init", NULL != pDlgFileFullPath) ||
        !WCEUI_CHECK("CWceUiDlg::Init", NULL != pStyleFileFullPath)) {
        return FALSE;
    }
    if (!pData->styleFile.LoadStyleFile(pStyleFileFullPath)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiDlg::Init, can not load style file %s", pStyleFileFullPath);
        return FALSE;
    }
    if (!pData->doc.LoadXmlFile(pDlgFileFullPath)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiDlg::Init, can not load dlg file %s", pDlgFileFullPath);
        return FALSE;
    }
    CWceUiXmlElem* pRootElem = pData->doc.GetRootElem();
    if (!WCEUI_CHECK("CWceUiDlg::Init", NULL != pRootElem)) {
        return FALSE;
    }
    CWceUiXmlElem* pBody = pData->doc.FindChildElem(pRootElem, u"body");
    if (NULL == pBody) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiDlg::Init, In %s, can not find body elements",
                  pDlgFileFullPath);
        return FALSE;
    }
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    if (!WCEUI_CHECK("CWceUiDlg::Init", NULL != pCtrl)) {
        return FALSE;
    }
    pCtrl->InitLayerInfo(this, pData->doc.GetAttrValue(pBody, u"name"));
    SetProperties(pBody);
    if (!CreateAllChilds(pBody)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiDlg::Init, %s, can not create all childs", pDlgFileFullPath);
        return FALSE;
    }
    SendOnLoad();
    return TRUE;
}

BOOL CWceUiDlg::GetStyleData(LPCWSTR pStyleName, CWceUiStyle* pStyle) {
    DlgData* pData = GetDlgData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiDlg::GetStyleData", NULL != pStyleName) ||
        !WCEUI_CHECK("CWceUiDlg::GetStyleData", *pStyleName) || NULL == pStyle) {
        return FALSE;
    }
    return pData->styleFile.GetStyleData(pStyleName, pStyle);
}

CWceUiWndAnimate* CWceUiDlg::GetWndAnimate(LPCWSTR pName) {
    DlgData* pData = GetDlgData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiDlg::GetWndAnimate", NULL != pName) ||
        !WCEUI_CHECK("CWceUiDlg::GetWndAnimate", *pName)) {
        return NULL;
    }
    return pData->styleFile.GetWndAnimate(pName);
}

BOOL CWceUiDlg::DoesHaveAnimate(LPCWSTR pName) {
    DlgData* pData = GetDlgData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiDlg::DoesHaveAnimate", NULL != pName) ||
        !WCEUI_CHECK("CWceUiDlg::DoesHaveAnimate", *pName)) {
        return FALSE;
    }
    return pData->styleFile.DoesHaveAnimate(pName);
}

namespace {

// The layers whose children are still to be told, most recent on top.
class CLayerStack {
public:
    bool Push(CWceUiLayer* pLayer) {
        if (m_nTop >= WCEUI_LAYER_STACK_SIZE) {
            return false;
        }
        m_items[m_nTop++] = pLayer;
        return true;
    }
    CWceUiLayer* Pop() { return 0 == m_nTop ? NULL : m_items[--m_nTop]; }
    bool IsStackEmpty() const { return 0 == m_nTop; }

private:
    CWceUiLayer* m_items[WCEUI_LAYER_STACK_SIZE];
    int m_nTop = 0;
};

} // namespace

void CWceUiDlg::SendToAll(void (CWceUiLayer::*pHandler)(), const char* pOperation) {
    (this->*pHandler)();
    // Runs of siblings: every layer of a run is told before any of their children; the children of the
    // most recently pushed layer form the next run.
    CLayerStack tmpStack;
    CWceUiLayer* pRun = GetFirstChild();
    while (NULL != pRun) {
        for (CWceUiLayer* p = pRun; NULL != p; p = p->GetParent()->NextChild(p)) {
            (p->*pHandler)();
            if (NULL != p->GetFirstChild() && !tmpStack.Push(p)) {
                WceUiLog(WCEUI_LOG_ERROR, "%s, the layers nest too deep", pOperation);
            }
        }
        CWceUiLayer* pDone = tmpStack.Pop();
        pRun = NULL == pDone ? NULL : pDone->GetFirstChild();
    }
    WCEUI_CHECK(pOperation, tmpStack.IsStackEmpty());
}

void CWceUiDlg::SendOnLoad() {
    SendToAll(&CWceUiLayer::OnLoad, "CWceUiDlg::SendOnLoad");
}

void CWceUiDlg::SendOnInitLayer() {
    SendToAll(&CWceUiLayer::OnInitLayer, "CWceUiDlg::SendOnInitLayer");
}

int CWceUiDlg::GetRunWay() const {
    const DlgData* pData = GetDlgData();
    return NULL == pData ? DLG_RUN_NOT_RUNNING : pData->m_DlgRunWay;
}

void CWceUiDlg::SetRunWay(int nRunWay) {
    if (DlgData* pData = GetDlgData()) {
        pData->m_DlgRunWay = nRunWay;
    }
}

BOOL CWceUiDlg::RunModeless() {
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    if (!WCEUI_CHECK("CWceUiDlg::RunModeless", NULL != pCtrl) ||
        !WCEUI_CHECK("CWceUiDlg::RunModeless", DLG_RUN_NOT_RUNNING == GetRunWay()) ||
        !WCEUI_CHECK("CWceUiDlg::RunModeless", 0 == pCtrl->RootLayer()->GetChildCount())) {
        return FALSE;
    }
    if (!pCtrl->RootLayer()->AppendChild(this)) {
        return FALSE;
    }
    SetRunWay(DLG_RUN_IN_MODELESS);
    SendOnInitLayer();
    OnInitDialog();
    InvalidateLayer();
    return TRUE;
}

BOOL CWceUiDlg::EndModeless() {
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    if (!WCEUI_CHECK("CWceUiDlg::EndModeless", NULL != pCtrl) ||
        !WceUiCheck(DLG_RUN_IN_MODELESS == GetRunWay(), "CWceUiDlg::EndModeless",
                    "DLG_RUN_IN_MODELESS == GetData()->m_DlgRunWay")) {
        return FALSE;
    }
    CWceUiLayer* pRoot = pCtrl->RootLayer();
    if (1 != pRoot->GetChildCount()) {
        WceUiLog(WCEUI_LOG_ERROR,
                 "CWceUiDlg::EndModeless only works when RootLayer has one child and the child "
                 "runs in modeless");
        return FALSE;
    }
    if (pRoot->GetLastChild() != this) {
        WceUiLog(WCEUI_LOG_ERROR,
                 "CWceUiDlg::EndModeless failed ,the last child of root layers is not the caller "
                 "layer");
        return FALSE;
    }
    pRoot->RemoveTail();
    SetRunWay(DLG_RUN_NOT_RUNNING);
    return TRUE;
}

BOOL CWceUiDlg::GetDlgWindowRect(LPRECT lpRect) const {
    const DlgData* pData = GetDlgData();
    if (NULL == pData || NULL == lpRect || !pData->bHasWindowRect) {
        return FALSE;
    }
    *lpRect = pData->rcWindow;
    return TRUE;
}

CWceUiXmlDoc* CWceUiDlg::GetDlgDoc() const {
    DlgData* pData = GetDlgData();
    return NULL == pData ? NULL : &pData->doc;
}

CFhStyleFile* CWceUiDlg::GetStyleFile() const {
    DlgData* pData = GetDlgData();
    return NULL == pData ? NULL : &pData->styleFile;
}
