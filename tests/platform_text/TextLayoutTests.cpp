// Line layout on made-up advances: every letter 10 pixels, a space 5, lines 20 high, "..." 9 wide.
#include "platform/text/TextLayout.h"
#include "platform/WinGdi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Laid {
    std::vector<std::u32string> lines; // the text of each line, "..." appended where it has one
    std::vector<int> widths;
};

Laid Lay(const std::u32string& text, UINT format, int width, int height = 1000) {
    std::vector<int> adv;
    for (char32_t c : text)
        adv.push_back(c == U' ' ? 5 : (c == U'\n' || c == U'\r') ? 0 : 10);
    text::LayoutRequest req;
    req.text = text.data();
    req.advance = adv.data();
    req.count = static_cast<int>(text.size());
    req.format = format;
    req.width = width;
    req.height = height;
    req.lineHeight = 20;
    req.ellipsisWidth = 9;
    Laid out;
    for (const text::LineSpan& l : text::LayOut(req)) {
        std::u32string s = text.substr(static_cast<size_t>(l.start), static_cast<size_t>(l.end - l.start));
        if (l.ellipsis)
            s += U"...";
        out.lines.push_back(s);
        out.widths.push_back(l.width);
    }
    return out;
}

typedef std::vector<std::u32string> Lines;

TEST(TextLayout, LineBreaksEndLinesUnlessSingleLine) {
    EXPECT_EQ(Lay(U"ab\r\ncd\nef\rg", 0, 1000).lines, (Lines{U"ab", U"cd", U"ef", U"g"}));
    // An empty line between two breaks stays; a final break opens no line.
    EXPECT_EQ(Lay(U"ab\n\ncd\n", 0, 1000).lines, (Lines{U"ab", U"", U"cd"}));
    EXPECT_EQ(Lay(U"\n", 0, 1000).lines, (Lines{U""}));
    EXPECT_TRUE(Lay(U"", 0, 1000).lines.empty());
    // Single line: the breaks are part of the one line (they take no room).
    Laid single = Lay(U"ab\r\ncd", DT_SINGLELINE, 1000);
    EXPECT_EQ(single.lines, (Lines{U"ab\r\ncd"}));
    EXPECT_EQ(single.widths, (std::vector<int>{40}));
    // Without word breaks a long line is not wrapped.
    EXPECT_EQ(Lay(U"aaaa bbbb cccc", 0, 50).lines.size(), 1u);
}

TEST(TextLayout, WordBreakWrapsAtSpacesAndKeepsLongWordsWhole) {
    // "aaa bbb" is 30 + 5 + 30 = 65: fits 65, not 64.
    EXPECT_EQ(Lay(U"aaa bbb", DT_WORDBREAK, 65).lines, (Lines{U"aaa bbb"}));
    Laid two = Lay(U"aaa bbb", DT_WORDBREAK, 64);
    EXPECT_EQ(two.lines, (Lines{U"aaa", U"bbb"}));
    EXPECT_EQ(two.widths, (std::vector<int>{30, 30}));
    // Runs of spaces at a break vanish; a paragraph break still ends the line.
    EXPECT_EQ(Lay(U"aaa   bbb ccc\nd", DT_WORDBREAK, 75).lines, (Lines{U"aaa   bbb", U"ccc", U"d"}));
    // A word wider than the rectangle stays whole on its own line, wherever it comes.
    EXPECT_EQ(Lay(U"aaaaaaaa b", DT_WORDBREAK, 40).lines, (Lines{U"aaaaaaaa", U"b"}));
    EXPECT_EQ(Lay(U"a bbbbbbbb c", DT_WORDBREAK, 40).lines, (Lines{U"a", U"bbbbbbbb", U"c"}));
    // Zero width: one word a line, never an endless loop.
    EXPECT_EQ(Lay(U"ab cd ef", DT_WORDBREAK, 0).lines, (Lines{U"ab", U"cd", U"ef"}));
    EXPECT_EQ(Lay(U"ab cd", DT_WORDBREAK, -30).lines, (Lines{U"ab", U"cd"}));
    // Leading spaces of the text are kept.
    EXPECT_EQ(Lay(U"  ab", DT_WORDBREAK, 100).lines, (Lines{U"  ab"}));
}

TEST(TextLayout, EllipsesShortenWhatDoesNotFit) {
    // Single line, 100 wide: as many letters as leave room for "..." (9): 9 letters = 90.
    Laid end = Lay(U"abcdefghijkl", DT_SINGLELINE | DT_END_ELLIPSIS, 100);
    EXPECT_EQ(end.lines, (Lines{U"abcdefghi..."}));
    EXPECT_EQ(end.widths, (std::vector<int>{99}));
    EXPECT_EQ(Lay(U"abcdefghijkl", DT_SINGLELINE | DT_WORD_ELLIPSIS, 100).lines, (Lines{U"abcdefghi..."}));
    // What fits is left alone; spaces before an ellipsis go.
    EXPECT_EQ(Lay(U"abcdefghij", DT_SINGLELINE | DT_END_ELLIPSIS, 100).lines, (Lines{U"abcdefghij"}));
    EXPECT_EQ(Lay(U"abcdefgh   xyz", DT_SINGLELINE | DT_END_ELLIPSIS, 100).lines, (Lines{U"abcdefgh..."}));
    // Too narrow even for "...": the ellipsis alone.
    EXPECT_EQ(Lay(U"abc", DT_SINGLELINE | DT_END_ELLIPSIS, 5).lines, (Lines{U"..."}));

    // Word ellipsis: every line too wide; end ellipsis: only the last.
    const std::u32string text = U"aaaaaaaa b cccccccc";
    EXPECT_EQ(Lay(text, DT_WORDBREAK | DT_WORD_ELLIPSIS, 50).lines, (Lines{U"aaaa...", U"b", U"cccc..."}));
    EXPECT_EQ(Lay(text, DT_WORDBREAK | DT_END_ELLIPSIS, 50).lines, (Lines{U"aaaaaaaa", U"b", U"cccc..."}));

    // Lines that would fall below the rectangle: those that fit whole stay, the last ends in "...".
    const std::u32string para = U"aa bb cc dd ee";
    EXPECT_EQ(Lay(para, DT_WORDBREAK | DT_END_ELLIPSIS, 25, 45).lines, (Lines{U"aa", U"b..."}));
    // At least one line, however low the rectangle.
    EXPECT_EQ(Lay(para, DT_WORDBREAK | DT_END_ELLIPSIS, 25, 5).lines, (Lines{U"a..."}));
    // Without the end ellipsis nothing is dropped (the drawing clips instead).
    EXPECT_EQ(Lay(para, DT_WORDBREAK, 25, 45).lines.size(), 5u);
    EXPECT_EQ(Lay(para, DT_WORDBREAK | DT_WORD_ELLIPSIS, 25, 45).lines.size(), 5u);
}

TEST(TextLayout, CalcRectMeasuresTheWholeText) {
    const UINT f = DT_CALCRECT | DT_END_ELLIPSIS | DT_WORD_ELLIPSIS;
    Laid single = Lay(U"abcdefghijkl", f | DT_SINGLELINE, 50, 10);
    EXPECT_EQ(single.widths, (std::vector<int>{120}));
    Laid wrapped = Lay(U"aa bb cc dd ee", f | DT_WORDBREAK, 25, 45);
    EXPECT_EQ(wrapped.lines.size(), 5u);
}

} // namespace
