// Rectangle strings, blit clipping (same size and scaled), alignment and the text placement record.
#include "support/TestSupport.h"

#include "wceui/bitmap/WceUiDrawTextCtrl.h"
#include "wceui/bitmap/WceUiRectOps.h"
#include "wceui/core/WceUiRect.h"

#include <gtest/gtest.h>

namespace {

::testing::AssertionResult RectIs(const RECT& rc, LONG l, LONG t, LONG r, LONG b) {
    if (rc.left == l && rc.top == t && rc.right == r && rc.bottom == b) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "(" << rc.left << ", " << rc.top << ", " << rc.right << ", " << rc.bottom << ") instead of ("
           << l << ", " << t << ", " << r << ", " << b << ")";
}

} // namespace

TEST(RectOps, ConvertRectStrToRect) {
    RECT rc;
    ASSERT_TRUE(ConvertRectStrToRect(u"10,20,30,40", &rc));
    EXPECT_TRUE(RectIs(rc, 10, 20, 40, 60));
    // A minus sign right before a digit starts a negative number, even after another digit.
    ASSERT_TRUE(ConvertRectStrToRect(u"10-20,30,40", &rc));
    EXPECT_TRUE(RectIs(rc, 10, -20, 40, 20));
    // A digit after a letter starts nothing.
    ASSERT_TRUE(ConvertRectStrToRect(u"x10,20,30,40,50", &rc));
    EXPECT_TRUE(RectIs(rc, 20, 30, 60, 80));
    ASSERT_TRUE(ConvertRectStrToRect(u" 1\t2\r\n3 4", &rc));
    EXPECT_TRUE(RectIs(rc, 1, 2, 4, 6));
    EXPECT_FALSE(ConvertRectStrToRect(u"1,2,3", &rc));
    EXPECT_FALSE(ConvertRectStrToRect(u"", &rc));
    testsupport::LogCapture log;
    EXPECT_FALSE(ConvertRectStrToRect(NULL, &rc));
    EXPECT_TRUE(log.Contains(u"ConvertRectStrToRect,check(NULL != pRectStr)fail"));
}

TEST(RectOps, CalcBitBltRectsClipsBothSides) {
    const RECT dstBounds = {0, 0, 100, 100};
    const RECT srcBounds = {0, 0, 20, 10};
    RECT outDst, outSrc;
    // Destination partly left of its bounds.
    RECT dst = {-10, 0, 10, 10}, src = {0, 0, 20, 10};
    ASSERT_TRUE(CalcBitBltRects(&outDst, &outSrc, &dstBounds, &srcBounds, &dst, &src));
    EXPECT_TRUE(RectIs(outDst, 0, 0, 10, 10));
    EXPECT_TRUE(RectIs(outSrc, 10, 0, 20, 10));
    // Source partly outside its bounds.
    dst = {0, 0, 20, 10}, src = {-5, 2, 15, 12};
    ASSERT_TRUE(CalcBitBltRects(&outDst, &outSrc, &dstBounds, &srcBounds, &dst, &src));
    EXPECT_TRUE(RectIs(outDst, 5, 0, 20, 8));
    EXPECT_TRUE(RectIs(outSrc, 0, 2, 15, 10));
    // Inside: unchanged. Outside: nothing, outputs empty.
    dst = {3, 4, 13, 9}, src = {1, 1, 11, 6};
    ASSERT_TRUE(CalcBitBltRects(&outDst, &outSrc, &dstBounds, &srcBounds, &dst, &src));
    EXPECT_TRUE(RectIs(outDst, 3, 4, 13, 9));
    EXPECT_TRUE(RectIs(outSrc, 1, 1, 11, 6));
    dst = {200, 0, 210, 5};
    EXPECT_FALSE(CalcBitBltRects(&outDst, &outSrc, &dstBounds, &srcBounds, &dst, &src));
    EXPECT_TRUE(RectIs(outDst, 0, 0, 0, 0));
    EXPECT_TRUE(RectIs(outSrc, 0, 0, 0, 0));
}

TEST(RectOps, CalcStretchBltRectsKeepsTheScale) {
    const RECT dstBounds = {0, 0, 100, 100};
    const RECT srcBounds = {0, 0, 20, 10};
    RECT outDst, outSrc;
    RECT dst = {-10, 0, 30, 20}, src = {0, 0, 20, 10}; // twice the size, a quarter cut off at the left
    ASSERT_TRUE(CalcStretchBltRects(&outDst, &outSrc, &dstBounds, &srcBounds, &dst, &src));
    EXPECT_TRUE(RectIs(outDst, 0, 0, 30, 20));
    EXPECT_TRUE(RectIs(outSrc, 5, 0, 20, 10));
    // The source cut at the right: a third of a 30-wide source maps onto 10 of 30 destination pixels.
    const RECT smallBounds = {0, 0, 20, 10};
    dst = {0, 0, 30, 30}, src = {10, 0, 40, 10};
    ASSERT_TRUE(CalcStretchBltRects(&outDst, &outSrc, &dstBounds, &smallBounds, &dst, &src));
    EXPECT_TRUE(RectIs(outDst, 0, 0, 10, 30));
    EXPECT_TRUE(RectIs(outSrc, 10, 0, 20, 10));
    // Same size: the same-size clipping.
    dst = {-10, 0, 10, 10}, src = {0, 0, 20, 10};
    ASSERT_TRUE(CalcStretchBltRects(&outDst, &outSrc, &dstBounds, &srcBounds, &dst, &src));
    EXPECT_TRUE(RectIs(outSrc, 10, 0, 20, 10));
    // Nothing of the destination inside its bounds.
    dst = {-50, 0, -10, 20};
    EXPECT_FALSE(CalcStretchBltRects(&outDst, &outSrc, &dstBounds, &srcBounds, &dst, &src));
}

TEST(RectOps, CalcAlignRects) {
    const RECT area = {0, 0, 100, 50};
    const RECT image = {0, 0, 40, 20};
    RECT dst, src;
    ASSERT_TRUE(CalcAlignRects(&dst, &src, &area, &image, WCEUI_ALIGN_HCENTER | WCEUI_ALIGN_VCENTER));
    EXPECT_TRUE(RectIs(dst, 30, 15, 70, 35));
    EXPECT_TRUE(RectIs(src, 0, 0, 40, 20));
    ASSERT_TRUE(CalcAlignRects(&dst, &src, &area, &image, WCEUI_ALIGN_RIGHT | WCEUI_ALIGN_BOTTOM));
    EXPECT_TRUE(RectIs(dst, 60, 30, 100, 50));
    ASSERT_TRUE(CalcAlignRects(&dst, &src, &area, &image, 0));
    EXPECT_TRUE(RectIs(dst, 0, 0, 40, 20));
    // An image larger than the area: a piece of the image fills the area.
    const RECT small = {10, 10, 30, 20};
    ASSERT_TRUE(CalcAlignRects(&dst, &src, &small, &image, WCEUI_ALIGN_HCENTER | WCEUI_ALIGN_VCENTER));
    EXPECT_TRUE(RectIs(dst, 10, 10, 30, 20));
    EXPECT_TRUE(RectIs(src, 10, 5, 30, 15));
    ASSERT_TRUE(CalcAlignRects(&dst, &src, &small, &image, WCEUI_ALIGN_RIGHT | WCEUI_ALIGN_BOTTOM));
    EXPECT_TRUE(RectIs(src, 20, 10, 40, 20));
}

TEST(RectOps, DrawTextCtrl) {
    CWceUiDrawTextCtrl ctrl;
    RECT rc;
    ASSERT_TRUE(ctrl.GetRect(&rc));
    EXPECT_TRUE(IsRectLarge(&rc));
    EXPECT_EQ(37u, ctrl.GetFormat());
    const RECT text = {1, 2, 3, 4};
    ASSERT_TRUE(ctrl.SetRect(&text));
    ctrl.SetFormat(DT_LEFT | DT_WORDBREAK);
    CWceUiDrawTextCtrl other;
    other = ctrl;
    ASSERT_TRUE(other.GetRect(&rc));
    EXPECT_TRUE(RectIs(rc, 1, 2, 3, 4));
    EXPECT_EQ((UINT)DT_WORDBREAK, other.GetFormat());
    testsupport::LogCapture log;
    EXPECT_FALSE(ctrl.SetRect(NULL));
    EXPECT_TRUE(log.Contains(u"CWceUiDrawTextCtrl::SetRect,check(NULL != lpRect)fail"));
}
