// The list's picture: a scroll step drawn through the content cache equals a full redraw pixel for
// pixel, and only the rows that come into view are drawn.
#include "ListTestSupport.h"
#include "wceui/style/WceUiStyle.h"
#include "wceui/style/WceUiStyleCtrls.h"

#include <cstring>

using listtest::ListTest;
using listtest::SolidBitmap;

namespace {

class ListDrawTest : public ListTest, public ::testing::WithParamInterface<int> {
protected:
    int Bits() const { return GetParam(); }

    // A list with row backgrounds, item images (some missing: the default shows), a check mark on a
    // selected row and a scroll bar.
    CWceUiListBox* MakeDressedList(const RECT& rc, int nItems) {
        CWceUiListBox* pList = MakeList(rc, nItems, 30);
        if (!pList) {
            return nullptr;
        }
        // Rows in two shades so that a misplaced row shows.
        auto pRow = SolidBitmap(Bits(), 400, 20, RGB(30, 60, 90));
        pRow->FillColor(RGB(200, 200, 40), uitest::R(RECT{0, 0, 400, 1}));
        auto pPressed = SolidBitmap(Bits(), 400, 20, RGB(90, 10, 10));
        auto pCheck = SolidBitmap(Bits(), 12, 12, RGB(0, 255, 0));
        auto pTop = SolidBitmap(Bits(), 6, 3, RGB(255, 255, 255));
        auto pMiddle = SolidBitmap(Bits(), 6, 4, RGB(128, 128, 128));
        auto pBottom = SolidBitmap(Bits(), 6, 3, RGB(255, 255, 255));
        auto pDefault = SolidBitmap(Bits(), 10, 10, RGB(0, 0, 255));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_ROW_NORMAL, pRow.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_ROW_PRESSED, pPressed.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_CHECK, pCheck.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_BAR_TOP, pTop.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_BAR_MIDDLE, pMiddle.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_BAR_BOTTOM, pBottom.get()));
        EXPECT_TRUE(pList->SetPartBitmap(CWceUiListBox::PART_DEFAULT_IMAGE, pDefault.get()));
        pList->SetDrawItemImage(TRUE, 16);
        auto pImage = SolidBitmap(Bits(), 8, 14, RGB(250, 128, 0));
        for (int i = 0; i < nItems; i += 3) {
            EXPECT_TRUE(pList->SetItemImage(i, pImage.get()));
        }
        pList->SetSel(4, FALSE);
        // The list hides what lies under it, so it paints its own background (as list styles do):
        // the area pulled past the top then shows the same colour in every picture.
        pList->GetStyle()->GetBgColorCtrl()->SetColor(RGB(70, 0, 70));
        return pList;
    }
    std::unique_ptr<CWceUiGenericBitmap> Window() { return SolidBitmap(Bits(), 320, 240, RGB(10, 20, 30)); }
    void Draw(CWceUiGenericBitmap* pWnd, const RECT& rc) {
        m_pDlg->ShowLayer(TRUE);
        ASSERT_TRUE(m_ctrl->Draw(pWnd, &rc));
    }
    static bool SamePixels(CWceUiGenericBitmap* a, CWceUiGenericBitmap* b) {
        const size_t nBytes =
            static_cast<size_t>((a->GetWidth() * a->GetBitsPixel() / 8 + 3) & ~3) * a->GetHeight();
        return a->GetWidth() == b->GetWidth() && a->GetHeight() == b->GetHeight() &&
               0 == std::memcmp(a->GetPixelData(), b->GetPixelData(), nBytes);
    }

    // A twin of the dressed list in a dialog of its own, without a cache, so it is drawn in full
    // every time; null when it cannot be made.
    CWceUiListBox* MakeTwin(const RECT& rc) {
        CWceUiDlg* pMain = m_pDlg;
        m_pDlg = NewDlg(RECT{0, 0, 320, 240}, false);
        CWceUiListBox* pTwin = MakeDressedList(rc, 40);
        m_pDlg = pMain;
        if (NULL != pTwin) {
            pTwin->SetCacheEnabled(FALSE);
        }
        return pTwin;
    }

    // Steps down and up, smaller and larger than a row, past the top into the margin and back, one
    // after another, so that the cache's rows wrap round more than once; after each the picture must be
    // that of a twin list drawn in full.
    void ExpectStepsEqualFullRedraws(const RECT& rc) {
        CWceUiListBox* pList = MakeDressedList(rc, 40);
        ASSERT_NE(nullptr, pList);
        CWceUiListBox* pTwin = MakeTwin(rc);
        ASSERT_NE(nullptr, pTwin);

        const int nHeight = rc.bottom - rc.top;
        auto pCached = Window();
        Draw(pCached.get(), rc);
        EXPECT_EQ(nHeight / 20, pList->GetLastDrawnRowCount());
        const int steps[] = {7, 13, 20, 45, -3, -60, -22, 99, -99, -40, 5, 33, 33, 33, 33, 1, -97};
        for (int nStep : steps) {
            const int nBefore = pList->GetScrollPos();
            pList->ScrollBy(nStep, TRUE);
            pTwin->ScrollBy(nStep, TRUE);
            const int nMoved = pList->GetScrollPos() - nBefore;
            Draw(pCached.get(), rc);
            // Only the rows of the strip that came into view were drawn.
            const int nStripRows = nMoved == 0 || std::abs(nMoved) >= nHeight
                                       ? nHeight / 20 + 1
                                       : (std::abs(nMoved) + 19) / 20 + 1;
            EXPECT_LE(pList->GetLastDrawnRowCount(), nStripRows) << "step " << nStep;

            auto pFull = Window();
            pTwin->OnDraw(pFull.get(), &rc);
            EXPECT_EQ(pList->GetScrollPos(), pTwin->GetScrollPos());
            EXPECT_TRUE(SamePixels(pCached.get(), pFull.get()))
                << "step " << nStep << " to position " << pList->GetScrollPos();
        }
    }
};

// Rows cut by the list's edges show only their part inside the list.
TEST_P(ListDrawTest, ScrollStepsThroughTheCacheEqualFullRedraws) {
    ExpectStepsEqualFullRedraws(RECT{10, 20, 210, 120});
}

// A list as tall as the window: rows cut by its edges reach past the bitmap.
TEST_P(ListDrawTest, StepsOfAListAsTallAsTheWindowEqualFullRedraws) {
    ExpectStepsEqualFullRedraws(RECT{10, 0, 210, 240});
}

// Rows go straight into the window, so a redraw of part of the list must keep every row's
// background, text, image and check mark to that part; the cache taken from it must still serve a
// later scroll step.
TEST_P(ListDrawTest, APartialRedrawPaintsOnlyItsRectangleAndFeedsTheCache) {
    const RECT rc = {10, 20, 210, 120};
    CWceUiListBox* pList = MakeDressedList(rc, 40);
    ASSERT_NE(nullptr, pList);
    CWceUiListBox* pTwin = MakeTwin(rc);
    ASSERT_NE(nullptr, pTwin);

    auto pWnd = Window();
    Draw(pWnd.get(), rc);
    // The check mark moves from row 4 to row 2; each row is redrawn on its own.
    m_host.invalid.clear();
    pList->SetSel(2, TRUE);
    pTwin->SetSel(2, FALSE);
    ASSERT_EQ(2u, m_host.invalid.size());
    for (const RECT& rcRow : m_host.invalid) {
        Draw(pWnd.get(), rcRow);
    }
    auto pFull = Window();
    pTwin->OnDraw(pFull.get(), &rc);
    EXPECT_TRUE(SamePixels(pWnd.get(), pFull.get()));

    // Cut through the texts of rows 1 and 4, the item images on the left and the check marks on the
    // right, into a window painted a colour nothing in the list has.
    const RECT rcNeed = {20, 47, 200, 113};
    const COLORREF crOutside = RGB(255, 0, 255);
    auto pPart = SolidBitmap(Bits(), 320, 240, crOutside);
    Draw(pPart.get(), rcNeed);
    EXPECT_GT(pList->GetLastDrawnRowCount(), 0);
    auto pExpected = SolidBitmap(Bits(), 320, 240, crOutside);
    pExpected->BitBlt(rcNeed.left, rcNeed.top, rcNeed.right - rcNeed.left, rcNeed.bottom - rcNeed.top,
                      pFull.get(), rcNeed.left, rcNeed.top, SRCCOPY);
    EXPECT_TRUE(SamePixels(pPart.get(), pExpected.get()));

    // The rows kept by the step come from what those redraws left in the cache.
    pList->ScrollBy(7, TRUE);
    pTwin->ScrollBy(7, TRUE);
    Draw(pWnd.get(), rc);
    EXPECT_LE(pList->GetLastDrawnRowCount(), 2);
    pFull = Window();
    pTwin->OnDraw(pFull.get(), &rc);
    EXPECT_TRUE(SamePixels(pWnd.get(), pFull.get()));
}

TEST_P(ListDrawTest, ATapRedrawsItsRowInThePressedLookAndBack) {
    const RECT rc = {10, 20, 210, 120};
    CWceUiListBox* pList = MakeDressedList(rc, 10);
    ASSERT_NE(nullptr, pList);
    auto pWnd = Window();
    Draw(pWnd.get(), rc);
    auto pBefore = Window();
    pBefore->BitBlt(0, 0, 320, 240, pWnd.get(), 0, 0, SRCCOPY);
    m_host.invalid.clear();
    pList->OnLButtonDown(0, Pt(100, 20 + 25));
    ASSERT_EQ(1u, m_host.invalid.size());
    Draw(pWnd.get(), m_host.invalid[0]);
    EXPECT_EQ(1, pList->GetLastDrawnRowCount());
    EXPECT_FALSE(SamePixels(pWnd.get(), pBefore.get()));
    pList->OnLButtonUp(0, Pt(100, 20 + 25));
    ASSERT_EQ(2u, m_host.invalid.size());
    Draw(pWnd.get(), m_host.invalid[1]);
    EXPECT_TRUE(SamePixels(pWnd.get(), pBefore.get()));
}

// A list shorter than its box draws its rows and, below the last one, only its background.
TEST_P(ListDrawTest, AShortListDrawsNothingBelowItsLastRow) {
    const RECT rc = {10, 20, 210, 120};
    CWceUiListBox* pList = MakeDressedList(rc, 3);
    ASSERT_NE(nullptr, pList);
    auto pWnd = Window();
    Draw(pWnd.get(), rc);
    EXPECT_EQ(3, pList->GetLastDrawnRowCount());
    // Rows 0..2 cover y 20..79; the scroll bar keeps to the right edge.
    auto pBelow = SolidBitmap(Bits(), 150, 40, RGB(0, 0, 0));
    pBelow->BitBlt(0, 0, 150, 40, pWnd.get(), 10, 80, SRCCOPY);
    auto pBackground = SolidBitmap(Bits(), 150, 40, RGB(70, 0, 70));
    EXPECT_TRUE(SamePixels(pBelow.get(), pBackground.get()));
}

TEST_P(ListDrawTest, TenThousandItemsDrawOnlyTheRowsInView) {
    const RECT rc = {0, 0, 320, 240};
    CWceUiListBox* pList = MakeList(rc, 10000);
    ASSERT_NE(nullptr, pList);
    auto pWnd = Window();
    Draw(pWnd.get(), rc);
    EXPECT_EQ(12, pList->GetLastDrawnRowCount());
    pList->ScrollTo(150000, TRUE);
    Draw(pWnd.get(), rc);
    EXPECT_EQ(12, pList->GetLastDrawnRowCount());
    pList->ScrollBy(9, TRUE);
    Draw(pWnd.get(), rc);
    EXPECT_LE(pList->GetLastDrawnRowCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(Depths, ListDrawTest, ::testing::Values(16, 32));

} // namespace
