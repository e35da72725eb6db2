// Background images of a style: one bitmap each, with the part of it to draw, where to draw it in the
// layer, how to align or stretch it, and the index that merges a layer's items with its style's.
#pragma once

#include "platform/WinCe.h"
#include "wceui/bitmap/WceUiRectOps.h"

#include <memory>

class CWceUiGenericBitmap;
class CWceUiLoadBitmap;

class CWceUiBgItem {
public:
    // No bitmap, unbounded source and destination, centred both ways, not zoomed, common index 0.
    CWceUiBgItem();
    ~CWceUiBgItem();
    CWceUiBgItem(const CWceUiBgItem&) = delete;
    CWceUiBgItem& operator=(const CWceUiBgItem&) = delete;

    BOOL DoCopy(const CWceUiBgItem& rhs);

    BOOL SetBitmapID(LPCWSTR pBitmapID);
    // The bitmap, loaded on first use (null when it cannot be).
    CWceUiGenericBitmap* GetBitmap();
    CWceUiLoadBitmap* GetLoadBitmap();

    BOOL SetName(LPCWSTR pName);
    LPCWSTR GetName() const;
    BOOL SetSrcRect(LPCRECT lpRect);
    BOOL GetSrcRect(LPRECT lpRect) const;
    BOOL SetDstRect(LPCRECT lpRect);
    BOOL GetDstRect(LPRECT lpRect) const;
    // 0 left, WCEUI_ALIGN_HCENTER or WCEUI_ALIGN_RIGHT; the vertical bits stay.
    void SetHorzAlign(UINT nAlign);
    // 0 top, WCEUI_ALIGN_VCENTER or WCEUI_ALIGN_BOTTOM; the horizontal bits stay.
    void SetVertAlign(UINT nAlign);
    UINT GetAlign() const;
    void SetZoom(BOOL bZoom);
    BOOL IsZoom() const;
    void SetCommonIndex(int nCommonIndex);
    int GetCommonIndex() const;

private:
    friend class CWceUiBgItemCtrl;
    struct Data;
    Data* GetData() const;

    std::unique_ptr<Data> m_pBgItemData;
    CWceUiBgItem* m_pNext; // the owning list's links
    CWceUiBgItem* m_pPre;
};

// An ordered list of background items that owns them.
class CWceUiBgItemCtrl {
public:
    CWceUiBgItemCtrl();
    ~CWceUiBgItemCtrl();
    CWceUiBgItemCtrl(const CWceUiBgItemCtrl&) = delete;
    CWceUiBgItemCtrl& operator=(const CWceUiBgItemCtrl&) = delete;

    // Appends a copy of the item.
    BOOL AddItem(const CWceUiBgItem& item);
    void RemoveAll();
    // Frees this list's items and copies every item of the other.
    BOOL DoCopy(const CWceUiBgItemCtrl& rhs);

    int GetCount() const;
    CWceUiBgItem* GetHead() const;
    CWceUiBgItem* GetNext(const CWceUiBgItem* pItem) const;
    // The item at a position, or null.
    CWceUiBgItem* GetAt(int nIndex) const;

private:
    struct Data;
    Data* GetData() const;

    std::unique_ptr<Data> m_pCtrlData;
};
