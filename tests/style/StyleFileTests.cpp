// Style files: every attribute of the style table and its refusals, "overwrite", the cache, copy and
// combine of styles, and the "animate" elements.
#include "StyleTestSupport.h"
#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/bitmap/WceUiDrawTextCtrl.h"
#include "wceui/core/WceUiRect.h"
#include "wceui/style/FhStyleFile.h"
#include "wceui/style/WceUiBgItem.h"
#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/style/WceUiLoadColor.h"
#include "wceui/style/WceUiLoadFont.h"
#include "wceui/style/WceUiStyle.h"
#include "wceui/style/WceUiStyleCtrls.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using styletest::ResDirTest;

namespace {

std::u16string RectText(const RECT& rc) {
    std::string s = std::to_string(rc.left) + "," + std::to_string(rc.top) + "," + std::to_string(rc.right) +
                    "," + std::to_string(rc.bottom);
    return std::u16string(s.begin(), s.end());
}

std::u16string Position(const CWceUiStyle& style) {
    RECT rc;
    style.GetPosition(&rc);
    return RectText(rc);
}

class StyleFileTest : public ResDirTest {
protected:
    // Loads a style file whose "style" element holds the given styles.
    bool Load(const std::u16string& styles, const std::u16string& extra = u"") {
        WriteText(u"\\wnd\\test.style.xml",
                  u"<dlg>\r\n<style>\r\n" + styles + u"</style>\r\n" + extra + u"</dlg>\r\n");
        m_log.Clear();
        return m_file.LoadStyleFile(u"\\wnd\\test.style.xml");
    }

    CFhStyleFile m_file;
};

} // namespace

TEST_F(StyleFileTest, ANewStyleHasTheDefaults) {
    CWceUiStyle style;
    EXPECT_EQ(Position(style), u"0,0,0,0");
    EXPECT_FALSE(style.IsRelative());
    EXPECT_TRUE(style.IsVisible());
    EXPECT_TRUE(style.IsEnabled());
    EXPECT_FALSE(style.IsContainer() || style.IsNoDraw() || style.IsNoInput());
    EXPECT_EQ(std::u16string(style.GetTextResID()), u"");
    EXPECT_EQ(style.GetDrawTextCtrl()->GetFormat(), 0x25u);
    EXPECT_TRUE(IsRectLarge(style.GetDrawTextCtrl()->GetRectPtr()));
    EXPECT_FALSE(style.GetBgColorCtrl()->IsHasBgColor());
    EXPECT_EQ(style.GetBgItemCtrl()->GetCount(), 0);
    EXPECT_EQ(style.GetAlphaFilterOpacity(), -1);
    EXPECT_FALSE(style.IsAlphaFilterEnabled());
    EXPECT_EQ(style.GetMixColorFilterCtrl()->GetOpacity(), -1);
    EXPECT_EQ(style.GetSetFlags(), 0u);
}

// Each case is one style element; check looks at the parsed style.
TEST_F(StyleFileTest, EveryAttributeOfTheTableReachesTheStyle) {
    WriteColorTable(u"title=00FF00\r\n0X112233=445566\r\nmix=010203\r\n");
    struct Case {
        const char* what;
        std::u16string body;
        UINT flags;
        std::function<void(CWceUiStyle&)> check;
    };
    const std::vector<Case> cases = {
        {"position, absolute", u"<position rect=\"10,20,30,40\"/>", WCEUI_STYLE_POSITION,
         [](CWceUiStyle& s) {
             EXPECT_EQ(Position(s), u"10,20,40,60");
             EXPECT_FALSE(s.IsRelative());
         }},
        {"position, relative with blanks", u"<position way=\"RELATIVE\" rect=\"-5 -5 10 10\"/>",
         WCEUI_STYLE_POSITION,
         [](CWceUiStyle& s) {
             EXPECT_EQ(Position(s), u"-5,-5,5,5");
             EXPECT_TRUE(s.IsRelative());
         }},
        {"position without rect", u"<position way=\"other\"/>", WCEUI_STYLE_POSITION,
         [](CWceUiStyle& s) { EXPECT_EQ(Position(s), u"0,0,0,0"); }},
        {"layout true", u"<layout visibility=\"TRUE\" disability=\"true\" container=\"True\"/>",
         WCEUI_STYLE_VISIBILITY | WCEUI_STYLE_DISABILITY | WCEUI_STYLE_CONTAINER,
         [](CWceUiStyle& s) {
             EXPECT_TRUE(s.IsVisible());
             EXPECT_FALSE(s.IsEnabled());
             EXPECT_TRUE(s.IsContainer());
         }},
        {"layout other words", u"<layout visibility=\"yes\" disability=\"yes\" container=\"1\"/>",
         WCEUI_STYLE_VISIBILITY | WCEUI_STYLE_DISABILITY | WCEUI_STYLE_CONTAINER,
         [](CWceUiStyle& s) {
             EXPECT_FALSE(s.IsVisible());
             EXPECT_TRUE(s.IsEnabled());
             EXPECT_FALSE(s.IsContainer());
         }},
        {"layout, one attribute", u"<layout container=\"true\"/>", WCEUI_STYLE_CONTAINER,
         [](CWceUiStyle& s) { EXPECT_TRUE(s.IsVisible()); }},
        {"text, 0x colour", u"<text res-id=\"IDS_OK\" color=\"0xff0000\"/>",
         WCEUI_STYLE_TEXT_RES_ID | WCEUI_STYLE_TEXT_COLOR,
         [](CWceUiStyle& s) {
             EXPECT_EQ(std::u16string(s.GetTextResID()), u"IDS_OK");
             EXPECT_EQ(s.GetTextColorValue(), RGB(255, 0, 0));
             EXPECT_FALSE(s.GetTextColor()->IsFromRes());
         }},
        {"text, colour id", u"<text color=\"title\"/>", WCEUI_STYLE_TEXT_COLOR,
         [](CWceUiStyle& s) {
             EXPECT_EQ(std::u16string(s.GetTextColor()->GetColorID()), u"title");
             EXPECT_EQ(s.GetTextColorValue(), RGB(0, 255, 0));
         }},
        {"text, upper-case 0X is an id", u"<text color=\"0X112233\"/>", WCEUI_STYLE_TEXT_COLOR,
         [](CWceUiStyle& s) { EXPECT_EQ(s.GetTextColorValue(), RGB(0x44, 0x55, 0x66)); }},
        {"text, font", u"<text><font id=\"f/title.conf\"/></text>", WCEUI_STYLE_FONT,
         [](CWceUiStyle& s) { EXPECT_EQ(std::u16string(s.GetFontCtrl()->GetFontID()), u"f/title.conf"); }},
        {"drawtext without attributes", u"<text><drawtext/></text>", WCEUI_STYLE_TEXT_LAYOUT,
         [](CWceUiStyle& s) {
             EXPECT_EQ(s.GetDrawTextCtrl()->GetFormat(), 0u);
             EXPECT_TRUE(IsRectLarge(s.GetDrawTextCtrl()->GetRectPtr()));
         }},
        {"drawtext, all",
         u"<text><drawtext rect=\"1,2,3,4\" multiline=\"false\" valign=\"bottom\" align=\"right\"/></text>",
         WCEUI_STYLE_TEXT_LAYOUT,
         [](CWceUiStyle& s) {
             EXPECT_EQ(s.GetDrawTextCtrl()->GetFormat(), UINT(DT_SINGLELINE | DT_BOTTOM | DT_RIGHT));
             EXPECT_EQ(RectText(*s.GetDrawTextCtrl()->GetRectPtr()), u"1,2,4,6");
         }},
        {"drawtext, centre, several lines",
         u"<text><drawtext multiline=\"true\" valign=\"center\" align=\"center\"/></text>",
         WCEUI_STYLE_TEXT_LAYOUT, [](CWceUiStyle& s) { EXPECT_EQ(s.GetDrawTextCtrl()->GetFormat(), 0x25u); }},
        {"drawtext, top left", u"<text><drawtext valign=\"top\" align=\"left\"/></text>",
         WCEUI_STYLE_TEXT_LAYOUT, [](CWceUiStyle& s) { EXPECT_EQ(s.GetDrawTextCtrl()->GetFormat(), 0u); }},
        {"background transparent", u"<background color=\"Transparent\"/>", WCEUI_STYLE_BG_COLOR,
         [](CWceUiStyle& s) {
             EXPECT_TRUE(s.GetBgColorCtrl()->IsHasBgColor());
             EXPECT_TRUE(s.GetBgColorCtrl()->IsTransparent());
         }},
        {"background 0x", u"<background color=\"0x0000ff\"/>", WCEUI_STYLE_BG_COLOR,
         [](CWceUiStyle& s) {
             EXPECT_FALSE(s.GetBgColorCtrl()->IsTransparent());
             EXPECT_EQ(s.GetBgColorCtrl()->GetColor(), RGB(0, 0, 255));
         }},
        {"background id", u"<background color=\"title\"/>", WCEUI_STYLE_BG_COLOR,
         [](CWceUiStyle& s) { EXPECT_EQ(s.GetBgColorCtrl()->GetColor(), RGB(0, 255, 0)); }},
        {"background items",
         u"<background><img id=\"a/b.conf\" name=\"n\" common-index=\"-3\" src-rect=\"0,0,4,4\" "
         u"dst-rect=\"1,1,2,2\" "
         u"align=\"right\" valign=\"top\" zoom=\"TRUE\"/><other/></background>",
         WCEUI_STYLE_BG_ITEMS,
         [](CWceUiStyle& s) {
             CWceUiBgItemCtrl* pItems = s.GetBgItemCtrl();
             ASSERT_EQ(pItems->GetCount(), 2);
             CWceUiBgItem* pFirst = pItems->GetAt(0);
             EXPECT_EQ(std::u16string(pFirst->GetLoadBitmap()->GetBitmapID()), u"a/b.conf");
             EXPECT_EQ(std::u16string(pFirst->GetName()), u"n");
             EXPECT_EQ(pFirst->GetCommonIndex(), -3);
             RECT rc;
             pFirst->GetSrcRect(&rc);
             EXPECT_EQ(RectText(rc), u"0,0,4,4");
             pFirst->GetDstRect(&rc);
             EXPECT_EQ(RectText(rc), u"1,1,3,3");
             EXPECT_EQ(pFirst->GetAlign(), UINT(WCEUI_ALIGN_RIGHT));
             EXPECT_TRUE(pFirst->IsZoom());
             // An item without attributes: no bitmap, unbounded rectangles, centred, not zoomed.
             CWceUiBgItem* pSecond = pItems->GetAt(1);
             EXPECT_FALSE(pSecond->GetLoadBitmap()->IsFromRes());
             pSecond->GetSrcRect(&rc);
             EXPECT_TRUE(IsRectLarge(&rc));
             EXPECT_EQ(pSecond->GetAlign(), UINT(WCEUI_ALIGN_HCENTER | WCEUI_ALIGN_VCENTER));
             EXPECT_FALSE(pSecond->IsZoom());
         }},
        {"background without items", u"<background/>", 0,
         [](CWceUiStyle& s) { EXPECT_FALSE(s.GetBgColorCtrl()->IsHasBgColor()); }},
        {"alpha on", u"<filters><alpha enabled=\"true\" opacity=\"128\"/></filters>",
         WCEUI_STYLE_ALPHA_FILTER,
         [](CWceUiStyle& s) {
             EXPECT_TRUE(s.IsAlphaFilterEnabled());
             EXPECT_EQ(s.GetAlphaFilterOpacity(), 128);
         }},
        {"alpha on without opacity", u"<filters><alpha enabled=\"TRUE\"/></filters>",
         WCEUI_STYLE_ALPHA_FILTER, [](CWceUiStyle& s) { EXPECT_EQ(s.GetAlphaFilterOpacity(), 0); }},
        {"alpha given but off", u"<filters><alpha enabled=\"no\" opacity=\"200\"/></filters>",
         WCEUI_STYLE_ALPHA_FILTER,
         [](CWceUiStyle& s) {
             EXPECT_FALSE(s.IsAlphaFilterEnabled());
             EXPECT_EQ(s.GetAlphaFilterOpacity(), -1);
         }},
        // Opacity is read as the other numbers are: its leading number, 0 when it has none.
        {"opacity's leading number", u"<filters><alpha enabled=\"true\" opacity=\" 128abc\"/></filters>",
         WCEUI_STYLE_ALPHA_FILTER, [](CWceUiStyle& s) { EXPECT_EQ(s.GetAlphaFilterOpacity(), 128); }},
        {"opacity in hex is its leading 0",
         u"<filters><mixcolor enabled=\"true\" opacity=\"0x80\" color=\"0x102030\"/></filters>",
         WCEUI_STYLE_MIX_COLOR_FILTER,
         [](CWceUiStyle& s) {
             EXPECT_TRUE(s.GetMixColorFilterCtrl()->IsEnabled());
             EXPECT_EQ(s.GetMixColorFilterCtrl()->GetOpacity(), 0);
         }},
        // A filter that is off does not use its opacity, so any value will do.
        {"out of range but off",
         u"<filters><alpha opacity=\"-1\"/><mixcolor enabled=\"no\" opacity=\"999\"/></filters>",
         WCEUI_STYLE_ALPHA_FILTER | WCEUI_STYLE_MIX_COLOR_FILTER,
         [](CWceUiStyle& s) {
             EXPECT_FALSE(s.IsAlphaFilterEnabled());
             EXPECT_EQ(s.GetAlphaFilterOpacity(), -1);
             EXPECT_FALSE(s.GetMixColorFilterCtrl()->IsEnabled());
             EXPECT_EQ(s.GetMixColorFilterCtrl()->GetOpacity(), -1);
         }},
        {"mixcolor 0x", u"<filters><mixcolor enabled=\"true\" opacity=\"255\" color=\"0x102030\"/></filters>",
         WCEUI_STYLE_MIX_COLOR_FILTER,
         [](CWceUiStyle& s) {
             CWceUiMixColorFilterCtrl* p = s.GetMixColorFilterCtrl();
             EXPECT_TRUE(p->IsEnabled());
             EXPECT_EQ(p->GetOpacity(), 255);
             EXPECT_EQ(p->GetColor(), RGB(0x10, 0x20, 0x30));
         }},
        {"mixcolor id", u"<filters><mixcolor enabled=\"true\" color=\"mix\"/></filters>",
         WCEUI_STYLE_MIX_COLOR_FILTER,
         [](CWceUiStyle& s) { EXPECT_EQ(s.GetMixColorFilterCtrl()->GetColor(), RGB(1, 2, 3)); }},
        {"mixcolor without colour", u"<filters><mixcolor enabled=\"true\" opacity=\"9\"/></filters>",
         WCEUI_STYLE_MIX_COLOR_FILTER,
         [](CWceUiStyle& s) { EXPECT_EQ(s.GetMixColorFilterCtrl()->GetColor(), 0u); }},
        {"mixcolor off", u"<filters><mixcolor opacity=\"9\" color=\"0x102030\"/></filters>",
         WCEUI_STYLE_MIX_COLOR_FILTER,
         [](CWceUiStyle& s) {
             EXPECT_FALSE(s.GetMixColorFilterCtrl()->IsEnabled());
             EXPECT_EQ(s.GetMixColorFilterCtrl()->GetOpacity(), -1);
             EXPECT_EQ(s.GetMixColorFilterCtrl()->GetColor(), static_cast<COLORREF>(-1));
         }},
        {"adv-properties", u"<adv-properties no-draw=\"true\" no-input=\"TRUE\"/>",
         WCEUI_STYLE_NO_DRAW | WCEUI_STYLE_NO_INPUT,
         [](CWceUiStyle& s) {
             EXPECT_TRUE(s.IsNoDraw());
             EXPECT_TRUE(s.IsNoInput());
         }},
        {"element and attribute names ignore case",
         u"<POSITION RECT=\"1,1,1,1\"/><Adv-Properties No-Draw=\"x\"/>",
         WCEUI_STYLE_POSITION | WCEUI_STYLE_NO_DRAW,
         [](CWceUiStyle& s) {
             EXPECT_EQ(Position(s), u"1,1,2,2");
             EXPECT_FALSE(s.IsNoDraw());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Load(u"<s>" + c.body + u"</s>\r\n"));
        CWceUiStyle style;
        ASSERT_TRUE(m_file.GetStyleData(u"s", &style));
        EXPECT_EQ(style.GetSetFlags(), c.flags);
        c.check(style);
        EXPECT_TRUE(m_log.Messages().empty()) << testing::PrintToString(m_log.Messages());
    }
}

TEST_F(StyleFileTest, MalformedAttributesAreReportedAndFailTheStyleOrFallBack) {
    struct Case {
        std::u16string body;
        std::u16string message;
        bool fails;
        std::function<void(CWceUiStyle&)> check; // for the styles that load
    };
    const std::vector<Case> cases = {
        {u"<position rect=\"1,2,3\"/>", u"can not load style s, 1,2,3 is not a valid rect", true, nullptr},
        {u"<position rect=\"\"/>", u"can not load style s,  is not a valid rect", true, nullptr},
        {u"<text><drawtext rect=\"a\"/></text>", u"can not load style s, a is not a valid rect", true,
         nullptr},
        {u"<background><i src-rect=\"1\"/></background>", u"can not load style s, 1 is not a valid rect",
         true, nullptr},
        {u"<background><i dst-rect=\"x,y\"/></background>", u"can not load style s, x,y is not a valid rect",
         true, nullptr},
        {u"<filters><alpha enabled=\"true\" opacity=\"256\"/></filters>",
         u"can not load style s, 256 is not valid alpha value", true, nullptr},
        {u"<filters><alpha enabled=\"true\" opacity=\"-1\"/></filters>",
         u"can not load style s, -1 is not valid alpha value", true, nullptr},
        {u"<filters><alpha enabled=\"true\" opacity=\"99999999999\"/></filters>",
         u"can not load style s, 99999999999 is not valid alpha value", true, nullptr},
        {u"<filters><mixcolor enabled=\"true\" opacity=\"999\"/></filters>",
         u"can not load style s, 999 is not valid alpha value", true, nullptr},
        {u"<text><drawtext valign=\"middle\" align=\"centre\"/></text>",
         u"can not load style s, middle is not valid for valign", false,
         [](CWceUiStyle& s) { EXPECT_EQ(s.GetDrawTextCtrl()->GetFormat(), 0u); }},
        {u"<text><drawtext align=\"centre\"/></text>", u"can not load style s, centre is not valid for align",
         false, nullptr},
        {u"<background><i align=\"middle\" valign=\"left\"/></background>",
         u"can not load style s, middle is not valid for align", false,
         [](CWceUiStyle& s) {
             EXPECT_EQ(s.GetBgItemCtrl()->GetAt(0)->GetAlign(),
                       UINT(WCEUI_ALIGN_HCENTER | WCEUI_ALIGN_VCENTER));
         }},
        {u"<background><i valign=\"left\"/></background>",
         u"can not load style s, left is not valid for valign", false, nullptr},
        {u"<text color=\"\"/>", u"CWceUiStyle::SetTextColor,check(*pColorID)fail", false,
         [](CWceUiStyle& s) { EXPECT_EQ(s.GetTextColorValue(), 0u); }},
        {u"<text><font id=\"\"/></text>", u"CWceUiFontCtrl::SetFontFromRes,check(*pFontID)fail", false,
         [](CWceUiStyle& s) { EXPECT_FALSE(s.GetFontCtrl()->IsFromRes()); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.body.begin(), c.body.end()));
        ASSERT_TRUE(Load(u"<s>" + c.body + u"</s>\r\n"));
        CWceUiStyle style;
        style.SetTextResID(u"untouched");
        EXPECT_EQ(m_file.GetStyleData(u"s", &style), !c.fails);
        EXPECT_TRUE(m_log.Contains(c.message)) << testing::PrintToString(m_log.Messages());
        if (c.fails) {
            EXPECT_TRUE(m_log.Contains(u"can not load style s"));
            EXPECT_EQ(std::u16string(style.GetTextResID()), u"untouched");
            EXPECT_EQ(style.GetSetFlags(), 0u);
            EXPECT_EQ(m_file.GetCachedStyle(u"s"), nullptr);
        } else if (c.check) {
            c.check(style);
        }
    }
}

TEST_F(StyleFileTest, ADerivedStyleStartsFromItsBaseAndChangesOnlyWhatItNames) {
    ASSERT_TRUE(
        Load(u"<base><position rect=\"0,0,100,50\"/><text res-id=\"IDS_BASE\" color=\"0x00ff00\"/>"
             u"<background color=\"0x000001\"><a id=\"a.conf\"/><b id=\"b.conf\"/></background></base>\r\n"
             u"<moved overwrite=\"base\"><position way=\"relative\" rect=\"5,5,10,10\"/>"
             u"<background color=\"transparent\"/></moved>\r\n"
             u"<pictured overwrite=\"moved\"><background><c id=\"c.conf\"/></background>"
             u"<text><drawtext/></text></pictured>\r\n"));
    CWceUiStyle moved;
    ASSERT_TRUE(m_file.GetStyleData(u"moved", &moved));
    EXPECT_EQ(Position(moved), u"5,5,15,15");
    EXPECT_TRUE(moved.IsRelative());
    EXPECT_EQ(std::u16string(moved.GetTextResID()), u"IDS_BASE");
    EXPECT_EQ(moved.GetTextColorValue(), RGB(0, 255, 0));
    EXPECT_TRUE(moved.GetBgColorCtrl()->IsTransparent());
    ASSERT_EQ(moved.GetBgItemCtrl()->GetCount(), 2); // no items of its own: the base's stay
    EXPECT_EQ(std::u16string(moved.GetBgItemCtrl()->GetAt(1)->GetLoadBitmap()->GetBitmapID()), u"b.conf");
    EXPECT_EQ(moved.GetSetFlags(),
              UINT(WCEUI_STYLE_POSITION | WCEUI_STYLE_TEXT_RES_ID | WCEUI_STYLE_TEXT_COLOR |
                   WCEUI_STYLE_BG_COLOR | WCEUI_STYLE_BG_ITEMS));

    CWceUiStyle pictured;
    ASSERT_TRUE(m_file.GetStyleData(u"pictured", &pictured));
    ASSERT_EQ(pictured.GetBgItemCtrl()->GetCount(), 1); // items of its own replace all
    EXPECT_EQ(std::u16string(pictured.GetBgItemCtrl()->GetAt(0)->GetLoadBitmap()->GetBitmapID()), u"c.conf");
    EXPECT_TRUE(pictured.GetBgColorCtrl()->IsTransparent());
    EXPECT_EQ(Position(pictured), u"5,5,15,15");
    EXPECT_EQ(pictured.GetDrawTextCtrl()->GetFormat(), 0u);
    EXPECT_TRUE(m_log.Messages().empty());
    // The bases entered the cache on the way.
    EXPECT_NE(m_file.GetCachedStyle(u"base"), nullptr);
}

TEST_F(StyleFileTest, OverwriteNeedsAnEarlierStyleThatExists) {
    ASSERT_TRUE(Load(
        u"<early overwrite=\"late\"/>\r\n<self overwrite=\"self\"/>\r\n<late/>\r\n"
        u"<lost overwrite=\"nowhere\"/>\r\n<empty overwrite=\"\"/>\r\n<chained overwrite=\"early\"/>\r\n"));
    struct Case {
        LPCWSTR name;
        std::u16string message;
    } cases[] = {
        {u"early", u"style early can not overwrite late, not right order"},
        {u"self", u"style self can not overwrite self, not right order"},
        {u"lost", u"overwrite: can not find style nowhere"},
        {u"empty", u"overwrite: can not find style "},
        {u"chained", u"style early can not overwrite late, not right order"},
    };
    for (const Case& c : cases) {
        m_log.Clear();
        CWceUiStyle style;
        EXPECT_FALSE(m_file.GetStyleData(c.name, &style));
        EXPECT_TRUE(m_log.Contains(c.message)) << testing::PrintToString(m_log.Messages());
        EXPECT_TRUE(m_log.Contains(u"can not load style " + std::u16string(c.name)));
    }
    CWceUiStyle style;
    EXPECT_TRUE(m_file.GetStyleData(u"late", &style));
}

TEST_F(StyleFileTest, ALongChainOfBasesLoadsWithoutDeepRecursion) {
    std::u16string styles = u"<s0><text res-id=\"root\"/></s0>\r\n";
    const int nChain = 3000;
    for (int i = 1; i < nChain; ++i) {
        const std::string line = "<s" + std::to_string(i) + " overwrite=\"s" + std::to_string(i - 1) +
                                 "\"><position rect=\"" + std::to_string(i) + ",0,1,1\"/></s" +
                                 std::to_string(i) + ">\r\n";
        styles += std::u16string(line.begin(), line.end());
    }
    ASSERT_TRUE(Load(styles));
    CWceUiStyle style;
    ASSERT_TRUE(m_file.GetStyleData(u"s2999", &style));
    EXPECT_EQ(std::u16string(style.GetTextResID()), u"root");
    EXPECT_EQ(Position(style), u"2999,0,3000,1");
}

TEST_F(StyleFileTest, TheCacheServesCopiesOfOneParsedStyle) {
    ASSERT_TRUE(Load(u"<a><text res-id=\"A\"/></a>\r\n<A><text res-id=\"upper\"/></A>\r\n<a><text "
                     u"res-id=\"second\"/></a>\r\n"));
    EXPECT_EQ(m_file.GetStyleNameIndex(u"a"), 0);
    EXPECT_EQ(m_file.GetStyleNameIndex(u"A"), 1);
    EXPECT_EQ(m_file.GetStyleNameIndex(u"b"), -1);
    CWceUiStyle first, second, upper;
    ASSERT_TRUE(m_file.GetStyleData(u"a", &first));
    const CWceUiStyle* pCached = m_file.GetCachedStyle(u"a");
    ASSERT_NE(pCached, nullptr);
    ASSERT_TRUE(m_file.GetStyleData(u"a", &second));
    EXPECT_EQ(m_file.GetCachedStyle(u"a"), pCached); // not parsed again
    EXPECT_EQ(std::u16string(second.GetTextResID()), u"A");
    // Callers get copies: changing one changes neither the cache nor the other.
    first.SetTextResID(u"changed");
    EXPECT_EQ(std::u16string(pCached->GetTextResID()), u"A");
    ASSERT_TRUE(m_file.GetStyleData(u"A", &upper));
    EXPECT_EQ(std::u16string(upper.GetTextResID()), u"upper");

    EXPECT_EQ(m_file.ReadStyleFromFile(u"missing"), nullptr);
    EXPECT_TRUE(m_log.Contains(u"Load style missing failed, can not find"));
    // Loading again discards the cache.
    ASSERT_TRUE(Load(u"<a><text res-id=\"new\"/></a>\r\n"));
    EXPECT_EQ(m_file.GetCachedStyle(u"a"), nullptr);
    ASSERT_TRUE(m_file.GetStyleData(u"a", &second));
    EXPECT_EQ(std::u16string(second.GetTextResID()), u"new");
}

TEST_F(StyleFileTest, EveryNameOfABigFileIsFoundAtItsFirstElement) {
    // Names that share prefixes and differ only in case or in their last units, a repeated name, and
    // enough of them that any table behind the lookup has to grow.
    const int nCount = 5000;
    std::u16string styles;
    auto name = [](int i) {
        const std::string n = (i % 2 ? "Btn" : "btn") + std::to_string(i / 2);
        return std::u16string(n.begin(), n.end());
    };
    for (int i = 0; i < nCount; ++i) {
        styles += u'<';
        styles += name(i);
        styles += u"/>\r\n";
    }
    // Position nCount: a second btn7 that stands on btn8, which comes after the first btn7.
    styles += u"<btn7 overwrite=\"btn8\"><text res-id=\"again\"/></btn7>\r\n";
    ASSERT_TRUE(Load(styles));
    ASSERT_EQ(m_file.GetStyleCount(), nCount + 1);
    for (int i = 0; i < nCount; ++i) {
        ASSERT_EQ(m_file.GetStyleNameIndex(name(i).c_str()), i) << i;
    }
    EXPECT_EQ(m_file.GetStyleNameIndex(u"btn"), -1);
    EXPECT_EQ(m_file.GetStyleNameIndex(u"btn2500"), -1);
    EXPECT_EQ(m_file.GetStyleNameIndex(u"BTN7"), -1);

    // The repeat is judged at its own position: its base comes before it, though after the first btn7.
    CWceUiXmlElem* pRepeat = m_file.GetXmlDoc().GetFirstChild(
        m_file.GetXmlDoc().FindChildElem(m_file.GetXmlDoc().GetRootElem(), u"style"));
    for (int i = 0; i < nCount; ++i) {
        pRepeat = m_file.GetXmlDoc().GetNextSibling(pRepeat);
    }
    CWceUiStyle style;
    EXPECT_TRUE(m_file.LoadStyle(&style, pRepeat)) << testing::PrintToString(m_log.Messages());
    EXPECT_EQ(std::u16string(style.GetTextResID()), u"again");
}

TEST_F(StyleFileTest, AStyleReadAgainServesFromThenOnWhileTheEarlierStaysValid) {
    ASSERT_TRUE(Load(u"<a><text res-id=\"A\"/></a>\r\n"));
    const CWceUiStyle* pFirst = m_file.ReadStyleFromFile(u"a");
    ASSERT_NE(pFirst, nullptr);
    const CWceUiStyle* pSecond = m_file.ReadStyleFromFile(u"a");
    ASSERT_NE(pSecond, nullptr);
    EXPECT_NE(pSecond, pFirst);
    EXPECT_EQ(m_file.GetCachedStyle(u"a"), pSecond);
    // Still readable (a freed one would be caught by the sanitizers).
    EXPECT_EQ(std::u16string(pFirst->GetTextResID()), u"A");
}

TEST_F(StyleFileTest, FilesThatCannotServeStylesSayWhy) {
    CWceUiStyle style;
    EXPECT_FALSE(m_file.GetStyleData(u"a", &style));
    EXPECT_TRUE(m_log.Contains(u"CFhStyleFile::GetStyleData,check(IsLoaded())fail"));
    EXPECT_FALSE(m_file.LoadStyleFile(u"\\wnd\\none.style.xml"));
    EXPECT_TRUE(m_log.Contains(u"CFhStyleFile::LoadStyleFile load xml file \\wnd\\none.style.xml failed"));
    EXPECT_FALSE(m_file.IsLoaded());

    // No "style" element: loaded, without styles.
    WriteText(u"\\wnd\\bare.style.xml", u"<dlg><animate/></dlg>");
    ASSERT_TRUE(m_file.LoadStyleFile(u"\\wnd\\bare.style.xml"));
    EXPECT_EQ(m_file.GetStyleCount(), 0);
    m_log.Clear();
    EXPECT_FALSE(m_file.GetStyleData(u"a", &style));
    EXPECT_TRUE(m_log.Contains(u"Load style a failed, can not find"));
    EXPECT_FALSE(m_file.GetStyleData(u"", &style));
    EXPECT_TRUE(m_log.Contains(u"CFhStyleFile::GetStyleData,check(*pStyleName)fail"));
    EXPECT_EQ(m_file.GetStyleNameIndex(nullptr), -1);
    EXPECT_TRUE(m_log.Contains(u"CFhStyleFile::GetStyleNameIndex,check(NULL != pStyleName)fail"));
}

namespace {

// Records what a style asks of the layer it stands for, and stores it back as a layer does.
class RecordingLayer : public CWceUiStyleOwner {
public:
    explicit RecordingLayer(CWceUiStyle* pStyle) : m_pStyle(pStyle) {}
    void OnStyleSetPosition(LPCRECT lpRect, BOOL bRelative) override {
        m_calls.push_back(u"position " + RectText(*lpRect));
        m_pStyle->StorePosition(lpRect, bRelative);
    }
    void OnStyleSetVisible(BOOL b) override { Record(u"visible", b, &CWceUiStyle::StoreVisible); }
    void OnStyleSetEnabled(BOOL b) override { Record(u"enabled", b, &CWceUiStyle::StoreEnabled); }
    void OnStyleSetContainer(BOOL b) override { Record(u"container", b, &CWceUiStyle::StoreContainer); }
    void OnStyleSetNoDraw(BOOL b) override { Record(u"no-draw", b, &CWceUiStyle::StoreNoDraw); }
    void OnStyleSetNoInput(BOOL b) override { Record(u"no-input", b, &CWceUiStyle::StoreNoInput); }

    std::vector<std::u16string> m_calls;

private:
    void Record(const std::u16string& what, BOOL b, void (CWceUiStyle::*store)(BOOL)) {
        m_calls.push_back(what + (b ? u" 1" : u" 0"));
        (m_pStyle->*store)(b);
    }
    CWceUiStyle* m_pStyle;
};

} // namespace

TEST_F(StyleFileTest, ACopyIntoAStyleWithALayerGoesThroughTheLayer) {
    ASSERT_TRUE(Load(u"<s><position rect=\"1,2,3,4\"/><layout visibility=\"false\"/>"
                     u"<adv-properties no-input=\"true\"/></s>\r\n"));
    CWceUiStyle style;
    RecordingLayer layer(&style);
    style.AttachLayer(&layer);
    ASSERT_TRUE(m_file.GetStyleData(u"s", &style));
    EXPECT_EQ(layer.m_calls, (std::vector<std::u16string>{u"position 1,2,4,6", u"visible 0", u"enabled 1",
                                                          u"container 0", u"no-draw 0", u"no-input 1"}));
    EXPECT_FALSE(style.IsVisible());
    EXPECT_TRUE(style.IsNoInput());
    EXPECT_EQ(Position(style), u"1,2,4,6");
}

TEST_F(StyleFileTest, CombineTakesEachGroupFromThePreferredStyleWhereItIsSet) {
    ASSERT_TRUE(Load(u"<own><text res-id=\"OWN\"/><layout visibility=\"false\"/>"
                     u"<background color=\"0x0000ff\"><x id=\"own.conf\"/></background></own>\r\n"
                     u"<loaded><position rect=\"1,1,1,1\"/><text res-id=\"LOADED\" color=\"0x00ff00\"/>"
                     u"<background color=\"0xff0000\"><y id=\"loaded.conf\"/><z/></background>"
                     u"<filters><alpha enabled=\"true\" opacity=\"7\"/></filters></loaded>\r\n"));
    CWceUiStyle own, loaded, effective;
    ASSERT_TRUE(m_file.GetStyleData(u"own", &own));
    ASSERT_TRUE(m_file.GetStyleData(u"loaded", &loaded));
    ASSERT_TRUE(effective.Combine(own, loaded));
    EXPECT_EQ(std::u16string(effective.GetTextResID()), u"OWN");
    EXPECT_FALSE(effective.IsVisible());
    EXPECT_EQ(effective.GetBgColorCtrl()->GetColor(), RGB(0, 0, 255));
    EXPECT_EQ(effective.GetTextColorValue(), RGB(0, 255, 0));
    EXPECT_EQ(Position(effective), u"1,1,2,2");
    EXPECT_EQ(effective.GetAlphaFilterOpacity(), 7);
    // Items always come from the fallback, and so do the set flags.
    ASSERT_EQ(effective.GetBgItemCtrl()->GetCount(), 2);
    EXPECT_EQ(std::u16string(effective.GetBgItemCtrl()->GetAt(0)->GetLoadBitmap()->GetBitmapID()),
              u"loaded.conf");
    EXPECT_EQ(effective.GetSetFlags(), loaded.GetSetFlags());
    // Combining into one of the two styles works as well.
    ASSERT_TRUE(loaded.Combine(own, loaded));
    EXPECT_EQ(std::u16string(loaded.GetTextResID()), u"OWN");
    EXPECT_EQ(loaded.GetBgItemCtrl()->GetCount(), 2);
}

TEST_F(StyleFileTest, AnimationsAreMadeFromTheirElementsByClassName) {
    ASSERT_TRUE(
        Load(u"<s/>\r\n",
             u"<animate>\r\n"
             u"<open type=\"CWceUiSliderAni\" direction=\"up\" frame-count=\"5\" rect=\"0,0,8,4\"/>\r\n"
             u"<fade type=\"CWceUiBlendAni\"/>\r\n"
             u"<untyped/>\r\n"
             u"<bogus type=\"CNoSuchAni\"/>\r\n"
             u"<bitmap type=\"CWceUi565Bitmap\"/>\r\n"
             u"<base type=\"CWceUiWndAnimate\"/>\r\n"
             u"<wrong type=\"CWceUiBarnAni\" direction=\"sideways\"/>\r\n"
             u"</animate>\r\n"));
    std::unique_ptr<CWceUiWndAnimate> pOpen(m_file.GetWndAnimate(u"open"));
    ASSERT_NE(pOpen, nullptr);
    EXPECT_TRUE(pOpen->IsKindOf(u"CWceUiSliderAni"));
    EXPECT_EQ(std::u16string(pOpen->GetName()), u"open");
    EXPECT_EQ(pOpen->GetFrameCount(), 5);
    RECT rc;
    pOpen->GetRect(&rc);
    EXPECT_EQ(RectText(rc), u"0,0,8,4");
    std::unique_ptr<CWceUiWndAnimate> pFade(m_file.GetWndAnimate(u"FADE")); // item names ignore case
    ASSERT_NE(pFade, nullptr);
    EXPECT_EQ(std::u16string(pFade->GetName()), u"FADE");
    EXPECT_TRUE(m_file.DoesHaveAnimate(u"open"));
    EXPECT_TRUE(m_log.Messages().empty());
    EXPECT_FALSE(m_file.DoesHaveAnimate(u"close"));
    EXPECT_TRUE(m_log.Messages().empty()); // asking whether one exists says nothing

    struct Case {
        LPCWSTR name;
        std::u16string message;
    } cases[] = {
        {u"close", u"Can not load close element  in style file"},
        {u"untyped", u"Load animate untyped failed, can not find type attribute"},
        {u"bogus", u"Load animate bogus failed, can not create object from type: CNoSuchAni"},
        {u"bitmap",
         u"Load animate bitmap failed, the type CWceUi565Bitmap is not a kind of CWceUiWndAnimate"},
        {u"base", u"Load animate base failed, can not create object from type: CWceUiWndAnimate"},
        {u"wrong", u"Load animate wrong failed, call pNewAnimate->Init failed"},
    };
    for (const Case& c : cases) {
        m_log.Clear();
        EXPECT_EQ(m_file.GetWndAnimate(c.name), nullptr);
        EXPECT_TRUE(m_log.Contains(c.message)) << testing::PrintToString(m_log.Messages());
    }
    m_log.Clear();
    EXPECT_EQ(m_file.GetWndAnimate(u"close"), nullptr);
    EXPECT_TRUE(m_log.Contains(u"Can not load animate item close"));

    // Without an "animate" element, or without a file.
    ASSERT_TRUE(Load(u"<s/>\r\n"));
    EXPECT_EQ(m_file.GetAnimateElem(u"open"), nullptr);
    EXPECT_TRUE(m_log.Contains(u"Can not load animate element in style file"));
    CFhStyleFile empty;
    EXPECT_EQ(empty.GetWndAnimate(u"open"), nullptr);
    EXPECT_TRUE(m_log.Contains(u"CFhStyleFile::GetWndAnimate failed, the xml file is not loaded"));
    EXPECT_FALSE(empty.DoesHaveAnimate(u"open"));
    EXPECT_TRUE(m_log.Contains(u"CFhStyleFile::DoesHaveAnimate,check(IsLoaded())fail"));
}
