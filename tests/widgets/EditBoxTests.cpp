// The edit boxes over the headless display: typing with and without the focus, word wrap, line
// breaks, the editing keys, the pen, keeping the caret in view and the bounds on lines and text.
#include "WidgetTestSupport.h"

#include "platform/Platform.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/ui/WceUiLayerDump.h"
#include "wceui/widgets/WceUiEditBox.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using widgettest::WidgetTest;

namespace {

// The width of a text in the font a box without a font of its own uses.
int Width(const std::u16string& s) {
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdc, GetStockObject(SYSTEM_FONT));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(hdc, s.data(), static_cast<int>(s.size()), &size);
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    return size.cx;
}

class EditBoxTest : public WidgetTest {
protected:
    template <class T> T* Make(LPCWSTR pClass, int x, int y, int w, int h) {
        CWceUiDlg* pDlg = NewDlg(RECT{0, 0, 320, 240});
        CWceUiLayer* p = m_ctrl->CreateLayer(pDlg, pClass, u"e");
        EXPECT_TRUE(p && p->IsKindOf(pClass));
        if (!p) {
            return nullptr;
        }
        const RECT rc = {x, y, x + w, y + h};
        p->SetLayerPosition(&rc, WCEUI_POS_WAY_WINDOW, FALSE);
        p->OnInitLayer();
        return static_cast<T*>(p);
    }
    CWceUiMEditBox* Multi(int w = 200, int h = 100) {
        return Make<CWceUiMEditBox>(u"CWceUiMEditBox", 10, 20, w, h);
    }
    CWceUiSEditBox* Single(int w = 200) { return Make<CWceUiSEditBox>(u"CWceUiSEditBox", 10, 20, w, 30); }
    static void Type(CWceUiEditBox* p, const std::u16string& s) {
        for (char16_t c : s) {
            p->OnMessage(258, c, 1);
        }
    }
    static void Key(CWceUiEditBox* p, UINT vk, int n = 1) {
        for (int i = 0; i < n; ++i) {
            p->OnMessage(256, vk, 1);
        }
    }
    static std::string Dump(CWceUiEditBox* p) {
        std::string line;
        p->AppendDumpInfo(&line, nullptr);
        return line;
    }
    static std::u16string LineText(CWceUiEditBox* p, int i) {
        int s = 0;
        int n = 0;
        EXPECT_TRUE(p->GetLine(i, &s, &n));
        return p->GetEditText().substr(s, n);
    }
};

TEST_F(EditBoxTest, TypingNeedsTheFocusWhichOwnsThePlatformCaret) {
    CWceUiMEditBox* p = Multi();
    ASSERT_NE(nullptr, p);
    // Both editing messages are routed to the box by the host window.
    EXPECT_NE(m_post.messages.end(), std::find(m_post.messages.begin(), m_post.messages.end(),
                                               std::make_pair(256u, static_cast<CWceUiLayer*>(p))));
    EXPECT_NE(m_post.messages.end(), std::find(m_post.messages.begin(), m_post.messages.end(),
                                               std::make_pair(258u, static_cast<CWceUiLayer*>(p))));
    Type(p, u"ab");
    Key(p, 37);
    EXPECT_EQ(u"", p->GetEditText());
    EXPECT_EQ(" caret=0:0 focus=no lines=0", Dump(p));
    EXPECT_FALSE(p->IsCaretShown());

    p->SetFocused(TRUE);
    EXPECT_TRUE(p->IsCaretShown());
    Type(p, u"ab");
    EXPECT_EQ(u"ab", p->GetEditText());
    EXPECT_EQ(" caret=0:2 focus=yes lines=1", Dump(p));
    // The caret stands after the text's width, in window coordinates.
    EXPECT_EQ(10 + Width(u"ab"), p->GetCaretPoint().x);
    EXPECT_EQ(20, p->GetCaretPoint().y);

    p->SetFocused(FALSE);
    EXPECT_FALSE(p->IsCaretShown());
    Type(p, u"c");
    EXPECT_EQ(u"ab", p->GetEditText());
}

TEST_F(EditBoxTest, OneBoxOfAWindowHasTheFocusAndThePlatformCaret) {
    CWceUiMEditBox* a = Multi();
    CWceUiSEditBox* b = Single();
    ASSERT_TRUE(a && b);
    a->SetFocused(TRUE);
    b->SetFocused(TRUE);
    EXPECT_FALSE(a->IsFocused());
    EXPECT_FALSE(a->IsCaretShown());
    EXPECT_EQ(b, CWceUiEditBox::GetFocusedEditBox(&m_post));
    HWND hOwner = nullptr;
    BOOL bShown = FALSE;
    ASSERT_TRUE(PlatformCaretState(&hOwner, nullptr, &bShown));
    EXPECT_EQ(m_hWnd, hOwner);
    EXPECT_TRUE(bShown);
    // Taking the focus from a box without it changes nothing.
    a->SetFocused(FALSE);
    EXPECT_TRUE(PlatformCaretState(nullptr, nullptr, nullptr));
    Type(a, u"a");
    Type(b, u"b");
    EXPECT_EQ(u"", a->GetEditText());
    EXPECT_EQ(u"b", b->GetEditText());
    // A box that goes takes the focus and the caret with it.
    m_ctrl->DeleteLayer(b);
    EXPECT_EQ(nullptr, CWceUiEditBox::GetFocusedEditBox(&m_post));
    EXPECT_FALSE(PlatformCaretState(nullptr, nullptr, nullptr));
    a->SetFocused(TRUE);
    EXPECT_TRUE(PlatformCaretState(nullptr, nullptr, nullptr));
    a->SetFocused(FALSE);
    EXPECT_FALSE(PlatformCaretState(nullptr, nullptr, nullptr));
}

TEST_F(EditBoxTest, WrapsBeforeTheOverflowingWordOrInsideAWordWiderThanTheBox) {
    // Room for "aaa " and part of the next word.
    CWceUiMEditBox* p = Multi(Width(u"aaa b"), 100);
    ASSERT_NE(nullptr, p);
    ASSERT_TRUE(p->SetEditText(u"aaa bbb"));
    ASSERT_EQ(2, p->GetLineCount());
    EXPECT_EQ(u"aaa ", LineText(p, 0));
    EXPECT_EQ(u"bbb", LineText(p, 1));

    CWceUiMEditBox* q = Multi(Width(u"abcd"), 100);
    ASSERT_NE(nullptr, q);
    ASSERT_TRUE(q->SetEditText(u"abcdabcdab"));
    ASSERT_EQ(3, q->GetLineCount());
    EXPECT_EQ(u"abcd", LineText(q, 0));
    EXPECT_EQ(u"abcd", LineText(q, 1));

    // Typing at the end moves the caret along with a word that wraps.
    q->SetFocused(TRUE);
    ASSERT_TRUE(q->SetEditText(u""));
    Type(q, u"ab cde");
    EXPECT_EQ(u"ab ", LineText(q, 0));
    EXPECT_EQ(1, q->GetCaretLine());
    EXPECT_EQ(3, q->GetCaretColumn());

    // The single-line box never wraps.
    CWceUiSEditBox* s = Single(Width(u"ab"));
    ASSERT_NE(nullptr, s);
    ASSERT_TRUE(s->SetEditText(u"aaa bbb ccc"));
    EXPECT_EQ(1, s->GetLineCount());
}

TEST_F(EditBoxTest, CarriageReturnBreaksOnlyMultiLineTextAndBackspaceJoinsLines) {
    CWceUiMEditBox* m = Multi();
    CWceUiSEditBox* s = Single();
    ASSERT_TRUE(m && s);
    m->SetFocused(TRUE);
    Type(m, u"ab\rc");
    EXPECT_EQ(u"ab\nc", m->GetEditText());
    EXPECT_EQ(" caret=1:1 focus=yes lines=2", Dump(m));
    Key(m, 36); // Home
    Type(m, u"\b");
    EXPECT_EQ(u"abc", m->GetEditText());
    EXPECT_EQ(" caret=0:2 focus=yes lines=1", Dump(m));
    Type(m, u"\b\b\b");
    EXPECT_EQ(u"c", m->GetEditText());
    EXPECT_EQ(" caret=0:0 focus=yes lines=1", Dump(m));
    Key(m, 35);
    Type(m, u"\b");
    EXPECT_EQ(u"", m->GetEditText());
    EXPECT_EQ(" caret=0:0 focus=yes lines=0", Dump(m));
    // Backspace at the very start changes nothing.
    Type(m, u"\b");
    EXPECT_EQ(u"", m->GetEditText());

    s->SetFocused(TRUE);
    Type(s, u"ab\rc");
    EXPECT_EQ(u"abc", s->GetEditText());
    EXPECT_EQ(1, s->GetLineCount());
}

TEST_F(EditBoxTest, EditingKeysMoveWithinAndAcrossLines) {
    CWceUiMEditBox* p = Multi();
    ASSERT_NE(nullptr, p);
    p->SetFocused(TRUE);
    ASSERT_TRUE(p->SetEditText(u"abc\nde"));
    Key(p, 35); // End
    EXPECT_EQ(" caret=0:3 focus=yes lines=2", Dump(p));
    Key(p, 39); // Right past the end: next line
    EXPECT_EQ(" caret=1:0 focus=yes lines=2", Dump(p));
    Key(p, 37); // Left from column 0: previous line's end
    EXPECT_EQ(" caret=0:3 focus=yes lines=2", Dump(p));
    Key(p, 40); // Down keeps the column where the line is long enough, else its end
    EXPECT_EQ(" caret=1:2 focus=yes lines=2", Dump(p));
    Key(p, 39); // Right at the end of the last line stays
    Key(p, 40);
    EXPECT_EQ(" caret=1:2 focus=yes lines=2", Dump(p));
    Key(p, 46); // Delete at the end of the text: nothing
    EXPECT_EQ(u"abc\nde", p->GetEditText());
    Key(p, 36); // Home
    Key(p, 46);
    EXPECT_EQ(u"abc\ne", p->GetEditText());
    Key(p, 38); // Up
    Key(p, 35);
    Key(p, 46); // Delete of the line break joins the lines
    EXPECT_EQ(u"abce", p->GetEditText());
    EXPECT_EQ(" caret=0:3 focus=yes lines=1", Dump(p));
    Key(p, 36);
    Key(p, 37); // Left at the very start stays
    Key(p, 38);
    EXPECT_EQ(" caret=0:0 focus=yes lines=1", Dump(p));
}

TEST_F(EditBoxTest, CharactersBeyondTheBasicPlaneMoveAndDeleteWhole) {
    CWceUiSEditBox* p = Single();
    ASSERT_NE(nullptr, p);
    p->SetFocused(TRUE);
    const std::u16string pair = u"\U0001F600";
    Type(p, u"a" + pair + u"b");
    ASSERT_EQ(4u, p->GetEditText().size());
    Key(p, 37);
    EXPECT_EQ(3, p->GetCaretColumn());
    Key(p, 37);
    EXPECT_EQ(1, p->GetCaretColumn());
    Key(p, 39);
    EXPECT_EQ(3, p->GetCaretColumn());
    Type(p, u"\b");
    EXPECT_EQ(u"ab", p->GetEditText());
    EXPECT_EQ(1, p->GetCaretColumn());
    ASSERT_TRUE(p->SetEditText((pair + u"z").c_str()));
    Key(p, 46);
    EXPECT_EQ(u"z", p->GetEditText());
}

TEST_F(EditBoxTest, CharactersBeyondTheBasicPlaneWrapWhole) {
    const std::u16string pair = u"\U0001F600";
    const std::u16string text = u"ab" + pair + pair + pair + pair;
    // Room for "ab" and a bit: the pairs wrap between each other, never between their halves.
    CWceUiMEditBox* p = Multi(Width(u"ab" + pair) - 1, 100);
    ASSERT_NE(nullptr, p);
    ASSERT_TRUE(p->SetEditText(text.c_str()));
    ASSERT_GE(p->GetLineCount(), 2);
    EXPECT_EQ(u"ab", LineText(p, 0));
    std::u16string joined;
    for (int i = 0; i < p->GetLineCount(); ++i) {
        const std::u16string line = LineText(p, i);
        EXPECT_EQ(0u, line.size() % 2) << i;
        EXPECT_FALSE(line.empty() || (line[0] >= 0xDC00 && line[0] <= 0xDFFF)) << i;
        joined += line;
    }
    EXPECT_EQ(text, joined);
    // Narrower than one of them: each takes a line of its own.
    CWceUiMEditBox* q = Multi(1, 100);
    ASSERT_NE(nullptr, q);
    ASSERT_TRUE(q->SetEditText((pair + pair + pair).c_str()));
    ASSERT_EQ(3, q->GetLineCount());
    EXPECT_EQ(pair, LineText(q, 2));
    // Typed as two halves, the pair wraps as one; the caret moves over it and backspace takes it whole.
    q->SetFocused(TRUE);
    Key(q, 40, 2);
    Key(q, 35);
    Type(q, pair);
    EXPECT_EQ(" caret=3:2 focus=yes lines=4", Dump(q));
    Key(q, 38);
    EXPECT_EQ(" caret=2:2 focus=yes lines=4", Dump(q));
    Key(q, 37);
    EXPECT_EQ(" caret=2:0 focus=yes lines=4", Dump(q));
    Key(q, 40);
    Key(q, 35);
    Type(q, u"\b");
    EXPECT_EQ(pair + pair + pair, q->GetEditText());
    EXPECT_EQ(3, q->GetLineCount());
}

// The lines as the plain rule makes them, measuring after every character.
std::vector<std::u16string> ReferenceLines(const std::u16string& t, int nWidth) {
    std::vector<std::u16string> out;
    auto word = [](char16_t c) { return c >= 0x21 && c <= 0x7F; };
    const int n = static_cast<int>(t.size());
    int nStart = 0;
    int i = 0;
    while (i < n) {
        if (u'\n' == t[i]) {
            out.push_back(t.substr(nStart, i + 1 - nStart));
            nStart = ++i;
            continue;
        }
        const int nLen = t[i] >= 0xD800 && t[i] <= 0xDBFF && i + 1 < n && t[i + 1] >= 0xDC00 ? 2 : 1;
        if (Width(t.substr(nStart, i + nLen - nStart)) > nWidth) {
            int nBreak = i;
            if (word(t[i])) {
                int j = i;
                while (j > nStart && word(t[j - 1])) {
                    --j;
                }
                nBreak = j > nStart ? j : i;
            }
            nBreak = nBreak == nStart ? i + nLen : nBreak;
            out.push_back(t.substr(nStart, nBreak - nStart));
            nStart = i = nBreak;
            continue;
        }
        i += nLen;
    }
    if (nStart < n) {
        out.push_back(t.substr(nStart));
    }
    return out;
}

TEST_F(EditBoxTest, LayoutBreaksWhereMeasuringAfterEveryCharacterWould) {
    // Lines of a few characters, and of more than the first measured stretch.
    for (const int nWidth : {70, 400}) {
        CWceUiMEditBox* p = Multi(nWidth, 100);
        ASSERT_NE(nullptr, p);
        const std::u16string pieces[] = {
            u"a", u"b",     u"W",      u"i",          u" ",
            u" ", u"\n",    u"\u00e9", u"\U0001F600", u"longwordlongwordlongword",
            u"-", u"\u0301"};
        unsigned seed = 11;
        for (int round = 0; round < 150; ++round) {
            std::u16string text;
            const int nPieces = round % 60;
            for (int k = 0; k < nPieces; ++k) {
                seed = seed * 1103515245u + 12345u;
                text += pieces[(seed >> 16) % (sizeof pieces / sizeof pieces[0])];
            }
            ASSERT_TRUE(p->SetEditText(text.c_str()));
            const std::vector<std::u16string> expected = ReferenceLines(text, nWidth);
            ASSERT_EQ(static_cast<int>(expected.size()), p->GetLineCount()) << "round " << round;
            for (int i = 0; i < p->GetLineCount(); ++i) {
                ASSERT_EQ(expected[i], LineText(p, i)) << "round " << round << " line " << i;
            }
        }
    }
}

TEST_F(EditBoxTest, ATapFocusesAndPlacesTheCaretByTheOneThirdRule) {
    CWceUiMEditBox* p = Multi();
    ASSERT_NE(nullptr, p);
    ASSERT_TRUE(p->SetEditText(u"ab\ncd\nef"));
    auto tap = [&](int x, int y) {
        const POINT pt = {10 + x, 20 + y};
        p->OnLButtonDown(0, pt);
        p->OnLButtonUp(0, pt);
    };
    // Line 0 ends at y 17; from a third of a line above that, taps select line 1.
    tap(0, 11);
    EXPECT_EQ(" caret=0:0 focus=yes lines=3", Dump(p));
    tap(0, 12);
    EXPECT_EQ(1, p->GetCaretLine());
    // Nearest boundary, a tie to the left; beyond the text its end.
    const int w1 = Width(u"c");
    const int w2 = Width(u"cd");
    tap(w1 + (w2 - w1) / 2 - 1, 20);
    EXPECT_EQ(1, p->GetCaretColumn());
    tap(w1 + (w2 - w1) / 2 + 1, 20);
    EXPECT_EQ(2, p->GetCaretColumn());
    tap(150, 20);
    EXPECT_EQ(2, p->GetCaretColumn());
    // Below the last line: the last line.
    tap(0, 95);
    EXPECT_EQ(" caret=2:0 focus=yes lines=3", Dump(p));
}

TEST_F(EditBoxTest, TheCaretIsScrolledIntoView) {
    CWceUiMEditBox* p = Multi(200, 50);
    ASSERT_NE(nullptr, p);
    p->SetFocused(TRUE);
    for (int i = 0; i < 6; ++i) {
        Type(p, u"a\r");
    }
    EXPECT_EQ(6, p->GetCaretLine());
    EXPECT_GT(p->GetScrollPos(), 0);
    EXPECT_TRUE(p->IsCaretInView());
    EXPECT_TRUE(p->IsCaretShown());
    EXPECT_LE(p->GetCaretPoint().y, 20 + 50 - p->GetLineHeight());
    Key(p, 38, 6);
    EXPECT_EQ(0, p->GetScrollPos());
    EXPECT_EQ(20, p->GetCaretPoint().y);

    CWceUiSEditBox* s = Single(60);
    ASSERT_NE(nullptr, s);
    s->SetFocused(TRUE);
    Type(s, std::u16string(40, u'w'));
    EXPECT_GT(s->GetScrollPos(), 0);
    EXPECT_TRUE(s->IsCaretInView());
    Key(s, 36);
    EXPECT_EQ(0, s->GetScrollPos());
}

TEST_F(EditBoxTest, TextNeedingMoreThanTheLineTableIsRefused) {
    CWceUiMEditBox* p = Multi();
    ASSERT_NE(nullptr, p);
    std::u16string full;
    for (int i = 0; i < WCEUI_EDIT_MAX_LINES - 1; ++i) {
        full += u"a\n";
    }
    full += u"a";
    std::u16string over = full + u"\nb";
    EXPECT_FALSE(p->SetEditText(over.c_str()));
    EXPECT_EQ(0, p->GetLineCount());
    ASSERT_TRUE(p->SetEditText(full.c_str()));
    EXPECT_EQ(WCEUI_EDIT_MAX_LINES, p->GetLineCount());
    p->SetFocused(TRUE);
    Key(p, 40, WCEUI_EDIT_MAX_LINES);
    Key(p, 35);
    Type(p, u"\r");
    EXPECT_EQ(full + u"\n", p->GetEditText());
    EXPECT_EQ(" caret=500:0 focus=yes lines=500", Dump(p));
    // A character on the line after the last needs a line the table does not have.
    Type(p, u"x");
    EXPECT_EQ(full + u"\n", p->GetEditText());
    EXPECT_EQ(WCEUI_EDIT_MAX_LINES, p->GetLineCount());
    Type(p, u"\b");
    EXPECT_EQ(" caret=499:1 focus=yes lines=500", Dump(p));
}

// The error lines the log receives while it lives.
class ErrorLog {
public:
    ErrorLog() {
        CWceUiLogFile::Instance().SetHook([this](int level, const std::u16string& message) {
            if (WCEUI_LOG_ERROR == level) {
                lines.push_back(message);
            }
        });
    }
    ~ErrorLog() { CWceUiLogFile::Instance().SetHook(nullptr); }
    ErrorLog(const ErrorLog&) = delete;
    ErrorLog& operator=(const ErrorLog&) = delete;
    std::vector<std::u16string> lines;
};

// Well under a second in an optimised build; a cost growing with the whole text per keystroke would
// run into the test's time limit.
TEST_F(EditBoxTest, AHundredThousandCharactersAreHeldAsFarAsTheBoxAllowsInBoundedTime) {
    ErrorLog log;
    // A single line holds as much as a platform single-line edit; the rest is refused with one line
    // in the log, and pasting more is refused whole.
    CWceUiSEditBox* s = Single();
    ASSERT_NE(nullptr, s);
    s->SetFocused(TRUE);
    for (int i = 0; i < 100000; ++i) {
        s->OnMessage(258, i % 5 ? 'x' : 'i', 1);
    }
    ASSERT_EQ(static_cast<size_t>(WCEUI_EDIT_MAX_SINGLE_TEXT), s->GetEditText().size());
    EXPECT_EQ(" caret=0:32767 focus=yes lines=1", Dump(s));
    EXPECT_EQ(1u, log.lines.size());
    // The width kept through the typing is the text's width.
    EXPECT_EQ(Width(s->GetEditText()) - 50, s->GetScrollMax());
    const std::u16string kept = s->GetEditText();
    EXPECT_FALSE(s->SetEditText(std::u16string(100000, u'y').c_str()));
    EXPECT_EQ(kept, s->GetEditText());
    EXPECT_EQ(2u, log.lines.size());

    // A multi-line box takes words until its line table is full.
    CWceUiMEditBox* m = Multi(80, 100);
    ASSERT_NE(nullptr, m);
    m->SetFocused(TRUE);
    // One log line for each run of refused characters (a blank may still end the last line).
    size_t nRuns = 0;
    bool bRefused = false;
    for (int i = 0; i < 100000; ++i) {
        const size_t nBefore = m->GetEditText().size();
        m->OnMessage(258, i % 7 ? 'y' : ' ', 1);
        const bool bNow = m->GetEditText().size() == nBefore;
        nRuns += bNow && !bRefused ? 1 : 0;
        bRefused = bNow;
    }
    EXPECT_EQ(WCEUI_EDIT_MAX_LINES, m->GetLineCount());
    EXPECT_GT(m->GetEditText().size(), static_cast<size_t>(WCEUI_EDIT_MAX_LINES * 5));
    EXPECT_GE(nRuns, 1u);
    EXPECT_LE(nRuns, 10u);
    EXPECT_EQ(2 + nRuns, log.lines.size());
    // What it took lays out the same afresh, and the caret stands at its end.
    CWceUiMEditBox* fresh = Multi(80, 100);
    ASSERT_TRUE(fresh && fresh->SetEditText(m->GetEditText().c_str()));
    EXPECT_EQ(LineText(fresh, WCEUI_EDIT_MAX_LINES - 1), LineText(m, WCEUI_EDIT_MAX_LINES - 1));
    EXPECT_EQ(WCEUI_EDIT_MAX_LINES - 1, m->GetCaretLine());
    EXPECT_EQ(LineText(m, WCEUI_EDIT_MAX_LINES - 1).size(), static_cast<size_t>(m->GetCaretColumn()));
    // A closing line break still fits; a character after it needs a line too many.
    Type(m, u"\r");
    const std::u16string full = m->GetEditText();
    EXPECT_EQ(u'\n', full.back());
    Type(m, u"y");
    EXPECT_EQ(full, m->GetEditText());
    EXPECT_EQ(WCEUI_EDIT_MAX_LINES, m->GetLineCount());
    EXPECT_FALSE(fresh->SetEditText((full + u"y").c_str()));
}

TEST_F(EditBoxTest, ALineThatNeverWrapsIsBoundedInLength) {
    ErrorLog log;
    // So wide that no line of this text wraps, as characters without width would never wrap.
    CWceUiMEditBox* p = Multi(1000000, 100);
    ASSERT_NE(nullptr, p);
    p->SetFocused(TRUE);
    Type(p, std::u16string(WCEUI_EDIT_MAX_LINE_TEXT + 500, u'z'));
    EXPECT_EQ(static_cast<size_t>(WCEUI_EDIT_MAX_LINE_TEXT), p->GetEditText().size());
    EXPECT_EQ(1, p->GetLineCount());
    EXPECT_EQ(1u, log.lines.size());
    // A line break starts a line of its own.
    Type(p, u"\rzz");
    EXPECT_EQ(" caret=1:2 focus=yes lines=2", Dump(p));
    // Joining the two lines would make one too long: the backspace is refused and nothing changes.
    Key(p, 36);
    Type(p, u"\b");
    EXPECT_EQ(static_cast<size_t>(WCEUI_EDIT_MAX_LINE_TEXT + 3), p->GetEditText().size());
    EXPECT_EQ(" caret=1:0 focus=yes lines=2", Dump(p));
    EXPECT_EQ(2u, log.lines.size());
    // Once two characters go, the join fits.
    Key(p, 38);
    Key(p, 35);
    Type(p, u"\b\b");
    Key(p, 40);
    Key(p, 36);
    Type(p, u"\b");
    EXPECT_EQ(1, p->GetLineCount());
    EXPECT_EQ(static_cast<size_t>(WCEUI_EDIT_MAX_LINE_TEXT), p->GetEditText().size());
    EXPECT_EQ(" caret=0:2046 focus=yes lines=1", Dump(p));
    // Pasted text with a line that long is refused whole.
    EXPECT_FALSE(p->SetEditText(std::u16string(100000, u'z').c_str()));
    EXPECT_TRUE(p->SetEditText((std::u16string(WCEUI_EDIT_MAX_LINE_TEXT, u'z') + u"\nz").c_str()));
}

} // namespace

namespace {

TEST_F(EditBoxTest, EditedLayoutMatchesAFreshLayoutOfTheSameText) {
    CWceUiMEditBox* p = Multi(60, 100);
    CWceUiMEditBox* q = Multi(60, 100);
    ASSERT_TRUE(p && q);
    p->SetFocused(TRUE);
    const std::u16string words = u"ab cdefgh i jklmnopqrstuv wx\ryz ";
    unsigned seed = 7;
    for (int step = 0; step < 600; ++step) {
        seed = seed * 1103515245u + 12345u;
        const unsigned r = (seed >> 16) % 10;
        if (r < 6) {
            Type(p, words.substr((seed >> 8) % words.size(), 1));
        } else if (r < 7) {
            Type(p, u"\b");
        } else if (r < 8) {
            Key(p, 46);
        } else {
            Key(p, 37 + (seed >> 4) % 4);
        }
        ASSERT_TRUE(q->SetEditText(p->GetEditText().c_str()));
        ASSERT_EQ(q->GetLineCount(), p->GetLineCount()) << "step " << step;
        for (int i = 0; i < p->GetLineCount(); ++i) {
            ASSERT_EQ(LineText(q, i), LineText(p, i)) << "step " << step << " line " << i;
        }
    }
    EXPECT_GT(p->GetLineCount(), 3);
}

} // namespace

namespace {

std::unique_ptr<CWceUiGenericBitmap> Solid(int w, int h, COLORREF cr) {
    std::unique_ptr<CWceUiGenericBitmap> p(WceUiCreateBitmapObject(32));
    EXPECT_TRUE(p && p->CreateDIB(w, h));
    p->FillColor(cr);
    return p;
}

COLORREF At(CWceUiGenericBitmap* p, int x, int y) {
    LPVOID pBits = nullptr;
    EXPECT_NE(nullptr, p->GetHBitmap(&pBits));
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdc, p->GetHBitmap(&pBits));
    const COLORREF cr = GetPixel(hdc, x, y);
    SelectObject(hdc, hOld);
    DeleteDC(hdc);
    p->ReleaseHBitmap();
    p->ReleaseHBitmap();
    return cr & 0xFFFFFF;
}

TEST_F(EditBoxTest, MultiLineDrawingPaintsLineBackgroundsTextAndTheScrollBar) {
    CWceUiMEditBox* p = Multi(200, 100);
    ASSERT_NE(nullptr, p);
    auto bg = Solid(1, 17, RGB(0, 0, 255));
    auto top = Solid(5, 4, RGB(255, 0, 0));
    auto mid = Solid(5, 1, RGB(0, 255, 0));
    auto bottom = Solid(5, 4, RGB(255, 255, 0));
    ASSERT_TRUE(p->LineBg().SetBitmapFromApp(bg.get()));
    ASSERT_TRUE(p->BarTop().SetBitmapFromApp(top.get()));
    ASSERT_TRUE(p->BarMiddle().SetBitmapFromApp(mid.get()));
    ASSERT_TRUE(p->BarBottom().SetBitmapFromApp(bottom.get()));
    std::u16string text;
    for (int i = 0; i < 9; ++i) {
        text += u"WWWW\n";
    }
    ASSERT_TRUE(p->SetEditText((text + u"W").c_str()));
    ASSERT_GT(p->GetThumbSize(), 8);
    auto wnd = Solid(320, 240, RGB(255, 255, 255));
    p->OnDrawText(wnd.get(), FALSE);
    // A row: background right of the text, text pixels at its left; nothing outside the box.
    EXPECT_EQ(RGB(0, 0, 255), At(wnd.get(), 150, 28));
    bool bInk = false;
    for (int x = 10; x < 10 + 30 && !bInk; ++x) {
        for (int y = 20; y < 37 && !bInk; ++y) {
            const COLORREF cr = At(wnd.get(), x, y);
            bInk = cr != RGB(0, 0, 255);
        }
    }
    EXPECT_TRUE(bInk);
    EXPECT_EQ(RGB(255, 255, 255), At(wnd.get(), 150, 125));
    EXPECT_EQ(RGB(255, 255, 255), At(wnd.get(), 5, 28));
    // The bar at the right edge: top piece, stretched middle, bottom piece.
    const int y0 = 20 + p->GetThumbOffset();
    EXPECT_EQ(RGB(255, 0, 0), At(wnd.get(), 207, y0 + 1));
    EXPECT_EQ(RGB(0, 255, 0), At(wnd.get(), 207, y0 + p->GetThumbSize() / 2));
    EXPECT_EQ(RGB(255, 255, 0), At(wnd.get(), 207, y0 + p->GetThumbSize() - 2));
    // The dump tells the caret, the focus and the lines.
    EXPECT_NE(std::string::npos, WceUiDumpLayer(p).find(" caret=0:0 focus=no lines=10"));
}

} // namespace

namespace {

TEST_F(EditBoxTest, ScrolledSingleLineTextStaysInsideTheBox) {
    CWceUiSEditBox* s = Single(60);
    ASSERT_NE(nullptr, s);
    s->SetFocused(TRUE);
    Type(s, std::u16string(40, u'W'));
    ASSERT_GT(s->GetScrollPos(), 0);
    auto wnd = Solid(320, 240, RGB(255, 255, 255));
    s->OnDrawText(wnd.get(), FALSE);
    int nInside = 0;
    for (int y = 20; y < 50; ++y) {
        for (int x = 0; x < 10; ++x) {
            ASSERT_EQ(RGB(255, 255, 255), At(wnd.get(), x, y)) << x << "," << y;
        }
        for (int x = 70; x < 80; ++x) {
            ASSERT_EQ(RGB(255, 255, 255), At(wnd.get(), x, y)) << x << "," << y;
        }
        for (int x = 10; x < 70; ++x) {
            nInside += At(wnd.get(), x, y) != RGB(255, 255, 255) ? 1 : 0;
        }
    }
    EXPECT_GT(nInside, 20);
}

} // namespace

namespace {

TEST_F(EditBoxTest, CreatedFromADialogFileWithTheirProperties) {
    WriteDialog(
        u"CWceUiDlg",
        u"<dlg><body style=\"dlg\"><l type=\"CWceUiMEditBox\" name=\"m\" style=\"m\" focus.style=\"mf\" "
        u"line_bg_bmp=\"line.conf\" top_bmp=\"t.conf\" middle_bmp=\"c.conf\" bottom_bmp=\"b.conf\"/>"
        u"<l type=\"CWceUiSEditBox\" name=\"s\" style=\"m\" left-bmp=\"l.conf\" center-bmp=\"c.conf\" "
        u"right-bmp=\"r.conf\"/></body></dlg>",
        u"<dlg><style><dlg><position rect=\"0,0,100,60\"/></dlg>"
        u"<m><position rect=\"0,0,80,40\"/></m></style></dlg>");
    CWceUiDlg* pDlg = Open(u"CWceUiDlg");
    ASSERT_NE(pDlg, nullptr);
    auto* m = static_cast<CWceUiMEditBox*>(pDlg->GetChildByName(u"m"));
    auto* s = static_cast<CWceUiSEditBox*>(pDlg->GetChildByName(u"s"));
    ASSERT_TRUE(m && m->IsKindOf(u"CWceUiMEditBox") && m->IsKindOf(u"CWceUiEditBox"));
    ASSERT_TRUE(s && s->IsKindOf(u"CWceUiSEditBox"));
    EXPECT_EQ(std::u16string(u"mf"), m->GetFocusStyleName());
    EXPECT_EQ(std::u16string(u"m"), m->GetNormalStyleName());
    EXPECT_EQ(std::u16string(u"line.conf"), m->LineBg().GetBitmapID());
    EXPECT_EQ(std::u16string(u"b.conf"), m->BarBottom().GetBitmapID());
    EXPECT_EQ(std::u16string(u"l.conf"), s->BarLeft().GetBitmapID());
    EXPECT_EQ(std::u16string(u"r.conf"), s->BarRight().GetBitmapID());
    EXPECT_EQ(WCEUI_SCROLL_VERTICAL, m->GetOrientation());
    EXPECT_EQ(WCEUI_SCROLL_HORIZONTAL, s->GetOrientation());
}

} // namespace

namespace {

TEST_F(EditBoxTest, AnEditRedrawsFromTheLineBeforeItDown) {
    CWceUiMEditBox* p = Multi(200, 100);
    ASSERT_NE(nullptr, p);
    ASSERT_TRUE(p->SetEditText(u"a\nb\nc\nd\ne"));
    p->SetFocused(TRUE);
    Key(p, 40, 4);
    Key(p, 35);
    m_post.invalid.clear();
    Type(p, u"x");
    ASSERT_FALSE(m_post.invalid.empty());
    for (const RECT& rc : m_post.invalid) {
        EXPECT_EQ(20 + 3 * p->GetLineHeight(), rc.top);
        EXPECT_EQ(120, rc.bottom);
    }
}

} // namespace

namespace {

// A box scrolled to the middle of a line shows the part of the top and bottom lines inside it, and a
// redraw of a rectangle that cuts through rows gives the same pixels as drawing the whole box.
TEST_F(EditBoxTest, LinesCutByTheBoxShowTheirPartAndCutRedrawsMatchTheWhole) {
    CWceUiMEditBox* p = Multi(200, 100);
    ASSERT_NE(nullptr, p);
    ASSERT_TRUE(p->SetEditText(u"Hjg words here\nmore of them\nand a third\nHjg four\nHjg five\n"
                               u"Hjg six\nHjg seven\nHjg eight"));
    ASSERT_EQ(17, p->GetLineHeight());
    // Line 0 keeps its lower 8 pixels in the box (y 20..27), line 6 its upper 7 (y 113..119).
    p->ScrollTo(9, FALSE);
    ASSERT_EQ(9, p->GetScrollPos());
    auto whole = Solid(320, 240, RGB(255, 255, 255));
    p->OnDrawText(whole.get(), FALSE);
    auto inkIn = [&](CWceUiGenericBitmap* pBmp, int y0, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = 0; x < 320; ++x) {
                n += At(pBmp, x, y) != RGB(255, 255, 255) ? 1 : 0;
            }
        }
        return n;
    };
    EXPECT_GT(inkIn(whole.get(), 20, 28), 10);
    EXPECT_GT(inkIn(whole.get(), 113, 120), 10);
    // Nothing of them lands outside the box.
    EXPECT_EQ(0, inkIn(whole.get(), 0, 20));
    EXPECT_EQ(0, inkIn(whole.get(), 120, 140));

    // Cutting through rows (the cut ones at the edges too), and along whole rows as an edit asks for.
    for (const RECT rcNeed :
         {RECT{25, 24, 90, 50}, RECT{10, 20, 210, 25}, RECT{10, 115, 210, 120}, RECT{10, 45, 210, 120}}) {
        auto part = Solid(320, 240, RGB(255, 255, 255));
        p->OnDrawText(part.get(), FALSE);
        // As the window does: the background of the rectangle first, then the layer within it.
        part->FillColor(RGB(255, 255, 255), &rcNeed);
        p->SetNeedDrawRect(&rcNeed);
        p->OnDrawText(part.get(), FALSE);
        const RECT rcNone = {0, 0, 0, 0};
        p->SetNeedDrawRect(&rcNone);
        EXPECT_EQ(0, std::memcmp(whole->GetPixelData(), part->GetPixelData(), 320 * 240 * 4)) << rcNeed.top;
    }
}

} // namespace
