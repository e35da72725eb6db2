// A vertical list of text items on a scroll layer: per-item data, image and state, row backgrounds for
// normal and pressed rows, a check mark on selected rows and a three-piece scroll bar. A tapped item
// is announced to the host window with WCEUI_LB_MSG_ITEM_ACTIVATE. Drawing keeps the last picture of
// the rows so that a scroll step only draws the strip it brings into view.
#pragma once

#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/widgets/WceUiScrollLayer.h"

#include <memory>
#include <string>
#include <vector>

class CWceUiGenericBitmap;

// Posted to the host window: first parameter 1, second the list box.
#define WCEUI_LB_MSG_ITEM_ACTIVATE (0x8000 + 0x3E8)
// Item state bits.
#define WCEUI_LB_STATE_SELECTED 2
// The text of a row: single line, vertically centred, left-aligned, word ellipsis.
#define WCEUI_LB_TEXT_FORMAT (DT_WORD_ELLIPSIS | DT_SINGLELINE | DT_VCENTER)
// A list holds at most this many items; AddString refuses more.
#define WCEUI_LB_MAX_ITEMS 1000000

class CWceUiListBox : public CWceUiScrollLayer {
public:
    CWceUiListBox();
    ~CWceUiListBox() override;

    BOOL SetProperties(CWceUiXmlElem* pCreateElem) override;
    void OnInitLayer() override;
    void OnLButtonDown(UINT nFlags, POINT point) override;
    void OnLButtonUp(UINT nFlags, POINT point) override;
    void OnMouseMove(UINT nFlags, POINT point) override;
    void OnDraw(CWceUiGenericBitmap* pWndBitmap, LPCRECT lpNeedDraw) override;
    void OnDrawBackGround(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) override;
    void OnDrawBgImgs(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) override;
    void OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) override;
    // Draws the three pieces of the scroll bar at the right edge of the list, whose client origin lies
    // at ptListOrigin of the draw bitmap, within lpNeedDraw (in the draw bitmap's coordinates).
    virtual void DrawScrollBar(CWceUiGenericBitmap* pDrawBitmap, LPCRECT lpNeedDraw, POINT ptListOrigin);

    // Appends an item; its index, or -1 when it cannot be stored.
    int AddString(LPCWSTR pText, BOOL bRedraw = TRUE);
    // Removes every item (their data stays the caller's), scrolls to the top, no selection.
    void ResetContent();
    // The item's data, or -1 for an index out of range.
    LPVOID GetItemData(int nIndex) const;
    int SetItemData(int nIndex, LPVOID pData);
    // Gives the item a copy of the bitmap (none clears it); FALSE out of range or for a non-bitmap.
    BOOL SetItemImage(int nIndex, CWceUiObject* pBitmap);
    BOOL GetItemState(int nIndex, DWORD* pdwState) const;
    LPCWSTR GetItemText(int nIndex) const;
    // Selects one item and gives it the selected bit, clearing the bit of every other item (also of
    // one checked before a tap moved the selection); the index, or -1 out of range with nothing changed.
    int SetSel(int nIndex, BOOL bRedraw = TRUE);
    int GetCount() const;
    int GetCurSel() const;
    int GetPressedItem() const;

    int GetItemHeight() const;
    // Zero or negative heights are refused: rows would not be hit-testable.
    BOOL SetItemHeight(int nHeight);
    void SetCacheEnabled(BOOL bEnabled);
    void ShowScrollBar(BOOL bShow);
    void SetDrawItemImage(BOOL bDraw, int nImageWidth);
    void SetTextLeftOffset(int nOffset);
    void SetPressedTextColor(COLORREF cr);
    COLORREF GetPressedTextColor() const;
    int GetTextLeftOffset() const;
    BOOL IsDrawItemImage() const;
    // Bitmap names as a dialog file gives them.
    BOOL SetRowBitmaps(LPCWSTR pNormal, LPCWSTR pPressed);
    BOOL SetScrollBarBitmaps(LPCWSTR pTop, LPCWSTR pMiddle, LPCWSTR pBottom);
    BOOL SetCheckBitmap(LPCWSTR pCheck);
    BOOL SetDefaultItemBitmap(LPCWSTR pImage);
    // The same pieces from bitmaps the application made (the list keeps a copy).
    enum {
        PART_ROW_NORMAL,
        PART_ROW_PRESSED,
        PART_BAR_TOP,
        PART_BAR_MIDDLE,
        PART_BAR_BOTTOM,
        PART_CHECK,
        PART_DEFAULT_IMAGE
    };
    BOOL SetPartBitmap(int nPart, CWceUiGenericBitmap* pBitmap);

    // The items in view: first and one past the last index.
    void GetVisibleRange(int* pnFirst, int* pnEnd) const;
    // The layer-tree dump's ` items=N selected=I top=PIXELS` pairs and one `item I "text"` line per
    // item in view, with ` checked` after the text of an item that carries the selected bit.
    void AppendDumpInfo(std::string* line, std::vector<std::string>* extraLines) const override;

    // How many rows the last drawing drew (those copied from the cache not counted).
    int GetLastDrawnRowCount() const { return m_nLastDrawnRows; }

    struct Item;
    struct Data;
    Data* GetData() const;

private:
    struct DrawRequest;
    void UpdateRange(BOOL bRedraw);
    // Asks for the row's rectangle to be drawn now.
    void RedrawItem(int nIndex);
    void RepaintNow();
    void PostActivate();
    BOOL PrepareCache(CWceUiGenericBitmap* pDrawBitmap, int nWidth, int nHeight);
    // The client rectangle, where it lies in the draw bitmap and the part of it this drawing covers;
    // false when the list has no area.
    bool PlanArea(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient, DrawRequest* pRequest) const;
    // Whether the drawing under way is a scroll step through the cache.
    bool IsDrawingStep() const;
    // A scroll step: the strip that comes into view is drawn, the rest is taken from the cache.
    void DrawScrollStep(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient, const DrawRequest& request);
    // The rows of the request's area, and the cache brought up to date with them.
    void DrawArea(CWceUiGenericBitmap* pDrawBitmap, const DrawRequest& request);
    // Draws the rows that meet rcArea (client coordinates) into pTarget, whose pixel ptOrigin is the
    // client origin.
    void DrawRows(CWceUiGenericBitmap* pTarget, POINT ptOrigin, const RECT& rcArea);
    // Copies between the ring-ordered cache and another bitmap whose client origin is at ptOrigin.
    void CacheCopy(CWceUiGenericBitmap* pOther, POINT ptOrigin, const RECT& rcClientArea, bool bToCache);
    // Whether a drawing of lpNeedDraw can be a scroll step through the cache.
    bool CanUseCacheFor(LPCRECT lpNeedDraw, CWceUiGenericBitmap* pWndBitmap);
    void DrawRowBitmap(CWceUiGenericBitmap* pDst, CWceUiGenericBitmap* pSrc, int x, int y,
                       const RECT& rcClip);

    std::unique_ptr<Data> m_pData;
    int m_nLastDrawnRows = 0;
};

WCEUI_DYNCREATE_BEGIN(CWceUiListBox, CWceUiScrollLayer)
WCEUI_DYNCREATE_END(CWceUiListBox)
