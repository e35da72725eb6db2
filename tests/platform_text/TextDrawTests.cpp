// Fonts, measuring and drawing through GDI's text calls, on DIB sections and the screen surface.
#include "platform_gdi/GdiTestUtil.h"

#include "platform/GdiHost.h"
#include "platform/Platform.h"
#include "platform/text/TextHost.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::string>& Logged() {
    static std::vector<std::string> lines;
    return lines;
}

void Collect(const char* line) {
    Logged().push_back(line);
}

bool LoggedContains(const std::string& a, const std::string& b = std::string()) {
    for (const std::string& l : Logged())
        if (l.find(a) != std::string::npos && l.find(b) != std::string::npos)
            return true;
    return false;
}

HFONT MakeFont(const char16_t* face, LONG height, LONG weight = FW_NORMAL, bool italic = false) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic ? 1 : 0;
    WStrCpyN(lf.lfFaceName, LF_FACESIZE, face);
    return CreateFontIndirectW(&lf);
}

// A font selected into a context for the length of a scope.
class Selected {
public:
    Selected(HDC dc, HFONT font) : m_dc(dc), m_font(font), m_old(SelectObject(dc, font)) {}
    ~Selected() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_font);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC m_dc;
    HFONT m_font;
    HGDIOBJ m_old;
};

class TextTest : public GdiTest {
protected:
    void SetUp() override {
        GdiTest::SetUp();
        Logged().clear();
        PlatformSetTextLogSink(Collect);
    }
    void TearDown() override {
        PlatformSetTextLogSink(nullptr);
        GdiTest::TearDown();
    }
};

typedef TextTest TextFonts;
typedef TextTest TextDraw;

std::string FileName(const PlatformFontInfo& info) {
    return info.file.substr(info.file.rfind('/') + 1);
}

TEST_F(TextFonts, FacesResolveThroughFontconfigWithTheirOwnStyles) {
    struct Case {
        const char16_t* face;
        LONG weight;
        bool italic;
        const char* file;
    } cases[] = {
        {u"DejaVu Sans", FW_NORMAL, false, "DejaVuSans.ttf"},
        {u"dejavu sans", FW_BOLD, false, "DejaVuSans-Bold.ttf"},
        {u"DejaVu Sans", FW_SEMIBOLD, true, "DejaVuSans-Oblique.ttf"}, // below 700 is not bold
        {u"DejaVu Serif", FW_HEAVY, true, "DejaVuSerif-BoldItalic.ttf"},
        {u"DejaVu Sans Mono", FW_NORMAL, false, "DejaVuSansMono.ttf"},
    };
    for (const Case& c : cases) {
        HFONT font = MakeFont(c.face, -16, c.weight, c.italic);
        ASSERT_NE(font, nullptr);
        PlatformFontInfo info;
        ASSERT_TRUE(PlatformGetFontInfo(font, &info));
        EXPECT_EQ(FileName(info), c.file);
        EXPECT_FALSE(info.syntheticBold);
        EXPECT_FALSE(info.syntheticItalic);
        EXPECT_TRUE(DeleteObject(font));
    }
    EXPECT_TRUE(Logged().empty()) << Logged().front();
    // The stock font names a face that is not installed: it resolves on first use like any other.
    PlatformFontInfo info;
    ASSERT_TRUE(PlatformGetFontInfo(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)), &info));
    EXPECT_FALSE(info.family.empty());
}

TEST_F(TextFonts, AMissingFaceFallsBackToTheBestMatchWithALogLine) {
    HFONT font = MakeFont(u"No Such Face Qq", -20);
    ASSERT_NE(font, nullptr);
    EXPECT_TRUE(LoggedContains("\"No Such Face Qq\" is not installed", "DejaVu"));
    PlatformFontInfo info;
    ASSERT_TRUE(PlatformGetFontInfo(font, &info));
    EXPECT_NE(info.family.find("DejaVu"), std::string::npos);
    // Told once per face, however many fonts ask for it.
    const size_t lines = Logged().size();
    HFONT again = MakeFont(u"No Such Face Qq", -30);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Logged().size(), lines);
    EXPECT_TRUE(DeleteObject(again));

    Canvas c(Dib::Rgb565, 100, 30);
    Selected s(c.Dc(), font);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"abc", 3, &size));
    EXPECT_GT(size.cx, 10);
}

TEST_F(TextFonts, HeightsFollowTheDeviceRules) {
    // A positive height is the cell: ascent + descent.
    for (LONG h : {8, 12, 16, 20, 22, 30, 48, 100}) {
        HFONT font = MakeFont(u"DejaVu Sans", h);
        ASSERT_NE(font, nullptr);
        PlatformFontInfo info;
        ASSERT_TRUE(PlatformGetFontInfo(font, &info));
        EXPECT_EQ(info.ascent + info.descent, h) << h;
        EXPECT_TRUE(DeleteObject(font));
    }
    // A negative one is the character (em) height, so the cell is larger: DejaVu Sans's Windows
    // ascent and descent are 1901 and 483 of 2048 units.
    HFONT em = MakeFont(u"DejaVu Sans", -22);
    PlatformFontInfo info;
    ASSERT_TRUE(PlatformGetFontInfo(em, &info));
    EXPECT_EQ(info.ascent, 20);
    EXPECT_EQ(info.descent, 5);
    {
        Canvas c(Dib::Rgb565, 10, 10);
        Selected s(c.Dc(), em);
        SIZE size{};
        ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"x", 1, &size));
        EXPECT_EQ(size.cy, 25);
    }

    // No height: the system font's size, with a note.
    HFONT zero = MakeFont(u"DejaVu Sans", 0);
    HFONT twelve = MakeFont(u"DejaVu Sans", -12);
    ASSERT_NE(zero, nullptr);
    EXPECT_TRUE(LoggedContains("no height"));
    PlatformFontInfo a, b;
    ASSERT_TRUE(PlatformGetFontInfo(zero, &a));
    ASSERT_TRUE(PlatformGetFontInfo(twelve, &b));
    EXPECT_EQ(a.ascent + a.descent, b.ascent + b.descent);
    EXPECT_TRUE(DeleteObject(zero));
    EXPECT_TRUE(DeleteObject(twelve));

    // Beyond 1,000 pixels either way the font is refused, with the reason in the log.
    HFONT big = MakeFont(u"DejaVu Sans", 1000);
    EXPECT_NE(big, nullptr);
    EXPECT_TRUE(DeleteObject(big));
    for (LONG h : std::vector<LONG>{1001, -1001, 0x7FFFFFFF, -0x7FFFFFFF - 1}) {
        Logged().clear();
        SetLastError(0);
        EXPECT_EQ(MakeFont(u"DejaVu Sans", h), nullptr) << h;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_TRUE(LoggedContains("refused", std::to_string(h))) << h;
    }
}

TEST_F(TextDraw, ExtentsAddUpAndSurrogatePairsAreOneGlyph) {
    Canvas c(Dib::Rgb565, 10, 10);
    Selected s(c.Dc(), MakeFont(u"DejaVu Sans", -22));
    auto width = [&](const std::u16string& t) {
        SIZE size{-1, -1};
        EXPECT_TRUE(GetTextExtentPoint32W(c.Dc(), t.c_str(), static_cast<int>(t.size()), &size));
        EXPECT_EQ(size.cy, 25);
        return size.cx;
    };
    EXPECT_EQ(width(u"Wave"), width(u"W") + width(u"a") + width(u"v") + width(u"e"));
    EXPECT_EQ(width(u""), 0);
    // Control characters take no room.
    EXPECT_EQ(width(u"a\r\nb\t"), width(u"ab"));
    // U+1F600 arrives as two units and is one glyph; half a pair is the replacement character.
    const std::u16string smile = u"\U0001F600";
    ASSERT_EQ(smile.size(), 2u);
    EXPECT_GT(width(smile), 0);
    EXPECT_NE(width(smile), width(u"\uFFFD\uFFFD"));
    EXPECT_EQ(width(std::u16string(1, char16_t(0xD83D))), width(u"\uFFFD"));
    EXPECT_EQ(width(std::u16string(1, char16_t(0xDE00)) + u"a"), width(u"\uFFFDa"));
    PlatformTextDropGlyphCache();
    const unsigned long before = PlatformTextGlyphsRasterised();
    width(smile);
    EXPECT_EQ(PlatformTextGlyphsRasterised() - before, 1u);

    SIZE size{};
    SetLastError(0);
    EXPECT_FALSE(GetTextExtentPoint32W(c.Dc(), u"ab", -1, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(GetTextExtentPoint32W(c.Dc(), nullptr, 2, &size));
    EXPECT_FALSE(GetTextExtentPoint32W(c.Dc(), u"ab", 2, nullptr));
    EXPECT_TRUE(GetTextExtentPoint32W(c.Dc(), nullptr, 0, &size));
    EXPECT_EQ(size.cx, 0);
    SetLastError(0);
    EXPECT_FALSE(GetTextExtentPoint32W(reinterpret_cast<HDC>(0x12345), u"ab", 2, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(TextDraw, ARepeatedStringIsNeverRasterisedTwice) {
    Canvas c(Dib::Rgb565, 300, 40);
    RECT r{0, 0, 300, 40};
    PlatformTextDropGlyphCache();
    {
        Selected s(c.Dc(), MakeFont(u"DejaVu Sans", -22));
        unsigned long start = PlatformTextGlyphsRasterised();
        ASSERT_GT(DrawTextW(c.Dc(), u"Hello world", -1, &r, DT_SINGLELINE), 0);
        EXPECT_EQ(PlatformTextGlyphsRasterised() - start, 8u); // H e l o space w r d
        start = PlatformTextGlyphsRasterised();
        DrawTextW(c.Dc(), u"Hello world", -1, &r, DT_SINGLELINE | DT_CENTER);
        DrawTextW(c.Dc(), u"world, Hello", -1, &r, DT_SINGLELINE);
        EXPECT_EQ(PlatformTextGlyphsRasterised() - start, 1u); // only the comma is new
    }
    {
        // Another font of the same face and size shares the glyphs; another size has its own.
        Selected s(c.Dc(), MakeFont(u"DejaVu Sans", -22));
        unsigned long start = PlatformTextGlyphsRasterised();
        DrawTextW(c.Dc(), u"Hello world", -1, &r, DT_SINGLELINE);
        EXPECT_EQ(PlatformTextGlyphsRasterised() - start, 0u);
    }
    {
        Selected s(c.Dc(), MakeFont(u"DejaVu Sans", -23));
        unsigned long start = PlatformTextGlyphsRasterised();
        DrawTextW(c.Dc(), u"Hello world", -1, &r, DT_SINGLELINE);
        EXPECT_EQ(PlatformTextGlyphsRasterised() - start, 8u);
    }
}

TEST_F(TextDraw, ALineDrawnAgainElsewhereLooksAsIfDrawnAfresh) {
    // Whole lines are kept for drawing again; moved, clipped or with another ending they must give
    // what a first drawing gives.
    Canvas c(Dib::Rgb565, 200, 60);
    Selected s(c.Dc(), MakeFont(u"DejaVu Serif", -18, FW_NORMAL, true));
    SetBkMode(c.Dc(), TRANSPARENT);
    auto draw = [&](RECT r, UINT f, bool fresh) {
        if (fresh)
            PlatformTextDropGlyphCache();
        c.Px().Fill(0x7BEF);
        DrawTextW(c.Dc(), u"Vivid fjord text", -1, &r, f);
        std::vector<DWORD> px;
        for (int y = 0; y < 60; y++)
            for (int x = 0; x < 200; x++)
                px.push_back(c.Px().Get(x, y));
        return px;
    };
    draw(RECT{0, 0, 200, 30}, DT_SINGLELINE, true);
    const RECT moved{13, 21, 200, 60}, narrow{13, 21, 90, 60};
    EXPECT_EQ(draw(moved, DT_SINGLELINE, false), draw(moved, DT_SINGLELINE, true));
    draw(moved, DT_SINGLELINE | DT_END_ELLIPSIS, false);
    EXPECT_EQ(draw(narrow, DT_SINGLELINE | DT_END_ELLIPSIS, false),
              draw(narrow, DT_SINGLELINE | DT_END_ELLIPSIS, true));
    EXPECT_EQ(draw(narrow, DT_SINGLELINE, false), draw(narrow, DT_SINGLELINE, true));
}

// The box of pixels that differ from the fill value; empty (right <= left) when none.
RECT InkBox(const Pixels& px, int width, int height, DWORD fill) {
    RECT box{width, height, 0, 0};
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            if (px.Get(x, y) != fill) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

TEST_F(TextDraw, CharactersTheFaceLacksComeFromAnInstalledFaceThatHasThem) {
    // DejaVu Sans has no Han, kana or Hangul. Each such character must show its own shape at the
    // size asked for, from a face that has it, not the missing-glyph box that every character no
    // installed face has (an unassigned code point) still gets.
    Canvas c(Dib::Rgb565, 40, 40);
    Selected s(c.Dc(), MakeFont(u"DejaVu Sans", -24));
    SetBkMode(c.Dc(), TRANSPARENT);
    auto draw = [&](const char16_t* t) {
        c.Px().Fill(0xFFFF);
        RECT r{0, 0, 40, 40};
        EXPECT_GT(DrawTextW(c.Dc(), t, -1, &r, DT_SINGLELINE), 0);
        std::vector<DWORD> px;
        for (int y = 0; y < 40; y++)
            for (int x = 0; x < 40; x++)
                px.push_back(c.Px().Get(x, y));
        return px;
    };
    const std::vector<DWORD> box = draw(u"\u0378");
    const std::vector<DWORD> han = draw(u"\u4E2D"); // 中
    const RECT ink = InkBox(c.Px(), 40, 40, 0xFFFF);
    EXPECT_GE(ink.bottom - ink.top, 18); // about the em's height, not a sliver
    EXPECT_NE(han, box);
    EXPECT_NE(draw(u"\u56FD"), han); // 国
    EXPECT_NE(draw(u"\u306E"), box); // の
    EXPECT_NE(draw(u"\uD55C"), box); // 한
    // It takes room in the line like any other character; the line keeps DejaVu Sans's height.
    SIZE han1{}, ab{}, mixed{};
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"\u4E2D", 1, &han1));
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"ab", 2, &ab));
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"a\u4E2Db", 3, &mixed));
    EXPECT_GT(han1.cx, 12);
    EXPECT_EQ(mixed.cx, ab.cx + han1.cx);
    EXPECT_EQ(han1.cy, 28); // DejaVu Sans's ascent and descent at 24 pixels
    // Found once: drawing it again rasterises nothing.
    const unsigned long before = PlatformTextGlyphsRasterised();
    draw(u"\u4E2D\u56FD");
    EXPECT_EQ(PlatformTextGlyphsRasterised(), before);
}

TEST_F(TextDraw, FullCoverageGivesTheTextColourExactly) {
    for (Dib kind : {Dib::Rgb565, Dib::Xrgb8888, Dib::Rgb555, Dib::Rgb888}) {
        Canvas c(kind, 60, 40);
        const DWORD fill = kind == Dib::Xrgb8888 ? 0xAA123456u : 0x1234u;
        c.Px().Fill(fill);
        Selected s(c.Dc(), MakeFont(u"DejaVu Sans", -30));
        SetTextColor(c.Dc(), RGB(250, 130, 10));
        SetBkMode(c.Dc(), TRANSPARENT);
        RECT r{0, 0, 60, 40};
        ASSERT_GT(DrawTextW(c.Dc(), u"\u2588", 1, &r, DT_SINGLELINE), 0); // full block
        const DWORD ink = kind == Dib::Xrgb8888 ? 0x00FA820Au
                          : kind == Dib::Rgb565 ? ((250u >> 3) << 11) | ((130u >> 2) << 5) | (10u >> 3)
                          : kind == Dib::Rgb888 ? 0xFA820Au
                                                : ((250u >> 3) << 10) | ((130u >> 3) << 5) | (10u >> 3);
        EXPECT_EQ(c.Px().Get(8, 20), ink) << static_cast<int>(kind);
        // Pixels the glyph leaves alone keep everything, the 32-bit top byte included.
        EXPECT_EQ(c.Px().Get(59, 0), kind == Dib::Rgb888 ? 0x001234u : fill);
    }
}

TEST_F(TextDraw, DrawingStaysInsideTheRectangleTheClipAndTheBitmap) {
    const std::u16string text = u"Wrapped text that is far too long\nfor its little box, WWWWWWWWWWWW";
    for (Dib kind : {Dib::Rgb565, Dib::Xrgb8888}) {
        Canvas c(kind, 120, 80);
        const DWORD fill = 0x5555;
        c.Px().Fill(fill);
        Selected s(c.Dc(), MakeFont(u"DejaVu Serif", -20, FW_BOLD, true));
        SetBkMode(c.Dc(), OPAQUE);
        SetBkColor(c.Dc(), RGB(0, 0, 255));
        RECT r{20, 15, 70, 45};
        ASSERT_GT(DrawTextW(c.Dc(), text.c_str(), -1, &r, DT_WORDBREAK | DT_CENTER), 0);
        RECT box = InkBox(c.Px(), 120, 80, fill);
        EXPECT_GE(box.left, r.left);
        EXPECT_GE(box.top, r.top);
        EXPECT_LE(box.right, r.right);
        EXPECT_LE(box.bottom, r.bottom);
        EXPECT_LT(box.left, box.right);
        // Without clipping the text spills over the rectangle, but never out of the bitmap (the
        // sanitizer build checks the memory side).
        c.Px().Fill(fill);
        ASSERT_GT(DrawTextW(c.Dc(), text.c_str(), -1, &r, DT_WORDBREAK | DT_CENTER | DT_NOCLIP), 0);
        box = InkBox(c.Px(), 120, 80, fill);
        EXPECT_LT(box.left, r.left);
        EXPECT_GT(box.bottom, r.bottom);
        RECT outside{-500, -30, 900, 200};
        for (UINT f : {0u, static_cast<UINT>(DT_CENTER | DT_VCENTER | DT_SINGLELINE),
                       static_cast<UINT>(DT_RIGHT | DT_BOTTOM | DT_SINGLELINE)})
            EXPECT_GT(DrawTextW(c.Dc(), text.c_str(), -1, &outside, f), 0);
        RECT far{-0x40000000, -0x40000000, 0x40000000, 0x40000000};
        EXPECT_GT(DrawTextW(c.Dc(), text.c_str(), -1, &far, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 0);
    }

    // A screen context: logical (0, 0) at screen (100, 100), clipped to 100..150 x 100..120.
    HBITMAP screen = PlatformGetScreenBitmap();
    Pixels px(screen);
    px.Fill(0);
    RECT clip{100, 100, 150, 120};
    HDC dc = PlatformCreateScreenDC(100, 100, &clip);
    {
        Selected s(dc, MakeFont(u"DejaVu Sans", -40));
        SetTextColor(dc, RGB(255, 255, 255));
        RECT r{-20, -20, 200, 100};
        ASSERT_GT(DrawTextW(dc, u"\u2588\u2588\u2588\u2588", -1, &r, DT_NOCLIP), 0);
    }
    DeleteDC(dc);
    RECT box = InkBox(px, PlatformScreenWidth(), PlatformScreenHeight(), 0);
    EXPECT_EQ(box.left, 100);
    EXPECT_EQ(box.top, 100);
    EXPECT_EQ(box.right, 150);
    EXPECT_EQ(box.bottom, 120);

    // A memory context clipped with IntersectClipRect keeps text inside the clip as well.
    Canvas m(Dib::Rgb565, 120, 80);
    m.Px().Fill(0);
    ASSERT_EQ(IntersectClipRect(m.Dc(), 10, 30, 60, 45), SIMPLEREGION);
    {
        Selected s(m.Dc(), MakeFont(u"DejaVu Sans", -40));
        SetTextColor(m.Dc(), RGB(255, 255, 255));
        RECT r{0, 0, 120, 80};
        ASSERT_GT(DrawTextW(m.Dc(), u"\u2588\u2588\u2588\u2588", -1, &r, DT_SINGLELINE | DT_VCENTER), 0);
    }
    box = InkBox(m.Px(), 120, 80, 0);
    EXPECT_EQ(box.left, 10);
    EXPECT_EQ(box.top, 30);
    EXPECT_EQ(box.right, 60);
    EXPECT_EQ(box.bottom, 45);
}

TEST_F(TextDraw, AlignmentAndReturnValues) {
    Canvas c(Dib::Rgb565, 200, 60);
    Selected s(c.Dc(), MakeFont(u"DejaVu Sans", 20)); // cell 20
    SetBkMode(c.Dc(), TRANSPARENT);
    RECT r{0, 0, 200, 60};
    auto draw = [&](UINT f, const char16_t* t = u"HIH") {
        c.Px().Fill(0xFFFF);
        RECT copy = r;
        int ret = DrawTextW(c.Dc(), t, -1, &copy, f);
        return std::make_pair(ret, InkBox(c.Px(), 200, 60, 0xFFFF));
    };
    auto [topRet, left] = draw(DT_SINGLELINE | DT_LEFT | DT_TOP);
    EXPECT_EQ(topRet, 20);
    EXPECT_LE(left.left, 3);
    EXPECT_LE(left.bottom, 20);
    auto [centreRet, centre] = draw(DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    EXPECT_EQ(centreRet, 20 + 20); // (60 - 20) / 2 above the text
    EXPECT_NEAR((centre.left + centre.right) / 2.0, 100, 2);
    EXPECT_GE(centre.top, 20);
    EXPECT_LE(centre.bottom, 40);
    auto [bottomRet, right] = draw(DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    EXPECT_EQ(bottomRet, 60);
    EXPECT_GE(right.right, 197);
    EXPECT_GE(right.top, 40);
    // Several lines always start at the top: vertical centring is for single lines only.
    auto [multiRet, multi] = draw(DT_VCENTER | DT_CENTER, u"HIH\nHIH");
    EXPECT_EQ(multiRet, 40);
    EXPECT_LE(multi.top, 5);
    EXPECT_GT(multi.bottom, 25);
}

TEST_F(TextDraw, OpaqueModeFillsEachLineBoxInTheBackgroundColour) {
    Canvas c(Dib::Xrgb8888, 100, 60);
    c.Px().Fill(0x00FFFFFF);
    Selected s(c.Dc(), MakeFont(u"DejaVu Sans", 20));
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"ab", 2, &size));
    RECT r{0, 0, 100, 60};
    SetBkColor(c.Dc(), RGB(0, 0, 255));
    EXPECT_EQ(GetBkMode(c.Dc()), OPAQUE); // the default
    DrawTextW(c.Dc(), u"ab", -1, &r, DT_LEFT);
    EXPECT_EQ(c.Px().Get(0, 19), 0x0000FFu);          // under the letters, in the line's cell
    EXPECT_EQ(c.Px().Get(size.cx - 1, 0), 0x0000FFu); // the box ends with the text
    EXPECT_EQ(c.Px().Get(size.cx, 0), 0x00FFFFFFu);
    EXPECT_EQ(c.Px().Get(0, 20), 0x00FFFFFFu);
    c.Px().Fill(0x00FFFFFF);
    SetBkMode(c.Dc(), TRANSPARENT);
    DrawTextW(c.Dc(), u"ab", -1, &r, DT_LEFT);
    EXPECT_EQ(c.Px().Get(0, 19), 0x00FFFFFFu);
}

TEST_F(TextDraw, CalcRectMeasuresWithoutDrawing) {
    Canvas c(Dib::Rgb565, 100, 100);
    c.Px().Fill(0x1111);
    Selected s(c.Dc(), MakeFont(u"DejaVu Sans", 20));
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"Some text", 9, &size));
    RECT r{10, 10, 20, 20};
    EXPECT_EQ(DrawTextW(c.Dc(), u"Some text", -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_END_ELLIPSIS), 20);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right, 10 + size.cx);
    EXPECT_EQ(r.bottom, 30);
    // Word breaks wrap at the given width and report the lines' height and the widest line.
    SIZE word{};
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"Some", 4, &word));
    r = RECT{0, 0, word.cx + 1, 0};
    EXPECT_EQ(DrawTextW(c.Dc(), u"Some Some Some", -1, &r, DT_CALCRECT | DT_WORDBREAK), 60);
    EXPECT_EQ(r.right, word.cx);
    EXPECT_EQ(r.bottom, 60);
    r = RECT{5, 5, 50, 50};
    EXPECT_EQ(DrawTextW(c.Dc(), u"", -1, &r, DT_CALCRECT), 0);
    EXPECT_EQ(r.right, 5);
    EXPECT_EQ(r.bottom, 5);
    EXPECT_EQ(InkBox(c.Px(), 100, 100, 0x1111).right, 0); // nothing drawn
}

TEST_F(TextDraw, PrefixesUnderlineTheNextCharacterUnlessNoPrefix) {
    Canvas c(Dib::Rgb565, 120, 30);
    Selected s(c.Dc(), MakeFont(u"DejaVu Sans", 20));
    SetBkMode(c.Dc(), TRANSPARENT);
    auto width = [&](const char16_t* t, UINT f) {
        RECT r{0, 0, 0, 0};
        DrawTextW(c.Dc(), t, -1, &r, f | DT_CALCRECT | DT_SINGLELINE);
        return r.right;
    };
    SIZE plain{}, amp{};
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"Save", 4, &plain));
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"&Save", 5, &amp)); // no prefixes when measuring
    EXPECT_GT(amp.cx, plain.cx);
    EXPECT_EQ(width(u"&Save", 0), plain.cx);
    EXPECT_EQ(width(u"&Save", DT_NOPREFIX), amp.cx);
    EXPECT_EQ(width(u"A&&B", 0), width(u"A&B", DT_NOPREFIX));

    // The prefixed character gets a line under it, in the text's colour; nothing else changes.
    auto draw = [&](const char16_t* t, UINT f) {
        c.Px().Fill(0xFFFF);
        RECT r{0, 0, 120, 30};
        DrawTextW(c.Dc(), t, -1, &r, f | DT_SINGLELINE);
        std::vector<DWORD> px;
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 120; x++)
                px.push_back(c.Px().Get(x, y));
        return px;
    };
    const std::vector<DWORD> marked = draw(u"S&ave", 0), unmarked = draw(u"Save", 0);
    SIZE s1{};
    ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"S", 1, &s1));
    int changed = 0;
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 120; x++) {
            const size_t i = static_cast<size_t>(y) * 120 + x;
            if (marked[i] == unmarked[i])
                continue;
            changed++;
            EXPECT_EQ(marked[i], 0u) << x << "," << y;
            EXPECT_GE(x, s1.cx); // under the "a"
            EXPECT_GE(y, 15);    // below the baseline
        }
    EXPECT_GT(changed, 3);
    EXPECT_EQ(draw(u"Save", DT_NOPREFIX), unmarked);
}

TEST_F(TextDraw, UnderlineAndStrikeOutSpanTheLine) {
    Canvas c(Dib::Xrgb8888, 120, 30);
    SetBkMode(c.Dc(), TRANSPARENT);
    auto draw = [&](BYTE underline, BYTE strikeOut) {
        LOGFONTW lf{};
        lf.lfHeight = 20;
        lf.lfUnderline = underline;
        lf.lfStrikeOut = strikeOut;
        WStrCpyN(lf.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
        Selected s(c.Dc(), CreateFontIndirectW(&lf));
        c.Px().Fill(0x00FFFFFF);
        RECT r{0, 0, 120, 30};
        DrawTextW(c.Dc(), u"xo xo", -1, &r, DT_SINGLELINE);
        std::vector<DWORD> px;
        for (int y = 0; y < 30; y++)
            for (int x = 0; x < 120; x++)
                px.push_back(c.Px().Get(x, y));
        return px;
    };
    const std::vector<DWORD> plain = draw(0, 0);
    PlatformFontInfo info;
    {
        LOGFONTW lf{};
        lf.lfHeight = 20;
        WStrCpyN(lf.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
        HFONT f = CreateFontIndirectW(&lf);
        ASSERT_TRUE(PlatformGetFontInfo(f, &info));
        DeleteObject(f);
    }
    SIZE size{};
    {
        Selected s(c.Dc(), MakeFont(u"DejaVu Sans", 20));
        ASSERT_TRUE(GetTextExtentPoint32W(c.Dc(), u"xo xo", 5, &size));
    }
    // Each decoration: whole rows of ink from the line's start to its end, below the baseline for
    // the underline and above it for the strike-out.
    for (int kind = 0; kind < 2; kind++) {
        const std::vector<DWORD> decorated = kind == 0 ? draw(1, 0) : draw(0, 1);
        int rows = 0;
        for (int y = 0; y < 30; y++) {
            int changed = 0;
            for (int x = 0; x < 120; x++) {
                const size_t i = static_cast<size_t>(y) * 120 + x;
                if (decorated[i] != plain[i]) {
                    changed++;
                    EXPECT_LT(x, size.cx);
                    EXPECT_EQ(decorated[i], 0u);
                }
            }
            if (changed == 0)
                continue;
            rows++;
            EXPECT_EQ(kind == 0, y >= info.ascent) << y;
            // The space between the words has no letter, so the line shows there.
            EXPECT_EQ(decorated[static_cast<size_t>(y) * 120 + size.cx / 2], 0u);
        }
        EXPECT_GE(rows, 1);
    }
}

TEST_F(TextDraw, BadInputFailsCleanly) {
    Canvas c(Dib::Rgb565, 20, 20);
    RECT r{0, 0, 20, 20};
    SetLastError(0);
    EXPECT_EQ(DrawTextW(c.Dc(), nullptr, 3, &r, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(DrawTextW(c.Dc(), u"abc", 3, nullptr, 0), 0);
    EXPECT_EQ(DrawTextW(c.Dc(), u"abc", -2, &r, 0), 0);
    SetLastError(0);
    EXPECT_EQ(DrawTextW(reinterpret_cast<HDC>(0x4321), u"abc", 3, &r, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    // The stock font serves a fresh context; a context without a bitmap of its own draws on its
    // 1 x 1 monochrome bitmap.
    EXPECT_GT(DrawTextW(c.Dc(), u"abc", 3, &r, 0), 0);
    HDC bare = CreateCompatibleDC(nullptr);
    EXPECT_GT(DrawTextW(bare, u"abc", 3, &r, 0), 0);
    DeleteDC(bare);
}

} // namespace
