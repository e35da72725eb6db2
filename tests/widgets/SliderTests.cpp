// The slider's pixel mapping, its range and position rules, the notifications the pen makes, and its
// three-bitmap drawing on small 565 and 32-bit window bitmaps.
#include "WidgetTestSupport.h"

#include "bitmap/BitmapTestUtil.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/widgets/WceUiSlider.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <string>

using widgettest::Posted;
using widgettest::WidgetTest;

namespace {

// A bitmap of one colour; with bAlphaColumn0 it gets per-pixel alpha: column 0 fully transparent
// (and black, as premultiplied colour must be), every other column opaque.
std::unique_ptr<CWceUiGenericBitmap> Solid(int nBits, int w, int h, COLORREF cr, bool bAlphaColumn0 = false) {
    std::unique_ptr<CWceUiGenericBitmap> p(WceUiCreateBitmapObject(nBits));
    EXPECT_TRUE(p && p->CreateDIB(w, h));
    p->FillColor(cr);
    if (bAlphaColumn0) {
        const RECT rc0 = {0, 0, 1, h};
        p->FillColor(RGB(0, 0, 0), &rc0);
        EXPECT_TRUE(p->SetPerPixelAlpha(TRUE));
        if (16 == nBits) {
            BYTE* pPlane = const_cast<BYTE*>(static_cast<CWceUi565Bitmap*>(p.get())->GetAlphaPlane());
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    pPlane[y * w + x] = x == 0 ? 0 : 63;
                }
            }
        } else {
            LPVOID pBits = nullptr;
            EXPECT_NE(nullptr, p->GetHBitmap(&pBits));
            DWORD* pPix = static_cast<DWORD*>(pBits);
            for (int i = 0; i < w * h; ++i) {
                pPix[i] = (i % w) == 0 ? 0u : (pPix[i] | 0xFF000000u);
            }
            p->ReleaseHBitmap();
        }
    }
    return p;
}

class SliderTest : public WidgetTest {
protected:
    // A slider at window (x, y, x + w, y + h) in a dialog covering the window.
    CWceUiSlider* MakeSlider(int x, int y, int w, int h) {
        CWceUiDlg* pDlg = NewDlg(RECT{0, 0, 320, 240});
        CWceUiLayer* p = m_ctrl->CreateLayer(pDlg, u"CWceUiSlider", u"s");
        EXPECT_TRUE(p && p->IsKindOf(u"CWceUiSlider"));
        if (!p) {
            return nullptr;
        }
        const RECT rc = {x, y, x + w, y + h};
        p->SetLayerPosition(&rc, WCEUI_POS_WAY_WINDOW, FALSE);
        return static_cast<CWceUiSlider*>(p);
    }
    // A slider with a 200-pixel background and a 20-pixel thumb, fitted to 220 pixels at x = 30.
    CWceUiSlider* MakeStandard() {
        CWceUiSlider* p = MakeSlider(30, 40, 5, 10);
        if (!p) {
            return nullptr;
        }
        auto bg = Solid(16, 200, 10, RGB(255, 0, 0));
        auto thumb = Solid(16, 20, 10, RGB(255, 255, 255));
        EXPECT_TRUE(p->SetBgBitmap(bg.get()));
        EXPECT_TRUE(p->SetThumbBitmap(thumb.get()));
        p->OnInitLayer();
        return p;
    }
};

TEST_F(SliderTest, InitFitsTheWidthAndPenMapsBothEndsAndTheMiddle) {
    CWceUiSlider* s = MakeStandard();
    ASSERT_NE(s, nullptr);
    RECT rc;
    ASSERT_TRUE(s->GetWindowRect(&rc));
    EXPECT_EQ(rc.left, 30);
    EXPECT_EQ(rc.top, 40);
    EXPECT_EQ(rc.right, 30 + 220);
    EXPECT_EQ(rc.bottom, 50);
    EXPECT_EQ(s->GetThumbWidth(), 20);
    EXPECT_EQ(s->GetTrackLength(), 200);

    // Left edge + 10 (the thumb's half) is the minimum, left edge + 210 the maximum.
    EXPECT_EQ(s->OffsetToValue(s->PointToOffset(30 + 10)), 0);
    EXPECT_EQ(s->OffsetToValue(s->PointToOffset(30 + 0)), 0);
    EXPECT_EQ(s->OffsetToValue(s->PointToOffset(30 + 110)), 50);
    EXPECT_EQ(s->OffsetToValue(s->PointToOffset(30 + 111)), 50); // truncation: 101 * 100 / 200
    EXPECT_EQ(s->OffsetToValue(s->PointToOffset(30 + 210)), 100);
    EXPECT_EQ(s->OffsetToValue(s->PointToOffset(30 + 500)), 100);

    ASSERT_TRUE(s->SetPos(25));
    EXPECT_EQ(s->PosToOffset(), 50);
    ASSERT_TRUE(s->SetRange(-50, 50, TRUE));
    EXPECT_EQ(s->OffsetToValue(0), -50);
    EXPECT_EQ(s->PosToOffset(), 150);
}

TEST_F(SliderTest, DragPostsDownMoveAndUpOnlyWhenTheValueChanges) {
    CWceUiSlider* s = MakeStandard();
    ASSERT_NE(s, nullptr);
    s->OnLButtonDown(0, POINT{30 + 110, 45});
    EXPECT_EQ(s->GetPos(), 50);
    EXPECT_TRUE(s->IsDragging());
    EXPECT_EQ(m_post.capture, s);
    s->OnMouseMove(0, POINT{30 + 111, 45});  // the same value: nothing posted
    s->OnMouseMove(0, POINT{30 + 150, 100}); // the pen may leave the bar vertically
    EXPECT_EQ(s->GetPos(), 70);
    s->OnLButtonUp(0, POINT{30 + 300, 45});
    EXPECT_EQ(s->GetPos(), 100);
    EXPECT_FALSE(s->IsDragging());
    EXPECT_EQ(m_post.capture, nullptr);

    const std::vector<Posted> posted = TakePosted();
    ASSERT_EQ(posted.size(), 3u);
    const LPARAM codes[] = {WCEUI_SLIDER_POS_DOWN, WCEUI_SLIDER_POS_MOVE, WCEUI_SLIDER_POS_UP};
    for (size_t i = 0; i < posted.size(); ++i) {
        EXPECT_EQ(posted[i].msg, 0x83EAu);
        EXPECT_EQ(posted[i].wParam, reinterpret_cast<WPARAM>(s));
        EXPECT_EQ(posted[i].lParam, codes[i]);
    }

    // Moves after the release are ignored; a press at the current value posts nothing.
    s->OnMouseMove(0, POINT{30 + 10, 45});
    s->OnLButtonDown(0, POINT{30 + 210, 45});
    EXPECT_TRUE(TakePosted().empty());
    // Losing the capture ends the drag as a release at x = 0, the minimum.
    m_post.SetCapture(nullptr);
    EXPECT_FALSE(s->IsDragging());
    EXPECT_EQ(s->GetPos(), 0);
    const std::vector<Posted> lost = TakePosted();
    ASSERT_EQ(lost.size(), 1u);
    EXPECT_EQ(lost[0].lParam, WCEUI_SLIDER_POS_UP);
}

TEST_F(SliderTest, ReadOnlySliderIgnoresThePen) {
    CWceUiSlider* s = MakeStandard();
    ASSERT_NE(s, nullptr);
    s->SetReadOnly(TRUE);
    s->OnLButtonDown(0, POINT{30 + 110, 45});
    s->OnMouseMove(0, POINT{30 + 150, 45});
    s->OnLButtonUp(0, POINT{30 + 210, 45});
    EXPECT_EQ(s->GetPos(), 0);
    EXPECT_FALSE(s->IsDragging());
    EXPECT_EQ(m_post.capture, nullptr);
    EXPECT_TRUE(TakePosted().empty());
    // Code still moves it.
    EXPECT_TRUE(s->SetPos(40));
    EXPECT_EQ(s->GetPos(), 40);
    EXPECT_TRUE(TakePosted().empty());
}

TEST_F(SliderTest, BadRangesAndPositionsAreRefusedWithAMessage) {
    CWceUiSlider* s = MakeStandard();
    ASSERT_NE(s, nullptr);
    testsupport::LogCapture log;
    EXPECT_FALSE(s->SetRange(10, 5, TRUE));
    int nMin = -1, nMax = -1;
    s->GetRange(&nMin, &nMax);
    EXPECT_EQ(nMin, 0);
    EXPECT_EQ(nMax, 100);
    EXPECT_TRUE(log.Contains(u"CWceUiSlider::SetRange, the minimum 10 is above the maximum 5"));

    EXPECT_FALSE(s->SetPos(150));
    EXPECT_FALSE(s->SetPos(-1));
    EXPECT_EQ(s->GetPos(), 0);
    EXPECT_TRUE(log.Contains(u"CWceUiSlider::SetPos, the position 150 is out of the range 0..100"));
    EXPECT_EQ(s->GetDumpInfo(), u" range=0..100 pos=0");

    // Narrowing the range keeps the old position; the thumb is drawn at the track's end.
    ASSERT_TRUE(s->SetPos(90));
    ASSERT_TRUE(s->SetRange(0, 10, FALSE));
    EXPECT_EQ(s->GetDumpInfo(), u" range=0..10 pos=90");
    // A range of one value maps every pen position to it.
    ASSERT_TRUE(s->SetRange(7, 7, FALSE));
    EXPECT_EQ(s->OffsetToValue(s->PointToOffset(30 + 150)), 7);
    EXPECT_EQ(s->PosToOffset(), 0);
    // The widest range does not overflow the mapping.
    ASSERT_TRUE(s->SetRange(INT32_MIN, INT32_MAX, FALSE));
    EXPECT_EQ(s->OffsetToValue(0), INT32_MIN);
    EXPECT_EQ(s->OffsetToValue(200), INT32_MAX);
    EXPECT_EQ(s->OffsetToValue(100), -1); // (2^32 - 1) / 2 truncated, from the minimum
}

// Both ends of the range are positions; one past either end is not.
TEST_F(SliderTest, TheEndsOfTheRangeAreValidPositions) {
    CWceUiSlider* s = MakeStandard();
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(s->SetRange(-5, 5, FALSE));
    EXPECT_TRUE(s->SetPos(5));
    EXPECT_EQ(s->GetPos(), 5);
    EXPECT_TRUE(s->SetPos(-5));
    EXPECT_EQ(s->GetPos(), -5);
    EXPECT_FALSE(s->SetPos(6));
    EXPECT_FALSE(s->SetPos(-6));
    EXPECT_EQ(s->GetPos(), -5);
}

TEST_F(SliderTest, CreatedFromADialogFileWithItsProperties) {
    WriteDialog(u"CWceUiDlg",
                u"<dlg><body style=\"dlg\"><l type=\"CWceUiSlider\" name=\"s\" style=\"s\" readonly=\"true\" "
                u"thumb_bmp=\"missing.conf\"/>"
                u"<l type=\"CWceUiSlider\" name=\"t\" style=\"s\" readonly=\"True\"/></body></dlg>",
                u"<dlg><style><dlg><position rect=\"0,0,100,60\"/></dlg>"
                u"<s><position rect=\"0,0,80,10\"/></s></style></dlg>");
    CWceUiDlg* pDlg = Open(u"CWceUiDlg");
    ASSERT_NE(pDlg, nullptr);
    auto* s = static_cast<CWceUiSlider*>(pDlg->GetChildByName(u"s"));
    auto* t = static_cast<CWceUiSlider*>(pDlg->GetChildByName(u"t"));
    ASSERT_TRUE(s && s->IsKindOf(u"CWceUiSlider"));
    ASSERT_TRUE(t && t->IsKindOf(u"CWceUiSlider"));
    EXPECT_TRUE(s->IsReadOnly());
    EXPECT_FALSE(t->IsReadOnly()); // only exactly "true"
    EXPECT_EQ(s->GetThumbWidth(), 0);
    // Without bitmaps the width stays, and the whole width is the track.
    s->OnInitLayer();
    EXPECT_EQ(s->GetTrackLength(), 80);
}

class SliderDrawTest : public SliderTest, public ::testing::WithParamInterface<int> {};

DWORD Encode(int nBits, COLORREF cr) {
    const DWORD r = GetRValue(cr), g = GetGValue(cr), b = GetBValue(cr);
    if (16 == nBits) {
        return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    }
    return (r << 16) | (g << 8) | b;
}

// Window 16x6, slider at (1,1)-(15,5): thumb 4 wide (2 high, its column 0 see-through), background and
// selected background 10x2, range 0..10, position 3: track offset 3.
TEST_P(SliderDrawTest, ThreeBitmapsLandWhereTheyBelong) {
    const int nBits = GetParam();
    const COLORREF kBlue = RGB(0, 0, 255), kGreen = RGB(0, 255, 0), kRed = RGB(255, 0, 0),
                   kWhite = RGB(255, 255, 255);
    CWceUiSlider* s = MakeSlider(1, 1, 3, 4);
    ASSERT_NE(s, nullptr);
    auto sel = Solid(nBits, 10, 2, kGreen);
    auto bg = Solid(nBits, 10, 2, kRed);
    auto thumb = Solid(nBits, 4, 2, kWhite, true);
    ASSERT_TRUE(s->SetBgSelBitmap(sel.get()));
    ASSERT_TRUE(s->SetBgBitmap(bg.get()));
    ASSERT_TRUE(s->SetThumbBitmap(thumb.get()));
    s->OnInitLayer();
    ASSERT_TRUE(s->SetRange(0, 10, FALSE));
    ASSERT_TRUE(s->SetPos(3));

    std::unique_ptr<CWceUiGenericBitmap> pWnd(WceUiCreateBitmapObject(nBits));
    ASSERT_TRUE(pWnd && pWnd->CreateDIB(16, 6));
    pWnd->FillColor(kBlue);
    s->OnDrawText(pWnd.get(), FALSE);

    // Rows 1-2: selected background from x 3 (left + thumb half), background from x 6 to 12; the
    // thumb at x 4..7, rows 2-3 (centred), its first column letting through what lies under it
    // (lower case: the 32-bit blend of a zero alpha may lose one step per channel).
    const char* expected[6] = {
        "BBBBBBBBBBBBBBBB", //
        "BBBGGGRRRRRRRBBB", //
        "BBBGgWWWRRRRRBBB", //
        "BBBBbWWWBBBBBBBB", //
        "BBBBBBBBBBBBBBBB", //
        "BBBBBBBBBBBBBBBB", //
    };
    auto check = [&](const CWceUiGenericBitmap& bmp, const char* const* rows) {
        for (int y = 0; y < 6; ++y) {
            for (int x = 0; x < 16; ++x) {
                const char c = rows[y][x];
                const char u = static_cast<char>(toupper(c));
                const COLORREF cr = u == 'B' ? kBlue : u == 'G' ? kGreen : u == 'R' ? kRed : kWhite;
                const DWORD got =
                    16 == nBits ? bmptest::At565(bmp, x, y) : (bmptest::At32(bmp, x, y) & 0xFFFFFF);
                if (c == u || 16 == nBits) {
                    EXPECT_EQ(got, Encode(nBits, cr)) << "at " << x << "," << y;
                } else {
                    const DWORD want = Encode(nBits, cr);
                    for (int shift = 0; shift < 24; shift += 8) {
                        EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF),
                                    static_cast<int>((want >> shift) & 0xFF), 1)
                            << "at " << x << "," << y;
                    }
                }
            }
        }
    };
    check(*pWnd, expected);

    // A range narrowed below the kept position (3 > 1) puts the thumb at the track's end, never past
    // it, and no background part is drawn from outside its bitmap.
    {
        ASSERT_TRUE(s->SetRange(0, 1, FALSE));
        std::unique_ptr<CWceUiGenericBitmap> pEnd(WceUiCreateBitmapObject(nBits));
        ASSERT_TRUE(pEnd && pEnd->CreateDIB(16, 6));
        pEnd->FillColor(kBlue);
        s->OnDrawText(pEnd.get(), FALSE);
        const char* atEnd[6] = {
            "BBBBBBBBBBBBBBBB", //
            "BBBGGGGGGGGGGBBB", //
            "BBBGGGGGGGGgWWWB", //
            "BBBBBBBBBBBbWWWB", //
            "BBBBBBBBBBBBBBBB", //
            "BBBBBBBBBBBBBBBB", //
        };
        check(*pEnd, atEnd);
        ASSERT_TRUE(s->SetRange(0, 10, FALSE));
    }

    // In client coordinates the same picture lands one pixel up and left.
    std::unique_ptr<CWceUiGenericBitmap> pOwn(WceUiCreateBitmapObject(nBits));
    ASSERT_TRUE(pOwn && pOwn->CreateDIB(14, 4));
    pOwn->FillColor(kBlue);
    s->OnDrawText(pOwn.get(), TRUE);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 14; ++x) {
            const DWORD a =
                16 == nBits ? bmptest::At565(*pOwn, x, y) : (bmptest::At32(*pOwn, x, y) & 0xFFFFFF);
            const DWORD b = 16 == nBits ? bmptest::At565(*pWnd, x + 1, y + 1)
                                        : (bmptest::At32(*pWnd, x + 1, y + 1) & 0xFFFFFF);
            EXPECT_EQ(a, b) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, SliderDrawTest, ::testing::Values(16, 32));

} // namespace
