#include "wceui/ui/WceUiDlg.h"

#include "wceui/bitmap/WceUiRectOps.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/FhStyleFile.h"
#include "wceui/ui/WceUiLayerCtrl.h"

struct CWceUiDlg::DlgData {
    CWceUiXmlDoc doc;
    CFhStyleFile styleFile;
    RECT rcWindow = {0, 0, 0, 0};
    BOOL bHasWindowRect = FALSE;
    int m_DlgRunWay = DLG_RUN_NOT_RUNNING;
    BOOL bEnd = FALSE;
    int nResult = -1;
};

CWceUiDlg::CWceUiDlg() : m_pDlgData(new (std::nothrow) DlgData) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiDlg));
}

CWceUiDlg::~CWceUiDlg() {
    delete m_pDlgData;
    m_pDlgData = nullptr;
}

CWceUiDlg::DlgData* CWceUiDlg::GetDlgData() const {
    WCEUI_CHECK("CWceUiDlg::GetData", NULL != m_pDlgData);
    return m_pDlgData;
}

void CWceUiDlg::OnInitDialog() {}
void CWceUiDlg::OnBlankLButtonDown(UINT, POINT) {}

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

void CWceUiDlg::SendToAll(void (CWceUiLayer::*pHandler)()) {
    (this->*pHandler)();
    // Runs of siblings: every layer of a run is told before any of their children; the children of the
    // most recently pushed layer form the next run.
    CWceUiLayer* stack[WCEUI_LAYER_STACK_SIZE];
    int nTop = 0;
    CWceUiLayer* pRun = GetFirstChild();
    while (NULL != pRun) {
        for (CWceUiLayer* p = pRun; NULL != p; p = p->GetParent()->NextChild(p)) {
            (p->*pHandler)();
            if (NULL != p->GetFirstChild()) {
                if (nTop < WCEUI_LAYER_STACK_SIZE) {
                    stack[nTop++] = p;
                } else {
                    WceUiLog(WCEUI_LOG_ERROR, "CWceUiDlg::SendOnLoad, the layers nest too deep");
                }
            }
        }
        pRun = 0 == nTop ? NULL : stack[--nTop]->GetFirstChild();
    }
    WCEUI_CHECK("CWceUiDlg::SendOnLoad", 0 == nTop);
}

void CWceUiDlg::SendOnLoad() {
    SendToAll(&CWceUiLayer::OnLoad);
}

void CWceUiDlg::SendOnInitLayer() {
    SendToAll(&CWceUiLayer::OnInitLayer);
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
        !WCEUI_CHECK("CWceUiDlg::EndModeless", DLG_RUN_IN_MODELESS == GetRunWay())) {
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
