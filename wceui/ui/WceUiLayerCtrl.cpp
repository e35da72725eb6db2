#include "wceui/ui/WceUiLayerCtrl.h"

#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiHList.h"
#include "wceui/core/WceUiHTList.h"
#include "wceui/core/WceUiAssert.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayer.h"

#include <cstring>
#include <unordered_map>
#include <vector>

namespace {
const WCHAR kRootName[] = u"__root_of_body__";
const int kIdMapBuckets = 401;
} // namespace

// Identifiers.

struct CWUniqueID::Data {
    DWORD dwNext = 1;
    std::vector<WORD> table; // identifiers in use; INVALID_ID marks a free slot
    int nUsed = 0;
};

CWUniqueID::CWUniqueID() : m_pData(new Data) {}
CWUniqueID::~CWUniqueID() = default;

BOOL CWUniqueID::IsInUse(DWORD dwID) const {
    if (0 == dwID || dwID >= INVALID_ID) {
        return FALSE;
    }
    for (WORD w : m_pData->table) {
        if (w == dwID) {
            return TRUE;
        }
    }
    return FALSE;
}

int CWUniqueID::GetUsedCount() const {
    return m_pData->nUsed;
}

DWORD CWUniqueID::GetID() {
    Data& d = *m_pData;
    DWORD dwID = INVALID_ID;
    if (d.dwNext != INVALID_ID) {
        dwID = d.dwNext++;
    } else {
        // The counter has run out: the lowest identifier nobody holds.
        std::vector<bool> used(INVALID_ID, false);
        for (WORD w : d.table) {
            if (w != INVALID_ID) {
                used[w] = true;
            }
        }
        for (DWORD i = 1; i < INVALID_ID; ++i) {
            if (!used[i]) {
                dwID = i;
                break;
            }
        }
        if (INVALID_ID == dwID) {
            WceUiLog(WCEUI_LOG_ERROR, "CWUniqueID::GetID failed, all 1-65534 is used.");
            return INVALID_ID;
        }
    }
    // A free slot exists only when some identifier was released.
    if (static_cast<size_t>(d.nUsed) < d.table.size()) {
        for (WORD& w : d.table) {
            if (w == INVALID_ID) {
                w = static_cast<WORD>(dwID);
                ++d.nUsed;
                return dwID;
            }
        }
    }
    if (d.table.size() == d.table.capacity()) {
        d.table.reserve(d.table.size() + TABLE_STEP);
    }
    d.table.push_back(static_cast<WORD>(dwID));
    ++d.nUsed;
    return dwID;
}

void CWUniqueID::ReleaseID(DWORD dwID) {
    if (!WCEUI_CHECK("CWUniqueID::ReleaseID", 0 == HIWORD(dwID))) {
        return;
    }
    if (0 != dwID && dwID != INVALID_ID) {
        for (WORD& w : m_pData->table) {
            if (w == dwID) {
                w = INVALID_ID;
                --m_pData->nUsed;
                return;
            }
        }
    }
    WceUiLog(WCEUI_LOG_WARNING, "CWUniqueID::ReleaseID, Release ID %d, but not found", (int)dwID);
}

// The controller.

namespace {

// Identifier to layer, in buckets by (identifier >> 4) modulo their number.
class CLayerIdMap {
public:
    CLayerIdMap() : m_buckets(kIdMapBuckets) {}
    void Add(DWORD dwID, CWceUiLayer* pLayer) {
        m_buckets[Bucket(dwID)].push_back({dwID, pLayer});
        ++m_nCount;
    }
    void Remove(DWORD dwID) {
        auto& bucket = m_buckets[Bucket(dwID)];
        for (size_t i = 0; i < bucket.size(); ++i) {
            if (bucket[i].dwID == dwID) {
                bucket.erase(bucket.begin() + static_cast<long>(i));
                --m_nCount;
                return;
            }
        }
    }
    CWceUiLayer* Find(DWORD dwID) const {
        for (const Entry& e : m_buckets[Bucket(dwID)]) {
            if (e.dwID == dwID) {
                return e.pLayer;
            }
        }
        return nullptr;
    }
    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return 0 == m_nCount; }

private:
    struct Entry {
        DWORD dwID;
        CWceUiLayer* pLayer;
    };
    static size_t Bucket(DWORD dwID) { return (dwID >> 4) % kIdMapBuckets; }
    std::vector<std::vector<Entry>> m_buckets;
    int m_nCount = 0;
};

} // namespace

struct CWceUiLayerCtrl::Data {
    Data()
        : drawList(&CWceUiLayer::m_pDrawNext, &CWceUiLayer::m_pDrawPre),
          inputList(&CWceUiLayer::m_pInputNext), paintList(&CWceUiLayer::m_pPaintNext) {}
    CWUniqueID idAlloc;
    CLayerIdMap m_IdMap;
    CWceUiLayerHost* m_pWindow = nullptr;
    CWceUiHTListOf<CWceUiLayer> drawList;
    CWceUiHListOf<CWceUiLayer> inputList;
    CWceUiHListOf<CWceUiLayer> paintList;
    CWceUiLayer* m_pBody = nullptr;
    std::vector<BYTE> mask; // the paint list's coverage mask, kept between paints
};

CWceUiLayerCtrl::CWceUiLayerCtrl() : m_pData(WceUiNewRecord<Data>("CWceUiLayerCtrl")) {
    InitBody();
}

CWceUiLayerCtrl::~CWceUiLayerCtrl() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    if (NULL != pData->m_pBody) {
        CWceUiLayer* pBody = pData->m_pBody;
        const DWORD dwID = pBody->GetLayerID();
        pData->m_IdMap.Remove(dwID);
        pData->idAlloc.ReleaseID(dwID);
        // The root goes without a controller so that it does not rebuild lists of a dying controller.
        pBody->SetLayerCtrl(NULL);
        pData->m_pBody = nullptr;
        delete pBody;
    }
    if (!WCEUI_CHECK("CWceUiLayerCtrl::~CWceUiLayerCtrl", GetData()->m_IdMap.IsEmpty())) {
        WceUiLog(WCEUI_LOG_ERROR, "In CWceUiLayerCtrl::~CWceUiLayerCtrl, detect some layer is not free");
    }
    m_pData.reset();
}

CWceUiLayerCtrl::Data* CWceUiLayerCtrl::GetData() const {
    return m_pData.get();
}

void CWceUiLayerCtrl::InitBody() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    CWceUiLayer* pBody = new (std::nothrow) CWceUiLayer;
    if (NULL == pBody) {
        return;
    }
    pBody->SetLayerCtrl(this);
    pData->m_pBody = pBody;
    InitLayerInfo(pBody, kRootName);
    pBody->OnLoad();
    pBody->SetLayerContainer(TRUE);
}

CWceUiLayerHost* CWceUiLayerCtrl::GetWindow() const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->m_pWindow;
}

BOOL CWceUiLayerCtrl::SetWindow(CWceUiLayerHost* pWindow) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayerCtrl::SetWindow", NULL != pWindow)) {
        return FALSE;
    }
    pData->m_pWindow = pWindow;
    return TRUE;
}

CWceUiLayer* CWceUiLayerCtrl::RootLayer() const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->m_pBody;
}

BOOL CWceUiLayerCtrl::InitLayerInfo(CWceUiLayer* pNode, LPCWSTR pName) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayerCtrl::InitLayerInfo", NULL != pNode)) {
        return FALSE;
    }
    const DWORD dwID = pData->idAlloc.GetID();
    pNode->SetLayerID(LOWORD(dwID));
    if (CWUniqueID::INVALID_ID != dwID) {
        pData->m_IdMap.Add(dwID, pNode);
    }
    pNode->SetName(NULL == pName ? u"" : pName);
    return TRUE;
}

CWceUiLayer* CWceUiLayerCtrl::impCreateLayer(CWceUiLayer* pParent, LPCWSTR pType) {
    if (!WCEUI_CHECK("CWceUiLayerCtrl::impCreateLayer", NULL != pType) ||
        !WCEUI_CHECK("CWceUiLayerCtrl::impCreateLayer", NULL != pParent)) {
        return NULL;
    }
    if (pParent == RootLayer()) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiLayerCtrl::impCreateLayer, pParent can not be root layer");
        return NULL;
    }
    CWceUiObject* pObject = WceUiCreateObject(pType);
    if (NULL == pObject) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CWceUiLayerCtrl::impCreateLayer, can not create layer, type is %s",
                  pType);
        return NULL;
    }
    if (!pObject->IsKindOf(WCEUI_CLASS_NAME(CWceUiLayer))) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiLayerCtrl::impCreateLayer, the type is not a kind of CWceUiLayer");
        delete pObject;
        return NULL;
    }
    return static_cast<CWceUiLayer*>(pObject);
}

CWceUiLayer* CWceUiLayerCtrl::CreateLayer(CWceUiLayer* pParent, LPCWSTR pType, LPCWSTR pName) {
    CWceUiLayer* pLayer = impCreateLayer(pParent, pType);
    if (NULL == pLayer) {
        return NULL;
    }
    pLayer->SetLayerCtrl(this);
    if (!pParent->AppendChild(pLayer)) {
        // Never appended: it goes again before anything else knows it.
        pLayer->SetLayerCtrl(NULL);
        delete pLayer;
        return NULL;
    }
    InitLayerInfo(pLayer, pName);
    pLayer->OnLoad();
    return pLayer;
}

LPCWSTR CWceUiLayerCtrl::GetDlgLayerClassName(LPCWSTR pDlgPath) {
    if (!WCEUI_CHECK("CWceUiLayerCtrl::GetDlgLayerClassName", NULL != pDlgPath)) {
        return NULL;
    }
    LPCWSTR pName = pDlgPath;
    for (LPCWSTR p = pDlgPath; *p; ++p) {
        if (u'\\' == *p || u'/' == *p) {
            pName = p + 1;
        }
    }
    return pName;
}

CWceUiDlg* CWceUiLayerCtrl::CreateDlg(LPCWSTR pDlgPath) {
    if (!WCEUI_CHECK("CWceUiLayerCtrl::CreateDlg", NULL != pDlgPath)) {
        return NULL;
    }
    LPCWSTR pClassName = GetDlgLayerClassName(pDlgPath);
    CWceUiObject* pObject = WceUiCreateObject(pClassName);
    if (NULL == pObject) {
        WceUiLogW(WCEUI_LOG_ERROR, u"in CWceUiLayerCtrl::CreateDlg, can not create class %s", pClassName);
        return NULL;
    }
    if (!pObject->IsKindOf(WCEUI_CLASS_NAME(CWceUiDlg))) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiLayerCtrl::CreateDlg, %s is not a kind of %s", pClassName,
                  WCEUI_CLASS_NAME(CWceUiDlg));
        delete pObject;
        return NULL;
    }
    CWceUiDlg* pDlg = static_cast<CWceUiDlg*>(pObject);
    pDlg->SetLayerCtrl(this);
    WCHAR szDlgFile[MAX_PATH];
    WCHAR szStyleFile[MAX_PATH];
    LPCWSTR pWndDir = CFhGlobalData::Instance().GetWndDir();
    // The style file's ending is the longer one; its whole path must fit below MAX_PATH.
    const size_t nNeeded = WStrLen(pWndDir) + WStrLen(pDlgPath) + WStrLen(u".style.xml");
    BOOL bOk = nNeeded < MAX_PATH;
    if (bOk) {
        WSPrintf(szDlgFile, MAX_PATH, u"%s%s.dlg.xml", pWndDir, pDlgPath);
        WSPrintf(szStyleFile, MAX_PATH, u"%s%s.style.xml", pWndDir, pDlgPath);
        bOk = pDlg->Init(szDlgFile, szStyleFile);
    }
    if (!bOk) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiLayerCtrl::CreateDlg, Create %s failed", pDlgPath);
        DeleteLayer(pDlg);
        return NULL;
    }
    return pDlg;
}

void CWceUiLayerCtrl::impDeleteElement(CWceUiLayer* pNode) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayerCtrl::impDeleteElement", NULL != pNode)) {
        return;
    }
    const DWORD dwID = pNode->GetLayerID();
    if (0 != dwID && pData->m_IdMap.Find(dwID) == pNode) {
        pData->m_IdMap.Remove(dwID);
        pData->idAlloc.ReleaseID(dwID);
    }
    delete pNode;
}

void CWceUiLayerCtrl::DeleteLayer(CWceUiLayer* pNode) {
    if (NULL == pNode) {
        return;
    }
    if (!WCEUI_CHECK("CWceUiLayerCtrl::DeleteLayer", pNode != RootLayer())) {
        WceUiLog(WCEUI_LOG_ERROR, "In CWceUiLayerCtrl::DeleteLayer, dont call delete root layer directly");
        return;
    }
    // The paint list may name layers of the subtree: it is built again at the next paint.
    if (Data* pData = GetData()) {
        while (NULL != pData->paintList.GetHead()) {
            pData->paintList.Remove(pData->paintList.GetHead());
        }
    }
    if (NULL != pNode->GetParent()) {
        pNode->GetParent()->RemoveChild(pNode);
    }
    // Post-order, last sibling first: always the deepest last descendant, which has no children left.
    CWceUiLayer* pCur = pNode;
    while (NULL != pCur) {
        while (NULL != pCur->GetLastChild()) {
            pCur = pCur->GetLastChild();
        }
        if (pCur == pNode) {
            impDeleteElement(pNode);
            break;
        }
        CWceUiLayer* pParent = pCur->GetParent();
        impDeleteElement(pCur); // unlinks itself from its parent
        pCur = pParent;
    }
}

CWceUiLayer* CWceUiLayerCtrl::GetLayerByID(DWORD dwID) const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->m_IdMap.Find(dwID);
}

int CWceUiLayerCtrl::GetLayerCount() const {
    const Data* pData = GetData();
    return NULL == pData ? 0 : pData->m_IdMap.GetCount();
}

// Lists. The walks follow parent and sibling links, so they need no stack of their own; the depth of
// the tree is bounded where layers are appended.

namespace {
// The next layer after pCur in pre-order within the subtree of pTop; null at the end. With
// bSkipChildren the children of pCur are not entered.
CWceUiLayer* PreOrderNext(CWceUiLayer* pCur, CWceUiLayer* pTop, bool bSkipChildren) {
    if (!bSkipChildren && NULL != pCur->GetFirstChild()) {
        return pCur->GetFirstChild();
    }
    while (NULL != pCur && pCur != pTop) {
        CWceUiLayer* pParent = pCur->GetParent();
        CWceUiLayer* pNext = NULL == pParent ? NULL : pParent->NextChild(pCur);
        if (NULL != pNext) {
            return pNext;
        }
        pCur = pParent;
    }
    return NULL;
}

#if WCEUI_ASSERTS_ON
// The three lists agree with the tree: the draw list is the whole tree in pre-order from the root, the
// input list holds layers of the tree topmost first, and the paint list layers of the tree bottom first.
// Every change of the tree rebuilds the lists it touches, so a paint that finds them otherwise would draw
// or hit-test layers that are gone.
void AssertListsAgreeWithTree(const CWceUiLayerCtrl::Data& data) {
    std::unordered_map<const CWceUiLayer*, size_t> order;
    CWceUiLayer* pDraw = data.drawList.GetHead();
    for (CWceUiLayer* p = data.m_pBody; NULL != p; p = PreOrderNext(p, data.m_pBody, false)) {
        WCEUI_ASSERT(pDraw == p);
        order.emplace(p, order.size());
        pDraw = NULL == pDraw ? NULL : data.drawList.GetNext(pDraw);
    }
    WCEUI_ASSERT(NULL == pDraw);
    size_t nBelow = order.size();
    for (CWceUiLayer* p = data.inputList.GetHead(); NULL != p; p = data.inputList.GetNext(p)) {
        const auto it = order.find(p);
        WCEUI_ASSERT(it != order.end() && it->second < nBelow);
        nBelow = it->second;
    }
    bool bFirst = true;
    size_t nAbove = 0;
    for (CWceUiLayer* p = data.paintList.GetHead(); NULL != p; p = data.paintList.GetNext(p)) {
        const auto it = order.find(p);
        WCEUI_ASSERT(it != order.end() && (bFirst || it->second > nAbove));
        nAbove = it->second;
        bFirst = false;
    }
}
#endif

} // namespace

void CWceUiLayerCtrl::ReBuildDrawList() {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayerCtrl::ReBuildDrawList", NULL != RootLayer())) {
        return;
    }
    // Emptied as the other lists are: popping until a pop fails would log a failed check every time.
    while (NULL != pData->drawList.GetHead()) {
        pData->drawList.RemoveHead();
    }
    for (CWceUiLayer* p = pData->m_pBody; NULL != p; p = PreOrderNext(p, pData->m_pBody, false)) {
        pData->drawList.AddTail(p);
    }
}

void CWceUiLayerCtrl::ReBuildInputList() {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayerCtrl::ReBuildInputList", NULL != RootLayer())) {
        return;
    }
    while (NULL != pData->inputList.GetHead()) {
        pData->inputList.Remove(pData->inputList.GetHead());
    }
    CWceUiLayer* pTop = pData->m_pBody->GetLastChild();
    for (CWceUiLayer* p = pTop; NULL != p;) {
        const BOOL bVisible = p->IsLayerVisible();
        const BOOL bEnabled = p->IsLayerEnabled();
        const BOOL bAdd = bVisible && bEnabled && !p->IsLayerNoInput();
        if (bAdd) {
            pData->inputList.AddHead(p);
        }
        const bool bDescend = bAdd || (p->IsLayerContainer() && bVisible && bEnabled);
        p = PreOrderNext(p, pTop, !bDescend);
    }
}

void CWceUiLayerCtrl::ReBuildAllList() {
    ReBuildDrawList();
    ReBuildInputList();
}

CWceUiLayer* CWceUiLayerCtrl::GetDrawHead() const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->drawList.GetHead();
}

CWceUiLayer* CWceUiLayerCtrl::GetDrawNext(CWceUiLayer* pCurLayer) const {
    const Data* pData = GetData();
    return NULL == pData || NULL == pCurLayer ? NULL : pData->drawList.GetNext(pCurLayer);
}

CWceUiLayer* CWceUiLayerCtrl::GetInputHead() const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->inputList.GetHead();
}

CWceUiLayer* CWceUiLayerCtrl::GetInputNext(CWceUiLayer* pCurLayer) const {
    const Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiLayerCtrl::GetInputNext", NULL != pCurLayer)) {
        return NULL;
    }
    return pData->inputList.GetNext(pCurLayer);
}

CWceUiLayer* CWceUiLayerCtrl::HitTest(POINT pt) const {
    for (CWceUiLayer* p = GetInputHead(); NULL != p; p = GetInputNext(p)) {
        RECT rc;
        if (p->GetWindowRect(&rc) && PtInRect(&rc, pt)) {
            return p;
        }
    }
    return NULL;
}

CWceUiLayer* CWceUiLayerCtrl::GetPaintHead() const {
    const Data* pData = GetData();
    return NULL == pData ? NULL : pData->paintList.GetHead();
}

CWceUiLayer* CWceUiLayerCtrl::GetPaintNext(CWceUiLayer* pCurLayer) const {
    const Data* pData = GetData();
    return NULL == pData || NULL == pCurLayer ? NULL : pData->paintList.GetNext(pCurLayer);
}

int CWceUiLayerCtrl::GetPaintCount() const {
    const Data* pData = GetData();
    return NULL == pData ? 0 : pData->paintList.GetCount();
}

void CWceUiLayerCtrl::BuildPaintList(LPCRECT lpDirty) {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    while (NULL != pData->paintList.GetHead()) {
        pData->paintList.Remove(pData->paintList.GetHead());
    }
    if (NULL == lpDirty || IsRectEmpty(lpDirty)) {
        return;
    }
    const RECT rcDirty = *lpDirty;
    const int nWidth = rcDirty.right - rcDirty.left;
    const int nHeight = rcDirty.bottom - rcDirty.top;
    // One byte a pixel, rows rounded up to whole words; the padding counts as covered. The mask is
    // cleared only once a layer covers a part of the dirty rectangle (a first layer that covers all of
    // it ends the walk at once).
    const int nStride = (nWidth + 3) & ~3;
    std::vector<BYTE>& mask = pData->mask;
    bool bMaskReady = false;
    int nUncoveredRows = nHeight;
    std::vector<bool> rowFull(nHeight, false);
    const std::vector<BYTE> fullRow(nStride, 1);
    for (CWceUiLayer* p = pData->drawList.GetTail(); NULL != p; p = pData->drawList.GetPre(p)) {
        if (p->IsLayerNoDraw() || !p->IsLayerVisible()) {
            continue;
        }
        RECT rcWnd;
        RECT rcPart;
        if (!p->GetWindowRect(&rcWnd) || !IntersectRect(&rcPart, &rcWnd, &rcDirty) || IsRectEmpty(&rcPart)) {
            continue;
        }
        const int x0 = rcPart.left - rcDirty.left;
        const int x1 = rcPart.right - rcDirty.left;
        const int y0 = rcPart.top - rcDirty.top;
        const int y1 = rcPart.bottom - rcDirty.top;
        bool bHidden = bMaskReady;
        for (int y = y0; y < y1 && bHidden; ++y) {
            const BYTE* pRow = &mask[static_cast<size_t>(y) * nStride];
            bHidden = rowFull[y] || 0 == memcmp(pRow + x0, fullRow.data(), static_cast<size_t>(x1 - x0));
        }
        if (bHidden) {
            continue;
        }
        p->SetNeedDrawRect(&rcPart);
        pData->paintList.AddHead(p);
        if (p->IsSeeThrough()) {
            continue;
        }
        if (!bMaskReady) {
            if (EqualRect(&rcPart, &rcDirty)) {
                break;
            }
            mask.assign(static_cast<size_t>(nStride) * nHeight, 0);
            if (nStride > nWidth) {
                for (int y = 0; y < nHeight; ++y) {
                    memset(&mask[static_cast<size_t>(y) * nStride + nWidth], 1, nStride - nWidth);
                }
            }
            bMaskReady = true;
        }
        for (int y = y0; y < y1; ++y) {
            if (rowFull[y]) {
                continue;
            }
            BYTE* pRow = &mask[static_cast<size_t>(y) * nStride];
            memset(pRow + x0, 1, static_cast<size_t>(x1 - x0));
            if (0 == memcmp(pRow, fullRow.data(), static_cast<size_t>(nStride))) {
                rowFull[y] = true;
                --nUncoveredRows;
            }
        }
        if (0 == nUncoveredRows) {
            break;
        }
    }
}

BOOL CWceUiLayerCtrl::Draw(CWceUiGenericBitmap* pWndBmp, LPCRECT lpDirty) {
    if (!WCEUI_CHECK("CWceUiLayerCtrl::Draw", NULL != pWndBmp)) {
        return FALSE;
    }
    BuildPaintList(lpDirty);
#if WCEUI_ASSERTS_ON
    if (const Data* pData = GetData()) {
        AssertListsAgreeWithTree(*pData);
    }
#endif
    for (CWceUiLayer* p = GetPaintHead(); NULL != p; p = GetPaintNext(p)) {
        RECT rc;
        p->GetNeedDrawRect(&rc);
        p->OnDraw(pWndBmp, &rc);
    }
    return TRUE;
}
