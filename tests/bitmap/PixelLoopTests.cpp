// The pixel loops against the per-pixel definitions: chosen pixels for each band and formula, then
// seeded random runs over every alpha, with the portable and the wide-vector loops alike.
#include "wceui/bitmap/WceUiPixelLoopSet.h"
#include "wceui/bitmap/WceUiPixelOps.h"
#include "wceui/bitmap/WceUiPixelRef.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

WORD P565(int r, int g, int b) {
    return (WORD)((r << 11) | (g << 5) | b);
}

class PixelLoops : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { FhPixUseWideVectors(GetParam()); }
    void TearDown() override { FhPixUseWideVectors(TRUE); }
};

INSTANTIATE_TEST_SUITE_P(Loops, PixelLoops, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "wide" : "portable";
                         });

// Run lengths around the vector widths, and start offsets that break their alignment.
const size_t kLengths[] = {1, 2, 3, 7, 8, 15, 16, 17, 31, 32, 33, 63, 65, 799, 800};

template <typename T> std::vector<T> RandomRun(std::mt19937& rng, size_t n) {
    std::vector<T> v(n);
    for (auto& x : v) {
        x = (T)rng();
    }
    return v;
}

} // namespace

TEST(PixelBands, BoundariesOfEveryBand) {
    const struct {
        int nAlpha;
        int nBand;
    } cases[] = {{0, 0},   {8, 0},   {9, 5},   {55, 5},  {56, 1},  {72, 1},  {73, 5},  {119, 5}, {120, 2},
                 {136, 2}, {137, 5}, {183, 5}, {184, 3}, {200, 3}, {201, 5}, {246, 5}, {247, 4}, {255, 4}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.nBand, FhGetAlphaBand(c.nAlpha)) << "alpha " << c.nAlpha;
    }
}

TEST(PixelBands, ColourConversions) {
    EXPECT_EQ(0xF800, FhColorTo565(0x000000FF)); // red is the low byte of the colour value
    EXPECT_EQ(0x001F, FhColorTo565(0x00FF0000));
    EXPECT_EQ(0x07E0, FhColorTo565(0x0000FF00));
    EXPECT_EQ(0x00FF0000u, FhColorTo32(0x000000FF));
    EXPECT_EQ(0x000000FFu, FhColorTo32(0x00FF0000));
}

TEST_P(PixelLoops, ConstantBlend565ChosenPixels) {
    const WORD d = P565(10, 20, 30);
    const WORD s = P565(31, 63, 1);
    const struct {
        int nAlpha;
        WORD wExpected;
    } cases[] = {
        {8, d},
        {64, P565((30 + 31) >> 2, (60 + 63) >> 2, (90 + 1) >> 2)},
        {128, P565((10 + 31) >> 1, (20 + 63) >> 1, (30 + 1) >> 1)},
        {192, P565((93 + 10) >> 2, (189 + 20) >> 2, (3 + 30) >> 2)},
        {250, s},
        {100, P565((31 * 25 + 10 * 38) >> 6, (63 * 25 + 20 * 38) >> 6, (1 * 25 + 30 * 38) >> 6)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.wExpected, FhRefBlend565Const(d, s, c.nAlpha)) << c.nAlpha;
        WORD w = d;
        FhPixBlend565Const(&w, &s, 1, c.nAlpha);
        EXPECT_EQ(c.wExpected, w) << c.nAlpha;
    }
}

TEST_P(PixelLoops, PerPixelBlend565ChosenPixels) {
    const WORD d = P565(31, 63, 31);
    const WORD s = P565(3, 5, 7);
    const struct {
        BYTE a;
        WORD wExpected;
    } cases[] = {
        {63, s},
        {0, d},
        {32, P565(3 + ((31 * 31) >> 6), 5 + ((63 * 31) >> 6), 7 + ((31 * 31) >> 6))},
        {200, s}, // outside the data model: opaque
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.wExpected, FhRefBlend565PerPixel(d, s, c.a)) << (int)c.a;
        WORD w = d;
        FhPixBlend565PerPixel(&w, &s, &c.a, 1);
        EXPECT_EQ(c.wExpected, w) << (int)c.a;
    }
    // The sum is a plain 16-bit addition: a source that is not premultiplied carries into the next
    // channel (blue 31 + 15 overflows into green).
    const WORD sBad = P565(0, 0, 31);
    const BYTE a = 32;
    EXPECT_EQ((WORD)(31 + P565(15, 30, 15)), FhRefBlend565PerPixel(0xFFFF, sBad, a));
    EXPECT_EQ(P565(15, 31, 14), FhRefBlend565PerPixel(0xFFFF, sBad, a));
}

TEST_P(PixelLoops, Blend32ChosenPixels) {
    const DWORD d = 0x40102030u;
    const DWORD s = 0x80FF0040u;
    // Per pixel: ((d * (255 - 128)) >> 8) + s per colour byte; the destination alpha stays.
    const DWORD dwPerPixel = 0x40000000u | ((DWORD)(((0x10 * 127) >> 8) + 0xFF) & 255) << 16 |
                             (DWORD)((0x20 * 127) >> 8) << 8 | (DWORD)(((0x30 * 127) >> 8) + 0x40);
    EXPECT_EQ(dwPerPixel, FhRefBlend32PerPixel(d, s));
    DWORD w = d;
    FhPixBlend32PerPixel(&w, &s, 1);
    EXPECT_EQ(dwPerPixel, w);
    // Band 4 copies the colour bytes only; band 5 weighs by a / 255.
    EXPECT_EQ(0x40FF0040u, FhRefBlend32Const(d, s, 255));
    const DWORD dwWeighted = 0x40000000u | ((DWORD)((0x10 * 155 + 0xFF * 100) >> 8) << 16) |
                             ((DWORD)((0x20 * 155) >> 8) << 8) | (DWORD)((0x30 * 155 + 0x40 * 100) >> 8);
    EXPECT_EQ(dwWeighted, FhRefBlend32Const(d, s, 100));
    w = d;
    FhPixBlend32Const(&w, &s, 1, 100);
    EXPECT_EQ(dwWeighted, w);
}

TEST_P(PixelLoops, MixColorChosenPixels) {
    // Darkening by half: 0xFFFF becomes 0x7BEF in both loops.
    for (BOOL bWhole : {FALSE, TRUE}) {
        WORD w = 0xFFFF;
        FhPixMix565(&w, 1, 0x00000000, 128, bWhole);
        EXPECT_EQ(0x7BEF, w);
    }
    // Pure red (red in the low byte of the colour value) at 255 replaces every pixel.
    std::vector<WORD> v = {0x1234, 0xFFFF, 0x0000, 0x07E0};
    FhPixMix565(v.data(), v.size(), 0x000000FF, 255, TRUE);
    EXPECT_EQ(std::vector<WORD>(4, 0xF800), v);
    // The two loops differ in band 2: (d + c) >> 1 against (c >> 1) + (d >> 1).
    WORD wRect = P565(1, 1, 1), wWhole = P565(1, 1, 1);
    FhPixMix565(&wRect, 1, 0x00080408, 128, FALSE);
    FhPixMix565(&wWhole, 1, 0x00080408, 128, TRUE);
    EXPECT_EQ(P565(1, 1, 1), wRect);
    EXPECT_EQ(P565(0, 0, 0), wWhole);
    // A dark colour that is 0 in 565 still mixes as a colour, not as black: (3d + 0) >> 2 against
    // d - (d >> 2) for d = 1.
    WORD wDark = P565(1, 1, 1), wBlack = P565(1, 1, 1);
    FhPixMix565(&wDark, 1, 0x00030303, 64, FALSE);
    FhPixMix565(&wBlack, 1, 0x00000000, 64, FALSE);
    EXPECT_EQ(0, wDark);
    EXPECT_EQ(P565(1, 1, 1), wBlack);
    // 32-bit: the colour value's red goes to the red byte, and the alpha byte stays.
    DWORD dw = 0x7F123456u;
    FhPixMix32(&dw, 1, 0x000000FF, 255);
    EXPECT_EQ(0x7FFF0000u, dw);
    dw = 0x7F804020u;
    FhPixMix32(&dw, 1, 0x00000000, 250);
    EXPECT_EQ(0x7F000000u, dw);
}

TEST_P(PixelLoops, HueChosenPixels) {
    WORD w = 0xF800;
    FhPixHue565(&w, 1, 120);
    EXPECT_EQ(0x07C0, w); // green 62, the doubled red
    w = P565(12, 24, 12); // grey: R = G = B after doubling
    FhPixHue565(&w, 1, 77);
    EXPECT_EQ(P565(12, 24, 12), w);
    DWORD dw = 0x33FF0000u;
    FhPixHue32(&dw, 1, -120);
    EXPECT_EQ(0x330000FFu, dw);
}

TEST_P(PixelLoops, Blend565MatchesDefinitionForEveryAlpha) {
    std::mt19937 rng(565);
    for (int nAlpha = 0; nAlpha <= 255; ++nAlpha) {
        for (size_t n : kLengths) {
            const size_t nOffset = rng() % 4;
            auto d = RandomRun<WORD>(rng, n + nOffset);
            const auto s = RandomRun<WORD>(rng, n + nOffset);
            auto expected = d;
            for (size_t i = nOffset; i < n + nOffset; ++i) {
                expected[i] = FhRefBlend565Const(d[i], s[i], nAlpha);
            }
            FhPixBlend565Const(d.data() + nOffset, s.data() + nOffset, n, nAlpha);
            ASSERT_EQ(expected, d) << "alpha " << nAlpha << " length " << n;
        }
    }
}

TEST_P(PixelLoops, PerPixelBlendsMatchDefinition) {
    std::mt19937 rng(63);
    for (int nRound = 0; nRound < 20; ++nRound) {
        for (size_t n : kLengths) {
            const size_t nOffset = rng() % 4;
            auto d = RandomRun<WORD>(rng, n + nOffset);
            const auto s = RandomRun<WORD>(rng, n + nOffset);
            auto a = RandomRun<BYTE>(rng, n + nOffset);
            for (auto& x : a) {
                x = nRound % 2 ? x % 64 : x; // half the rounds stay in the data model
            }
            auto expected = d;
            for (size_t i = nOffset; i < n + nOffset; ++i) {
                expected[i] = FhRefBlend565PerPixel(d[i], s[i], a[i]);
            }
            FhPixBlend565PerPixel(d.data() + nOffset, s.data() + nOffset, a.data() + nOffset, n);
            ASSERT_EQ(expected, d) << "length " << n;

            auto d32 = RandomRun<DWORD>(rng, n + nOffset);
            const auto s32 = RandomRun<DWORD>(rng, n + nOffset);
            auto expected32 = d32;
            for (size_t i = nOffset; i < n + nOffset; ++i) {
                expected32[i] = FhRefBlend32PerPixel(d32[i], s32[i]);
            }
            FhPixBlend32PerPixel(d32.data() + nOffset, s32.data() + nOffset, n);
            ASSERT_EQ(expected32, d32) << "length " << n;
        }
    }
}

TEST_P(PixelLoops, Blend32MatchesDefinitionForEveryAlpha) {
    std::mt19937 rng(32);
    for (int nAlpha = 0; nAlpha <= 255; ++nAlpha) {
        for (size_t n : kLengths) {
            const size_t nOffset = rng() % 4;
            auto d = RandomRun<DWORD>(rng, n + nOffset);
            const auto s = RandomRun<DWORD>(rng, n + nOffset);
            auto expected = d;
            for (size_t i = nOffset; i < n + nOffset; ++i) {
                expected[i] = FhRefBlend32Const(d[i], s[i], nAlpha);
            }
            FhPixBlend32Const(d.data() + nOffset, s.data() + nOffset, n, nAlpha);
            ASSERT_EQ(expected, d) << "alpha " << nAlpha << " length " << n;
        }
    }
}

TEST_P(PixelLoops, MixMatchesDefinitionForEveryAlpha) {
    std::mt19937 rng(1234);
    for (int nAlpha = 0; nAlpha <= 255; ++nAlpha) {
        // Black, a dark colour that is 0 in 565, and a random colour.
        const COLORREF colours[] = {0x00000000, 0x00030307, (COLORREF)(rng() & 0x00FFFFFF)};
        for (COLORREF cr : colours) {
            for (size_t n : {(size_t)1, (size_t)17, (size_t)800}) {
                for (BOOL bWhole : {FALSE, TRUE}) {
                    auto d = RandomRun<WORD>(rng, n);
                    auto expected = d;
                    for (auto& x : expected) {
                        x = 0 == cr ? FhRefMix565Black(x, nAlpha)
                                    : FhRefMix565Color(x, FhColorTo565(cr), nAlpha, bWhole);
                    }
                    FhPixMix565(d.data(), n, cr, nAlpha, bWhole);
                    ASSERT_EQ(expected, d) << "alpha " << nAlpha << " colour " << cr << " whole " << bWhole;
                }
                auto d32 = RandomRun<DWORD>(rng, n);
                auto expected32 = d32;
                for (auto& x : expected32) {
                    x = 0 == cr ? FhRefMix32Black(x, nAlpha) : FhRefMix32Color(x, cr, nAlpha);
                }
                FhPixMix32(d32.data(), n, cr, nAlpha);
                ASSERT_EQ(expected32, d32) << "alpha " << nAlpha << " colour " << cr;
            }
        }
    }
}

TEST_P(PixelLoops, Hue565MatchesDefinitionForEveryPixelAndOffset) {
    std::vector<WORD> all(65536);
    for (int nOffset = -180; nOffset <= 180; ++nOffset) {
        for (size_t i = 0; i < all.size(); ++i) {
            all[i] = (WORD)i;
        }
        FhPixHue565(all.data(), all.size(), nOffset);
        for (size_t i = 0; i < all.size(); ++i) {
            ASSERT_EQ(FhRefHue565((WORD)i, nOffset), all[i]) << "pixel " << i << " offset " << nOffset;
        }
    }
}

TEST_P(PixelLoops, Hue32MatchesDefinition) {
    std::mt19937 rng(360);
    for (int nOffset : {-180, -179, -120, -61, -60, -1, 0, 1, 59, 60, 61, 119, 120, 121, 179, 180}) {
        auto v = RandomRun<DWORD>(rng, 20000);
        // Greys and ties between the channels, which pick the hue formula.
        for (size_t i = 0; i < v.size(); i += 5) {
            const DWORD c = v[i] & 255;
            v[i] = (v[i] & 0xFF000000u) | c << 16 | c << 8 | (i % 2 ? c : (v[i] >> 8) & 255);
        }
        auto expected = v;
        for (auto& x : expected) {
            x = FhRefHue32(x, nOffset);
        }
        FhPixHue32(v.data(), v.size(), nOffset);
        ASSERT_EQ(expected, v) << "offset " << nOffset;
    }
}
