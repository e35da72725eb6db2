// The list box: items, pen handling on rows, and drawing through a cache of the last picture.
#include "wceui/widgets/WceUiListBox.h"
#include "wceui/ui/WceUiLayerDump.h"

#include "platform/WinString.h"
#include "platform/text/WinText.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/WceUiAssert.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/WceUiLoadColor.h"
#include "wceui/style/WceUiLoadFont.h"
#include "wceui/style/WceUiStyle.h"
#include "wceui/style/WceUiStyleCtrls.h"
#include "wceui/ui/RealGenericWnd.h"
#include "wceui/ui/WceUiLayerCtrl.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <new>
#include <utility>

struct CWceUiListBox::Item {
    std::u16string text;
    LPVOID pData = NULL;
    DWORD dwState = 0;
    std::unique_ptr<CWceUiGenericBitmap> pImage;
};

struct CWceUiListBox::Data {
    // The picture of the rows as last drawn (client coordinates, without the scroll bar), taken at
    // nCachePos.
    std::unique_ptr<CWceUiGenericBitmap> pCache;
    int nCachePos = 0;
    BOOL bCacheValid = FALSE;
    int nItemHeight = 20;
    std::vector<Item> items;
    CWceUiLoadBitmap lbRowNormal;
    CWceUiLoadBitmap lbRowPressed;
    CWceUiLoadBitmap lbBarTop;
    CWceUiLoadBitmap lbBarMiddle;
    CWceUiLoadBitmap lbBarBottom;
    COLORREF crPressedText = 0;
    CWceUiLoadBitmap lbCheck;
    CWceUiLoadBitmap lbDefaultImage;
    int nPressedItem = -1;
    int nSel = -1;
    // The item that carries the selected bit, or -1. Only SetSel sets the bit, so at most one item
    // has it; a tap moves nSel without touching any bit, so nSel cannot stand in for this.
    int nChecked = -1;
    BOOL bDrawItemImage = FALSE;
    int nItemImageWidth = 0;
    BOOL bContentChanged = TRUE;
    int nTextLeftOffset = 5;
    BOOL bShowScrollBar = TRUE;
    BOOL bCacheEnabled = TRUE;
    // Cache row of client row 0 (see CacheCopy).
    int nCacheOrigin = 0;
    // The plan of the drawing under way in OnDraw, for the parts the base class calls in its fixed
    // order without a way to hand it over; null outside OnDraw.
    const DrawRequest* pDrawing = nullptr;
};

// What one drawing of the list paints and where, worked out once and handed down the drawing calls.
struct CWceUiListBox::DrawRequest {
    // A scroll step through the cache: the background and rows of the strip that comes into view only.
    bool bStep = false;
    // Where the list's client origin lies in the bitmap drawn into.
    POINT ptOrigin = {0, 0};
    // The client rectangle, and the part of it to draw (empty: nothing).
    RECT rcClient = {0, 0, 0, 0};
    RECT rcArea = {0, 0, 0, 0};
};

namespace {

// Copies (or with per-pixel alpha blends) src's (sx, sy, w, h) to dst at (x, y), keeping within clip
// and both bitmaps.
void ClippedBlt(CWceUiGenericBitmap* pDst, CWceUiGenericBitmap* pSrc, int x, int y, int sx, int sy, int w,
                int h, const RECT& rcClip, bool bAlpha) {
    RECT rc = {x, y, x + w, y + h};
    const RECT rcDst = {0, 0, pDst->GetWidth(), pDst->GetHeight()};
    const RECT rcSrc = {x - sx, y - sy, x - sx + pSrc->GetWidth(), y - sy + pSrc->GetHeight()};
    if (!IntersectRect(&rc, &rc, &rcClip) || !IntersectRect(&rc, &rc, &rcDst) ||
        !IntersectRect(&rc, &rc, &rcSrc)) {
        return;
    }
    const int nSx = sx + (rc.left - x);
    const int nSy = sy + (rc.top - y);
    if (bAlpha && pSrc->HasPerPixelAlpha()) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        pDst->AlphaBlend(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, pSrc, nSx, nSy, blend);
    } else {
        pDst->BitBlt(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, pSrc, nSx, nSy, SRCCOPY);
    }
}

BOOL ParseColorText(LPCWSTR pText, CWceUiLoadColor& color) {
    if (NULL == pText || 0 == *pText) {
        return FALSE;
    }
    if ('0' == pText[0] && ('x' == pText[1] || 'X' == pText[1])) {
        LPWSTR pEnd = NULL;
        const unsigned long v = WStrToUL(pText + 2, &pEnd, 16);
        if (pEnd == pText + 2 || v > 0xFFFFFF) {
            return FALSE;
        }
        color.SetColor(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
        return TRUE;
    }
    return color.SetColorFromRes(pText);
}

} // namespace

CWceUiListBox::CWceUiListBox() : m_pData(WceUiNewRecord<Data>("CWceUiListBox")) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiListBox));
    SetOrientation(WCEUI_SCROLL_VERTICAL);
}

CWceUiListBox::~CWceUiListBox() = default;

CWceUiListBox::Data* CWceUiListBox::GetData() const {
    return m_pData.get();
}

BOOL CWceUiListBox::SetProperties(CWceUiXmlElem* pCreateElem) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiListBox::SetProperties", NULL != pCreateElem) ||
        NULL == pCreateElem->pDoc) {
        return FALSE;
    }
    auto attr = [&](const char16_t* pName) { return pCreateElem->pDoc->GetAttrValue(pCreateElem, pName); };
    auto integer = [](LPCWSTR p, int* pn) {
        if (NULL == p || 0 == *p) {
            return false;
        }
        LPWSTR pEnd = NULL;
        const long v = WStrToL(p, &pEnd, 10);
        if (pEnd == p || v < INT_MIN || v > INT_MAX) {
            return false;
        }
        *pn = static_cast<int>(v);
        return true;
    };
    int n = 0;
    if (integer(attr(u"extra_scroll"), &n)) {
        SetExtraScroll(n);
    }
    if (integer(attr(u"item_height"), &n) && !SetItemHeight(n)) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiListBox::SetProperties, item_height %d refused", n);
    }
    if (LPCWSTR p = attr(u"linebg_normal")) {
        pData->lbRowNormal.SetBitmapFromRes(p);
    }
    if (LPCWSTR p = attr(u"linebg_select")) {
        pData->lbRowPressed.SetBitmapFromRes(p);
    }
    if (LPCWSTR p = attr(u"scrollbar_top")) {
        pData->lbBarTop.SetBitmapFromRes(p);
    }
    if (LPCWSTR p = attr(u"scrollbar_middle")) {
        pData->lbBarMiddle.SetBitmapFromRes(p);
    }
    if (LPCWSTR p = attr(u"scrollbar_bottom")) {
        pData->lbBarBottom.SetBitmapFromRes(p);
    }
    if (LPCWSTR p = attr(u"textcolor_select")) {
        CWceUiLoadColor color;
        if (ParseColorText(p, color)) {
            pData->crPressedText = color.GetColor();
        } else {
            WceUiLogW(WCEUI_LOG_ERROR, u"CWceUiListBox::SetProperties, textcolor_select %s is not a colour",
                      p);
        }
    }
    if (LPCWSTR p = attr(u"item_check")) {
        pData->lbCheck.SetBitmapFromRes(p);
    }
    if (integer(attr(u"item_image_width"), &n)) {
        pData->nItemImageWidth = n < 0 ? 0 : n;
    }
    LPCWSTR pDrawImage = attr(u"draw_item_image");
    pData->bDrawItemImage = NULL != pDrawImage && 0 == WStrCmp(pDrawImage, u"true");
    if (pData->bDrawItemImage) {
        if (LPCWSTR p = attr(u"default_item_image")) {
            pData->lbDefaultImage.SetBitmapFromRes(p);
        }
    }
    if (integer(attr(u"text_left_offset"), &n)) {
        pData->nTextLeftOffset = n;
    }
    pData->bCacheValid = FALSE;
    return CWceUiLayer::SetProperties(pCreateElem);
}

void CWceUiListBox::OnInitLayer() {
    Data* pData = GetData();
    RECT rc;
    if (NULL == pData || !GetClientRect(&rc) || IsRectEmpty(&rc)) {
        return;
    }
    // The window's depth is not known yet; the first drawing makes the cache again if it differs.
    PrepareCache(NULL, rc.right, rc.bottom);
    UpdateRange(FALSE);
}

BOOL CWceUiListBox::PrepareCache(CWceUiGenericBitmap* pDrawBitmap, int nWidth, int nHeight) {
    Data* pData = GetData();
    const int nBits =
        NULL != pDrawBitmap
            ? pDrawBitmap->GetBitsPixel()
            : (NULL != pData->pCache && pData->pCache->IsLoaded() ? pData->pCache->GetBitsPixel() : 16);
    std::unique_ptr<CWceUiGenericBitmap>& p = pData->pCache;
    if (NULL != p && p->IsLoaded() && p->GetWidth() == nWidth && p->GetHeight() == nHeight &&
        p->GetBitsPixel() == nBits) {
        return TRUE;
    }
    pData->bCacheValid = FALSE;
    pData->nCacheOrigin = 0;
    p.reset(WceUiCreateBitmapObject(nBits));
    if (NULL == p || !p->CreateDIB(nWidth, nHeight)) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiListBox, can not create the content cache of %d x %d", nWidth,
                 nHeight);
        p.reset();
        return FALSE;
    }
    return TRUE;
}

// Items.

int CWceUiListBox::GetCount() const {
    Data* pData = GetData();
    return NULL == pData ? 0 : static_cast<int>(pData->items.size());
}

int CWceUiListBox::GetCurSel() const {
    Data* pData = GetData();
    return NULL == pData ? -1 : pData->nSel;
}

int CWceUiListBox::GetPressedItem() const {
    Data* pData = GetData();
    return NULL == pData ? -1 : pData->nPressedItem;
}

int CWceUiListBox::GetItemHeight() const {
    Data* pData = GetData();
    return NULL == pData ? 0 : pData->nItemHeight;
}

BOOL CWceUiListBox::SetItemHeight(int nHeight) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiListBox::SetItemHeight", nHeight > 0) ||
        !WCEUI_CHECK("CWceUiListBox::SetItemHeight",
                     static_cast<long long>(nHeight) * (GetCount() + 1) <= INT_MAX / 2)) {
        return FALSE;
    }
    pData->nItemHeight = nHeight;
    pData->bContentChanged = TRUE;
    pData->bCacheValid = FALSE;
    UpdateRange(TRUE);
    return TRUE;
}

void CWceUiListBox::UpdateRange(BOOL bRedraw) {
    Data* pData = GetData();
    RECT rc;
    if (NULL == pData || !GetClientRect(&rc)) {
        return;
    }
    const long long llMax = rc.top + static_cast<long long>(GetCount()) * pData->nItemHeight - rc.bottom;
    SetScrollRange(0, static_cast<int>(std::clamp(llMax, 0LL, static_cast<long long>(INT_MAX / 2))), FALSE);
    if (bRedraw && IsLayerVisible()) {
        InvalidateLayer();
    }
}

int CWceUiListBox::AddString(LPCWSTR pText, BOOL bRedraw) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiListBox::AddString", NULL != pText)) {
        return -1;
    }
    const int nCount = GetCount();
    if (nCount >= WCEUI_LB_MAX_ITEMS ||
        static_cast<long long>(nCount + 1) * pData->nItemHeight > INT_MAX / 2) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiListBox::AddString, the list is full (%d items)", nCount);
        return -1;
    }
    try {
        pData->items.emplace_back();
        pData->items.back().text = pText;
    } catch (const std::bad_alloc&) {
        if (GetCount() > nCount) {
            pData->items.pop_back();
        }
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiListBox::AddString, out of memory at %d items", nCount);
        return -1;
    }
    pData->bContentChanged = TRUE;
    pData->bCacheValid = FALSE;
    UpdateRange(bRedraw);
    return nCount;
}

void CWceUiListBox::ResetContent() {
    Data* pData = GetData();
    if (NULL == pData) {
        return;
    }
    pData->items.clear();
    pData->items.shrink_to_fit();
    pData->nSel = -1;
    pData->nChecked = -1;
    pData->nPressedItem = -1;
    pData->bContentChanged = TRUE;
    pData->bCacheValid = FALSE;
    ScrollTo(0, FALSE);
    UpdateRange(TRUE);
}

LPVOID CWceUiListBox::GetItemData(int nIndex) const {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiListBox::GetItemData", nIndex >= 0 && nIndex < GetCount())) {
        return reinterpret_cast<LPVOID>(static_cast<intptr_t>(-1));
    }
    return pData->items[nIndex].pData;
}

int CWceUiListBox::SetItemData(int nIndex, LPVOID pItemData) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiListBox::SetItemData", nIndex >= 0 && nIndex < GetCount())) {
        return -1;
    }
    pData->items[nIndex].pData = pItemData;
    return 0;
}

LPCWSTR CWceUiListBox::GetItemText(int nIndex) const {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiListBox::GetItemText", nIndex >= 0 && nIndex < GetCount())) {
        return NULL;
    }
    return pData->items[nIndex].text.c_str();
}

BOOL CWceUiListBox::SetItemImage(int nIndex, CWceUiObject* pObject) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiListBox::SetItemImage", nIndex >= 0 && nIndex < GetCount())) {
        return FALSE;
    }
    std::unique_ptr<CWceUiGenericBitmap> pCopy;
    if (NULL != pObject) {
        CWceUiGenericBitmap* pBitmap = dynamic_cast<CWceUiGenericBitmap*>(pObject);
        if (!WCEUI_CHECK("CWceUiListBox::SetItemImage", NULL != pBitmap)) {
            return FALSE;
        }
        CWceUiGenericBitmap* pMade = NULL;
        if (!pBitmap->IsLoaded() || !pBitmap->MakeACopy(&pMade)) {
            WceUiLog(WCEUI_LOG_ERROR, "CWceUiListBox::SetItemImage, the bitmap of item %d can not be copied",
                     nIndex);
            return FALSE;
        }
        pCopy.reset(pMade);
    }
    pData->items[nIndex].pImage = std::move(pCopy);
    pData->bContentChanged = TRUE;
    pData->bCacheValid = FALSE;
    RedrawItem(nIndex);
    return TRUE;
}

BOOL CWceUiListBox::GetItemState(int nIndex, DWORD* pdwState) const {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiListBox::GetItemState", nIndex >= 0 && nIndex < GetCount()) ||
        !WCEUI_CHECK("CWceUiListBox::GetItemState", NULL != pdwState)) {
        return FALSE;
    }
    *pdwState = pData->items[nIndex].dwState;
    return TRUE;
}

int CWceUiListBox::SetSel(int nIndex, BOOL bRedraw) {
    Data* pData = GetData();
    if (NULL == pData || !WCEUI_CHECK("CWceUiListBox::SetSel", nIndex >= 0 && nIndex < GetCount())) {
        return -1;
    }
    // Clearing the one item that carries the bit clears it on every other item, whatever the list's
    // length.
    for (int i : {pData->nChecked, nIndex}) {
        if (i < 0) {
            continue;
        }
        Item& item = pData->items[i];
        const DWORD dwWant = i == nIndex ? item.dwState | WCEUI_LB_STATE_SELECTED
                                         : item.dwState & ~static_cast<DWORD>(WCEUI_LB_STATE_SELECTED);
        if (dwWant != item.dwState) {
            item.dwState = dwWant;
            if (bRedraw) {
                RedrawItem(i);
            } else {
                pData->bCacheValid = FALSE;
            }
        }
    }
    pData->nChecked = nIndex;
    pData->nSel = nIndex;
    return nIndex;
}

void CWceUiListBox::SetCacheEnabled(BOOL bEnabled) {
    if (Data* pData = GetData()) {
        // The cache is kept up to date by full drawings either way; this only says whether scroll
        // steps may use it.
        pData->bCacheEnabled = bEnabled;
    }
}

void CWceUiListBox::ShowScrollBar(BOOL bShow) {
    if (Data* pData = GetData()) {
        pData->bShowScrollBar = bShow;
        InvalidateLayer();
    }
}

void CWceUiListBox::SetDrawItemImage(BOOL bDraw, int nImageWidth) {
    if (Data* pData = GetData()) {
        pData->bDrawItemImage = bDraw;
        pData->nItemImageWidth = nImageWidth < 0 ? 0 : nImageWidth;
        pData->bCacheValid = FALSE;
    }
}

void CWceUiListBox::SetTextLeftOffset(int nOffset) {
    if (Data* pData = GetData()) {
        pData->nTextLeftOffset = nOffset;
        pData->bCacheValid = FALSE;
    }
}

void CWceUiListBox::SetPressedTextColor(COLORREF cr) {
    if (Data* pData = GetData()) {
        pData->crPressedText = cr;
        pData->bCacheValid = FALSE;
    }
}

COLORREF CWceUiListBox::GetPressedTextColor() const {
    Data* pData = GetData();
    return NULL == pData ? 0 : pData->crPressedText;
}

int CWceUiListBox::GetTextLeftOffset() const {
    Data* pData = GetData();
    return NULL == pData ? 0 : pData->nTextLeftOffset;
}

BOOL CWceUiListBox::IsDrawItemImage() const {
    Data* pData = GetData();
    return NULL != pData && pData->bDrawItemImage;
}

BOOL CWceUiListBox::SetRowBitmaps(LPCWSTR pNormal, LPCWSTR pPressed) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    pData->bCacheValid = FALSE;
    return pData->lbRowNormal.SetBitmapFromRes(pNormal) && pData->lbRowPressed.SetBitmapFromRes(pPressed);
}

BOOL CWceUiListBox::SetScrollBarBitmaps(LPCWSTR pTop, LPCWSTR pMiddle, LPCWSTR pBottom) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    return pData->lbBarTop.SetBitmapFromRes(pTop) && pData->lbBarMiddle.SetBitmapFromRes(pMiddle) &&
           pData->lbBarBottom.SetBitmapFromRes(pBottom);
}

BOOL CWceUiListBox::SetCheckBitmap(LPCWSTR pCheck) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    pData->bCacheValid = FALSE;
    return pData->lbCheck.SetBitmapFromRes(pCheck);
}

BOOL CWceUiListBox::SetDefaultItemBitmap(LPCWSTR pImage) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    pData->bCacheValid = FALSE;
    return pData->lbDefaultImage.SetBitmapFromRes(pImage);
}

BOOL CWceUiListBox::SetPartBitmap(int nPart, CWceUiGenericBitmap* pBitmap) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    CWceUiLoadBitmap* parts[] = {&pData->lbRowNormal,   &pData->lbRowPressed, &pData->lbBarTop,
                                 &pData->lbBarMiddle,   &pData->lbBarBottom,  &pData->lbCheck,
                                 &pData->lbDefaultImage};
    if (!WCEUI_CHECK("CWceUiListBox::SetPartBitmap",
                     nPart >= 0 && nPart < static_cast<int>(std::size(parts)))) {
        return FALSE;
    }
    pData->bCacheValid = FALSE;
    InvalidateLayer();
    return parts[nPart]->SetBitmapFromApp(pBitmap);
}

void CWceUiListBox::GetVisibleRange(int* pnFirst, int* pnEnd) const {
    Data* pData = GetData();
    RECT rc;
    *pnFirst = 0;
    *pnEnd = 0;
    if (NULL == pData || !GetClientRect(&rc) || pData->nItemHeight <= 0) {
        return;
    }
    const long long llTop = GetScrollPos();
    const long long llFirst = std::max(0LL, llTop / pData->nItemHeight - (llTop < 0 ? 1 : 0));
    const long long llEnd = (llTop + rc.bottom + pData->nItemHeight - 1) / pData->nItemHeight;
    *pnFirst = static_cast<int>(std::min<long long>(llFirst, GetCount()));
    *pnEnd = static_cast<int>(std::clamp<long long>(llEnd, *pnFirst, GetCount()));
}

void CWceUiListBox::AppendDumpInfo(std::string* line, std::vector<std::string>* extraLines) const {
    *line += " items=" + std::to_string(GetCount()) + " selected=" + std::to_string(GetCurSel()) +
             " top=" + std::to_string(GetScrollPos());
    int nFirst = 0;
    int nEnd = 0;
    GetVisibleRange(&nFirst, &nEnd);
    for (int i = nFirst; i < nEnd; ++i) {
        DWORD dwState = 0;
        GetItemState(i, &dwState);
        extraLines->push_back("item " + std::to_string(i) + " " + WceUiDumpQuote(GetItemText(i)) +
                              (0 != (dwState & WCEUI_LB_STATE_SELECTED) ? " checked" : ""));
    }
}

// Pen.

void CWceUiListBox::RepaintNow() {
    RepaintHostNow();
}

void CWceUiListBox::RedrawItem(int nIndex) {
    Data* pData = GetData();
    RECT rc;
    if (NULL == pData || nIndex < 0 || nIndex >= GetCount() || !IsLayerVisible() || !GetClientRect(&rc)) {
        return;
    }
    const long long llTop = static_cast<long long>(nIndex) * pData->nItemHeight - GetScrollPos();
    if (llTop >= rc.bottom || llTop + pData->nItemHeight <= 0) {
        return;
    }
    RECT rcRow = {rc.left, static_cast<int>(llTop), rc.right, static_cast<int>(llTop) + pData->nItemHeight};
    IntersectRect(&rcRow, &rcRow, &rc);
    ClientToWindow(&rcRow);
    // The repaint's need-draw rectangle is the row, so the drawing touches only the row.
    InvalidateLayer(&rcRow);
    RepaintNow();
}

void CWceUiListBox::PostActivate() {
    CRealGenericWnd* pWnd = dynamic_cast<CRealGenericWnd*>(GetWindow());
    if (NULL == pWnd || NULL == pWnd->GetSafeHwnd()) {
        WceUiLog(WCEUI_LOG_WARNING, "CWceUiListBox, no host window to tell of the tapped item");
        return;
    }
    pWnd->PostMessage(WCEUI_LB_MSG_ITEM_ACTIVATE, 1, reinterpret_cast<LPARAM>(this));
}

void CWceUiListBox::OnLButtonDown(UINT nFlags, POINT point) {
    Data* pData = GetData();
    if (NULL != pData) {
        POINT pt = point;
        WindowToClient(&pt);
        const long long llY = static_cast<long long>(GetScrollPos()) + pt.y;
        const long long llIndex = llY < 0 ? -1 : llY / pData->nItemHeight;
        pData->nPressedItem = llIndex >= 0 && llIndex < GetCount() ? static_cast<int>(llIndex) : -1;
        if (pData->nPressedItem >= 0) {
            RedrawItem(pData->nPressedItem);
        }
    }
    CWceUiScrollLayer::OnLButtonDown(nFlags, point);
}

void CWceUiListBox::OnMouseMove(UINT nFlags, POINT point) {
    CWceUiScrollLayer::OnMouseMove(nFlags, point);
    Data* pData = GetData();
    if (NULL != pData && IsDragging() && pData->nPressedItem >= 0) {
        const int nItem = pData->nPressedItem;
        pData->nPressedItem = -1;
        RedrawItem(nItem);
    }
}

void CWceUiListBox::OnLButtonUp(UINT nFlags, POINT point) {
    CWceUiScrollLayer::OnLButtonUp(nFlags, point);
    Data* pData = GetData();
    if (NULL != pData && pData->nPressedItem >= 0) {
        const int nItem = pData->nPressedItem;
        pData->nSel = nItem;
        PostActivate();
        pData->nPressedItem = -1;
        RedrawItem(nItem);
    }
}

// Drawing.

void CWceUiListBox::DrawRowBitmap(CWceUiGenericBitmap* pDst, CWceUiGenericBitmap* pSrc, int x, int y,
                                  const RECT& rcClip) {
    ClippedBlt(pDst, pSrc, x, y, 0, 0, pSrc->GetWidth(), pSrc->GetHeight(), rcClip, true);
}

void CWceUiListBox::DrawRows(CWceUiGenericBitmap* pTarget, POINT ptOrigin, const RECT& rcArea) {
    Data* pData = GetData();
    const int nH = pData->nItemHeight;
    const int nPos = GetScrollPos();
    RECT rcClient;
    GetClientRect(&rcClient);
    const int ox = ptOrigin.x;
    const int oy = ptOrigin.y;
    int nFirst = 0;
    int nLast = -1;
    if (!IsRectEmpty(&rcArea)) {
        const long long llTop = static_cast<long long>(nPos) + rcArea.top;
        const long long llBottom = static_cast<long long>(nPos) + rcArea.bottom - 1;
        nFirst = static_cast<int>(std::max(0LL, llTop < 0 ? 0 : llTop / nH));
        nLast = static_cast<int>(std::min<long long>(GetCount() - 1, llBottom < 0 ? -1 : llBottom / nH));
    }
    m_nLastDrawnRows = nLast >= nFirst ? nLast - nFirst + 1 : 0;
    if (m_nLastDrawnRows <= 0) {
        return;
    }
    // Row tops, the client rectangle and the clip, all in the target's coordinates.
    auto rowTop = [&](int i) { return static_cast<int>(static_cast<long long>(i) * nH - nPos) + oy; };
    OffsetRect(&rcClient, ox, oy);
    RECT rcClip = rcArea;
    OffsetRect(&rcClip, ox, oy);
    CWceUiGenericBitmap* pRowNormal = pData->lbRowNormal.GetBitmap();
    CWceUiGenericBitmap* pRowPressed = pData->lbRowPressed.GetBitmap();
    CWceUiGenericBitmap* pCheck = pData->lbCheck.GetBitmap();
    const int nCheckW = NULL != pCheck ? pCheck->GetWidth() : 0;
    // Backgrounds, then texts, then images and checks: rows do not overlap, so this gives the picture
    // of drawing each row whole in turn, with one device context for all the texts.
    for (int i = nFirst; i <= nLast; ++i) {
        CWceUiGenericBitmap* pBg = i == pData->nPressedItem ? pRowPressed : pRowNormal;
        if (NULL != pBg) {
            ClippedBlt(pTarget, pBg, rcClient.left, rowTop(i), 0, 0,
                       std::min(pBg->GetWidth(), rcClient.right - rcClient.left),
                       std::min(pBg->GetHeight(), nH), rcClip, false);
        }
    }
    CWceUiStyle* pStyle = GetStyle();
    LPVOID pBits = NULL;
    HBITMAP hBitmap = NULL != pStyle ? pTarget->GetHBitmap(&pBits) : NULL;
    if (NULL != hBitmap) {
        CWceUiFontCtrl* pFontCtrl = pStyle->GetFontCtrl();
        HFONT hFont = NULL == pFontCtrl ? NULL : pFontCtrl->GetFont();
        if (NULL == hFont) {
            hFont = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
        }
        const COLORREF crText = pStyle->GetTextColorValue();
        HDC hdc = CreateCompatibleDC(NULL);
        if (NULL != hdc) {
            HGDIOBJ hOldBmp = SelectObject(hdc, hBitmap);
            // A row's text is kept to the area being drawn, not only to its row.
            IntersectClipRect(hdc, rcClip.left, rcClip.top, rcClip.right, rcClip.bottom);
            HGDIOBJ hOldFont = SelectObject(hdc, hFont);
            const int nOldMode = SetBkMode(hdc, TRANSPARENT);
            const COLORREF crOld = SetTextColor(hdc, crText);
            for (int i = nFirst; i <= nLast; ++i) {
                const Item& item = pData->items[i];
                if (item.text.empty()) {
                    continue;
                }
                RECT rcText = {rcClient.left, rowTop(i), rcClient.right, rowTop(i) + nH};
                rcText.left += pData->bDrawItemImage ? pData->nItemImageWidth : pData->nTextLeftOffset;
                rcText.right -= nCheckW;
                if (rcText.right <= rcText.left) {
                    continue;
                }
                SetTextColor(hdc, i == pData->nPressedItem ? pData->crPressedText : crText);
                DrawTextW(hdc, item.text.c_str(), static_cast<int>(item.text.size()), &rcText,
                          WCEUI_LB_TEXT_FORMAT);
            }
            SetTextColor(hdc, crOld);
            SetBkMode(hdc, nOldMode);
            SelectObject(hdc, hOldFont);
            SelectObject(hdc, hOldBmp);
            DeleteDC(hdc);
        }
        pTarget->ReleaseHBitmap();
    }
    for (int i = nFirst; i <= nLast; ++i) {
        const Item& item = pData->items[i];
        const int nTop = rowTop(i);
        if (pData->bDrawItemImage && pData->nItemImageWidth > 0) {
            CWceUiGenericBitmap* pImage = item.pImage ? item.pImage.get() : pData->lbDefaultImage.GetBitmap();
            if (NULL != pImage && pImage->IsLoaded()) {
                RECT rcBox = {rcClient.left, nTop, rcClient.left + pData->nItemImageWidth, nTop + nH};
                IntersectRect(&rcBox, &rcBox, &rcClip);
                DrawRowBitmap(pTarget, pImage,
                              rcClient.left + (pData->nItemImageWidth - pImage->GetWidth()) / 2,
                              nTop + (nH - pImage->GetHeight()) / 2, rcBox);
            }
        }
        if (0 != (item.dwState & WCEUI_LB_STATE_SELECTED) && NULL != pCheck) {
            DrawRowBitmap(pTarget, pCheck, rcClient.right - nCheckW - 5,
                          nTop + (nH - pCheck->GetHeight()) / 2, rcClip);
        }
    }
}

// The cache is kept as a ring of rows: client row y lives in cache row (y + nCacheOrigin) mod height,
// so that a scroll step moves the origin instead of the pixels and only the strip that comes into view
// is written.
void CWceUiListBox::CacheCopy(CWceUiGenericBitmap* pOther, POINT ptOrigin, const RECT& rcClientArea,
                              bool bToCache) {
    Data* pData = GetData();
    CWceUiGenericBitmap* pCache = pData->pCache.get();
    const int nH = pCache->GetHeight();
    const int dx = ptOrigin.x;
    const int dy = ptOrigin.y;
    // The ring's origin is a row of the cache, and the cache holds exactly the client rectangle, so
    // every client row has one place in it.
    WCEUI_ASSERT(pData->nCacheOrigin >= 0 && pData->nCacheOrigin < nH);
    WCEUI_ASSERT(rcClientArea.top >= 0 && rcClientArea.bottom <= nH);
    WCEUI_ASSERT(rcClientArea.left >= 0 && rcClientArea.right <= pCache->GetWidth());
    int nRingTop = (rcClientArea.top + pData->nCacheOrigin) % nH;
    if (nRingTop < 0) {
        nRingTop += nH;
    }
    const int nWidth = rcClientArea.right - rcClientArea.left;
    int y = rcClientArea.top;
    while (y < rcClientArea.bottom && nWidth > 0) {
        const int nRun = std::min(rcClientArea.bottom - y, nH - nRingTop);
        if (bToCache) {
            pCache->BitBlt(rcClientArea.left, nRingTop, nWidth, nRun, pOther, rcClientArea.left + dx, y + dy,
                           SRCCOPY);
        } else {
            pOther->BitBlt(rcClientArea.left + dx, y + dy, nWidth, nRun, pCache, rcClientArea.left, nRingTop,
                           SRCCOPY);
        }
        y += nRun;
        nRingTop = 0;
    }
}

bool CWceUiListBox::CanUseCacheFor(LPCRECT lpNeedDraw, CWceUiGenericBitmap* pWndBitmap) {
    Data* pData = GetData();
    RECT rcWnd;
    if (NULL == pData || NULL == pWndBitmap || !pData->bCacheEnabled || !pData->bCacheValid ||
        pData->bContentChanged || NULL == pData->pCache || !GetWindowRect(&rcWnd)) {
        return false;
    }
    const int nH = rcWnd.bottom - rcWnd.top;
    const int nShift = GetScrollPos() - pData->nCachePos;
    if (0 == nShift || nShift <= -nH || nShift >= nH || pData->pCache->GetHeight() != nH ||
        pData->pCache->GetWidth() != rcWnd.right - rcWnd.left ||
        pData->pCache->GetBitsPixel() != pWndBitmap->GetBitsPixel()) {
        return false;
    }
    // Only a drawing of the whole list, all of it inside the window bitmap, can take the step.
    RECT rcNeed = rcWnd;
    if (NULL != lpNeedDraw) {
        IntersectRect(&rcNeed, &rcNeed, lpNeedDraw);
    }
    const RECT rcBmp = {0, 0, pWndBitmap->GetWidth(), pWndBitmap->GetHeight()};
    IntersectRect(&rcNeed, &rcNeed, &rcBmp);
    return EqualRect(&rcNeed, &rcWnd);
}

void CWceUiListBox::OnDraw(CWceUiGenericBitmap* pWndBitmap, LPCRECT lpNeedDraw) {
    Data* pData = GetData();
    if (NULL == pData) {
        CWceUiScrollLayer::OnDraw(pWndBitmap, lpNeedDraw);
        return;
    }
    DrawRequest request;
    request.bStep = CanUseCacheFor(lpNeedDraw, pWndBitmap);
    pData->pDrawing = &request;
    CWceUiScrollLayer::OnDraw(pWndBitmap, lpNeedDraw);
    pData->pDrawing = nullptr;
}

bool CWceUiListBox::IsDrawingStep() const {
    Data* pData = GetData();
    return NULL != pData && NULL != pData->pDrawing && pData->pDrawing->bStep;
}

void CWceUiListBox::OnDrawBackGround(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    // A scroll step paints the background of the new strip only (in DrawScrollStep).
    if (!IsDrawingStep()) {
        CWceUiScrollLayer::OnDrawBackGround(pDrawBitmap, bClient);
    }
}

void CWceUiListBox::OnDrawBgImgs(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    if (!IsDrawingStep()) {
        CWceUiScrollLayer::OnDrawBgImgs(pDrawBitmap, bClient);
    }
}

bool CWceUiListBox::PlanArea(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient, DrawRequest* pRequest) const {
    RECT rcWnd;
    if (!GetClientRect(&pRequest->rcClient) || IsRectEmpty(&pRequest->rcClient) || !GetWindowRect(&rcWnd)) {
        return false;
    }
    pRequest->ptOrigin = bClient ? POINT{0, 0} : POINT{rcWnd.left, rcWnd.top};
    RECT& rcArea = pRequest->rcArea;
    rcArea = pRequest->rcClient;
    RECT rcNeed;
    GetNeedDrawRect(&rcNeed);
    if (!bClient && !IsRectEmpty(&rcNeed)) {
        WindowToClient(&rcNeed);
        IntersectRect(&rcArea, &rcArea, &rcNeed);
    }
    const int ox = pRequest->ptOrigin.x;
    const int oy = pRequest->ptOrigin.y;
    const RECT rcBmp = {-ox, -oy, pDrawBitmap->GetWidth() - ox, pDrawBitmap->GetHeight() - oy};
    IntersectRect(&rcArea, &rcArea, &rcBmp);
    return true;
}

void CWceUiListBox::OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    Data* pData = GetData();
    DrawRequest request;
    request.bStep = IsDrawingStep();
    if (NULL == pData || NULL == pDrawBitmap || !PlanArea(pDrawBitmap, bClient, &request)) {
        return;
    }
    const RECT& rcClient = request.rcClient;
    if (!IsRectEmpty(&request.rcArea) && PrepareCache(pDrawBitmap, rcClient.right, rcClient.bottom)) {
        const int nShift = GetScrollPos() - pData->nCachePos;
        const int nHeight = rcClient.bottom;
        if (request.bStep && pData->bCacheValid && 0 != nShift && nShift > -nHeight && nShift < nHeight) {
            DrawScrollStep(pDrawBitmap, bClient, request);
        } else {
            DrawArea(pDrawBitmap, request);
        }
        pData->bContentChanged = FALSE;
    }
    RECT rcBar = request.rcArea;
    OffsetRect(&rcBar, request.ptOrigin.x, request.ptOrigin.y);
    DrawScrollBar(pDrawBitmap, &rcBar, request.ptOrigin);
}

void CWceUiListBox::DrawScrollStep(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient,
                                   const DrawRequest& request) {
    Data* pData = GetData();
    const RECT& rcClient = request.rcClient;
    const int nPos = GetScrollPos();
    const int nShift = nPos - pData->nCachePos;
    const int nHeight = rcClient.bottom;
    // The rows that stay in view come from the last picture, moved by the step; only the strip that
    // comes into view is drawn.
    RECT rcStrip = rcClient;
    if (nShift > 0) {
        rcStrip.top = nHeight - nShift;
    } else {
        rcStrip.bottom = -nShift;
    }
    // The background of the strip alone, then its rows over it.
    RECT rcStripWnd = rcStrip;
    ClientToWindow(&rcStripWnd);
    RECT rcSavedNeed;
    GetNeedDrawRect(&rcSavedNeed);
    SetNeedDrawRect(&rcStripWnd);
    CWceUiScrollLayer::OnDrawBackGround(pDrawBitmap, bClient);
    CWceUiScrollLayer::OnDrawBgImgs(pDrawBitmap, bClient);
    SetNeedDrawRect(&rcSavedNeed);
    pData->nCacheOrigin = ((pData->nCacheOrigin + nShift) % nHeight + nHeight) % nHeight;
    pData->nCachePos = nPos;
    // The strip's rows are drawn straight into the window and copied once into the cache.
    DrawRows(pDrawBitmap, request.ptOrigin, rcStrip);
    CacheCopy(pDrawBitmap, request.ptOrigin, rcStrip, true);
    RECT rcKept = rcClient;
    if (nShift > 0) {
        rcKept.bottom = rcStrip.top;
    } else {
        rcKept.top = rcStrip.bottom;
    }
    CacheCopy(pDrawBitmap, request.ptOrigin, rcKept, false);
}

void CWceUiListBox::DrawArea(CWceUiGenericBitmap* pDrawBitmap, const DrawRequest& request) {
    Data* pData = GetData();
    const int nPos = GetScrollPos();
    // Everything a row paints is clipped to the area, so the rows go straight over the background
    // already in the window; the cache then takes that picture in one copy.
    DrawRows(pDrawBitmap, request.ptOrigin, request.rcArea);
    if (EqualRect(&request.rcArea, &request.rcClient)) {
        pData->nCacheOrigin = 0;
        pData->nCachePos = nPos;
        CacheCopy(pDrawBitmap, request.ptOrigin, request.rcClient, true);
        pData->bCacheValid = TRUE;
    } else if (pData->bCacheValid && pData->nCachePos == nPos) {
        CacheCopy(pDrawBitmap, request.ptOrigin, request.rcArea, true);
    } else {
        pData->bCacheValid = FALSE;
    }
}

void CWceUiListBox::DrawScrollBar(CWceUiGenericBitmap* pDrawBitmap, LPCRECT lpNeedDraw, POINT ptListOrigin) {
    Data* pData = GetData();
    RECT rcWnd;
    if (NULL == pData || NULL == pDrawBitmap || NULL == lpNeedDraw || GetThumbSize() <= 0 ||
        !pData->bShowScrollBar || !GetWindowRect(&rcWnd)) {
        return;
    }
    RECT rcList = {0, 0, rcWnd.right - rcWnd.left, rcWnd.bottom - rcWnd.top};
    OffsetRect(&rcList, ptListOrigin.x, ptListOrigin.y);
    CWceUiGenericBitmap* pTop = pData->lbBarTop.GetBitmap();
    CWceUiGenericBitmap* pMiddle = pData->lbBarMiddle.GetBitmap();
    CWceUiGenericBitmap* pBottom = pData->lbBarBottom.GetBitmap();
    const int nThumbTop = rcList.top + GetThumbOffset();
    const int nTopH = NULL != pTop ? pTop->GetHeight() : 0;
    const int nBottomH = NULL != pBottom ? pBottom->GetHeight() : 0;
    if (NULL != pTop) {
        DrawRowBitmap(pDrawBitmap, pTop, rcList.right - pTop->GetWidth(), nThumbTop, *lpNeedDraw);
    }
    if (NULL != pMiddle && pMiddle->GetHeight() > 0) {
        const int nMiddleH = GetThumbSize() - nTopH - nBottomH;
        RECT rcMiddle = {rcList.right - pMiddle->GetWidth(), nThumbTop + nTopH, rcList.right,
                         nThumbTop + nTopH + std::max(nMiddleH, 0)};
        IntersectRect(&rcMiddle, &rcMiddle, lpNeedDraw);
        for (int y = nThumbTop + nTopH; y < rcMiddle.bottom; y += pMiddle->GetHeight()) {
            if (y + pMiddle->GetHeight() > rcMiddle.top) {
                DrawRowBitmap(pDrawBitmap, pMiddle, rcList.right - pMiddle->GetWidth(), y, rcMiddle);
            }
        }
    }
    if (NULL != pBottom) {
        DrawRowBitmap(pDrawBitmap, pBottom, rcList.right - pBottom->GetWidth(),
                      nThumbTop + GetThumbSize() - nBottomH, *lpNeedDraw);
    }
}
