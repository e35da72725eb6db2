#include "wceui/ui/WceUiLayer.h"

#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/QuickString.h"
#include "wceui/core/WceUiHTList.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/WceUiLoadString.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayerCtrl.h"

#include <algorithm>
#include <vector>

struct CWceUiLayer::Data {
    Data() : children(&CWceUiLayer::m_pSiblingNext, &CWceUiLayer::m_pSiblingPre) {
        SetRectEmpty(&rcNeedDraw);
    }
    CWceUiStyle style;
    CWceUiStyle ownStyle;
    CWceUiLayerCtrl* m_pLayerCtrl = nullptr;
    CQuickString strText;
    CWceUiLoadString textLoader;
    BOOL bReDraw = TRUE;
    CWceUiHTListOf<CWceUiLayer> children;
    CWceUiLayer* pParent = nullptr;
    CQuickString strName;
    RECT rcNeedDraw;
    WORD wLayerID = 0;
    BOOL bTextSet = FALSE;
    std::unique_ptr<CWceUiGenericBitmap> m_pLayerBitmap;
    std::vector<WORD> timers;
    std::vector<UINT> messages;
};

CWceUiLayer::CWceUiLayer()
    : m_pDrawPre(nullptr), m_pDrawNext(nullptr), m_pPaintNext(nullptr), m_pSiblingPre(nullptr),
      m_pSiblingNext(nullptr), m_pInputNext(nullptr), m_pData(WceUiNewRecord<Data>("CWceUiLayer")) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiLayer));
    if (m_pData) {
        m_pData->style.AttachLayer(this);
    }
}

CWceUiLayer::~CWceUiLayer() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    pData->m_pLayerBitmap.reset();
    if (NULL != pData->m_pLayerCtrl) {
        CWceUiLayerHost* pWindow = GetWindow();
        if (NULL != pWindow) {
            for (WORD wTimer : pData->timers) {
                pWindow->KillWndTimer(MAKELONG(pData->wLayerID, wTimer));
            }
            for (UINT uMsg : pData->messages) {
                pWindow->UnRegisterMsg(uMsg, this);
            }
            pWindow->ReleaseCapture(this);
        }
        pData->timers.clear();
        pData->messages.clear();
        if (NULL != pData->pParent) {
            pData->pParent->RemoveChild(this);
        }
    }
    pData->style.AttachLayer(NULL);
    m_pData.reset();
}

CWceUiLayer::Data* CWceUiLayer::GetData() const {
    return m_pData.get();
}

std::unique_ptr<CWceUiGenericBitmap>& CWceUiLayer::LayerBitmapRef() {
    return m_pData->m_pLayerBitmap;
}

// Default hooks.

BOOL CWceUiLayer::SetProperties(CWceUiXmlElem* pCreateElem) {
    if (!WCEUI_CHECK("CWceUiLayer::SetProperties", NULL != pCreateElem) || NULL == pCreateElem->pDoc) {
        return FALSE;
    }
    LPCWSTR pStyle = pCreateElem->pDoc->GetAttrValue(pCreateElem, u"style");
    LPCWSTR pCommon = pCreateElem->pDoc->GetAttrValue(pCreateElem, u"common.style");
    if (NULL != pCommon && 0 != *pCommon && !SetCommonStyle(pCommon)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiLayer::SetProperties, Set common style %s failed", pCommon);
    }
    if (NULL != pStyle && 0 != *pStyle && !SetStyle(pStyle)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiLayer::SetProperties, Set style %s failed", pStyle);
    }
    return TRUE;
}

void CWceUiLayer::OnLoad() {}
void CWceUiLayer::OnInitLayer() {}
void CWceUiLayer::OnTimer(WORD) {}
void CWceUiLayer::OnLoseCapture() {}
LRESULT CWceUiLayer::OnMessage(UINT, WPARAM, LPARAM) {
    return 0;
}
BOOL CWceUiLayer::OnPreMessage(UINT, WPARAM, LPARAM) {
    return FALSE;
}
void CWceUiLayer::OnLButtonDown(UINT, POINT) {}
void CWceUiLayer::OnLButtonUp(UINT, POINT) {}
void CWceUiLayer::OnLButtonDblClk(UINT, POINT) {}
void CWceUiLayer::OnMouseMove(UINT, POINT) {}
void CWceUiLayer::OnKeyDown(UINT, UINT, UINT) {}
void CWceUiLayer::OnKeyUp(UINT, UINT, UINT) {}
void CWceUiLayer::OnCommand(CWceUiLayer*) {}
void CWceUiLayer::OnChar(UINT, UINT, UINT) {}
void CWceUiLayer::OnSetFocus() {}
void CWceUiLayer::OnKillFocus() {}
void CWceUiLayer::OnDrawExtra(CWceUiGenericBitmap*, BOOL) {}
void CWceUiLayer::AppendDumpInfo(std::string*, std::vector<std::string>*) const {}
LPCWSTR CWceUiLayer::GetDumpText() const {
    return GetText();
}

BOOL CWceUiLayer::IsReDraw() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bReDraw;
}

void CWceUiLayer::SetReDraw(BOOL bReDraw) {
    if (Data* pData = GetData()) {
        pData->bReDraw = bReDraw;
    }
}

// Tree.

namespace {
int LayerDepth(const CWceUiLayer* pLayer) {
    int n = 0;
    for (const CWceUiLayer* p = pLayer->GetParent(); NULL != p; p = p->GetParent()) {
        ++n;
    }
    return n;
}

// The levels below a layer, counted without recursion through the parent and sibling links.
int SubtreeHeight(CWceUiLayer* pTop) {
    int nMax = 0;
    int nDepth = 0;
    CWceUiLayer* p = pTop;
    while (NULL != p) {
        if (NULL != p->GetFirstChild()) {
            p = p->GetFirstChild();
            ++nDepth;
            nMax = nDepth > nMax ? nDepth : nMax;
            continue;
        }
        while (NULL != p && p != pTop && NULL == p->GetParent()->NextChild(p)) {
            p = p->GetParent();
            --nDepth;
        }
        if (NULL == p || p == pTop) {
            break;
        }
        p = p->GetParent()->NextChild(p);
    }
    return nMax;
}
} // namespace

void CWceUiLayer::RebuildLists(BOOL bDraw, BOOL bInput) {
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    if (NULL == pCtrl) {
        return;
    }
    if (bDraw) {
        pCtrl->ReBuildDrawList();
    }
    if (bInput) {
        pCtrl->ReBuildInputList();
    }
}

BOOL CWceUiLayer::AppendChild(CWceUiLayer* pNewChild) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayer::AppendChild", NULL != GetLayerCtrl()) ||
        !WCEUI_CHECK("CWceUiLayer::AppendChild", NULL != pNewChild) || pNewChild == this) {
        return FALSE;
    }
    if (NULL != pNewChild->GetParent()) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiLayer::AppendChild failed, pNewChild->GetParent() must be NULL");
        return FALSE;
    }
    // A layer may not become a child of its own subtree: the tree would turn into a loop.
    for (CWceUiLayer* p = this; NULL != p; p = p->GetParent()) {
        if (p == pNewChild) {
            WceUiLog(WCEUI_LOG_ERROR, "CWceUiLayer::AppendChild failed, the child is an ancestor");
            return FALSE;
        }
    }
    Data* pChildData = pNewChild->GetData();
    if (NULL == pChildData) {
        return FALSE;
    }
    // The walks over the tree hold one entry per level: a tree deeper than that is refused here.
    if (LayerDepth(this) + 1 + SubtreeHeight(pNewChild) >= WCEUI_LAYER_STACK_SIZE) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiLayer::AppendChild failed, layers may nest at most %d levels deep",
                 WCEUI_LAYER_STACK_SIZE - 1);
        return FALSE;
    }
    pData->children.AddTail(pNewChild);
    pChildData->pParent = this;
    RebuildLists(TRUE, TRUE);
    return TRUE;
}

BOOL CWceUiLayer::RemoveChild(CWceUiLayer* pChild) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayer::RemoveChild", NULL != GetLayerCtrl()) ||
        !WCEUI_CHECK("CWceUiLayer::RemoveChild", NULL != pChild) ||
        !WCEUI_CHECK("CWceUiLayer::RemoveChild", pChild->GetParent() == this)) {
        return FALSE;
    }
    pData->children.Remove(pChild);
    pChild->m_pSiblingNext = nullptr;
    pChild->m_pSiblingPre = nullptr;
    pChild->GetData()->pParent = nullptr;
    RebuildLists(TRUE, TRUE);
    return TRUE;
}

BOOL CWceUiLayer::RemoveTail() {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayer::RemoveTail", NULL != GetLayerCtrl())) {
        return FALSE;
    }
    CWceUiLayer* pTail = pData->children.RemoveTail();
    if (NULL == pTail) {
        return FALSE;
    }
    pTail->m_pSiblingNext = nullptr;
    pTail->m_pSiblingPre = nullptr;
    pTail->GetData()->pParent = nullptr;
    RebuildLists(TRUE, TRUE);
    return TRUE;
}

CWceUiLayer* CWceUiLayer::GetFirstChild() const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->children.GetHead();
}

CWceUiLayer* CWceUiLayer::GetLastChild() const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->children.GetTail();
}

CWceUiLayer* CWceUiLayer::NextChild(CWceUiLayer* pChild) const {
    return NULL == pChild ? NULL : pChild->m_pSiblingNext;
}

CWceUiLayer* CWceUiLayer::PreChild(CWceUiLayer* pChild) const {
    return NULL == pChild ? NULL : pChild->m_pSiblingPre;
}

int CWceUiLayer::GetChildCount() const {
    const Data* pData = GetData();
    return NULL == pData ? 0 : pData->children.GetCount();
}

CWceUiLayer* CWceUiLayer::GetParent() const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->pParent;
}

CWceUiLayer* CWceUiLayer::GetChildByName(LPCWSTR pName) const {
    if (NULL == pName || 0 == *pName) {
        return NULL;
    }
    for (CWceUiLayer* p = GetFirstChild(); NULL != p; p = p->m_pSiblingNext) {
        if (p->IsEqualName(pName)) {
            return p;
        }
    }
    return NULL;
}

BOOL CWceUiLayer::IsEqualName(LPCWSTR pName) const {
    const Data* pData = GetData();
    if (NULL == pData || NULL == pName) {
        return FALSE;
    }
    // Two empty names are equal; GetChildByName refuses an empty name itself.
    return 0 == WStrICmp(pData->strName, pName);
}

CWceUiDlg* CWceUiLayer::GetDlg() {
    CWceUiLayer* pLayer = this;
    while (NULL != pLayer && !pLayer->IsKindOf(WCEUI_CLASS_NAME(CWceUiDlg))) {
        pLayer = pLayer->GetParent();
    }
    if (!WCEUI_CHECK("CWceUiLayer::GetDlg", NULL != pLayer)) {
        return NULL;
    }
    return static_cast<CWceUiDlg*>(pLayer);
}

CWceUiLayer* CWceUiLayer::GetNotifyTarget() {
    CWceUiLayer* pParent = GetParent();
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    // A dialog (a child of the root) tells itself; a layer outside a tree has nobody to tell.
    if (NULL != pParent && NULL != pCtrl && pParent == pCtrl->RootLayer()) {
        return this;
    }
    return pParent;
}

CWceUiLayerCtrl* CWceUiLayer::GetLayerCtrl() const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->m_pLayerCtrl;
}

void CWceUiLayer::SetLayerCtrl(CWceUiLayerCtrl* pLayerCtrl) {
    if (Data* pData = GetData()) {
        pData->m_pLayerCtrl = pLayerCtrl;
    }
}

WORD CWceUiLayer::GetLayerID() const {
    const Data* pData = GetData();
    return NULL == pData ? 0 : pData->wLayerID;
}

void CWceUiLayer::SetLayerID(WORD wID) {
    if (Data* pData = GetData()) {
        pData->wLayerID = wID;
    }
}

CWceUiLayerHost* CWceUiLayer::GetWindow() const {
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    return NULL == pCtrl ? NULL : pCtrl->GetWindow();
}

// Geometry.

BOOL CWceUiLayer::GetLayerPosition(LPRECT lpRect, int* pnPosWay) const {
    const Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayer::GetLayerPosition", NULL != lpRect)) {
        return FALSE;
    }
    BOOL bRelative = FALSE;
    pData->style.GetPosition(lpRect, &bRelative);
    if (NULL != pnPosWay) {
        *pnPosWay = bRelative;
    }
    return TRUE;
}

BOOL CWceUiLayer::GetClientRect(LPRECT lpRect) const {
    RECT rc;
    if (!WCEUI_CHECK("CWceUiLayer::GetClientRect", NULL != lpRect) || !GetLayerPosition(&rc)) {
        return FALSE;
    }
    SetRect(lpRect, 0, 0, rc.right - rc.left, rc.bottom - rc.top);
    return TRUE;
}

BOOL CWceUiLayer::CalcWindowRect(LPCRECT lpPos, int nPosWay, LPRECT lpOut, const char* pOperation) const {
    if (WCEUI_POS_WAY_WINDOW == nPosWay) {
        *lpOut = *lpPos;
        return TRUE;
    }
    if (WCEUI_POS_WAY_RELATIVE != nPosWay) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::%s, posWay is invalid", "CWceUiLayer", pOperation);
        return FALSE;
    }
    *lpOut = *lpPos;
    CWceUiLayer* pParent = GetParent();
    RECT rcParent;
    if (NULL != pParent && pParent->GetWindowRect(&rcParent)) {
        OffsetRect(lpOut, rcParent.left, rcParent.top);
    }
    return TRUE;
}

BOOL CWceUiLayer::GetWindowRect(LPRECT lpRect) const {
    RECT rcPos;
    int nWay = 0;
    if (!WCEUI_CHECK("CWceUiLayer::GetWindowRect", NULL != lpRect) || !GetLayerPosition(&rcPos, &nWay)) {
        return FALSE;
    }
    RECT rcOut;
    if (!CalcWindowRect(&rcPos, nWay, &rcOut, "GetWindowRect")) {
        return FALSE;
    }
    *lpRect = rcOut;
    return TRUE;
}

void CWceUiLayer::ClientToWindow(LPRECT lpRect) const {
    RECT rc;
    if (NULL != lpRect && GetWindowRect(&rc)) {
        OffsetRect(lpRect, rc.left, rc.top);
    }
}

void CWceUiLayer::ClientToWindow(LPPOINT lpPoint) const {
    RECT rc;
    if (NULL != lpPoint && GetWindowRect(&rc)) {
        lpPoint->x += rc.left;
        lpPoint->y += rc.top;
    }
}

void CWceUiLayer::WindowToClient(LPRECT lpRect) const {
    RECT rc;
    if (NULL != lpRect && GetWindowRect(&rc)) {
        OffsetRect(lpRect, -rc.left, -rc.top);
    }
}

void CWceUiLayer::WindowToClient(LPPOINT lpPoint) const {
    RECT rc;
    if (NULL != lpPoint && GetWindowRect(&rc)) {
        lpPoint->x -= rc.left;
        lpPoint->y -= rc.top;
    }
}

BOOL CWceUiLayer::SetLayerPosition(LPCRECT lpRect, int nPosWay, BOOL bRedraw) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayer::SetLayerPosition", NULL != lpRect)) {
        return FALSE;
    }
    RECT rcOld;
    const BOOL bHaveOld = GetWindowRect(&rcOld);
    RECT rcNew;
    if (!CalcWindowRect(lpRect, nPosWay, &rcNew, "SetLayerPosition")) {
        return FALSE;
    }
    const BOOL bSame = bHaveOld && EqualRect(&rcOld, &rcNew);
    if (bRedraw && !bSame && IsLayerVisible()) {
        if (bHaveOld) {
            InvalidateLayer(&rcOld);
        }
        InvalidateLayer(&rcNew);
    }
    if (bSame) {
        return TRUE;
    }
    pData->style.StorePosition(lpRect, nPosWay);
    RebuildLists(FALSE, TRUE);
    return TRUE;
}

BOOL CWceUiLayer::MoveLayer(LPCRECT lpWindowRect, BOOL bRedraw) {
    RECT rcPos;
    int nWay = 0;
    if (!WCEUI_CHECK("CWceUiLayer::MoveLayer", NULL != lpWindowRect) || !GetLayerPosition(&rcPos, &nWay)) {
        return FALSE;
    }
    RECT rc = *lpWindowRect;
    if (WCEUI_POS_WAY_RELATIVE == nWay) {
        CWceUiLayer* pParent = GetParent();
        RECT rcParent;
        if (NULL != pParent && pParent->GetWindowRect(&rcParent)) {
            OffsetRect(&rc, -rcParent.left, -rcParent.top);
        }
    } else if (WCEUI_POS_WAY_WINDOW != nWay) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::MoveLayer, posWay is invalid", "CWceUiLayer");
        return FALSE;
    }
    return SetLayerPosition(&rc, nWay, bRedraw);
}

// State.

void CWceUiLayer::ShowLayer(BOOL bShow, BOOL bRemember) {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    bShow = bShow ? TRUE : FALSE;
    if (bRemember) {
        pData->ownStyle.StoreVisible(bShow);
        pData->ownStyle.SetSetFlag(WCEUI_STYLE_VISIBILITY, TRUE);
    }
    if ((pData->style.IsVisible() ? TRUE : FALSE) == bShow) {
        return;
    }
    // Hiding: the area must be repainted while the layer still counts as visible to its parents.
    RECT rc;
    const BOOL bHaveRect = GetWindowRect(&rc);
    pData->style.StoreVisible(bShow);
    RebuildLists(TRUE, TRUE);
    // The whole area, even of a container: after hiding, its children no longer count as visible.
    CWceUiLayerHost* pWindow = GetWindow();
    if (bHaveRect && NULL != pWindow) {
        pWindow->InvalidateWndRect(&rc, TRUE);
    }
}

void CWceUiLayer::EnableLayer(BOOL bEnable, BOOL bRemember) {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    bEnable = bEnable ? TRUE : FALSE;
    if (bRemember) {
        pData->ownStyle.StoreEnabled(bEnable);
        pData->ownStyle.SetSetFlag(WCEUI_STYLE_DISABILITY, TRUE);
    }
    if ((pData->style.IsEnabled() ? TRUE : FALSE) == bEnable) {
        return;
    }
    pData->style.StoreEnabled(bEnable);
    if (!bEnable) {
        ReleaseLayerCapture();
    }
    RebuildLists(TRUE, TRUE);
    if (IsLayerVisible()) {
        InvalidateLayer();
    }
}

void CWceUiLayer::SetLayerContainer(BOOL bContainer) {
    Data* pData = GetData();
    if (NULL == pData || (pData->style.IsContainer() ? TRUE : FALSE) == (bContainer ? TRUE : FALSE)) {
        return;
    }
    pData->style.StoreContainer(bContainer ? TRUE : FALSE);
    RebuildLists(TRUE, TRUE);
    if (IsLayerVisible()) {
        InvalidateLayer();
    }
}

void CWceUiLayer::SetLayerNoDraw(BOOL bNoDraw) {
    Data* pData = GetData();
    if (NULL == pData || (pData->style.IsNoDraw() ? TRUE : FALSE) == (bNoDraw ? TRUE : FALSE)) {
        return;
    }
    pData->style.StoreNoDraw(bNoDraw ? TRUE : FALSE);
    RebuildLists(TRUE, FALSE);
}

void CWceUiLayer::SetLayerNoInput(BOOL bNoInput) {
    Data* pData = GetData();
    if (NULL == pData || (pData->style.IsNoInput() ? TRUE : FALSE) == (bNoInput ? TRUE : FALSE)) {
        return;
    }
    pData->style.StoreNoInput(bNoInput ? TRUE : FALSE);
    RebuildLists(FALSE, TRUE);
}

BOOL CWceUiLayer::IsLayerVisible() const {
    for (const CWceUiLayer* p = this; NULL != p; p = p->GetParent()) {
        const Data* pData = p->GetData();
        if (NULL == pData || !pData->style.IsVisible()) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CWceUiLayer::IsLayerEnabled() const {
    for (const CWceUiLayer* p = this; NULL != p; p = p->GetParent()) {
        const Data* pData = p->GetData();
        if (NULL == pData || !pData->style.IsEnabled()) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CWceUiLayer::IsLayerContainer() const {
    const Data* pData = GetData();
    return NULL != pData && pData->style.IsContainer();
}

BOOL CWceUiLayer::IsLayerNoDraw() const {
    const Data* pData = GetData();
    return NULL != pData && (pData->style.IsContainer() || pData->style.IsNoDraw());
}

BOOL CWceUiLayer::IsLayerNoInput() const {
    const Data* pData = GetData();
    return NULL != pData && (pData->style.IsContainer() || pData->style.IsNoInput());
}

void CWceUiLayer::OnStyleSetPosition(LPCRECT lpRect, BOOL bRelative) {
    SetLayerPosition(lpRect, bRelative, TRUE);
}

void CWceUiLayer::OnStyleSetVisible(BOOL bVisible) {
    ShowLayer(bVisible, FALSE);
}

void CWceUiLayer::OnStyleSetEnabled(BOOL bEnabled) {
    EnableLayer(bEnabled, FALSE);
}

void CWceUiLayer::OnStyleSetContainer(BOOL bContainer) {
    SetLayerContainer(bContainer);
}

void CWceUiLayer::OnStyleSetNoDraw(BOOL bNoDraw) {
    SetLayerNoDraw(bNoDraw);
}

void CWceUiLayer::OnStyleSetNoInput(BOOL bNoInput) {
    SetLayerNoInput(bNoInput);
}

// Name and text.

BOOL CWceUiLayer::SetName(LPCWSTR pName) {
    Data* pData = GetData();
    return NULL != pData && pData->strName.SetString(pName);
}

LPCWSTR CWceUiLayer::GetName() const {
    const Data* pData = GetData();
    return NULL == pData ? u"" : pData->strName.GetString();
}

BOOL CWceUiLayer::SetText(LPCWSTR pText) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayer::SetText", NULL != pText)) {
        return FALSE;
    }
    pData->bTextSet = TRUE;
    pData->strText.SetString(pText);
    if (IsLayerVisible()) {
        InvalidateLayer();
    }
    return TRUE;
}

BOOL CWceUiLayer::SetTextResID(LPCWSTR pTextResID) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    pData->bTextSet = FALSE;
    pData->style.SetTextResID(NULL == pTextResID ? u"" : pTextResID);
    if (IsLayerVisible()) {
        InvalidateLayer();
    }
    return TRUE;
}

LPCWSTR CWceUiLayer::GetText() const {
    const Data* pData = GetData();
    return NULL == pData ? u"" : pData->strText.GetString();
}

BOOL CWceUiLayer::IsTextSet() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bTextSet;
}

void CWceUiLayer::RefreshText() {
    Data* pData = GetData();
    if (NULL == pData || pData->bTextSet) {
        return;
    }
    LPCWSTR pID = pData->style.GetTextResID();
    if (NULL == pID || 0 == *pID) {
        pData->strText.SetString(u"");
        return;
    }
    LPCWSTR pLoaderID = pData->textLoader.GetTextResID();
    if (NULL == pLoaderID || 0 != WStrCmp(pLoaderID, pID)) {
        pData->textLoader.SetTextResID(pID);
    }
    LPCWSTR pText = pData->textLoader.GetText();
    if (NULL != pText && 0 != WStrCmp(pText, pData->strText)) {
        pData->strText.SetString(pText);
    }
}

// Styles.

CWceUiStyle* CWceUiLayer::GetStyle() const {
    Data* pData = GetData();
    return NULL == pData ? NULL : &pData->style;
}

CWceUiStyle* CWceUiLayer::GetOwnStyle() const {
    Data* pData = GetData();
    return NULL == pData ? NULL : &pData->ownStyle;
}

BOOL CWceUiLayer::SetCommonStyle(LPCWSTR pStyleName) {
    Data* pData = GetData();
    CWceUiDlg* pDlg = GetDlg();
    if (NULL == pData || NULL == pDlg || !pDlg->GetStyleData(pStyleName, &pData->ownStyle)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Can not load the style %s", NULL == pStyleName ? u"" : pStyleName);
        return FALSE;
    }
    return TRUE;
}

BOOL CWceUiLayer::SetStyle(LPCWSTR pStyleName) {
    Data* pData = GetData();
    CWceUiDlg* pDlg = GetDlg();
    CWceUiStyle loaded;
    if (NULL == pData || NULL == pDlg || !pDlg->GetStyleData(pStyleName, &loaded)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"Can not load style %s", NULL == pStyleName ? u"" : pStyleName);
        return FALSE;
    }
    // Position and flags go through this layer's callbacks, which move, show and rebuild as needed.
    pData->style.Combine(pData->ownStyle, loaded);
    if (IsLayerVisible()) {
        InvalidateLayer();
    }
    return TRUE;
}

BOOL CWceUiLayer::CreateAllChilds(CWceUiXmlElem* pElem, CWceUiLayer** ppFirstLayer) {
    if (NULL != ppFirstLayer) {
        *ppFirstLayer = NULL;
    }
    if (!WCEUI_CHECK("CWceUiLayer::CreateAllChilds", NULL != pElem) || NULL == pElem->pDoc) {
        return FALSE;
    }
    CWceUiXmlDoc* pDoc = pElem->pDoc;
    auto nextElem = [](CWceUiXmlElem* p) {
        while (NULL != p && WCEUI_XML_ELEMENT != p->nKind) {
            p = p->pNextSibling;
        }
        return p;
    };
    CWceUiXmlElem* pCur = nextElem(pElem->children.GetHead());
    if (NULL == pCur) {
        return TRUE;
    }
    CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
    if (!WCEUI_CHECK("CWceUiLayer::CreateAllChilds", NULL != pCtrl)) {
        return FALSE;
    }
    struct Pair {
        CWceUiXmlElem* pElem;
        CWceUiLayer* pLayer;
    };
    Pair stack[WCEUI_LAYER_STACK_SIZE];
    int nTop = 0;
    stack[nTop++] = {pElem, this};
    while (NULL != pCur) {
        CWceUiLayer* pParent = stack[nTop - 1].pLayer;
        LPCWSTR pType = pDoc->GetAttrValue(pCur, u"type");
        if (NULL == pType) {
            WceUiLog(WCEUI_LOG_ERROR, "Create layer from XML element failed, no type attributes");
            return FALSE;
        }
        LPCWSTR pName = pDoc->GetAttrValue(pCur, u"name");
        CWceUiXmlElem* pFirstChild = nextElem(pCur->children.GetHead());
        // The stack holds one pair per open level; an element whose children would not fit is refused
        // before anything of it is made.
        if (NULL != pFirstChild && nTop >= WCEUI_LAYER_STACK_SIZE) {
            WceUiLogW(WCEUI_LOG_ERROR, u"Create layer from XML element failed, the type is %s", pType);
            WceUiLog(WCEUI_LOG_ERROR, "CWceUiLayer::CreateAllChilds, the layers nest deeper than %d levels",
                     WCEUI_LAYER_STACK_SIZE - 1);
            return FALSE;
        }
        CWceUiLayer* pNew = pCtrl->CreateLayer(pParent, pType, pName);
        if (NULL == pNew) {
            WceUiLogW(WCEUI_LOG_ERROR, u"Create layer from XML element failed, the type is %s", pType);
            return FALSE;
        }
        pNew->SetProperties(pCur);
        if (NULL != ppFirstLayer && NULL == *ppFirstLayer) {
            *ppFirstLayer = pNew;
        }
        if (NULL != pFirstChild) {
            stack[nTop++] = {pCur, pNew};
            pCur = pFirstChild;
            continue;
        }
        CWceUiXmlElem* pNext = nextElem(pCur->pNextSibling);
        while (NULL == pNext && nTop > 1) {
            CWceUiXmlElem* pDone = stack[--nTop].pElem;
            pNext = nextElem(pDone->pNextSibling);
        }
        if (NULL == pNext) {
            --nTop;
        }
        pCur = pNext;
    }
    if (0 != nTop) {
        WceUiLog(WCEUI_LOG_ERROR, "exception in CWceUiLayer::CreateAllChilds, the stack must be empty");
        return FALSE;
    }
    return TRUE;
}

void CWceUiLayer::GetNeedDrawRect(LPRECT lpRect) const {
    const Data* pData = GetData();
    if (NULL != pData && NULL != lpRect) {
        *lpRect = pData->rcNeedDraw;
    }
}

void CWceUiLayer::SetNeedDrawRect(LPCRECT lpRect) {
    Data* pData = GetData();
    if (NULL != pData && NULL != lpRect) {
        pData->rcNeedDraw = *lpRect;
    }
}

// Services of the host window.

void CWceUiLayer::InvalidateLayer(LPCRECT lpWindowRect) {
    if (IsLayerContainer()) {
        // A container draws nothing itself: what shows in its area are its children.
        for (CWceUiLayer* p = GetFirstChild(); NULL != p; p = p->m_pSiblingNext) {
            if (p->IsLayerVisible()) {
                p->InvalidateLayer(lpWindowRect);
            }
        }
        return;
    }
    CWceUiLayerHost* pWindow = GetWindow();
    if (NULL == pWindow) {
        return;
    }
    RECT rc;
    if (NULL == lpWindowRect) {
        if (!GetWindowRect(&rc)) {
            return;
        }
        lpWindowRect = &rc;
    }
    pWindow->InvalidateWndRect(lpWindowRect, TRUE);
}

BOOL CWceUiLayer::SetLayerTimer(WORD wTimerNum, UINT uElapse) {
    Data* pData = GetData();
    CWceUiLayerHost* pWindow = GetWindow();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayer::SetLayerTimer", NULL != pWindow)) {
        return FALSE;
    }
    if (std::find(pData->timers.begin(), pData->timers.end(), wTimerNum) == pData->timers.end()) {
        pData->timers.push_back(wTimerNum);
    }
    return pWindow->SetWndTimer(MAKELONG(pData->wLayerID, wTimerNum), uElapse);
}

BOOL CWceUiLayer::KillLayerTimer(WORD wTimerNum) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    auto it = std::find(pData->timers.begin(), pData->timers.end(), wTimerNum);
    if (it == pData->timers.end()) {
        return FALSE;
    }
    pData->timers.erase(it);
    CWceUiLayerHost* pWindow = GetWindow();
    return NULL != pWindow && pWindow->KillWndTimer(MAKELONG(pData->wLayerID, wTimerNum));
}

BOOL CWceUiLayer::RegisterMsg(UINT uMsg) {
    Data* pData = GetData();
    CWceUiLayerHost* pWindow = GetWindow();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayer::RegisterMsg", NULL != pWindow)) {
        return FALSE;
    }
    if (std::find(pData->messages.begin(), pData->messages.end(), uMsg) != pData->messages.end()) {
        return TRUE;
    }
    if (!pWindow->RegisterMsg(uMsg, this)) {
        return FALSE;
    }
    pData->messages.push_back(uMsg);
    return TRUE;
}

BOOL CWceUiLayer::SetLayerCapture() {
    CWceUiLayerHost* pWindow = GetWindow();
    if (!WCEUI_CHECK("CWceUiLayer::SetLayerCapture", NULL != pWindow)) {
        return FALSE;
    }
    pWindow->SetCapture(this);
    return TRUE;
}

BOOL CWceUiLayer::ReleaseLayerCapture() {
    CWceUiLayerHost* pWindow = GetWindow();
    if (NULL == pWindow || pWindow->GetCaptureLayer() != this) {
        return FALSE;
    }
    pWindow->ReleaseCapture(this);
    return TRUE;
}

BOOL CWceUiLayer::HasCapture() const {
    CWceUiLayerHost* pWindow = GetWindow();
    return NULL != pWindow && pWindow->GetCaptureLayer() == this;
}
