// Layer drawing on small 565 and 32-bit window bitmaps, compared pixel by pixel with pictures made by
// the bitmap operations themselves.
#include "UiTestSupport.h"

#include "bitmap/BitmapTestUtil.h"
#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUiDrawTextCtrl.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/style/WceUiBgItem.h"
#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/style/WceUiLoadFont.h"
#include "wceui/ui/WceUiLayerDraw.h"
#include "platform/Platform.h"
#include "platform/text/WinText.h"

#include <memory>

using uitest::LayerTest;

namespace {

const int kW = 8;
const int kH = 6;

DWORD Encode(int nBits, COLORREF cr) {
    const DWORD r = GetRValue(cr), g = GetGValue(cr), b = GetBValue(cr);
    if (16 == nBits) {
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    }
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

DWORD Pixel(const CWceUiGenericBitmap& bmp, int x, int y) {
    return 16 == bmp.GetBitsPixel() ? bmptest::At565(bmp, x, y) : bmptest::At32(bmp, x, y) & 0xFFFFFF;
}

class LayerDrawTest : public LayerTest, public ::testing::WithParamInterface<int> {
protected:
    int Bits() const { return GetParam(); }

    // The screen has the test's depth: skin images of another depth would be converted as they load.
    void SetUp() override {
        PlatformSetScreen(800, 480, Bits());
        CFhGlobalData::Instance().ForgetScreenMetrics();
        LayerTest::SetUp();
    }
    void TearDown() override {
        LayerTest::TearDown();
        PlatformSetScreen(800, 480, 16);
        CFhGlobalData::Instance().ForgetScreenMetrics();
    }

    std::unique_ptr<CWceUiGenericBitmap> NewWindowBitmap(COLORREF crFill) {
        std::unique_ptr<CWceUiGenericBitmap> p(WceUiCreateBitmapObject(Bits()));
        EXPECT_TRUE(p && p->CreateDIB(kW, kH));
        p->FillColor(crFill);
        return p;
    }

    // "\res\bitmap\<name>.conf" with a bitmap of the test's depth; pixels top row first. alpha >= 0
    // gives every pixel that alpha (0..255), as a plane beside 565 files or in the 32-bit pixels.
    void WriteImage(const std::u16string& name, int w, int h, const std::vector<COLORREF>& pixels,
                    const std::u16string& confExtra = u"", int alpha = -1) {
        const std::u16string bmp = u"\\res\\bitmap\\" + name + u".bmp";
        testsupport::MakeHostFolders(std::filesystem::path(HostPath(bmp.c_str())).parent_path().string());
        const int stride = bmptest::Stride(w, Bits());
        if (16 == Bits()) {
            std::vector<WORD> rows(static_cast<size_t>(stride) * h, 0);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    rows[bmptest::Index(x, y, w, h, 16)] = static_cast<WORD>(Encode(16, pixels[y * w + x]));
                }
            }
            ASSERT_TRUE(Save565BmpFile(bmp.c_str(), rows.data(), w, h));
            if (alpha >= 0) {
                const std::string plane(FhGetAlphaPlaneLen(w, h), static_cast<char>(alpha * 63 / 255));
                testsupport::WriteHostFile(HostPath((u"\\res\\bitmap\\" + name + u".alpha").c_str()), plane);
            }
        } else {
            std::vector<DWORD> rows(static_cast<size_t>(w) * h, 0);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    DWORD v = Encode(32, pixels[y * w + x]);
                    if (alpha >= 0) {
                        v = (v & 0xFFFFFF) | (static_cast<DWORD>(alpha) << 24);
                    }
                    rows[bmptest::Index(x, y, w, h, 32)] = v;
                }
            }
            ASSERT_TRUE(Save32BmpFile(bmp.c_str(), rows.data(), w, h));
        }
        std::u16string conf = u"src=" + name + u".bmp\r\n";
        if (alpha >= 0) {
            conf += u"pa=true\r\n";
        }
        WriteText((u"\\res\\bitmap\\" + name + u".conf").c_str(), conf + confExtra);
    }

    // A dialog covering the window in blue with one layer "t" of the given style body.
    CWceUiDlg* OpenWithLayer(const std::u16string& layerStyle, const std::u16string& layerAttrs = u"") {
        WriteDialog(u"CWceUiDlg",
                    u"<dlg><body style=\"dlg\"><l type=\"CWceUiLayer\" name=\"t\" style=\"t\" " + layerAttrs +
                        u"/></body></dlg>",
                    u"<dlg><style><dlg><position rect=\"0,0,8,6\"/><background color=\"0x0000FF\"/></dlg>"
                    u"<t>" +
                        layerStyle + u"</t></style></dlg>");
        return Open(u"CWceUiDlg");
    }

    std::unique_ptr<CWceUiGenericBitmap> Draw(COLORREF crWindow = RGB(0, 0, 0)) {
        auto pWnd = NewWindowBitmap(crWindow);
        RECT rc = {0, 0, kW, kH};
        EXPECT_TRUE(m_ctrl->Draw(pWnd.get(), &rc));
        return pWnd;
    }

    void ExpectSame(const CWceUiGenericBitmap& actual, const CWceUiGenericBitmap& expected) {
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                ASSERT_EQ(Pixel(actual, x, y), Pixel(expected, x, y)) << "at " << x << "," << y;
            }
        }
    }

    // The expected picture: the blue dialog, then whatever the test adds.
    std::unique_ptr<CWceUiGenericBitmap> Expected() { return NewWindowBitmap(RGB(0, 0, 255)); }

    // The bitmap of an identifier as the layer gets it.
    CWceUiGenericBitmap* Image(CWceUiLoadBitmap& handle, LPCWSTR pId) {
        handle.SetBitmapFromRes(pId);
        return handle.GetBitmap();
    }
};

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kGreen = RGB(0, 255, 0);
const COLORREF kMagenta = RGB(255, 0, 255);
const COLORREF kWhite = RGB(255, 255, 255);

} // namespace

TEST_P(LayerDrawTest, BackgroundColourFillsTheLayerAndTransparentShowsWhatIsBelow) {
    ASSERT_NE(OpenWithLayer(u"<position way=\"relative\" rect=\"2,1,4,3\"/><background color=\"0xFF0000\"/>"),
              nullptr);
    auto pExpected = Expected();
    pExpected->FillColor(kRed, uitest::R({2, 1, 6, 4}));
    ExpectSame(*Draw(), *pExpected);

    CWceUiLayer* pT = m_ctrl->RootLayer()->GetLastChild()->GetChildByName(u"t");
    pT->GetStyle()->GetBgColorCtrl()->SetTransparent();
    ExpectSame(*Draw(), *Expected());
    EXPECT_TRUE(pT->IsSeeThrough());
}

TEST_P(LayerDrawTest, ImagesAreAlignedStretchedAndClippedToTheLayer) {
    WriteImage(u"g", 2, 2, {kGreen, kGreen, kGreen, kGreen});
    WriteImage(u"w", 2, 1, {kWhite, kRed});
    ASSERT_NE(OpenWithLayer(u"<position rect=\"1,1,6,4\"/><background>"
                            u"<i id=\"g.conf\" align=\"right\" valign=\"bottom\"/>"
                            u"<i id=\"w.conf\" dst-rect=\"0,0,4,1\" zoom=\"true\"/>"
                            u"<i id=\"w.conf\" dst-rect=\"0,2,9,9\" src-rect=\"1,0,1,1\" align=\"left\" "
                            u"valign=\"top\"/>"
                            u"<i id=\"g.conf\" dst-rect=\"5,3,3,3\" align=\"left\" valign=\"top\"/>"
                            u"<i id=\"missing.conf\"/>"
                            u"</background>"),
              nullptr);
    auto pExpected = Expected();
    pExpected->FillColor(kGreen, uitest::R({5, 3, 7, 5})); // right, bottom in (1,1)-(7,5)
    pExpected->FillColor(kWhite, uitest::R({1, 1, 3, 2})); // 2x1 stretched to 4x1
    pExpected->FillColor(kRed, uitest::R({3, 1, 5, 2}));
    pExpected->FillColor(kRed, uitest::R({1, 3, 2, 4}));   // the source part (1,0,1,1) at the top left
    pExpected->FillColor(kGreen, uitest::R({6, 4, 7, 5})); // the client rectangle clips the last image
    ExpectSame(*Draw(), *pExpected);
}

TEST_P(LayerDrawTest, TransparentColourConstantAndPerPixelAlphaTakeTheirOwnWay) {
    WriteImage(u"tc", 3, 1, {kRed, kMagenta, kRed}, u"tc=ff00ff\r\n");
    WriteImage(u"ca", 2, 1, {kWhite, kWhite}, u"ca=128\r\n");
    WriteImage(u"opaque", 2, 1, {kGreen, kGreen}, u"", 255);
    WriteImage(u"clear", 2, 1, {RGB(0, 0, 0), RGB(0, 0, 0)}, u"", 0);
    ASSERT_NE(OpenWithLayer(u"<position rect=\"0,0,8,6\"/><background color=\"0x0000FF\">"
                            u"<i id=\"tc.conf\" dst-rect=\"0,0,3,1\"/>"
                            u"<i id=\"ca.conf\" dst-rect=\"0,1,8,1\" align=\"left\" zoom=\"true\"/>"
                            u"<i id=\"opaque.conf\" dst-rect=\"0,2,2,1\" zoom=\"true\"/>"
                            u"<i id=\"clear.conf\" dst-rect=\"0,3,2,1\"/>"
                            u"<i id=\"tc.conf\" dst-rect=\"0,4,6,2\" zoom=\"true\"/>"
                            u"</background>"),
              nullptr);
    auto pExpected = Expected();
    CWceUiLoadBitmap ca;
    CWceUiGenericBitmap* pCa = Image(ca, u"ca.conf");
    ASSERT_NE(pCa, nullptr);
    pExpected->FillColor(kRed, uitest::R({0, 0, 1, 1}));
    pExpected->FillColor(kRed, uitest::R({2, 0, 3, 1}));
    // Constant alpha is never stretched: the 2x1 image blends once at the left.
    ASSERT_TRUE(pExpected->AlphaBlend(0, 1, 2, 1, pCa, 0, 0, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0}));
    pExpected->FillColor(kGreen, uitest::R({0, 2, 2, 3}));
    // A fully transparent image leaves the blue as the blend leaves it.
    CWceUiLoadBitmap clear;
    CWceUiGenericBitmap* pClear = Image(clear, u"clear.conf");
    ASSERT_NE(pClear, nullptr);
    ASSERT_TRUE(
        pExpected->AlphaBlend(0, 3, 2, 1, pClear, 0, 0, BLENDFUNCTION{AC_SRC_OVER, 0, 0, AC_SRC_ALPHA}));
    // The transparent colour stretches: 3x1 onto 6x2, the middle third shows the blue.
    pExpected->FillColor(kRed, uitest::R({0, 4, 2, 6}));
    pExpected->FillColor(kRed, uitest::R({4, 4, 6, 6}));
    ExpectSame(*Draw(), *pExpected);
    EXPECT_NE(Pixel(*pExpected, 0, 1), Pixel(*pExpected, 3, 1)); // the blend did change something

    CWceUiLayer* pT = m_ctrl->RootLayer()->GetLastChild()->GetChildByName(u"t");
    EXPECT_TRUE(pT->IsSeeThrough());
}

TEST_P(LayerDrawTest, AlphaAndMixColourFiltersBlendTheWholeLayer) {
    ASSERT_NE(OpenWithLayer(u"<position rect=\"1,1,4,3\"/><background color=\"0xFF0000\"/>"
                            u"<filters><alpha enabled=\"true\" opacity=\"128\"/></filters>"),
              nullptr);
    auto pRed = NewWindowBitmap(kRed);
    auto pExpected = Expected();
    ASSERT_TRUE(pExpected->AlphaBlend(1, 1, 4, 3, pRed.get(), 0, 0, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0}));
    ExpectSame(*Draw(), *pExpected);
    EXPECT_NE(Pixel(*pExpected, 1, 1), Pixel(*pExpected, 0, 0));

    CWceUiLayer* pT = m_ctrl->RootLayer()->GetLastChild()->GetChildByName(u"t");
    EXPECT_TRUE(pT->IsSeeThrough());
    // Grown and shrunk, the layer blends through a layer bitmap of its new size each time.
    pT->MoveLayer(uitest::R({0, 1, 7, 6}), FALSE);
    pExpected = Expected();
    ASSERT_TRUE(pExpected->AlphaBlend(0, 1, 7, 5, pRed.get(), 0, 0, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0}));
    ExpectSame(*Draw(), *pExpected);
    pT->MoveLayer(uitest::R({2, 2, 4, 3}), FALSE);
    pExpected = Expected();
    ASSERT_TRUE(pExpected->AlphaBlend(2, 2, 2, 1, pRed.get(), 0, 0, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0}));
    ExpectSame(*Draw(), *pExpected);
    pT->MoveLayer(uitest::R({1, 1, 5, 4}), FALSE);
    pT->GetStyle()->SetAlphaFilter(TRUE, 0);
    ExpectSame(*Draw(), *Expected());

    pT->GetStyle()->SetAlphaFilter(FALSE, -1);
    EXPECT_FALSE(pT->IsSeeThrough());
    pT->GetStyle()->GetMixColorFilterCtrl()->SetColor(kGreen);
    pT->GetStyle()->GetMixColorFilterCtrl()->SetFilter(TRUE, 128);
    pExpected = Expected();
    pExpected->FillColor(kRed, uitest::R({1, 1, 5, 4}));
    ASSERT_TRUE(pExpected->MixColor(1, 1, 4, 3, kGreen, 128));
    ExpectSame(*Draw(), *pExpected);
    EXPECT_NE(Pixel(*pExpected, 1, 1), Encode(Bits(), kRed) & 0xFFFFFF);
}

TEST_P(LayerDrawTest, LayersPartlyOrWhollyOutsideTheWindowDrawOnlyTheirInside) {
    WriteImage(u"g", 2, 2, {kGreen, kGreen, kGreen, kGreen});
    ASSERT_NE(
        OpenWithLayer(u"<position rect=\"-3,-2,5,4\"/><background color=\"0xFF0000\">"
                      u"<i id=\"g.conf\" align=\"left\" valign=\"top\"/></background>"
                      u"<filters><mixcolor enabled=\"true\" opacity=\"255\" color=\"0xFFFFFF\"/></filters>"),
        nullptr);
    auto pExpected = Expected();
    pExpected->FillColor(kWhite, uitest::R({0, 0, 2, 2}));
    ExpectSame(*Draw(), *pExpected);

    CWceUiLayer* pT = m_ctrl->RootLayer()->GetLastChild()->GetChildByName(u"t");
    pT->GetStyle()->SetAlphaFilter(TRUE, 255);
    pT->MoveLayer(uitest::R({6, 4, 30, 30}), FALSE);
    pExpected = Expected();
    pExpected->FillColor(kWhite, uitest::R({6, 4, 8, 6}));
    ExpectSame(*Draw(), *pExpected);

    pT->MoveLayer(uitest::R({100, 100, 120, 120}), FALSE);
    ExpectSame(*Draw(), *Expected());
}

TEST_P(LayerDrawTest, APartialRepaintChangesOnlyTheDirtyRectangle) {
    ASSERT_NE(OpenWithLayer(u"<position rect=\"2,1,4,3\"/><background color=\"0xFF0000\"/>"), nullptr);
    auto pWnd = NewWindowBitmap(RGB(0, 0, 0));
    RECT rc = {0, 0, kW, kH};
    ASSERT_TRUE(m_ctrl->Draw(pWnd.get(), &rc));
    // The dialog below is repainted for a rectangle that cuts through the layer: the layer's part
    // outside it stays, and so does the rest of the window.
    CWceUiLayer* pT = m_ctrl->RootLayer()->GetLastChild()->GetChildByName(u"t");
    pT->GetStyle()->GetBgColorCtrl()->SetColor(kGreen);
    rc = {0, 0, 3, 6};
    ASSERT_TRUE(m_ctrl->Draw(pWnd.get(), &rc));
    auto pExpected = Expected();
    pExpected->FillColor(kRed, uitest::R({3, 1, 6, 4}));
    pExpected->FillColor(kGreen, uitest::R({2, 1, 3, 4}));
    ExpectSame(*pWnd, *pExpected);
}

TEST_P(LayerDrawTest, TextIsDrawnInItsRectangleWithTheEllipsisAndWordBreakRules) {
    const int w = 72, h = 40;
    WriteDialog(u"CWceUiDlg",
                u"<dlg><body style=\"dlg\"><l type=\"CWceUiLayer\" name=\"t\" style=\"t\"/></body></dlg>",
                u"<dlg><style><dlg><position rect=\"0,0,72,40\"/><background color=\"0x0000FF\"/></dlg>"
                u"<t><position rect=\"4,2,64,36\"/><background color=\"transparent\"/>"
                u"<text color=\"0xFFFFFF\"><drawtext rect=\"2,2,90,30\" multiline=\"true\" align=\"left\" "
                u"valign=\"top\"/></text></t></style></dlg>");
    CWceUiDlg* pDlg = Open(u"CWceUiDlg");
    ASSERT_NE(pDlg, nullptr);
    CWceUiLayer* pT = pDlg->GetChildByName(u"t");
    const LPCWSTR pText = u"Wrapping words across lines of a narrow label";
    pT->SetText(pText);

    auto draw = [&] {
        std::unique_ptr<CWceUiGenericBitmap> p(WceUiCreateBitmapObject(Bits()));
        EXPECT_TRUE(p->CreateDIB(w, h));
        RECT rc = {0, 0, w, h};
        EXPECT_TRUE(m_ctrl->Draw(p.get(), &rc));
        return p;
    };
    // The same text through the platform: the text rectangle clipped to the layer, in window
    // coordinates, with the flags the layer adds.
    auto expected = [&](UINT uFormat) {
        std::unique_ptr<CWceUiGenericBitmap> p(WceUiCreateBitmapObject(Bits()));
        EXPECT_TRUE(p->CreateDIB(w, h));
        p->FillColor(RGB(0, 0, 255));
        LPVOID pBits = nullptr;
        HDC hdc = CreateCompatibleDC(NULL);
        HGDIOBJ hOldBmp = SelectObject(hdc, p->GetHBitmap(&pBits));
        HGDIOBJ hOldFont = SelectObject(hdc, pT->GetStyle()->GetFontCtrl()->GetFont());
        SetBkMode(hdc, TRANSPARENT);
        SetTextColor(hdc, RGB(255, 255, 255));
        RECT rcText = {6, 4, 68, 34};
        DrawTextW(hdc, pText, -1, &rcText, uFormat);
        SelectObject(hdc, hOldFont);
        SelectObject(hdc, hOldBmp);
        DeleteDC(hdc);
        p->ReleaseHBitmap();
        return p;
    };
    auto compare = [&](const CWceUiGenericBitmap& a, const CWceUiGenericBitmap& b) {
        int nDiffer = 0;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                nDiffer += Pixel(a, x, y) != Pixel(b, x, y);
            }
        }
        return nDiffer;
    };
    auto pWrapped = draw();
    EXPECT_EQ(compare(*pWrapped, *expected(DT_LEFT | DT_TOP | DT_WORDBREAK | DT_END_ELLIPSIS)), 0);
    // Something was drawn, and on more than one line.
    auto pBlue = expected(DT_CALCRECT);
    EXPECT_GT(compare(*pWrapped, *pBlue), 20);
    bool bLowerLine = false;
    for (int x = 0; x < w; ++x) {
        bLowerLine = bLowerLine || Pixel(*pWrapped, x, 25) != Pixel(*pBlue, x, 25);
    }
    EXPECT_TRUE(bLowerLine);

    // A single line gets no word break: the text ends in an ellipsis on the first line.
    pT->GetStyle()->GetDrawTextCtrl()->SetFormat(DT_SINGLELINE);
    auto pSingle = draw();
    EXPECT_EQ(compare(*pSingle, *expected(DT_SINGLELINE | DT_END_ELLIPSIS)), 0);
    EXPECT_GT(compare(*pSingle, *pWrapped), 0);
}

INSTANTIATE_TEST_SUITE_P(Depths, LayerDrawTest, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == 16 ? std::string("Rgb565") : std::string("Rgb32");
                         });

TEST(LayerDrawRules, CommonIndexPlacesOwnItemsAmongTheStyles) {
    CWceUiBgItemCtrl style;
    CWceUiBgItem item;
    for (LPCWSTR pName : {u"s1", u"s2", u"s3"}) {
        item.SetName(pName);
        style.AddItem(item);
    }
    struct Case {
        int nIndex;
        std::vector<std::u16string> expected;
    };
    for (const Case& c : std::vector<Case>{{0, {u"own", u"s1", u"s2", u"s3"}},
                                           {1, {u"s1", u"own", u"s2", u"s3"}},
                                           {-1, {u"s1", u"s2", u"own", u"s3"}},
                                           {99, {u"s1", u"s2", u"s3", u"own"}},
                                           {-7, {u"own", u"s1", u"s2", u"s3"}}}) {
        CWceUiBgItemCtrl own;
        item.SetName(u"own");
        item.SetCommonIndex(c.nIndex);
        own.AddItem(item);
        std::vector<CWceUiBgItem*> merged;
        WceUiMergeBgItems(&style, &own, merged);
        std::vector<std::u16string> names;
        for (CWceUiBgItem* p : merged) {
            names.push_back(p->GetName());
        }
        EXPECT_EQ(names, c.expected) << "common-index " << c.nIndex;
    }
}

TEST(LayerDrawRules, TextAlwaysEndsWithAnEllipsisAndBreaksWordsUnlessSingleLine) {
    EXPECT_EQ(WceUiLayerTextFormat(DT_CENTER | DT_VCENTER | DT_SINGLELINE),
              (UINT)(DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS));
    EXPECT_EQ(WceUiLayerTextFormat(DT_RIGHT), (UINT)(DT_RIGHT | DT_WORDBREAK | DT_END_ELLIPSIS));
}
