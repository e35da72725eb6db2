#include "wceui/style/WceUiBgItem.h"

#include "wceui/bitmap/WceUiRectOps.h"
#include "wceui/core/QuickString.h"
#include "wceui/core/WceUiHTList.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRect.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/style/WceUiLoadBitmap.h"

#include <new>

namespace {

const UINT kHorzBits = WCEUI_ALIGN_HCENTER | WCEUI_ALIGN_RIGHT;
const UINT kVertBits = WCEUI_ALIGN_VCENTER | WCEUI_ALIGN_BOTTOM;

BOOL CopyRect(LPRECT lpDst, LPCRECT lpSrc, const char* pOperation) {
    if (!WceUiCheck(NULL != lpSrc && NULL != lpDst, pOperation, "NULL != lpRect")) {
        return FALSE;
    }
    *lpDst = *lpSrc;
    return TRUE;
}

} // namespace

struct CWceUiBgItem::Data {
    Data() {
        SetRectLarge(&rcSrc);
        SetRectLarge(&rcDst);
    }
    CWceUiLoadBitmap bitmap;
    CQuickString strName;
    RECT rcSrc;
    RECT rcDst;
    UINT nAlign = WCEUI_ALIGN_HCENTER | WCEUI_ALIGN_VCENTER;
    BOOL bZoom = FALSE;
    int nCommonIndex = 0;
};

CWceUiBgItem::CWceUiBgItem()
    : m_pBgItemData(WceUiNewRecord<Data>("CWceUiBgItem")), m_pNext(NULL), m_pPre(NULL) {}

CWceUiBgItem::~CWceUiBgItem() {}

CWceUiBgItem::Data* CWceUiBgItem::GetData() const {
    return m_pBgItemData.get();
}

BOOL CWceUiBgItem::DoCopy(const CWceUiBgItem& rhs) {
    if (!WCEUI_CHECK("CWceUiBgItem::DoCopy", this != &rhs)) {
        return FALSE;
    }
    Data* pData = GetData();
    const Data* pOther = rhs.GetData();
    if (NULL == pData || NULL == pOther) {
        return FALSE;
    }
    BOOL bOk = pData->bitmap.DoCopy(pOther->bitmap);
    bOk = pData->strName.SetString(pOther->strName) && bOk;
    pData->rcSrc = pOther->rcSrc;
    pData->rcDst = pOther->rcDst;
    pData->nAlign = pOther->nAlign;
    pData->bZoom = pOther->bZoom;
    pData->nCommonIndex = pOther->nCommonIndex;
    return bOk;
}

BOOL CWceUiBgItem::SetBitmapID(LPCWSTR pBitmapID) {
    Data* pData = GetData();
    return NULL != pData && pData->bitmap.SetBitmapFromRes(pBitmapID);
}

CWceUiGenericBitmap* CWceUiBgItem::GetBitmap() {
    Data* pData = GetData();
    return NULL != pData ? pData->bitmap.GetBitmap() : NULL;
}

CWceUiLoadBitmap* CWceUiBgItem::GetLoadBitmap() {
    Data* pData = GetData();
    return NULL != pData ? &pData->bitmap : NULL;
}

BOOL CWceUiBgItem::SetName(LPCWSTR pName) {
    Data* pData = GetData();
    return NULL != pData && pData->strName.SetString(pName);
}

LPCWSTR CWceUiBgItem::GetName() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->strName.GetString() : u"";
}

BOOL CWceUiBgItem::SetSrcRect(LPCRECT lpRect) {
    Data* pData = GetData();
    return NULL != pData && CopyRect(&pData->rcSrc, lpRect, "CWceUiBgItem::SetSrcRect");
}

BOOL CWceUiBgItem::GetSrcRect(LPRECT lpRect) const {
    const Data* pData = GetData();
    return NULL != pData && CopyRect(lpRect, &pData->rcSrc, "CWceUiBgItem::GetSrcRect");
}

BOOL CWceUiBgItem::SetDstRect(LPCRECT lpRect) {
    Data* pData = GetData();
    return NULL != pData && CopyRect(&pData->rcDst, lpRect, "CWceUiBgItem::SetDstRect");
}

BOOL CWceUiBgItem::GetDstRect(LPRECT lpRect) const {
    const Data* pData = GetData();
    return NULL != pData && CopyRect(lpRect, &pData->rcDst, "CWceUiBgItem::GetDstRect");
}

void CWceUiBgItem::SetHorzAlign(UINT nAlign) {
    if (Data* pData = GetData()) {
        pData->nAlign = (pData->nAlign & ~kHorzBits) | (nAlign & kHorzBits);
        // Centre and right cannot both hold: the last one named wins.
        if ((pData->nAlign & kHorzBits) == kHorzBits) {
            pData->nAlign &= ~WCEUI_ALIGN_HCENTER;
        }
    }
}

void CWceUiBgItem::SetVertAlign(UINT nAlign) {
    if (Data* pData = GetData()) {
        pData->nAlign = (pData->nAlign & ~kVertBits) | (nAlign & kVertBits);
        if ((pData->nAlign & kVertBits) == kVertBits) {
            pData->nAlign &= ~WCEUI_ALIGN_VCENTER;
        }
    }
}

UINT CWceUiBgItem::GetAlign() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->nAlign : 0;
}

void CWceUiBgItem::SetZoom(BOOL bZoom) {
    if (Data* pData = GetData()) {
        pData->bZoom = bZoom;
    }
}

BOOL CWceUiBgItem::IsZoom() const {
    const Data* pData = GetData();
    return NULL != pData && pData->bZoom;
}

void CWceUiBgItem::SetCommonIndex(int nCommonIndex) {
    if (Data* pData = GetData()) {
        pData->nCommonIndex = nCommonIndex;
    }
}

int CWceUiBgItem::GetCommonIndex() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->nCommonIndex : 0;
}

// The list.

struct CWceUiBgItemCtrl::Data {
    Data() : items(&CWceUiBgItem::m_pNext, &CWceUiBgItem::m_pPre) {}
    CWceUiHTListOf<CWceUiBgItem> items;
};

CWceUiBgItemCtrl::CWceUiBgItemCtrl() : m_pCtrlData(WceUiNewRecord<Data>("CWceUiBgItemCtrl")) {}

CWceUiBgItemCtrl::~CWceUiBgItemCtrl() {
    RemoveAll();
}

CWceUiBgItemCtrl::Data* CWceUiBgItemCtrl::GetData() const {
    return m_pCtrlData.get();
}

BOOL CWceUiBgItemCtrl::AddItem(const CWceUiBgItem& item) {
    Data* pData = GetData();
    if (NULL == pData) {
        return FALSE;
    }
    CWceUiBgItem* pCopy = new (std::nothrow) CWceUiBgItem;
    if (NULL == pCopy) {
        WceUiLog(WCEUI_LOG_ERROR, "CWceUiBgItemCtrl::AddItem, new fail");
        return FALSE;
    }
    const BOOL bOk = pCopy->DoCopy(item);
    pData->items.AddTail(pCopy);
    return bOk;
}

void CWceUiBgItemCtrl::RemoveAll() {
    if (Data* pData = GetData()) {
        while (pData->items.GetCount() > 0) {
            delete pData->items.RemoveHead();
        }
    }
}

BOOL CWceUiBgItemCtrl::DoCopy(const CWceUiBgItemCtrl& rhs) {
    if (!WCEUI_CHECK("CWceUiBgItemCtrl::DoCopy", this != &rhs)) {
        return FALSE;
    }
    RemoveAll();
    BOOL bOk = TRUE;
    for (CWceUiBgItem* pItem = rhs.GetHead(); NULL != pItem; pItem = rhs.GetNext(pItem)) {
        bOk = AddItem(*pItem) && bOk;
    }
    return bOk;
}

int CWceUiBgItemCtrl::GetCount() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->items.GetCount() : 0;
}

CWceUiBgItem* CWceUiBgItemCtrl::GetHead() const {
    const Data* pData = GetData();
    return NULL != pData ? pData->items.GetHead() : NULL;
}

CWceUiBgItem* CWceUiBgItemCtrl::GetNext(const CWceUiBgItem* pItem) const {
    return NULL != pItem ? pItem->m_pNext : NULL;
}

CWceUiBgItem* CWceUiBgItemCtrl::GetAt(int nIndex) const {
    CWceUiBgItem* pItem = GetHead();
    for (; NULL != pItem && nIndex > 0; --nIndex) {
        pItem = GetNext(pItem);
    }
    return nIndex == 0 ? pItem : NULL;
}
