// Conversion between the two kinds: channels widen by repeating their high bits and narrow by dropping
// low bits, the plane and the alpha byte follow each other, and premultiplied colour above its alpha
// is held down so that the converted bitmap's blend never carries or wraps.
#include "BitmapTestUtil.h"

#include "wceui/bitmap/WceUiBitmapConvert.h"
#include "wceui/bitmap/WceUiPixelRef.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

using namespace bmptest;

namespace {

int Widen(int n, int nBits) {
    return 5 == nBits ? (n << 3) | (n >> 2) : (n << 2) | (n >> 4);
}

TEST(BitmapConvert, A565PlaneBecomesPremultipliedThirtyTwoBitsThatBlendWithoutWrapping) {
    std::mt19937 rng(7);
    auto pSrc = Random565(rng, 13, 9, true);
    std::unique_ptr<CWceUiGenericBitmap> pOut(WceUiConvertBitmap(pSrc.get(), 32));
    ASSERT_NE(pOut, nullptr);
    ASSERT_EQ(pOut->GetBitsPixel(), 32);
    EXPECT_TRUE(pOut->HasPerPixelAlpha());
    const BYTE* pPlane = pSrc->GetAlphaPlane();
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 13; ++x) {
            const WORD w = At565(*pSrc, x, y);
            const DWORD d = At32(*pOut, x, y);
            const int a = Widen(pPlane[Index(x, y, 13, 9, 16)], 6);
            ASSERT_EQ((int)(d >> 24), a);
            EXPECT_EQ((int)((d >> 16) & 255), std::min(Widen(w >> 11, 5), a));
            EXPECT_EQ((int)((d >> 8) & 255), std::min(Widen((w >> 5) & 63, 6), a));
            EXPECT_EQ((int)(d & 255), std::min(Widen(w & 31, 5), a));
            // Onto white: the source added to the scaled destination stays in its byte.
            const DWORD blended = FhRefBlend32PerPixel(0xFFFFFFFFu, d);
            for (int n = 0; n <= 16; n += 8) {
                EXPECT_GE((blended >> n) & 255, (d >> n) & 255);
            }
        }
    }
}

TEST(BitmapConvert, ThirtyTwoBitAlphaBecomesAPlaneAndColourThatNeverCarries) {
    std::mt19937 rng(11);
    auto pSrc = Random32(rng, 10, 7, TRUE);
    std::unique_ptr<CWceUiGenericBitmap> pOut(WceUiConvertBitmap(pSrc.get(), 16));
    ASSERT_NE(pOut, nullptr);
    ASSERT_EQ(pOut->GetBitsPixel(), 16);
    ASSERT_TRUE(pOut->HasPerPixelAlpha());
    const BYTE* pPlane = static_cast<CWceUi565Bitmap*>(pOut.get())->GetAlphaPlane();
    ASSERT_NE(pPlane, nullptr);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 10; ++x) {
            const DWORD d = At32(*pSrc, x, y);
            const WORD w = At565(*pOut, x, y);
            const BYTE a = pPlane[Index(x, y, 10, 7, 16)];
            ASSERT_EQ(a, d >> 26);
            EXPECT_LE(w >> 11, (int)((d >> 19) & 31));
            EXPECT_LE((w >> 5) & 63, (int)((d >> 10) & 63));
            EXPECT_LE(w & 31, (int)((d >> 3) & 31));
            // Onto white, every channel at least the source's: no carry into the next channel.
            const WORD blended = FhRefBlend565PerPixel(0xFFFF, w, a);
            EXPECT_GE(blended >> 11, w >> 11);
            EXPECT_GE((blended >> 5) & 63, (w >> 5) & 63);
            EXPECT_GE(blended & 31, w & 31);
            if (63 == a) {
                EXPECT_EQ(w, (WORD)((((d >> 19) & 31) << 11) | (((d >> 10) & 63) << 5) | ((d >> 3) & 31)));
            }
        }
    }
}

TEST(BitmapConvert, OpaqueImagesGoThereAndBackUnchangedWithTheirAttributes) {
    std::mt19937 rng(3);
    auto pSrc = Random565(rng, 5, 4, false);
    // A key that 565 cannot hold exactly: it follows its pixels to their widened value.
    ASSERT_TRUE(pSrc->SetTransColor(TRUE, RGB(0x80, 0x80, 0x80)));
    ASSERT_TRUE(pSrc->SetConstantAlpha(TRUE, 100));
    std::unique_ptr<CWceUiGenericBitmap> p32(WceUiConvertBitmap(pSrc.get(), 32));
    ASSERT_NE(p32, nullptr);
    EXPECT_FALSE(p32->HasPerPixelAlpha());
    COLORREF crTrans = 0;
    ASSERT_TRUE(p32->GetTransColor(&crTrans));
    EXPECT_EQ(crTrans, RGB(0x84, 0x82, 0x84));
    int nAlpha = 0;
    ASSERT_TRUE(p32->GetConstantAlpha(&nAlpha));
    EXPECT_EQ(nAlpha, 100);
    std::unique_ptr<CWceUiGenericBitmap> pBack(WceUiConvertBitmap(p32.get(), 16));
    ASSERT_NE(pBack, nullptr);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(At565(*pBack, x, y), At565(*pSrc, x, y));
        }
    }
    // Nothing to convert from, or to.
    CWceUi565Bitmap empty;
    EXPECT_EQ(WceUiConvertBitmap(&empty, 32), nullptr);
    EXPECT_EQ(WceUiConvertBitmap(pSrc.get(), 24), nullptr);
}

} // namespace
