// Bitmap objects: creation and attributes, the copy-on-write store and its lock, the platform transfers,
// and the framework's blends, mixes, rotation and hue shift checked against the per-pixel definitions
// over whole bitmaps and clipped rectangles.
#include "BitmapTestUtil.h"
#include "support/TestSupport.h"

#include "wceui/bitmap/WceUiPixelRef.h"
#include "wceui/core/WceUiObject.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace bmptest;
using testsupport::LogCapture;

namespace {

BLENDFUNCTION ConstBlend(int nAlpha) {
    return BLENDFUNCTION{AC_SRC_OVER, 0, (BYTE)nAlpha, 0};
}
BLENDFUNCTION SourceAlphaBlend() {
    return BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
}

// The clipped blit: image pixel (x + i, y + j) takes source pixel (xs + i, ys + j) where both exist.
struct Clip {
    int i0, j0, i1, j1;
    bool Empty() const { return i0 >= i1 || j0 >= j1; }
};
Clip ClipBlit(int dw, int dh, int sw, int sh, int x, int y, int w, int h, int xs, int ys) {
    return Clip{std::max({0, -x, -xs}), std::max({0, -y, -ys}), std::min({w, dw - x, sw - xs}),
                std::min({h, dh - y, sh - ys})};
}

// What AlphaBlend must leave in the destination's stored pixels; fPixel(d, s, source index).
template <typename T, typename F>
std::vector<T> ExpectedBlend(const std::vector<T>& dst, int dw, int dh, const std::vector<T>& src, int sw,
                             int sh, int nBits, int x, int y, int w, int h, int xs, int ys, F fPixel) {
    std::vector<T> out = dst;
    const Clip c = ClipBlit(dw, dh, sw, sh, x, y, w, h, xs, ys);
    if (c.Empty()) {
        return out;
    }
    const bool bWhole = x + c.i0 == 0 && y + c.j0 == 0 && x + c.i1 == dw && y + c.j1 == dh &&
                        xs + c.i0 == 0 && ys + c.j0 == 0 && xs + c.i1 == sw && ys + c.j1 == sh && dw == sw &&
                        dh == sh;
    if (bWhole) {
        // The whole-bitmap loop also covers the padding pixel of odd-width 565 rows.
        for (size_t k = 0; k < out.size(); ++k) {
            out[k] = fPixel(dst[k], src[k], k);
        }
        return out;
    }
    for (int j = c.j0; j < c.j1; ++j) {
        for (int i = c.i0; i < c.i1; ++i) {
            const size_t kd = Index(x + i, y + j, dw, dh, nBits);
            const size_t ks = Index(xs + i, ys + j, sw, sh, nBits);
            out[kd] = fPixel(dst[kd], src[ks], ks);
        }
    }
    return out;
}

class BitmapTest : public ::testing::Test {
protected:
    std::mt19937 m_rng{2024};
};

} // namespace

TEST_F(BitmapTest, ClassesAndFactory) {
    std::unique_ptr<CWceUiObject> p565(WceUiCreateObject(u"CWceUi565Bitmap"));
    ASSERT_TRUE(p565);
    EXPECT_TRUE(p565->IsKindOf(u"CWceUiGenericBitmap"));
    std::unique_ptr<CWceUiObject> p32(WceUiCreateObject(u"CWceUi32Bitmap"));
    ASSERT_TRUE(p32);
    EXPECT_FALSE(p32->IsKindOf(u"CWceUi565Bitmap"));
    EXPECT_EQ(nullptr, WceUiCreateObject(u"CWceUiGenericBitmap")); // known, not creatable

    std::unique_ptr<CWceUiGenericBitmap> pA(WceUiCreateBitmapObject(16));
    std::unique_ptr<CWceUiGenericBitmap> pB(WceUiCreateBitmapObject(32));
    ASSERT_TRUE(pA && pB);
    EXPECT_EQ(std::u16string(u"CWceUi565Bitmap"), std::u16string(pA->GetClassName()));
    EXPECT_EQ(std::u16string(u"CWceUi32Bitmap"), std::u16string(pB->GetClassName()));
    LogCapture log;
    EXPECT_EQ(nullptr, WceUiCreateBitmapObject(24));
    EXPECT_TRUE(log.Contains(u"WceUiCreateBitmapObject,bmBitsPixel is invalid, neither 16 nor 32"));
}

TEST_F(BitmapTest, NotLoadedAndAttributes) {
    CWceUi565Bitmap bmp;
    LogCapture log;
    EXPECT_FALSE(bmp.IsLoaded());
    EXPECT_EQ(0, bmp.GetWidth());
    EXPECT_TRUE(log.Contains(u"CWceUiGenericBitmap::GetWidth, IsLoaded() return FALSE"));
    EXPECT_FALSE(bmp.SetTransColor(TRUE, 0x123456));
    EXPECT_FALSE(bmp.MixColor(0, 0, 1, 1, 0, 128));
    EXPECT_TRUE(log.Contains(u"CWceUi565Bitmap::MixColor, IsLoaded() return FALSE"));
    EXPECT_EQ(nullptr, bmp.GetHBitmap(NULL));

    ASSERT_TRUE(bmp.CreateDIB(5, 3));
    EXPECT_EQ(5, bmp.GetWidth());
    EXPECT_EQ(3, bmp.GetHeight());
    EXPECT_EQ(16, bmp.GetBitsPixel());
    EXPECT_FALSE(bmp.HasPerPixelAlpha());
    COLORREF cr = 0;
    EXPECT_FALSE(bmp.GetTransColor(&cr));
    EXPECT_EQ(WCEUI_INVALID_TRANS_COLOR, cr);
    log.Clear();
    EXPECT_FALSE(bmp.SetTransColor(TRUE, WCEUI_INVALID_TRANS_COLOR));
    EXPECT_TRUE(
        log.Contains(u"CWceUiGenericBitmap::SetTransColor,check(WCEUI_INVALID_TRANS_COLOR != crTrans)fail"));
    EXPECT_TRUE(bmp.SetTransColor(TRUE, 0x00FF00FF));
    EXPECT_TRUE(bmp.GetTransColor(&cr));
    EXPECT_EQ(0x00FF00FFu, cr);

    // 0 is reported and stored; 256 is reported and refused; -1 is refused.
    int nAlpha = 7;
    log.Clear();
    EXPECT_TRUE(bmp.SetConstantAlpha(TRUE, 0));
    EXPECT_TRUE(
        log.Contains(u"CWceUiGenericBitmap::SetConstantAlpha,check(((nAlpha > 0) && (nAlpha <= 255)))fail"));
    EXPECT_TRUE(bmp.GetConstantAlpha(&nAlpha));
    EXPECT_EQ(0, nAlpha);
    EXPECT_FALSE(bmp.SetConstantAlpha(TRUE, 256));
    EXPECT_FALSE(bmp.SetConstantAlpha(TRUE, -1));
    EXPECT_TRUE(bmp.GetConstantAlpha(&nAlpha));
    EXPECT_EQ(0, nAlpha);
    EXPECT_TRUE(bmp.SetConstantAlpha(FALSE, 99));
    EXPECT_FALSE(bmp.GetConstantAlpha(&nAlpha));

    // Creating again resets every attribute.
    ASSERT_TRUE(bmp.CreateDIB565(2, 2));
    EXPECT_FALSE(bmp.GetTransColor(&cr));
    log.Clear();
    EXPECT_FALSE(bmp.CreateDIB565(0, 2));
    EXPECT_TRUE(log.Contains(u"CWceUi565Bitmap::CreateDIB565,check(nWidth > 0)fail"));
    EXPECT_FALSE(bmp.IsLoaded());
}

TEST_F(BitmapTest, CreateWithPixelsAndPlane) {
    // Width 3: stored rows of 4 pixels and a plane of 4 bytes per row.
    const WORD pixels[] = {1, 2, 3, 0xAAAA, 5, 6, 7, 0xBBBB};
    const BYTE plane[] = {10, 20, 30, 40, 50, 60, 63, 0};
    CWceUi565Bitmap bmp;
    ASSERT_TRUE(bmp.CreateDIB565(3, 2, pixels, plane));
    EXPECT_TRUE(bmp.HasPerPixelAlpha());
    EXPECT_EQ(std::vector<WORD>(pixels, pixels + 8), StoredPixels<WORD>(bmp));
    EXPECT_EQ(0, memcmp(plane, bmp.GetAlphaPlane(), sizeof(plane)));
    EXPECT_EQ(5, At565(bmp, 0, 0)); // the top image row is the second stored row
    EXPECT_EQ(3, At565(bmp, 2, 1));

    CWceUi32Bitmap bmp32;
    const DWORD px32[] = {0x11223344u, 0x55667788u};
    ASSERT_TRUE(bmp32.CreateDIB32(1, 2, px32, TRUE));
    EXPECT_TRUE(bmp32.HasPerPixelAlpha());
    EXPECT_EQ(0x55667788u, At32(bmp32, 0, 0));
}

TEST_F(BitmapTest, CopiesShareUntilOneChanges) {
    auto pBmp = Random565(m_rng, 7, 5, true);
    pBmp->SetTransColor(TRUE, 0x0000FF00);
    const auto original = StoredPixels<WORD>(*pBmp);
    CWceUiGenericBitmap* pCopy = NULL;
    ASSERT_TRUE(pBmp->MakeACopy(&pCopy));
    std::unique_ptr<CWceUiGenericBitmap> copy(pCopy);
    EXPECT_EQ(pBmp->GetPixelData(), copy->GetPixelData());
    EXPECT_TRUE(copy->HasPerPixelAlpha());

    // Attributes belong to the object.
    copy->SetTransColor(FALSE, 0);
    COLORREF cr;
    EXPECT_TRUE(pBmp->GetTransColor(&cr));

    ASSERT_TRUE(copy->MixColor(0, 0, 7, 5, 0x000000FF, 255));
    EXPECT_NE(pBmp->GetPixelData(), copy->GetPixelData());
    EXPECT_EQ(original, StoredPixels<WORD>(*pBmp));
    EXPECT_EQ(0xF800, At565(*copy, 3, 3));
    // The plane went with the copy of the store.
    EXPECT_NE(nullptr, static_cast<CWceUi565Bitmap*>(copy.get())->GetAlphaPlane());

    // A second MakeACopy into a filled pointer warns and overwrites it.
    LogCapture log;
    CWceUiGenericBitmap* pKeep = copy.get();
    CWceUiGenericBitmap* pOut = pKeep;
    ASSERT_TRUE(pBmp->MakeACopy(&pOut));
    std::unique_ptr<CWceUiGenericBitmap> second(pOut);
    EXPECT_NE(pKeep, pOut);
    EXPECT_TRUE(log.Contains(
        u"CWceUi565Bitmap::MakeACopy, *ppCopyBmp should be NULL to prevent possible memory leak"));
}

TEST_F(BitmapTest, LockedStoreIsNeverShared) {
    auto pBmp = Random32(m_rng, 4, 4, true);
    pBmp->SetConstantAlpha(TRUE, 77);
    pBmp->SetTransColor(TRUE, 0x00010203);
    LPVOID pBits = NULL;
    ASSERT_NE(nullptr, pBmp->GetHBitmap(&pBits));
    ASSERT_EQ(pBmp->GetPixelData(), pBits);

    CWceUi32Bitmap copy(*pBmp);
    EXPECT_NE(pBits, copy.GetPixelData());
    EXPECT_EQ(StoredPixels<DWORD>(*pBmp), StoredPixels<DWORD>(copy));
    int nAlpha = 0;
    COLORREF cr = 0;
    EXPECT_TRUE(copy.GetConstantAlpha(&nAlpha));
    EXPECT_EQ(77, nAlpha);
    EXPECT_TRUE(copy.GetTransColor(&cr));
    EXPECT_EQ(0x00010203u, cr);
    EXPECT_TRUE(copy.HasPerPixelAlpha());
    // Writing through the handed-out pointer does not reach the copy.
    static_cast<DWORD*>(pBits)[0] = 0xDEADBEEF;
    EXPECT_NE(0xDEADBEEFu, StoredPixels<DWORD>(copy)[0]);
    pBmp->ReleaseHBitmap();

    // Unlocked again, copies share.
    CWceUi32Bitmap copy2(*pBmp);
    EXPECT_EQ(pBmp->GetPixelData(), copy2.GetPixelData());
    // Handing out the pointer of a shared store unshares it first.
    LPVOID pBits2 = NULL;
    copy2.GetHBitmap(&pBits2);
    EXPECT_NE(pBmp->GetPixelData(), pBits2);
    copy2.ReleaseHBitmap();
}

TEST_F(BitmapTest, PerPixelFlagAndPlane) {
    auto pBmp = Random565(m_rng, 3, 3, false);
    CWceUi565Bitmap shared(*pBmp);
    ASSERT_TRUE(pBmp->SetPerPixelAlpha(TRUE));
    ASSERT_NE(nullptr, pBmp->GetAlphaPlane());
    EXPECT_EQ(std::vector<BYTE>(12, 0), std::vector<BYTE>(pBmp->GetAlphaPlane(), pBmp->GetAlphaPlane() + 12));
    // The plane belongs to the store, which was made unique first.
    EXPECT_EQ(nullptr, shared.GetAlphaPlane());
    EXPECT_FALSE(shared.HasPerPixelAlpha());
    // Off keeps the plane.
    ASSERT_TRUE(pBmp->SetPerPixelAlpha(FALSE));
    EXPECT_FALSE(pBmp->HasPerPixelAlpha());
    EXPECT_NE(nullptr, pBmp->GetAlphaPlane());
}

TEST_F(BitmapTest, FillAndPlatformTransfers) {
    auto pDst = Random565(m_rng, 6, 4, true);
    const std::vector<BYTE> plane(pDst->GetAlphaPlane(), pDst->GetAlphaPlane() + 6 * 4);
    ASSERT_TRUE(pDst->FillColor(0x000000FF)); // red
    EXPECT_EQ(0xF800, At565(*pDst, 5, 3));
    const RECT rc = {1, 1, 3, 2};
    ASSERT_TRUE(pDst->FillColor(0x00FF0000, &rc)); // blue
    EXPECT_EQ(0x001F, At565(*pDst, 1, 1));
    EXPECT_EQ(0x001F, At565(*pDst, 2, 1));
    EXPECT_EQ(0xF800, At565(*pDst, 3, 1));
    EXPECT_EQ(plane, std::vector<BYTE>(pDst->GetAlphaPlane(), pDst->GetAlphaPlane() + 6 * 4));

    // BitBlt into a bitmap that shares its store changes only the destination.
    CWceUi565Bitmap sharer(*pDst);
    auto pSrc = Random565(m_rng, 2, 2, false);
    ASSERT_TRUE(pDst->BitBlt(4, 2, 2, 2, pSrc.get(), 0, 0, SRCCOPY));
    EXPECT_EQ(At565(*pSrc, 1, 1), At565(*pDst, 5, 3));
    EXPECT_EQ(0xF800, At565(sharer, 5, 3));

    // A 2x stretch repeats each source pixel.
    ASSERT_TRUE(pDst->StretchBlt(0, 0, 4, 4, pSrc.get(), 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(At565(*pSrc, 0, 0), At565(*pDst, 1, 1));
    EXPECT_EQ(At565(*pSrc, 1, 1), At565(*pDst, 3, 2));

    // The colour key is not drawn.
    CWceUi565Bitmap key;
    const WORD keyPixels[] = {0xF81F, 0x1234, 0, 0};
    ASSERT_TRUE(key.CreateDIB565(2, 1, keyPixels));
    ASSERT_TRUE(pDst->FillColor(0x00000000));
    ASSERT_TRUE(pDst->TransBlt(0, 0, 2, 1, &key, 0, 0, 2, 1, 0x00FF00FF));
    EXPECT_EQ(0, At565(*pDst, 0, 0));
    EXPECT_EQ(0x1234, At565(*pDst, 1, 0));

    LogCapture log;
    EXPECT_FALSE(pDst->BitBlt(0, 0, 1, 1, NULL, 0, 0, SRCCOPY));
    EXPECT_TRUE(log.Contains(u"CWceUiGenericBitmap::BitBlt(pSrcBmp), pSrcBmp is NULL"));
}

// Row pieces give what one BitBlt per piece gives, or refuse and leave everything as it was.
TEST_F(BitmapTest, RowPiecesCopyAsBitBltPerPieceOrNotAtAll) {
    for (int nBits : {16, 32}) {
        const int W = 9, H = 6; // odd width: 565 rows carry a padding pixel
        auto make = [&](int w, int h) -> std::unique_ptr<CWceUiGenericBitmap> {
            if (16 == nBits) {
                return Random565(m_rng, w, h, false);
            }
            return Random32(m_rng, w, h, false);
        };
        auto dst = make(W, H), a = make(W, H), b = make(W + 3, H + 1);
        auto expected = make(W, H);
        ASSERT_TRUE(expected->BitBlt(0, 0, W, H, dst.get(), 0, 0, SRCCOPY));
        // Shared with the destination until it changes: the copy must not write into the sharer.
        CWceUiGenericBitmap* pSharer = NULL;
        ASSERT_TRUE(dst->MakeACopy(&pSharer));
        std::unique_ptr<CWceUiGenericBitmap> sharer(pSharer);
        const std::vector<BYTE> sharedBefore(static_cast<const BYTE*>(sharer->GetPixelData()),
                                             static_cast<const BYTE*>(sharer->GetPixelData()) +
                                                 (16 == nBits ? 10 * 2 : 9 * 4) * H);
        // Overlapping pieces (the later one wins), a piece of no width, pieces from two sources.
        const WceUiRowPiece pieces[] = {
            {0, 5, a.get(), 2}, {3, 6, b.get(), 6}, {8, 0, a.get(), 0}, {7, 1, a.get(), 0}};
        ASSERT_TRUE(dst->CopyRowPieces(1, 4, 2, pieces, 4));
        for (const WceUiRowPiece& p : pieces) {
            if (p.nWidth > 0) {
                ASSERT_TRUE(expected->BitBlt(p.xDst, 1, p.nWidth, 4, p.pSrcBmp, p.xSrc, 2, SRCCOPY));
            }
        }
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                const DWORD want = 16 == nBits ? At565(*expected, x, y) : At32(*expected, x, y);
                ASSERT_EQ(want, 16 == nBits ? At565(*dst, x, y) : At32(*dst, x, y))
                    << nBits << " " << x << "," << y;
            }
        }
        EXPECT_EQ(sharedBefore,
                  std::vector<BYTE>(static_cast<const BYTE*>(sharer->GetPixelData()),
                                    static_cast<const BYTE*>(sharer->GetPixelData()) + sharedBefore.size()));

        // Refused: a piece past either bitmap's edge, rows past the bottom, another format, the
        // destination's own store (itself or a copy sharing it), no source.
        auto other = 16 == nBits ? std::unique_ptr<CWceUiGenericBitmap>(Random32(m_rng, W, H, false))
                                 : std::unique_ptr<CWceUiGenericBitmap>(Random565(m_rng, W, H, false));
        CWceUiGenericBitmap* pTwin = NULL;
        ASSERT_TRUE(dst->MakeACopy(&pTwin));
        std::unique_ptr<CWceUiGenericBitmap> twin(pTwin);
        const WceUiRowPiece refused[][1] = {
            {{5, 5, a.get(), 0}},    {{0, 5, a.get(), 5}}, {{0, 2, other.get(), 0}}, {{0, 2, dst.get(), 3}},
            {{0, 2, twin.get(), 3}}, {{0, 2, NULL, 0}},    {{-1, 2, a.get(), 0}},
        };
        ASSERT_TRUE(expected->BitBlt(0, 0, W, H, dst.get(), 0, 0, SRCCOPY));
        for (const auto& piece : refused) {
            EXPECT_FALSE(dst->CopyRowPieces(0, 2, 0, piece, 1)) << piece[0].xDst << " " << piece[0].xSrc;
        }
        EXPECT_FALSE(dst->CopyRowPieces(3, 4, 0, pieces, 2)); // rows past the destination's bottom
        EXPECT_FALSE(dst->CopyRowPieces(0, 2, 5, pieces, 2)); // rows past a's bottom (b has one more)
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                ASSERT_EQ(16 == nBits ? At565(*expected, x, y) : At32(*expected, x, y),
                          16 == nBits ? At565(*dst, x, y) : At32(*dst, x, y));
            }
        }
    }
}

TEST_F(BitmapTest, AlphaBlendRefusals) {
    auto p565 = Random565(m_rng, 4, 4, false);
    auto p32 = Random32(m_rng, 4, 4, false);
    LogCapture log;
    EXPECT_FALSE(p565->AlphaBlend(0, 0, 4, 4, p32.get(), 0, 0, ConstBlend(128)));
    EXPECT_TRUE(log.Contains(u"CWceUi565Bitmap::AlphaBlend,check(16 == pSrcBmp->GetBitsPixel())fail"));
    EXPECT_FALSE(p32->AlphaBlend(0, 0, 4, 4, p565.get(), 0, 0, ConstBlend(128)));
    EXPECT_TRUE(log.Contains(u"CWceUi32Bitmap::AlphaBlend,check(32 == pSrcBmp->GetBitsPixel())fail"));
    EXPECT_FALSE(p565->AlphaBlend(0, 0, 4, 4, p565.get(), 0, 0, SourceAlphaBlend()));
    EXPECT_TRUE(log.Contains(u"CWceUiGenericBitmap::AlphaBlend, Invalid argument:use AC_SRC_ALPHA but "
                             u"pSrcBmp->HasPerPixelAlpha() return FALSE"));
    // Wholly outside: nothing drawn, success.
    const auto before = StoredPixels<WORD>(*p565);
    auto pSrc = Random565(m_rng, 4, 4, false);
    EXPECT_TRUE(p565->AlphaBlend(10, 0, 4, 4, pSrc.get(), 0, 0, ConstBlend(128)));
    EXPECT_EQ(before, StoredPixels<WORD>(*p565));
}

TEST_F(BitmapTest, AlphaBlend565MatchesDefinitionClippedAndWhole) {
    for (int nRound = 0; nRound < 300; ++nRound) {
        const int dw = 1 + m_rng() % 20, dh = 1 + m_rng() % 12;
        const bool bSameSize = nRound % 3 == 0;
        const int sw = bSameSize ? dw : 1 + m_rng() % 20, sh = bSameSize ? dh : 1 + m_rng() % 12;
        const bool bPerPixel = m_rng() % 2 == 0;
        auto pDst = Random565(m_rng, dw, dh, false);
        auto pSrc = Random565(m_rng, sw, sh, bPerPixel);
        int x = (int)(m_rng() % (dw + 8)) - 4, y = (int)(m_rng() % (dh + 8)) - 4;
        int xs = (int)(m_rng() % (sw + 4)) - 2, ys = (int)(m_rng() % (sh + 4)) - 2;
        int w = (int)(m_rng() % (sw + 4)), h = (int)(m_rng() % (sh + 4));
        if (bSameSize && nRound % 6 == 0) {
            x = y = xs = ys = 0, w = dw, h = dh; // the whole-bitmap loop
        }
        const int nAlpha = (int)(m_rng() % 256);
        const auto dst = StoredPixels<WORD>(*pDst);
        const auto src = StoredPixels<WORD>(*pSrc);
        const BYTE* pPlane = pSrc->GetAlphaPlane();
        const auto expected =
            ExpectedBlend(dst, dw, dh, src, sw, sh, 16, x, y, w, h, xs, ys, [&](WORD d, WORD s, size_t k) {
                return bPerPixel ? FhRefBlend565PerPixel(d, s, pPlane[k]) : FhRefBlend565Const(d, s, nAlpha);
            });
        ASSERT_TRUE(pDst->AlphaBlend(x, y, w, h, pSrc.get(), xs, ys,
                                     bPerPixel ? SourceAlphaBlend() : ConstBlend(nAlpha)));
        ASSERT_EQ(expected, StoredPixels<WORD>(*pDst))
            << "round " << nRound << " at " << x << "," << y << " size " << w << "x" << h << " from " << xs
            << "," << ys << " alpha " << nAlpha << (bPerPixel ? " per pixel" : "");
    }
}

TEST_F(BitmapTest, AlphaBlend32MatchesDefinitionClippedAndWhole) {
    for (int nRound = 0; nRound < 300; ++nRound) {
        const int dw = 1 + m_rng() % 20, dh = 1 + m_rng() % 12;
        const bool bSameSize = nRound % 3 == 0;
        const int sw = bSameSize ? dw : 1 + m_rng() % 20, sh = bSameSize ? dh : 1 + m_rng() % 12;
        const bool bPerPixel = m_rng() % 2 == 0;
        auto pDst = Random32(m_rng, dw, dh, false);
        auto pSrc = Random32(m_rng, sw, sh, bPerPixel);
        int x = (int)(m_rng() % (dw + 8)) - 4, y = (int)(m_rng() % (dh + 8)) - 4;
        int xs = (int)(m_rng() % (sw + 4)) - 2, ys = (int)(m_rng() % (sh + 4)) - 2;
        int w = (int)(m_rng() % (sw + 4)), h = (int)(m_rng() % (sh + 4));
        if (bSameSize && nRound % 6 == 0) {
            x = y = xs = ys = 0, w = dw, h = dh;
        }
        const int nAlpha = (int)(m_rng() % 256);
        const auto dst = StoredPixels<DWORD>(*pDst);
        const auto src = StoredPixels<DWORD>(*pSrc);
        const auto expected =
            ExpectedBlend(dst, dw, dh, src, sw, sh, 32, x, y, w, h, xs, ys, [&](DWORD d, DWORD s, size_t) {
                return bPerPixel ? FhRefBlend32PerPixel(d, s) : FhRefBlend32Const(d, s, nAlpha);
            });
        ASSERT_TRUE(pDst->AlphaBlend(x, y, w, h, pSrc.get(), xs, ys,
                                     bPerPixel ? SourceAlphaBlend() : ConstBlend(nAlpha)));
        ASSERT_EQ(expected, StoredPixels<DWORD>(*pDst)) << "round " << nRound;
    }
}

TEST_F(BitmapTest, AlphaBlendOntoItselfReadsTheOriginal) {
    auto pBmp = Random565(m_rng, 9, 6, false);
    const auto before = StoredPixels<WORD>(*pBmp);
    const auto expected = ExpectedBlend(before, 9, 6, before, 9, 6, 16, 2, 1, 9, 6, 0, 0,
                                        [](WORD d, WORD s, size_t) { return FhRefBlend565Const(d, s, 100); });
    ASSERT_TRUE(pBmp->AlphaBlend(2, 1, 9, 6, pBmp.get(), 0, 0, ConstBlend(100)));
    EXPECT_EQ(expected, StoredPixels<WORD>(*pBmp));
}

TEST_F(BitmapTest, MixColorMatchesDefinitionClippedAndWhole) {
    for (int nRound = 0; nRound < 200; ++nRound) {
        const int W = 1 + m_rng() % 17, H = 1 + m_rng() % 9;
        int x = (int)(m_rng() % (W + 4)) - 2, y = (int)(m_rng() % (H + 4)) - 2;
        int w = (int)(m_rng() % (W + 4)), h = (int)(m_rng() % (H + 4));
        if (nRound % 4 == 0) {
            x = y = 0, w = W, h = H;
        }
        const int nAlpha = (int)(m_rng() % 256);
        const COLORREF cr = nRound % 3 == 0 ? 0 : (COLORREF)(m_rng() & 0xFFFFFF);
        const bool bWhole = x == 0 && y == 0 && w == W && h == H;
        auto inRect = [&](int px, int py) { return px >= x && px < x + w && py >= y && py < y + h; };

        auto p565 = Random565(m_rng, W, H, false);
        auto e565 = StoredPixels<WORD>(*p565);
        for (size_t k = 0; k < e565.size(); ++k) {
            const int px = (int)(k % Stride(W, 16)), py = H - 1 - (int)(k / Stride(W, 16));
            if (bWhole || (px < W && inRect(px, py))) {
                e565[k] = 0 == cr ? FhRefMix565Black(e565[k], nAlpha)
                                  : FhRefMix565Color(e565[k], FhColorTo565(cr), nAlpha, bWhole);
            }
        }
        ASSERT_TRUE(p565->MixColor(x, y, w, h, cr, nAlpha));
        ASSERT_EQ(e565, StoredPixels<WORD>(*p565)) << "round " << nRound;

        auto p32 = Random32(m_rng, W, H, false);
        auto e32 = StoredPixels<DWORD>(*p32);
        for (size_t k = 0; k < e32.size(); ++k) {
            if (inRect((int)(k % W), H - 1 - (int)(k / W))) {
                e32[k] = 0 == cr ? FhRefMix32Black(e32[k], nAlpha) : FhRefMix32Color(e32[k], cr, nAlpha);
            }
        }
        ASSERT_TRUE(p32->MixColor(x, y, w, h, cr, nAlpha));
        ASSERT_EQ(e32, StoredPixels<DWORD>(*p32)) << "round " << nRound;
    }
    LogCapture log;
    auto pBmp = Random565(m_rng, 2, 2, false);
    EXPECT_FALSE(pBmp->MixColor(0, 0, 2, 2, 0, 256));
    EXPECT_TRUE(log.Contains(u"CWceUi565Bitmap::MixColor,check(((nAlpha >= 0) && (nAlpha <= 255)))fail"));
}

TEST_F(BitmapTest, RotateMovesPixels) {
    CWceUi565Bitmap bmp;
    const WORD row[] = {0xAAAA, 0xBBBB}; // A left, B right
    ASSERT_TRUE(bmp.CreateDIB565(2, 1, row));
    CWceUiGenericBitmap* pOut = NULL;
    ASSERT_TRUE(bmp.Rotate(WCEUI_ROTATE_90, &pOut));
    std::unique_ptr<CWceUiGenericBitmap> r1(pOut);
    ASSERT_EQ(1, r1->GetWidth());
    ASSERT_EQ(2, r1->GetHeight());
    EXPECT_EQ(0xAAAA, At565(*r1, 0, 0));
    pOut = NULL;
    ASSERT_TRUE(bmp.Rotate(WCEUI_ROTATE_270, &pOut));
    std::unique_ptr<CWceUiGenericBitmap> r3(pOut);
    EXPECT_EQ(0xBBBB, At565(*r3, 0, 0));

    // Every angle on an odd-sized 32-bit image, alpha bytes travelling with their pixels.
    auto p32 = Random32(m_rng, 5, 3, true);
    for (int eAngle = 1; eAngle <= 3; ++eAngle) {
        pOut = NULL;
        ASSERT_TRUE(p32->Rotate(eAngle, &pOut));
        std::unique_ptr<CWceUiGenericBitmap> r(pOut);
        EXPECT_FALSE(r->HasPerPixelAlpha());
        for (int y = 0; y < r->GetHeight(); ++y) {
            for (int x = 0; x < r->GetWidth(); ++x) {
                const DWORD expected = 1 == eAngle   ? At32(*p32, y, 3 - 1 - x)
                                       : 2 == eAngle ? At32(*p32, 5 - 1 - x, 3 - 1 - y)
                                                     : At32(*p32, 5 - 1 - y, x);
                ASSERT_EQ(expected, At32(*r, x, y)) << eAngle << " " << x << "," << y;
            }
        }
    }
    LogCapture log;
    pOut = NULL;
    EXPECT_FALSE(bmp.Rotate(4, &pOut));
    EXPECT_FALSE(bmp.Rotate(0, &pOut));
    EXPECT_TRUE(log.Contains(u"CWceUi565Bitmap::Rotate, eAngle is Invalid"));
    EXPECT_FALSE(bmp.Rotate(1, NULL));
}

TEST_F(BitmapTest, HueShiftOverTheWholeBitmap) {
    auto pBmp = Random565(m_rng, 5, 4, true);
    const auto before = StoredPixels<WORD>(*pBmp);
    const std::vector<BYTE> plane(pBmp->GetAlphaPlane(), pBmp->GetAlphaPlane() + 6 * 4);
    CWceUi565Bitmap sharer(*pBmp);
    LogCapture log;
    EXPECT_FALSE(pBmp->SetHSLOffsetHue(181));
    EXPECT_TRUE(log.Contains(u"CWceUiGenericBitmap::SetHSLOffsetHue,check(nOffsetHue <= 180)fail"));
    EXPECT_TRUE(pBmp->SetHSLOffsetHue(0));
    EXPECT_EQ(before, StoredPixels<WORD>(*pBmp));
    ASSERT_TRUE(pBmp->SetHSLOffsetHue(-45));
    auto expected = before;
    for (auto& p : expected) {
        p = FhRefHue565(p, -45);
    }
    EXPECT_EQ(expected, StoredPixels<WORD>(*pBmp));
    EXPECT_EQ(before, StoredPixels<WORD>(sharer));
    EXPECT_EQ(plane, std::vector<BYTE>(pBmp->GetAlphaPlane(), pBmp->GetAlphaPlane() + 6 * 4));

    CWceUi565Bitmap red;
    const WORD px[] = {0xF800, 0xF800};
    ASSERT_TRUE(red.CreateDIB565(1, 1, px));
    ASSERT_TRUE(red.SetHSLOffsetHue(120));
    EXPECT_EQ(0x07C0, At565(red, 0, 0));
}

TEST_F(BitmapTest, LoadFromPlatformBitmapConverts) {
    CWceUi32Bitmap src;
    const DWORD px[] = {0xFF0000FFu, 0xFFFF0000u};
    ASSERT_TRUE(src.CreateDIB32(2, 1, px));
    LPVOID pBits = NULL;
    HBITMAP hSrc = src.GetHBitmap(&pBits);
    CWceUi565Bitmap bmp;
    ASSERT_TRUE(bmp.LoadFromHBitmap(hSrc));
    src.ReleaseHBitmap();
    EXPECT_EQ(0x001F, At565(bmp, 0, 0));
    EXPECT_EQ(0xF800, At565(bmp, 1, 0));
    LogCapture log;
    EXPECT_FALSE(bmp.LoadFromHBitmap(NULL));
    EXPECT_FALSE(bmp.IsLoaded());
    EXPECT_TRUE(log.Contains(u"CWceUi565Bitmap::LoadFromHBitmap,check(NULL != hBitmap)fail"));
}

// Only a blend given exactly the whole bitmaps runs the whole-bitmap loop, which also blends the
// padding pixel of odd-width 565 rows; a larger rectangle clipped down to the same pixels does not.
TEST(BitmapBlendLoops, TheWholeBitmapLoopNeedsTheGivenRectanglesToBeTheBounds) {
    const WORD dstPixels[] = {0xFFFF, 0xFFFF, 0xFFFF, 0x1234, 0xFFFF, 0xFFFF, 0xFFFF, 0x1234};
    const WORD srcPixels[8] = {};
    auto blendPadding = [&](int x, int width) {
        CWceUi565Bitmap dst, src;
        EXPECT_TRUE(dst.CreateDIB565(3, 2, dstPixels, NULL));
        EXPECT_TRUE(src.CreateDIB565(3, 2, srcPixels, NULL));
        EXPECT_TRUE(dst.AlphaBlend(x, 0, width, 2, &src, x, 0, ConstBlend(128)));
        const WORD* p = static_cast<const WORD*>(dst.GetPixelData());
        EXPECT_EQ(p[0], 0x7BEF); // half of white
        return p[3];
    };
    EXPECT_EQ(blendPadding(0, 3), 0x090A); // 0x1234 halved per channel (2, 17, 20 -> 1, 8, 10)
    EXPECT_EQ(blendPadding(-1, 4), 0x1234);
}
