// Text entry on a scroll layer: a text with a caret, laid out in lines, edited through the platform's
// character and key messages while the box has the focus. The multi-line kind wraps at words and
// scrolls vertically with a background per line; the single-line kind scrolls horizontally.
#pragma once

#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/widgets/WceUiScrollLayer.h"

#include <memory>
#include <string>
#include <vector>

// The line table's room; multi-line text that would need more lines is refused.
#define WCEUI_EDIT_MAX_LINES 500
// The most UTF-16 units a multi-line box holds on one line (a closing "\n" not counted); text that
// would need a longer line is refused. Ordinary text wraps long before this even in the widest box, but
// characters without width (combining marks, zero-width spaces) never wrap, and an edit measures its
// whole line: the bound keeps each keystroke's cost bounded.
#define WCEUI_EDIT_MAX_LINE_TEXT 2048
// The most UTF-16 units a single-line box holds, as a platform single-line edit allows by default.
#define WCEUI_EDIT_MAX_SINGLE_TEXT 32767
#define WCEUI_EDIT_LINE_HEIGHT 17

class CWceUiEditBox : public CWceUiScrollLayer {
public:
    CWceUiEditBox();
    ~CWceUiEditBox() override;

    BOOL SetProperties(CWceUiXmlElem* pCreateElem) override;
    void OnInitLayer() override;
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnLButtonUp(UINT nFlags, POINT point) override;
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnScrollChanged(int nPos) override;
    void AppendDumpInfo(std::string* line, std::vector<std::string>* extraLines) const override;
    // The dump shows what the box holds, which is what a test of typing wants to read.
    LPCWSTR GetDumpText() const override;

    // Gives or takes the focus: the platform caret is created or destroyed with it. One box of a host
    // window has the focus: giving it to one takes it from the box that had it.
    void SetFocused(BOOL bFocused);
    BOOL IsFocused() const;
    // The box that has the focus in a host window, or NULL.
    static CWceUiEditBox* GetFocusedEditBox(CWceUiLayerHost* pHost);
    // Replaces the whole text (caret at its start); FALSE, with nothing changed and a line in the log,
    // when it is longer than a single-line box holds or needs more or longer lines than a multi-line box
    // holds.
    BOOL SetEditText(LPCWSTR pText);
    const std::u16string& GetEditText() const;

    struct Line {
        int nStart;
        int nLength; // includes a closing "\n"
    };
    int GetLineCount() const;
    // Start and length of a line; FALSE out of range.
    BOOL GetLine(int nIndex, int* pnStart, int* pnLength) const;
    int GetCaretLine() const;
    int GetCaretColumn() const;
    int GetLineHeight() const;
    // Where the caret was last placed, in window coordinates, and whether that lies in the layer.
    POINT GetCaretPoint() const;
    BOOL IsCaretInView() const;
    BOOL IsCaretShown() const;
    LPCWSTR GetFocusStyleName() const;
    LPCWSTR GetNormalStyleName() const;

    struct Data;
    Data* GetData() const;

protected:
    virtual BOOL IsMultiLine() const { return FALSE; }
    // Lays the text out again; FALSE (table untouched, the reason in *pnRefusal) when the box cannot
    // hold it. With nEdit >= 0 the text differs from the laid-out one by nDelta characters inserted
    // (> 0) or removed (< 0) at nEdit, and only the lines from the edit to where the old layout resumes
    // are measured again.
    BOOL LayoutLines(const std::u16string& text, int nEdit = -1, int nDelta = 0, int* pnRefusal = NULL);
    // Removes nRemove units at nOffset or inserts nInsert units there (one of the two is 0), lays out
    // again, updates the scroll range and asks for a redraw; FALSE (text and layout as they were, the
    // refusal logged once for a run of refusals) when the box cannot hold the result. The caret is left
    // to the caller.
    BOOL EditText(int nOffset, int nRemove, const char16_t* pInsert, int nInsert);
    // The text's width in the layer's font.
    int MeasureText(const char16_t* p, int n) const;
    void UpdateScrollRange();
    // Asks for the box to be drawn again from a line's row down (the whole box for a single line).
    void InvalidateFromLine(int nLine);
    void PlaceCaret();
    void CaretIntoView();
    // The caret's last line: the empty one after a closing "\n" (not in the table) counts.
    int LastCaretLine() const;
    // Index of the caret in the text.
    int CaretOffset() const;
    // Line and column of a text index (the end of a line the index closes, unless it is a line start).
    void OffsetToCaret(int nOffset);
    int LineEndColumn(int nLine) const;
    HWND HostHwnd() const;
    // Gives up the focus and the platform caret, if this box holds them.
    void ReleaseFocus();
    // Draws the lines laid out in rcArea (client row 0 at oy; both rectangles in the bitmap's
    // coordinates) with a per-line background when pLineBg is given, changing pixels only in rcClip.
    void DrawLines(CWceUiGenericBitmap* pDrawBitmap, int oy, const RECT& rcArea, const RECT& rcClip,
                   CWceUiGenericBitmap* pLineBg);

private:
    std::unique_ptr<Data> m_pData;
};

class CWceUiMEditBox : public CWceUiEditBox {
public:
    CWceUiMEditBox();
    BOOL SetProperties(CWceUiXmlElem* pCreateElem) override;
    void OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) override;
    CWceUiLoadBitmap& LineBg();
    CWceUiLoadBitmap& BarTop();
    CWceUiLoadBitmap& BarMiddle();
    CWceUiLoadBitmap& BarBottom();

protected:
    BOOL IsMultiLine() const override { return TRUE; }
};

class CWceUiSEditBox : public CWceUiEditBox {
public:
    CWceUiSEditBox();
    BOOL SetProperties(CWceUiXmlElem* pCreateElem) override;
    void OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) override;
    CWceUiLoadBitmap& BarLeft();
    CWceUiLoadBitmap& BarCenter();
    CWceUiLoadBitmap& BarRight();
};

WCEUI_DYNCREATE_BEGIN(CWceUiEditBox, CWceUiScrollLayer)
WCEUI_DYNCREATE_END(CWceUiEditBox)
WCEUI_DYNCREATE_BEGIN(CWceUiMEditBox, CWceUiEditBox)
WCEUI_DYNCREATE_END(CWceUiMEditBox)
WCEUI_DYNCREATE_BEGIN(CWceUiSEditBox, CWceUiEditBox)
WCEUI_DYNCREATE_END(CWceUiSEditBox)
