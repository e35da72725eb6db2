// The coverage mask and its blends on synthetic glyphs, against the blend written out per pixel:
// the vector paths (16-pixel pieces, uncovered pieces skipped) must give exactly what the formula
// gives, on every format, at every offset, with overlapping glyphs and clipping.
#include "platform/text/GlyphPaint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

text::Glyph RandomGlyph(std::mt19937& rng, int width, int height, int left, int top) {
    text::Glyph g;
    g.width = width;
    g.height = height;
    g.left = left;
    g.top = top;
    g.stride = width + text::kRowSlack;
    g.coverage.assign(static_cast<size_t>(g.stride) * height, 0);
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            unsigned r = rng() % 4;
            g.coverage[static_cast<size_t>(y) * g.stride + x] = static_cast<uint8_t>(r == 0   ? 0
                                                                                     : r == 1 ? 255
                                                                                              : rng() % 256);
        }
    return g;
}

uint32_t Expected(gdi::PixFmt fmt, uint32_t p, uint32_t ink, unsigned c) {
    if (fmt == gdi::PixFmt::Xrgb8888) {
        unsigned a = c + (c >> 7), na = 256 - a;
        uint32_t out = 0;
        for (int shift : {0, 8, 16})
            out |= ((((p >> shift) & 255) * na + ((ink >> shift) & 255) * a) >> 8) << shift;
        return out | (c ? 0u : (p & 0xFF000000u));
    }
    const bool is565 = fmt == gdi::PixFmt::Rgb565;
    const int rs = is565 ? 11 : 10;
    const unsigned gm = is565 ? 63 : 31;
    unsigned a = (c + 4) >> 3, na = 32 - a;
    unsigned r = ((p >> rs) * na + (ink >> rs) * a) >> 5;
    unsigned g = (((p >> 5) & gm) * na + ((ink >> 5) & gm) * a) >> 5;
    unsigned b = ((p & 31) * na + (ink & 31) * a) >> 5;
    return (r << rs) | (g << 5) | b;
}

TEST(GlyphPaint, MaskBlendsEqualTheFormulaOnEveryFormat) {
    std::mt19937 rng(11);
    const int W = 75, H = 9;
    for (int baseline = 0; baseline < 2; baseline++)
        for (gdi::PixFmt fmt : {gdi::PixFmt::Rgb565, gdi::PixFmt::Rgb555, gdi::PixFmt::Xrgb8888}) {
            text::UseBaselineVectorsOnly(baseline != 0);
            const int bytes = fmt == gdi::PixFmt::Xrgb8888 ? 4 : 2;
            for (int trial = 0; trial < 20; trial++) {
                std::vector<uint8_t> buf(static_cast<size_t>(W) * H * bytes);
                for (uint8_t& b : buf)
                    b = static_cast<uint8_t>(rng());
                const std::vector<uint8_t> before = buf;
                gdi::Surface s;
                s.row0 = buf.data();
                s.pitch = W * bytes;
                s.width = W;
                s.height = H;
                s.fmt = fmt;
                const RECT box{static_cast<LONG>(rng() % 5), 1, static_cast<LONG>(W - rng() % 5), H - 1};
                text::CoverageMask mask;
                mask.Reset(box);
                std::vector<unsigned> cov(static_cast<size_t>(W) * H, 0);
                // Glyphs left to right with some reaching back over the previous one, and some hanging
                // over the box's edges; pens on baseline 6.
                int pen = -6;
                while (pen < W) {
                    text::Glyph g =
                        RandomGlyph(rng, 1 + static_cast<int>(rng() % 34), 1 + static_cast<int>(rng() % 9),
                                    static_cast<int>(rng() % 7) - 3, static_cast<int>(rng() % 9));
                    mask.Add(pen, 6, g);
                    for (int y = 0; y < g.height; y++)
                        for (int x = 0; x < g.width; x++) {
                            int px = pen + g.left + x, py = 6 - g.top + y;
                            if (px >= box.left && px < box.right && py >= box.top && py < box.bottom) {
                                unsigned& c = cov[static_cast<size_t>(py) * W + px];
                                c = std::max<unsigned>(c, g.coverage[static_cast<size_t>(y) * g.stride + x]);
                            }
                        }
                    pen += 1 + static_cast<int>(rng() % 14);
                }
                const COLORREF colour = RGB(rng() % 256, rng() % 256, rng() % 256);
                const text::Ink ink = text::MakeInk(fmt, colour);
                mask.Paint(s, ink);
                for (int y = 0; y < H; y++)
                    for (int x = 0; x < W; x++) {
                        uint32_t p = 0, q = 0;
                        std::memcpy(&p, before.data() + (static_cast<size_t>(y) * W + x) * bytes, bytes);
                        std::memcpy(&q, buf.data() + (static_cast<size_t>(y) * W + x) * bytes, bytes);
                        const uint32_t want =
                            Expected(fmt, p, ink.pixel, cov[static_cast<size_t>(y) * W + x]);
                        ASSERT_EQ(q, want)
                            << "format " << static_cast<int>(fmt) << " trial " << trial << " at " << x << ","
                            << y << (baseline ? " (baseline vectors)" : "");
                    }
            }
        }
    text::UseBaselineVectorsOnly(false);
}

} // namespace
