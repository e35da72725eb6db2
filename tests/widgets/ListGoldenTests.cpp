// Golden pictures of a dressed list box (row backgrounds, texts, item images with per-pixel alpha, the
// check mark of the selected row and the three-piece scroll bar) before and after a scroll, in 565 and
// in 32 bits. The second picture is drawn through the list's content cache.
#include "ListTestSupport.h"
#include "support/GoldenDepth.h"
#include "support/GoldenImage.h"
#include "tools/imaging/RgbaBitmaps.h"
#include "wceui/style/WceUiStyle.h"
#include "wceui/style/WceUiStyleCtrls.h"

#include <cmath>
#include <string>

using listtest::ListTest;
using listtest::SolidBitmap;

namespace {

using golden::Image;
using golden::Set;

class ListGoldenTest : public ListTest, public golden::DepthParam {
protected:
    CWceUiListBox* MakeGoldenList(const RECT& rc, int nItems) {
        CWceUiListBox* pList = MakeList(rc, nItems, 30);
        if (!pList) {
            return nullptr;
        }
        EXPECT_TRUE(pList->SetItemHeight(24));
        // A row: a dark band with a lighter top line and a separator at the bottom.
        auto pRow = FromRgba(Image(400, 24, [](int, int y, uint8_t* p) {
            0 == y ? Set(p, 90, 110, 140) : 23 == y ? Set(p, 10, 15, 25) : Set(p, 35, 50, 75);
        }));
        auto pPressed = SolidBitmap(Bits(), 400, 24, RGB(150, 30, 30));
        // The check mark: a green tick on a clear ground.
        auto pCheck = FromRgba(Image(14, 14, [](int x, int y, uint8_t* p) {
            const bool tick = (x >= 1 && x <= 5 && std::abs(y - (x + 6)) <= 1) ||
                              (x >= 5 && x <= 13 && std::abs(y - (16 - x)) <= 1);
            tick ? Set(p, 60, 230, 60) : Set(p, 0, 0, 0, 0);
        }));
        // The scroll bar's thumb: rounded caps (clear corners) and a striped middle that repeats.
        auto cap = [](bool bTop) {
            return Image(8, 4, [=](int x, int y, uint8_t* p) {
                const int yy = bTop ? y : 3 - y;
                const bool corner = (0 == yy && (x < 2 || x > 5)) || (1 == yy && (0 == x || 7 == x));
                corner ? Set(p, 0, 0, 0, 0) : Set(p, 240, 240, 240);
            });
        };
        auto pTop = FromRgba(cap(true));
        auto pBottom = FromRgba(cap(false));
        auto pMiddle = FromRgba(Image(8, 4, [](int x, int y, uint8_t* p) {
            (0 == x || 7 == x) ? Set(p, 240, 240, 240)
            : 0 == y           ? Set(p, 120, 120, 120)
                               : Set(p, 200, 200, 200);
        }));
        // The default image (for items without their own): a blue square with a hole in the middle.
        auto pDefault = FromRgba(Image(12, 12, [](int x, int y, uint8_t* p) {
            const bool hole = x >= 4 && x < 8 && y >= 4 && y < 8;
            hole ? Set(p, 0, 0, 0, 0) : Set(p, 60, 120, 255);
        }));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_ROW_NORMAL, pRow.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_ROW_PRESSED, pPressed.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_CHECK, pCheck.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_BAR_TOP, pTop.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_BAR_MIDDLE, pMiddle.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_BAR_BOTTOM, pBottom.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_DEFAULT_IMAGE, pDefault.get()));
        pList->SetDrawItemImage(TRUE, 28);
        // Item images: discs whose alpha falls off to the edge, in two colours, on every other row.
        auto disc = [](int r, int g, int b) {
            return Image(18, 18, [=](int x, int y, uint8_t* p) {
                const double d = std::hypot(x - 8.5, y - 8.5) / 9.0;
                const int a = d >= 1.0 ? 0 : static_cast<int>(255 * (1.0 - d * d));
                Set(p, r, g, b, a);
            });
        };
        auto pYellow = FromRgba(disc(255, 210, 40));
        auto pCyan = FromRgba(disc(60, 240, 240));
        for (int i = 0; i < nItems; i += 2) {
            EXPECT_TRUE(pList->SetItemImage(i, (i % 4 ? pCyan : pYellow).get()));
        }
        pList->GetStyle()->SetTextColorValue(RGB(255, 255, 255));
        pList->GetStyle()->GetBgColorCtrl()->SetColor(RGB(70, 0, 70));
        pList->SetSel(3, FALSE);
        return pList;
    }
    void CheckGolden(const std::string& name, CWceUiGenericBitmap* pWnd) {
        golden::CheckGolden(GOLDEN_DIR, GOLDEN_OUT_DIR, name + "_" + Suffix(),
                            imaging::RgbaFromBitmap(*pWnd));
    }
};

TEST_P(ListGoldenTest, ADressedListBeforeAndAfterAScroll) {
    const RECT rc = {10, 10, 310, 230};
    CWceUiListBox* pList = MakeGoldenList(rc, 30);
    ASSERT_NE(nullptr, pList);
    auto pWnd = SolidBitmap(Bits(), 320, 240, RGB(10, 20, 30));
    m_pDlg->ShowLayer(TRUE);
    const RECT rcAll = {0, 0, 320, 240};
    ASSERT_TRUE(m_ctrl->Draw(pWnd.get(), &rcAll));
    CheckGolden("list_top", pWnd.get());

    // Down by two and a half rows and then some, so that rows are cut at both edges; drawn through the
    // cache, which the first picture filled.
    pList->ScrollTo(70, TRUE);
    ASSERT_EQ(70, pList->GetScrollPos());
    ASSERT_TRUE(m_ctrl->Draw(pWnd.get(), &rc));
    EXPECT_LT(pList->GetLastDrawnRowCount(), 9);
    CheckGolden("list_scrolled", pWnd.get());

    // A full redraw without the cache gives the same picture.
    pList->SetCacheEnabled(FALSE);
    auto pFull = SolidBitmap(Bits(), 320, 240, RGB(10, 20, 30));
    ASSERT_TRUE(m_ctrl->Draw(pFull.get(), &rcAll));
    CheckGolden("list_scrolled", pFull.get());
}

INSTANTIATE_TEST_SUITE_P(Depths, ListGoldenTest, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return 16 == info.param ? std::string("Rgb565") : std::string("Rgb32");
                         });

} // namespace
