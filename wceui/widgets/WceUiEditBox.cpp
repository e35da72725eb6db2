// The edit boxes: line layout, editing from character and key messages, the caret, and drawing.
#include "wceui/widgets/WceUiEditBox.h"

#include "platform/WinString.h"
#include "wceui/bitmap/WceUiDrawTextCtrl.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/WceUiAssert.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/WceUiLoadFont.h"
#include "wceui/style/WceUiStyle.h"
#include "wceui/ui/RealGenericWnd.h"
#include "wceui/ui/WceUiLayerCtrl.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <map>
#include <memory>
#include <new>
#include <string>

namespace {

const UINT kMsgKeyDown = 256;
const UINT kMsgChar = 258;

bool IsHigh(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLow(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
// Characters that make up words; a line breaks before the word that overflows it.
bool IsWordChar(char16_t c) {
    return c >= 0x21 && c <= 0x7F;
}

// What the bitmap accessors of a box without its record (out of memory) hand out: nothing draws it.
CWceUiLoadBitmap& StandInBitmap() {
    static CWceUiLoadBitmap s_standIn;
    return s_standIn;
}

// The line table covers the text from its start to its end, line after line, without an empty line,
// a line break inside a line or a surrogate pair split between two lines. Drawing, the caret and the
// partial layout after an edit all index the text through it.
void AssertLineTable(const CWceUiEditBox::Line* pLines, int nCount, const std::u16string& text) {
#if WCEUI_ASSERTS_ON
    const int n = static_cast<int>(text.size());
    WCEUI_ASSERT(nCount >= 0 && nCount <= WCEUI_EDIT_MAX_LINES);
    WCEUI_ASSERT((0 == n) == (0 == nCount));
    int nEnd = 0;
    for (int i = 0; i < nCount; ++i) {
        const CWceUiEditBox::Line& line = pLines[i];
        WCEUI_ASSERT(line.nStart == nEnd && line.nLength > 0 && line.nStart + line.nLength <= n);
        nEnd = line.nStart + line.nLength;
        WCEUI_ASSERT(std::char_traits<char16_t>::find(text.data() + line.nStart, line.nLength - 1, u'\n') ==
                     NULL);
        WCEUI_ASSERT(nEnd == n || !(IsLow(text[nEnd]) && IsHigh(text[nEnd - 1])));
    }
    WCEUI_ASSERT(nEnd == n);
#else
    (void)pLines;
    (void)nCount;
    (void)text;
#endif
}

// Why a text is refused, for the log.
enum Refusal { REFUSE_NONE, REFUSE_LINES, REFUSE_LINE_LENGTH, REFUSE_LENGTH };

void LogRefusal(const char* pWhat, int nUnits, int nReason) {
    switch (nReason) {
        case REFUSE_LINES:
            WceUiLog(WCEUI_LOG_ERROR,
                     "CWceUiEditBox, %s refused (%d characters): it would need more than %d lines", pWhat,
                     nUnits, WCEUI_EDIT_MAX_LINES);
            break;
        case REFUSE_LINE_LENGTH:
            WceUiLog(WCEUI_LOG_ERROR,
                     "CWceUiEditBox, %s refused (%d characters): a line would hold more than %d characters",
                     pWhat, nUnits, WCEUI_EDIT_MAX_LINE_TEXT);
            break;
        default:
            WceUiLog(WCEUI_LOG_ERROR,
                     "CWceUiEditBox, %s refused (%d characters): a single line holds at most %d", pWhat,
                     nUnits, WCEUI_EDIT_MAX_SINGLE_TEXT);
            break;
    }
}

// The focused box of each host window, and the box that holds the platform caret (the platform has one
// caret, so a box focused in another host window takes it).
std::map<CWceUiLayerHost*, CWceUiEditBox*>& FocusedBoxes() {
    static std::map<CWceUiLayerHost*, CWceUiEditBox*>* s_pBoxes =
        new std::map<CWceUiLayerHost*, CWceUiEditBox*>;
    return *s_pBoxes;
}
CWceUiEditBox* g_pCaretBox = NULL;

// Owns a memory device context with the layer's font selected, for measuring.
class MeasureDc {
public:
    explicit MeasureDc(HFONT hFont) : m_hdc(CreateCompatibleDC(NULL)) {
        if (NULL != m_hdc) {
            m_hOld = SelectObject(m_hdc, hFont);
        }
    }
    ~MeasureDc() {
        if (NULL != m_hdc) {
            SelectObject(m_hdc, m_hOld);
            DeleteDC(m_hdc);
        }
    }
    MeasureDc(const MeasureDc&) = delete;
    MeasureDc& operator=(const MeasureDc&) = delete;
    int Width(const char16_t* p, int n) const {
        SIZE size = {0, 0};
        if (NULL == m_hdc || n <= 0 || !GetTextExtentPoint32W(m_hdc, p, n, &size)) {
            return 0;
        }
        return size.cx;
    }

private:
    HDC m_hdc;
    HGDIOBJ m_hOld = NULL;
};

// The first character boundary c in 1 .. n (the halves of a pair are not split) at which the text
// p[0 .. c) is at least x wide; n when none is. A text's width grows with it, so halving finds it.
int FirstBoundaryReaching(const MeasureDc& dc, const char16_t* p, int n, int x) {
    auto boundary = [&](int c) { return c > 0 && c < n && IsLow(p[c]) && IsHigh(p[c - 1]) ? c + 1 : c; };
    int lo = 0;
    int hi = n;
    for (;;) {
        const int nNext = boundary(lo + 1);
        if (nNext >= hi) {
            return hi;
        }
        int mid = boundary(lo + (hi - lo) / 2);
        if (mid >= hi) {
            mid = nNext;
        }
        if (dc.Width(p, mid) >= x) {
            hi = mid;
        } else {
            lo = mid;
        }
    }
}

// The character boundary of the text p[0 .. n) nearest to x, a tie going to the left; beyond the
// text, its end.
int NearestColumn(const MeasureDc& dc, const char16_t* p, int n, int x) {
    if (n <= 0) {
        return 0;
    }
    const int c = FirstBoundaryReaching(dc, p, n, x);
    const int w = dc.Width(p, c);
    if (w < x) {
        return n;
    }
    const int nPrev = c >= 2 && IsLow(p[c - 1]) && IsHigh(p[c - 2]) ? c - 2 : c - 1;
    return x - dc.Width(p, nPrev) <= w - x ? nPrev : c;
}

// Copies or (with per-pixel alpha) blends a bitmap piece stretched to w x h at (x, y).
void DrawPiece(CWceUiGenericBitmap* pDst, CWceUiGenericBitmap* pSrc, int x, int y, int w, int h) {
    if (NULL == pSrc || !pSrc->IsLoaded() || w <= 0 || h <= 0 || pSrc->GetWidth() <= 0 ||
        pSrc->GetHeight() <= 0) {
        return;
    }
    if (!pSrc->HasPerPixelAlpha()) {
        pDst->StretchBlt(x, y, w, h, pSrc, 0, 0, pSrc->GetWidth(), pSrc->GetHeight(), SRCCOPY);
        return;
    }
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    const bool bRows = h != pSrc->GetHeight();
    const bool bCols = w != pSrc->GetWidth();
    if (!bRows && !bCols) {
        pDst->AlphaBlend(x, y, w, h, pSrc, 0, 0, blend);
        return;
    }
    // Alpha blending does not stretch: blend one source row or column per destination row or column.
    if (bRows) {
        for (int i = 0; i < h; ++i) {
            pDst->AlphaBlend(x, y + i, std::min(w, pSrc->GetWidth()), 1, pSrc, 0,
                             static_cast<int>(static_cast<long long>(i) * pSrc->GetHeight() / h), blend);
        }
    } else {
        for (int i = 0; i < w; ++i) {
            pDst->AlphaBlend(x + i, y, 1, std::min(h, pSrc->GetHeight()), pSrc,
                             static_cast<int>(static_cast<long long>(i) * pSrc->GetWidth() / w), 0, blend);
        }
    }
}

HFONT LayerFont(CWceUiStyle* pStyle) {
    CWceUiFontCtrl* pFontCtrl = NULL == pStyle ? NULL : pStyle->GetFontCtrl();
    HFONT hFont = NULL == pFontCtrl ? NULL : pFontCtrl->GetFont();
    return NULL != hFont ? hFont : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

} // namespace

struct CWceUiEditBox::Data {
    std::u16string text;
    int nCaretColumn = 0;
    int nCaretLine = 0;
    int nLineHeight = WCEUI_EDIT_LINE_HEIGHT;
    // The line table: nLineCount lines that cover the text from its start to its end, in order.
    Line lines[WCEUI_EDIT_MAX_LINES] = {};
    int nLineCount = 0;
    // The first line the last layout measured again.
    int nFirstChanged = 0;
    BOOL bFocused = FALSE;
    // The host window whose focused box this is, while focused.
    CWceUiLayerHost* pFocusHost = NULL;
    std::u16string strFocusStyle;
    std::u16string strNormalStyle;
    BOOL bCaretInView = TRUE;
    BOOL bCaretShown = FALSE;
    BOOL bCaretCreated = FALSE;
    BOOL bRegistered = FALSE;
    BOOL bRefusing = FALSE;
    POINT ptCaret = {0, 0};
    // The single-line text's width in hWidthFont, kept up to date through edits; -1 until measured.
    int nTextWidth = -1;
    HFONT hWidthFont = NULL;
    // The multi-line kind's per-line background.
    CWceUiLoadBitmap lbLineBg;
    // The scroll bar's three pieces: top, middle and bottom for the multi-line kind, left, centre and
    // right for the single-line kind.
    CWceUiLoadBitmap lbBar[3];
};

CWceUiEditBox::CWceUiEditBox() : m_pData(WceUiNewRecord<Data>("CWceUiEditBox")) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiEditBox));
}

CWceUiEditBox::Data* CWceUiEditBox::GetData() const {
    return m_pData.get();
}

LPCWSTR CWceUiEditBox::GetDumpText() const {
    return NULL == m_pData ? u"" : m_pData->text.c_str();
}

BOOL CWceUiEditBox::IsFocused() const {
    return NULL != m_pData && m_pData->bFocused;
}

const std::u16string& CWceUiEditBox::GetEditText() const {
    static const std::u16string s_empty;
    return NULL == m_pData ? s_empty : m_pData->text;
}

int CWceUiEditBox::GetLineCount() const {
    return NULL == m_pData ? 0 : m_pData->nLineCount;
}

int CWceUiEditBox::GetCaretLine() const {
    return NULL == m_pData ? 0 : m_pData->nCaretLine;
}

int CWceUiEditBox::GetCaretColumn() const {
    return NULL == m_pData ? 0 : m_pData->nCaretColumn;
}

int CWceUiEditBox::GetLineHeight() const {
    return NULL == m_pData ? WCEUI_EDIT_LINE_HEIGHT : m_pData->nLineHeight;
}

POINT CWceUiEditBox::GetCaretPoint() const {
    return NULL == m_pData ? POINT{0, 0} : m_pData->ptCaret;
}

BOOL CWceUiEditBox::IsCaretInView() const {
    return NULL != m_pData && m_pData->bCaretInView;
}

BOOL CWceUiEditBox::IsCaretShown() const {
    return NULL != m_pData && m_pData->bCaretShown;
}

LPCWSTR CWceUiEditBox::GetFocusStyleName() const {
    return NULL == m_pData ? u"" : m_pData->strFocusStyle.c_str();
}

LPCWSTR CWceUiEditBox::GetNormalStyleName() const {
    return NULL == m_pData ? u"" : m_pData->strNormalStyle.c_str();
}

CWceUiEditBox::~CWceUiEditBox() {
    if (NULL == m_pData) {
        return;
    }
    ReleaseFocus();
    if (m_pData->bRegistered) {
        if (CWceUiLayerHost* pHost = GetWindow()) {
            pHost->UnRegisterMsg(kMsgKeyDown, this);
            pHost->UnRegisterMsg(kMsgChar, this);
        }
    }
}

BOOL CWceUiEditBox::SetProperties(CWceUiXmlElem* pCreateElem) {
    if (NULL == m_pData || !WCEUI_CHECK("CWceUiEditBox::SetProperties", NULL != pCreateElem) ||
        NULL == pCreateElem->pDoc) {
        return FALSE;
    }
    if (LPCWSTR p = pCreateElem->pDoc->GetAttrValue(pCreateElem, u"style")) {
        m_pData->strNormalStyle = p;
    }
    if (LPCWSTR p = pCreateElem->pDoc->GetAttrValue(pCreateElem, u"focus.style")) {
        m_pData->strFocusStyle = p;
    }
    return CWceUiLayer::SetProperties(pCreateElem);
}

void CWceUiEditBox::OnInitLayer() {
    CWceUiScrollLayer::OnInitLayer();
    if (NULL == m_pData) {
        return;
    }
    CWceUiLayerHost* pHost = GetWindow();
    if (NULL != pHost && !m_pData->bRegistered) {
        m_pData->bRegistered = pHost->RegisterMsg(kMsgKeyDown, this) && pHost->RegisterMsg(kMsgChar, this);
    }
    LayoutLines(m_pData->text);
    UpdateScrollRange();
}

LRESULT CWceUiEditBox::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    if (NULL == m_pData) {
        return CWceUiScrollLayer::OnMessage(uMsg, wParam, lParam);
    }
    if (kMsgKeyDown == uMsg) {
        OnKeyDown(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    if (kMsgChar == uMsg) {
        OnChar(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    }
    return CWceUiScrollLayer::OnMessage(uMsg, wParam, lParam);
}

HWND CWceUiEditBox::HostHwnd() const {
    CRealGenericWnd* pWnd = dynamic_cast<CRealGenericWnd*>(GetWindow());
    return NULL == pWnd ? NULL : pWnd->GetSafeHwnd();
}

void CWceUiEditBox::SetFocused(BOOL bFocused) {
    if (NULL == m_pData) {
        return;
    }
    if (!bFocused) {
        ReleaseFocus();
        return;
    }
    if (m_pData->bFocused) {
        return;
    }
    CWceUiLayerHost* pHost = GetWindow();
    CWceUiEditBox* pFocused = GetFocusedEditBox(pHost);
    if (NULL != pFocused && this != pFocused) {
        // Its caret goes first, so that destroying it does not take the one made here.
        pFocused->ReleaseFocus();
    }
    FocusedBoxes()[pHost] = this;
    m_pData->pFocusHost = pHost;
    m_pData->bFocused = TRUE;
    if (NULL != g_pCaretBox && this != g_pCaretBox) {
        // A box focused in another window: making a caret here replaces its caret.
        g_pCaretBox->m_pData->bCaretCreated = FALSE;
        g_pCaretBox->m_pData->bCaretShown = FALSE;
    }
    m_pData->bCaretCreated = CreateCaret(HostHwnd(), NULL, 1, m_pData->nLineHeight);
    g_pCaretBox = m_pData->bCaretCreated ? this : NULL;
    m_pData->bCaretShown = FALSE;
    PlaceCaret();
}

void CWceUiEditBox::ReleaseFocus() {
    if (m_pData->bFocused) {
        std::map<CWceUiLayerHost*, CWceUiEditBox*>& boxes = FocusedBoxes();
        auto it = boxes.find(m_pData->pFocusHost);
        if (it != boxes.end() && this == it->second) {
            boxes.erase(it);
        }
    }
    if (m_pData->bCaretCreated && this == g_pCaretBox) {
        DestroyCaret();
    }
    if (this == g_pCaretBox) {
        g_pCaretBox = NULL;
    }
    m_pData->bFocused = FALSE;
    m_pData->pFocusHost = NULL;
    m_pData->bCaretCreated = FALSE;
    m_pData->bCaretShown = FALSE;
}

CWceUiEditBox* CWceUiEditBox::GetFocusedEditBox(CWceUiLayerHost* pHost) {
    std::map<CWceUiLayerHost*, CWceUiEditBox*>& boxes = FocusedBoxes();
    auto it = boxes.find(pHost);
    return it == boxes.end() ? NULL : it->second;
}

BOOL CWceUiEditBox::SetEditText(LPCWSTR pText) {
    if (NULL == m_pData) {
        return FALSE;
    }
    std::u16string text = NULL == pText ? std::u16string() : std::u16string(pText);
    // Line ends as the box keeps them.
    text.erase(std::remove(text.begin(), text.end(), u'\r'), text.end());
    if (!IsMultiLine()) {
        std::replace(text.begin(), text.end(), u'\n', u' ');
    }
    int nRefusal = REFUSE_NONE;
    if (!LayoutLines(text, -1, 0, &nRefusal)) {
        LogRefusal("SetEditText", static_cast<int>(text.size()), nRefusal);
        return FALSE;
    }
    m_pData->text.swap(text);
    m_pData->nTextWidth = -1;
    m_pData->bRefusing = FALSE;
    m_pData->nCaretLine = 0;
    m_pData->nCaretColumn = 0;
    ScrollTo(0, FALSE);
    UpdateScrollRange();
    InvalidateLayer();
    PlaceCaret();
    return TRUE;
}

BOOL CWceUiEditBox::GetLine(int nIndex, int* pnStart, int* pnLength) const {
    if (NULL == m_pData || nIndex < 0 || nIndex >= m_pData->nLineCount) {
        return FALSE;
    }
    if (pnStart) {
        *pnStart = m_pData->lines[nIndex].nStart;
    }
    if (pnLength) {
        *pnLength = m_pData->lines[nIndex].nLength;
    }
    return TRUE;
}

int CWceUiEditBox::MeasureText(const char16_t* p, int n) const {
    MeasureDc dc(LayerFont(GetStyle()));
    return dc.Width(p, n);
}

BOOL CWceUiEditBox::LayoutLines(const std::u16string& text, int nEdit, int nDelta, int* pnRefusal) {
    const int n = static_cast<int>(text.size());
    auto refuse = [&](int nReason) {
        if (NULL != pnRefusal) {
            *pnRefusal = nReason;
        }
        return FALSE;
    };
    if (!IsMultiLine()) {
        // One line of unlimited width: the single-line box holds no line breaks.
        if (n > WCEUI_EDIT_MAX_SINGLE_TEXT) {
            return refuse(REFUSE_LENGTH);
        }
        m_pData->lines[0] = {0, n};
        m_pData->nLineCount = n > 0 ? 1 : 0;
        m_pData->nFirstChanged = 0;
        AssertLineTable(m_pData->lines, m_pData->nLineCount, text);
        return TRUE;
    }
    // Built aside: a text the table cannot hold leaves the table as it was.
    Line lines[WCEUI_EDIT_MAX_LINES];
    int nCount = 0;
    int nStart = 0;
    const bool bPartial = nEdit >= 0 && m_pData->nLineCount > 0;
    // After an edit, the lines before the one holding it and its predecessor stay as they are (a
    // shorter word may move back up one line, never further).
    int nOld = 0;
    int nFirstChanged = 0;
    if (bPartial) {
        int k = 0;
        while (k + 1 < m_pData->nLineCount && m_pData->lines[k + 1].nStart <= nEdit) {
            ++k;
        }
        nCount = std::max(0, k - 1);
        nFirstChanged = nCount;
        std::copy(m_pData->lines, m_pData->lines + nCount, lines);
        nStart = m_pData->lines[nCount].nStart;
        nOld = nCount;
    }
    bool bDone = false;
    RECT rcClient = {0, 0, 0, 0};
    GetClientRect(&rcClient);
    const int nWidth = rcClient.right - rcClient.left;
    MeasureDc dc(LayerFont(GetStyle()));
    auto push = [&](int nFrom, int nEnd) {
        if (nCount >= WCEUI_EDIT_MAX_LINES) {
            return false;
        }
        lines[nCount++] = {nFrom, nEnd - nFrom};
        if (!bPartial) {
            return true;
        }
        // Once a line starts where an old line after the edit started, the rest is the old layout.
        while (nOld < m_pData->nLineCount &&
               (m_pData->lines[nOld].nStart <= nEdit || m_pData->lines[nOld].nStart + nDelta < nEnd)) {
            ++nOld;
        }
        if (nOld < m_pData->nLineCount && m_pData->lines[nOld].nStart + nDelta == nEnd && nEnd < n) {
            if (nCount + (m_pData->nLineCount - nOld) > WCEUI_EDIT_MAX_LINES) {
                return false;
            }
            for (int k = nOld; k < m_pData->nLineCount; ++k) {
                lines[nCount++] = {m_pData->lines[k].nStart + nDelta, m_pData->lines[k].nLength};
            }
            bDone = true;
        }
        return true;
    };
    // An index moved past the second half of a pair it would split.
    auto boundary = [&](int e) {
        return e > 0 && e < n && IsLow(text[e]) && IsHigh(text[e - 1]) ? e + 1 : e;
    };
    auto fits = [&](int nFrom, int nEnd) {
        return nEnd <= nFrom || dc.Width(text.data() + nFrom, nEnd - nFrom) <= nWidth;
    };
    while (nStart < n && !bDone) {
        // The line's text runs to its "\n" or the text's end, but no further than the longest line
        // the box holds (and one more character, to tell whether it is longer).
        const int nLimit = static_cast<int>(std::min<long long>(n, nStart + WCEUI_EDIT_MAX_LINE_TEXT + 1LL));
        const char16_t* pNewline = std::char_traits<char16_t>::find(
            text.data() + nStart, static_cast<size_t>(nLimit - nStart), u'\n');
        const int nSeg = NULL != pNewline ? static_cast<int>(pNewline - text.data()) : boundary(nLimit);
        // A text's width is the sum of its characters' widths, so it grows with every character:
        // the first one that overflows is found by doubling the measured text, then halving the
        // rest, rather than by measuring after every character.
        int lo = nStart; // the text up to lo fits (nothing, at first)
        int hi = -1;     // and up to hi does not, once found
        for (int nStep = 32;; nStep *= 2) {
            const int e = boundary(nSeg - nStart <= nStep ? nSeg : nStart + nStep);
            if (!fits(nStart, e)) {
                hi = e;
                break;
            }
            lo = e;
            if (e >= nSeg) {
                break;
            }
        }
        if (hi < 0) {
            // The whole line fits.
            if (NULL == pNewline && nSeg - nStart > WCEUI_EDIT_MAX_LINE_TEXT) {
                return refuse(REFUSE_LINE_LENGTH);
            }
            const int nEnd = NULL != pNewline ? nSeg + 1 : nSeg;
            if (!push(nStart, nEnd)) {
                return refuse(REFUSE_LINES);
            }
            nStart = nEnd;
            continue;
        }
        for (;;) {
            const int nNext = boundary(lo + 1);
            if (nNext >= hi) {
                break;
            }
            int mid = boundary(lo + (hi - lo) / 2);
            if (mid >= hi) {
                mid = nNext;
            }
            if (fits(nStart, mid)) {
                lo = mid;
            } else {
                hi = mid;
            }
        }
        // The overflowing character spans lo .. hi.
        const int i = lo;
        int nBreak = i;
        if (IsWordChar(text[i])) {
            int j = i;
            while (j > nStart && IsWordChar(text[j - 1])) {
                --j;
            }
            if (j > nStart) {
                nBreak = j;
            }
        }
        if (nBreak == nStart) {
            // Not even one character fits: it takes a line of its own so that the walk advances.
            nBreak = hi;
        }
        if (!push(nStart, nBreak)) {
            return refuse(REFUSE_LINES);
        }
        nStart = nBreak;
    }
    std::copy(lines, lines + nCount, m_pData->lines);
    m_pData->nLineCount = nCount;
    m_pData->nFirstChanged = nFirstChanged;
    AssertLineTable(m_pData->lines, m_pData->nLineCount, text);
    return TRUE;
}

BOOL CWceUiEditBox::EditText(int nOffset, int nRemove, const char16_t* pInsert, int nInsert) {
    const int n = static_cast<int>(m_pData->text.size());
    if (!IsMultiLine() && n - nRemove + nInsert > WCEUI_EDIT_MAX_SINGLE_TEXT) {
        if (!m_pData->bRefusing) {
            LogRefusal("typing", n - nRemove + nInsert, REFUSE_LENGTH);
        }
        m_pData->bRefusing = TRUE;
        return FALSE;
    }
    // The single-line width changes by what the edit does to the characters next to it: with one
    // neighbour on each side measured before and after, a pair joined or split there is counted.
    const bool bWidth = !IsMultiLine() && m_pData->nTextWidth >= 0;
    const int nAround = std::max(0, nOffset - 1);
    const int nOldAround =
        bWidth ? MeasureText(m_pData->text.data() + nAround, std::min(n, nOffset + nRemove + 1) - nAround)
               : 0;
    const std::u16string removed = m_pData->text.substr(nOffset, nRemove);
    m_pData->text.replace(nOffset, nRemove, NULL != pInsert ? pInsert : u"", nInsert);
    int nRefusal = REFUSE_NONE;
    if (!LayoutLines(m_pData->text, nOffset, nInsert - nRemove, &nRefusal)) {
        m_pData->text.replace(nOffset, nInsert, removed);
        if (!m_pData->bRefusing) {
            LogRefusal("typing", n - nRemove + nInsert, nRefusal);
        }
        m_pData->bRefusing = TRUE;
        return FALSE;
    }
    m_pData->bRefusing = FALSE;
    if (bWidth) {
        const int nNew = static_cast<int>(m_pData->text.size());
        m_pData->nTextWidth +=
            MeasureText(m_pData->text.data() + nAround, std::min(nNew, nOffset + nInsert + 1) - nAround) -
            nOldAround;
    }
    InvalidateFromLine(m_pData->nFirstChanged);
    UpdateScrollRange();
    return TRUE;
}

void CWceUiEditBox::InvalidateFromLine(int nLine) {
    RECT rc;
    if (!IsMultiLine() || !GetWindowRect(&rc)) {
        InvalidateLayer();
        return;
    }
    // Lines above the first one laid out again kept their text and place.
    const long long llTop = rc.top + static_cast<long long>(nLine) * m_pData->nLineHeight - GetScrollPos();
    if (llTop > rc.top) {
        rc.top = static_cast<int>(std::min<long long>(llTop, rc.bottom));
    }
    if (!IsRectEmpty(&rc)) {
        InvalidateLayer(&rc);
    }
}

void CWceUiEditBox::UpdateScrollRange() {
    if (IsMultiLine()) {
        const long long llMax = static_cast<long long>(m_pData->nLineHeight) * (m_pData->nLineCount - 1);
        SetScrollRange(0, static_cast<int>(std::max(0LL, llMax)), FALSE);
    } else {
        const HFONT hFont = LayerFont(GetStyle());
        if (m_pData->nTextWidth < 0 || hFont != m_pData->hWidthFont) {
            m_pData->nTextWidth = MeasureText(m_pData->text.data(), static_cast<int>(m_pData->text.size()));
            m_pData->hWidthFont = hFont;
        }
        const int nMax = m_pData->nTextWidth - 50;
        SetScrollRange(0, std::max(0, nMax), FALSE);
    }
}

int CWceUiEditBox::LineEndColumn(int nLine) const {
    if (nLine < 0 || nLine >= m_pData->nLineCount) {
        return 0;
    }
    const Line& line = m_pData->lines[nLine];
    const bool bNewline = line.nLength > 0 && u'\n' == m_pData->text[line.nStart + line.nLength - 1];
    return line.nLength - (bNewline ? 1 : 0);
}

int CWceUiEditBox::LastCaretLine() const {
    const bool bOpen = !m_pData->text.empty() && u'\n' == m_pData->text.back();
    return std::max(0, m_pData->nLineCount - (bOpen ? 0 : 1));
}

int CWceUiEditBox::CaretOffset() const {
    if (m_pData->nCaretLine >= m_pData->nLineCount && m_pData->nLineCount > 0) {
        return static_cast<int>(m_pData->text.size());
    }
    if (m_pData->nCaretLine < 0 || m_pData->nCaretLine >= m_pData->nLineCount) {
        return 0;
    }
    return m_pData->lines[m_pData->nCaretLine].nStart + m_pData->nCaretColumn;
}

void CWceUiEditBox::OffsetToCaret(int nOffset) {
    m_pData->nCaretLine = 0;
    m_pData->nCaretColumn = 0;
    if (nOffset >= static_cast<int>(m_pData->text.size()) && LastCaretLine() == m_pData->nLineCount &&
        m_pData->nLineCount > 0) {
        // After a closing line break: the empty line that follows it.
        m_pData->nCaretLine = m_pData->nLineCount;
        return;
    }
    for (int k = 0; k < m_pData->nLineCount; ++k) {
        const Line& line = m_pData->lines[k];
        const int nEnd = line.nStart + LineEndColumn(k);
        const bool bLast = k + 1 == m_pData->nLineCount;
        // The end of a wrapped line is the next line's start; the caret goes there.
        const bool bWrapped = nEnd == line.nStart + line.nLength;
        if (nOffset < nEnd || (nOffset == nEnd && (bLast || !bWrapped))) {
            m_pData->nCaretLine = k;
            m_pData->nCaretColumn = std::max(0, nOffset - line.nStart);
            return;
        }
        if (bLast) {
            m_pData->nCaretLine = k;
            m_pData->nCaretColumn = LineEndColumn(k);
        }
    }
}

void CWceUiEditBox::OnChar(UINT nChar, UINT, UINT) {
    if (!IsFocused()) {
        return;
    }
    char16_t c = static_cast<char16_t>(nChar);
    if (13 == c) {
        if (!IsMultiLine()) {
            return;
        }
        c = u'\n';
    }
    if (u'\n' == c && !IsMultiLine()) {
        return;
    }
    const int nOffset = CaretOffset();
    if (8 == c) {
        if (0 == nOffset) {
            return;
        }
        const int nDel =
            nOffset >= 2 && IsLow(m_pData->text[nOffset - 1]) && IsHigh(m_pData->text[nOffset - 2]) ? 2 : 1;
        if (!EditText(nOffset - nDel, nDel, NULL, 0)) {
            return;
        }
        OffsetToCaret(nOffset - nDel);
    } else {
        if (!EditText(nOffset, 0, &c, 1)) {
            return;
        }
        OffsetToCaret(nOffset + 1);
    }
    PlaceCaret();
    CaretIntoView();
}

void CWceUiEditBox::OnKeyDown(UINT nChar, UINT, UINT) {
    // Keys edit only the box that has the focus.
    if (!IsFocused()) {
        return;
    }
    const int nLine = m_pData->nCaretLine;
    const int nStart = nLine < m_pData->nLineCount ? m_pData->lines[nLine].nStart : 0;
    const int nEnd = LineEndColumn(nLine);
    auto unitsBefore = [&](int nCol) {
        const int o = nStart + nCol;
        return nCol >= 2 && IsLow(m_pData->text[o - 1]) && IsHigh(m_pData->text[o - 2]) ? 2 : 1;
    };
    auto unitsAt = [&](int nCol) {
        const int o = nStart + nCol;
        return o + 1 < static_cast<int>(m_pData->text.size()) && IsHigh(m_pData->text[o]) &&
                       IsLow(m_pData->text[o + 1])
                   ? 2
                   : 1;
    };
    switch (nChar) {
        case 46: { // Delete
            const int nOffset = CaretOffset();
            if (nOffset >= static_cast<int>(m_pData->text.size())) {
                break;
            }
            const int nDel = nOffset + 1 < static_cast<int>(m_pData->text.size()) &&
                                     IsHigh(m_pData->text[nOffset]) && IsLow(m_pData->text[nOffset + 1])
                                 ? 2
                                 : 1;
            if (EditText(nOffset, nDel, NULL, 0)) {
                OffsetToCaret(nOffset);
            }
            break;
        }
        case 35: // End
            m_pData->nCaretColumn = nEnd;
            break;
        case 36: // Home
            m_pData->nCaretColumn = 0;
            break;
        case 37: // Left
            if (m_pData->nCaretColumn > 0) {
                m_pData->nCaretColumn -= unitsBefore(m_pData->nCaretColumn);
            } else if (nLine > 0) {
                m_pData->nCaretLine = nLine - 1;
                m_pData->nCaretColumn = LineEndColumn(nLine - 1);
            }
            break;
        case 39: // Right
            if (m_pData->nCaretColumn < nEnd) {
                m_pData->nCaretColumn += unitsAt(m_pData->nCaretColumn);
            } else if (nLine < LastCaretLine()) {
                m_pData->nCaretLine = nLine + 1;
                m_pData->nCaretColumn = 0;
            }
            break;
        case 38:   // Up
        case 40: { // Down
            const int nNew = std::clamp(nLine + (38 == nChar ? -1 : 1), 0, LastCaretLine());
            m_pData->nCaretLine = nNew;
            m_pData->nCaretColumn = std::min(m_pData->nCaretColumn, LineEndColumn(nNew));
            if (nNew < m_pData->nLineCount && m_pData->nCaretColumn > 0) {
                // Never between the two halves of a pair.
                const int o = m_pData->lines[nNew].nStart + m_pData->nCaretColumn;
                if (IsLow(m_pData->text[o]) && IsHigh(m_pData->text[o - 1])) {
                    --m_pData->nCaretColumn;
                }
            }
            break;
        }
        default:
            return;
    }
    PlaceCaret();
    CaretIntoView();
}

void CWceUiEditBox::OnLButtonUp(UINT nFlags, POINT point) {
    if (NULL != m_pData && IsPressed() && !IsDragging()) {
        SetFocused(TRUE);
        POINT pt = point;
        WindowToClient(&pt);
        if (IsMultiLine()) {
            pt.y += GetScrollPos();
        } else {
            pt.x += GetScrollPos();
        }
        if (m_pData->nLineCount > 0) {
            const unsigned uY = static_cast<unsigned>(pt.y + m_pData->nLineHeight / 3);
            const unsigned uLine = uY / static_cast<unsigned>(m_pData->nLineHeight);
            const int nLine =
                static_cast<int>(std::min<unsigned>(uLine, static_cast<unsigned>(m_pData->nLineCount - 1)));
            const int nStart = m_pData->lines[nLine].nStart;
            const int nEnd = LineEndColumn(nLine);
            m_pData->nCaretLine = nLine;
            MeasureDc dc(LayerFont(GetStyle()));
            m_pData->nCaretColumn = NearestColumn(dc, m_pData->text.data() + nStart, nEnd, pt.x);
        }
        PlaceCaret();
        CaretIntoView();
    }
    CWceUiScrollLayer::OnLButtonUp(nFlags, point);
}

void CWceUiEditBox::OnScrollChanged(int nPos) {
    CWceUiScrollLayer::OnScrollChanged(nPos);
    if (NULL != m_pData) {
        PlaceCaret();
    }
}

void CWceUiEditBox::PlaceCaret() {
    int x = 0;
    if (!IsMultiLine() && m_pData->nTextWidth >= 0 &&
        CaretOffset() == static_cast<int>(m_pData->text.size())) {
        // Typing at the end of a long single line: its width is known from the scroll range.
        x = m_pData->nTextWidth;
    } else if (m_pData->nCaretLine >= 0 && m_pData->nCaretLine < m_pData->nLineCount) {
        x = MeasureText(m_pData->text.data() + m_pData->lines[m_pData->nCaretLine].nStart,
                        m_pData->nCaretColumn);
    }
    int y = static_cast<int>(
        std::min<long long>(static_cast<long long>(m_pData->nCaretLine) * m_pData->nLineHeight, INT_MAX / 2));
    if (IsMultiLine()) {
        y -= GetScrollPos();
    } else {
        x -= GetScrollPos();
    }
    POINT pt = {x, y};
    ClientToWindow(&pt);
    m_pData->ptCaret = pt;
    RECT rcWnd = {0, 0, 0, 0};
    GetWindowRect(&rcWnd);
    m_pData->bCaretInView = PtInRect(&rcWnd, pt);
    if (m_pData->bCaretCreated) {
        SetCaretPos(pt.x, pt.y);
    }
    const BOOL bShow = m_pData->bFocused && m_pData->bCaretInView && m_pData->bCaretCreated;
    if (bShow != m_pData->bCaretShown) {
        if (bShow) {
            ShowCaret(HostHwnd());
        } else {
            HideCaret(HostHwnd());
        }
        m_pData->bCaretShown = bShow;
    }
}

void CWceUiEditBox::CaretIntoView() {
    RECT rc = {0, 0, 0, 0};
    if (!GetWindowRect(&rc)) {
        return;
    }
    int nDelta = 0;
    if (IsMultiLine()) {
        if (m_pData->ptCaret.y > rc.bottom - m_pData->nLineHeight) {
            nDelta = m_pData->ptCaret.y - (rc.bottom - m_pData->nLineHeight);
        } else if (m_pData->ptCaret.y < rc.top) {
            nDelta = m_pData->ptCaret.y - rc.top;
        }
    } else {
        if (m_pData->ptCaret.x > rc.right - 1) {
            nDelta = m_pData->ptCaret.x - (rc.right - 1);
        } else if (m_pData->ptCaret.x < rc.left) {
            nDelta = m_pData->ptCaret.x - rc.left;
        }
    }
    if (0 != nDelta) {
        ScrollBy(nDelta, TRUE);
    }
    PlaceCaret();
}

void CWceUiEditBox::AppendDumpInfo(std::string* line, std::vector<std::string>*) const {
    if (NULL == m_pData) {
        return;
    }
    char buf[96];
    std::snprintf(buf, sizeof buf, " caret=%d:%d focus=%s lines=%d", m_pData->nCaretLine,
                  m_pData->nCaretColumn, m_pData->bFocused ? "yes" : "no", m_pData->nLineCount);
    *line += buf;
}

void CWceUiEditBox::DrawLines(CWceUiGenericBitmap* pDrawBitmap, int oy, const RECT& rcArea,
                              const RECT& rcClip, CWceUiGenericBitmap* pLineBg) {
    CWceUiStyle* pStyle = GetStyle();
    if (NULL == pStyle || IsRectEmpty(&rcClip)) {
        return;
    }
    const int nH = m_pData->nLineHeight;
    const bool bMulti = IsMultiLine();
    const int dy = bMulti ? -GetScrollPos() : 0;
    const int dx = bMulti ? 0 : -GetScrollPos();
    auto rowTop = [&](int i) { return static_cast<int>(static_cast<long long>(i) * nH + dy + oy); };
    int nFirst = 0;
    int nLast = m_pData->nLineCount - 1;
    if (bMulti) {
        nFirst = std::max(0, (rcClip.top - oy - dy) / nH - 1);
        nLast = std::min(nLast, (rcClip.bottom - oy - dy) / nH + 1);
    }
    if (NULL != pLineBg && pLineBg->IsLoaded() && pLineBg->GetHeight() > 0) {
        for (int i = nFirst; i <= nLast; ++i) {
            RECT rcRow = {rcClip.left, rowTop(i), rcClip.right, rowTop(i) + nH};
            if (!IntersectRect(&rcRow, &rcRow, &rcClip)) {
                continue;
            }
            // The first column, one line high, stretched over the visible part of the row.
            const int nSrcTop = rcRow.top - rowTop(i);
            const int nSrcH = std::min(rcRow.bottom - rcRow.top, pLineBg->GetHeight() - nSrcTop);
            if (nSrcH > 0) {
                pDrawBitmap->StretchBlt(rcRow.left, rcRow.top, rcRow.right - rcRow.left, nSrcH, pLineBg, 0,
                                        nSrcTop, 1, nSrcH, SRCCOPY);
            }
        }
    }
    LPVOID pBits = NULL;
    HBITMAP hBitmap = pDrawBitmap->GetHBitmap(&pBits);
    if (NULL == hBitmap) {
        return;
    }
    HDC hdc = CreateCompatibleDC(NULL);
    if (NULL != hdc) {
        HGDIOBJ hOldBmp = SelectObject(hdc, hBitmap);
        // Text is laid out in the whole area but lands only within the clip: a line cut by the text
        // area shows its visible part, and text drawn again over itself elsewhere would darken its
        // edges.
        IntersectClipRect(hdc, rcClip.left, rcClip.top, rcClip.right, rcClip.bottom);
        HGDIOBJ hOldFont = SelectObject(hdc, LayerFont(pStyle));
        const int nOldMode = SetBkMode(hdc, TRANSPARENT);
        const COLORREF crOld = SetTextColor(hdc, pStyle->GetTextColorValue());
        for (int i = nFirst; i <= nLast; ++i) {
            if (rowTop(i) >= rcClip.bottom || rowTop(i) + nH <= rcClip.top) {
                continue; // outside what is redrawn
            }
            int nFrom = m_pData->lines[i].nStart;
            int nLen = LineEndColumn(i);
            int nLeft = rcArea.left;
            if (!bMulti && nLen > 0) {
                MeasureDc dc(LayerFont(pStyle));
                if (dx < 0) {
                    // Characters scrolled out to the left are left out, so nothing is drawn left of the
                    // box.
                    const int c = FirstBoundaryReaching(dc, m_pData->text.data() + nFrom, nLen, -dx);
                    nLeft += dc.Width(m_pData->text.data() + nFrom, c) + dx;
                    nFrom += c;
                    nLen -= c;
                }
                // And those beyond the right edge, but for one that may reach back into the box.
                const int c =
                    FirstBoundaryReaching(dc, m_pData->text.data() + nFrom, nLen, rcArea.right - nLeft);
                nLen = c < nLen ? c + (IsHigh(m_pData->text[nFrom + c]) && c + 1 < nLen ? 2 : 1) : nLen;
            }
            if (nLen <= 0) {
                continue;
            }
            RECT rcRow = {nLeft, rowTop(i), rcArea.right, rowTop(i) + nH};
            DrawTextW(hdc, m_pData->text.data() + nFrom, nLen, &rcRow, 0);
        }
        SetTextColor(hdc, crOld);
        SetBkMode(hdc, nOldMode);
        SelectObject(hdc, hOldFont);
        SelectObject(hdc, hOldBmp);
        DeleteDC(hdc);
    }
    pDrawBitmap->ReleaseHBitmap();
}

// The multi-line kind.

CWceUiLoadBitmap& CWceUiMEditBox::LineBg() {
    return NULL == GetData() ? StandInBitmap() : GetData()->lbLineBg;
}

CWceUiLoadBitmap& CWceUiMEditBox::BarTop() {
    return NULL == GetData() ? StandInBitmap() : GetData()->lbBar[0];
}

CWceUiLoadBitmap& CWceUiMEditBox::BarMiddle() {
    return NULL == GetData() ? StandInBitmap() : GetData()->lbBar[1];
}

CWceUiLoadBitmap& CWceUiMEditBox::BarBottom() {
    return NULL == GetData() ? StandInBitmap() : GetData()->lbBar[2];
}

CWceUiMEditBox::CWceUiMEditBox() {
    SetClassName(WCEUI_CLASS_NAME(CWceUiMEditBox));
    SetOrientation(WCEUI_SCROLL_VERTICAL);
}

BOOL CWceUiMEditBox::SetProperties(CWceUiXmlElem* pCreateElem) {
    if (NULL != GetData() && NULL != pCreateElem && NULL != pCreateElem->pDoc) {
        CWceUiXmlDoc* pDoc = pCreateElem->pDoc;
        if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"line_bg_bmp")) {
            GetData()->lbLineBg.SetBitmapFromRes(p);
        }
        if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"top_bmp")) {
            GetData()->lbBar[0].SetBitmapFromRes(p);
        }
        if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"middle_bmp")) {
            GetData()->lbBar[1].SetBitmapFromRes(p);
        }
        if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"bottom_bmp")) {
            GetData()->lbBar[2].SetBitmapFromRes(p);
        }
    }
    return CWceUiEditBox::SetProperties(pCreateElem);
}

namespace {

// The part of the layer's client area its text may use, in the draw bitmap's coordinates.
bool TextClip(CWceUiLayer* pLayer, CWceUiGenericBitmap* pDrawBitmap, BOOL bClient, RECT* pArea, RECT* pClip,
              int* pOx, int* pOy) {
    RECT rcClient;
    RECT rcWnd;
    if (!pLayer->GetClientRect(&rcClient) || !pLayer->GetWindowRect(&rcWnd)) {
        return false;
    }
    RECT rcText = rcClient;
    CWceUiStyle* pStyle = pLayer->GetStyle();
    CWceUiDrawTextCtrl* pTextCtrl = NULL == pStyle ? NULL : pStyle->GetDrawTextCtrl();
    RECT rcStyle;
    if (NULL != pTextCtrl && pTextCtrl->GetRect(&rcStyle) && !IsRectEmpty(&rcStyle)) {
        IntersectRect(&rcText, &rcText, &rcStyle);
    }
    *pOx = bClient ? 0 : rcWnd.left;
    *pOy = bClient ? 0 : rcWnd.top;
    OffsetRect(&rcText, *pOx, *pOy);
    *pArea = rcText;
    // Only what is being redrawn: text drawn again over itself elsewhere would darken its edges.
    RECT rcNeed;
    pLayer->GetNeedDrawRect(&rcNeed);
    if (!bClient && !IsRectEmpty(&rcNeed)) {
        IntersectRect(&rcText, &rcText, &rcNeed);
    }
    const RECT rcBmp = {0, 0, pDrawBitmap->GetWidth(), pDrawBitmap->GetHeight()};
    IntersectRect(&rcText, &rcText, &rcBmp);
    *pClip = rcText;
    return !IsRectEmpty(&rcText);
}

} // namespace

void CWceUiMEditBox::OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    RECT rcArea;
    RECT rcClip;
    int ox = 0;
    int oy = 0;
    if (NULL == GetData() || NULL == pDrawBitmap ||
        !TextClip(this, pDrawBitmap, bClient, &rcArea, &rcClip, &ox, &oy)) {
        return;
    }
    DrawLines(pDrawBitmap, oy, rcArea, rcClip, GetData()->lbLineBg.GetBitmap());
    CWceUiGenericBitmap* pTop = GetData()->lbBar[0].GetBitmap();
    CWceUiGenericBitmap* pMiddle = GetData()->lbBar[1].GetBitmap();
    CWceUiGenericBitmap* pBottom = GetData()->lbBar[2].GetBitmap();
    RECT rcClient;
    GetClientRect(&rcClient);
    const int nThumb = GetThumbSize();
    if (nThumb > 0 && NULL != pTop && NULL != pMiddle && NULL != pBottom) {
        const int x = ox + rcClient.right - 5;
        const int y = oy + GetThumbOffset();
        DrawPiece(pDrawBitmap, pTop, x, y, 5, 4);
        DrawPiece(pDrawBitmap, pMiddle, x, y + 4, 5, nThumb - 8);
        DrawPiece(pDrawBitmap, pBottom, x, y + std::max(4, nThumb - 4), 5, 4);
    }
}

// The single-line kind.

CWceUiLoadBitmap& CWceUiSEditBox::BarLeft() {
    return NULL == GetData() ? StandInBitmap() : GetData()->lbBar[0];
}

CWceUiLoadBitmap& CWceUiSEditBox::BarCenter() {
    return NULL == GetData() ? StandInBitmap() : GetData()->lbBar[1];
}

CWceUiLoadBitmap& CWceUiSEditBox::BarRight() {
    return NULL == GetData() ? StandInBitmap() : GetData()->lbBar[2];
}

CWceUiSEditBox::CWceUiSEditBox() {
    SetClassName(WCEUI_CLASS_NAME(CWceUiSEditBox));
    SetOrientation(WCEUI_SCROLL_HORIZONTAL);
}

BOOL CWceUiSEditBox::SetProperties(CWceUiXmlElem* pCreateElem) {
    if (NULL != GetData() && NULL != pCreateElem && NULL != pCreateElem->pDoc) {
        CWceUiXmlDoc* pDoc = pCreateElem->pDoc;
        if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"left-bmp")) {
            GetData()->lbBar[0].SetBitmapFromRes(p);
        }
        if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"center-bmp")) {
            GetData()->lbBar[1].SetBitmapFromRes(p);
        }
        if (LPCWSTR p = pDoc->GetAttrValue(pCreateElem, u"right-bmp")) {
            GetData()->lbBar[2].SetBitmapFromRes(p);
        }
    }
    return CWceUiEditBox::SetProperties(pCreateElem);
}

void CWceUiSEditBox::OnDrawText(CWceUiGenericBitmap* pDrawBitmap, BOOL bClient) {
    RECT rcArea;
    RECT rcClip;
    int ox = 0;
    int oy = 0;
    if (NULL == GetData() || NULL == pDrawBitmap ||
        !TextClip(this, pDrawBitmap, bClient, &rcArea, &rcClip, &ox, &oy)) {
        return;
    }
    DrawLines(pDrawBitmap, oy, rcArea, rcClip, NULL);
    RECT rcClient;
    GetClientRect(&rcClient);
    const int nThumb = GetThumbSize();
    if (nThumb > 0) {
        const int x = ox + GetThumbOffset();
        const int y = oy + rcClient.bottom - 5;
        DrawPiece(pDrawBitmap, GetData()->lbBar[0].GetBitmap(), x, y, 4, 5);
        DrawPiece(pDrawBitmap, GetData()->lbBar[1].GetBitmap(), x + 4, y, nThumb - 8, 5);
        DrawPiece(pDrawBitmap, GetData()->lbBar[2].GetBitmap(), x + std::max(4, nThumb - 4), y, 4, 5);
    }
}
