// Glyph blending. The 16-bit formats blend with a 5-bit coverage (0..32) on all three channels at
// once, the pixel spread over 32 bits so that every channel has room for the product; 32-bit pixels
// blend red and blue together and green alone with a coverage of 0..256. Every path is branch-free
// per pixel so that the compiler can vectorise it, and exact at both ends: coverage 0 keeps the
// destination, full coverage gives the ink.
#include "platform/text/GlyphPaint.h"

#include <algorithm>
#include <cstring>

namespace text {

namespace {

uint32_t RgbOf(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// 16-bit pixels spread so that each channel has five free bits above it.
template <uint32_t Spread> struct Wide16 {
    static uint32_t Spread16(uint32_t p) { return (p | (p << 16)) & Spread; }
    static uint16_t Pack(uint32_t v) { return static_cast<uint16_t>(v | (v >> 16)); }
    static void Row(uint16_t* d, const uint8_t* cov, int n, uint32_t ink) {
        for (int i = 0; i < n; i++) {
            uint32_t a = (static_cast<uint32_t>(cov[i]) + 4) >> 3;
            uint32_t dv = Spread16(d[i]);
            uint32_t v = ((dv * (32 - a) + ink * a) >> 5) & Spread;
            d[i] = Pack(v);
        }
    }
};
typedef Wide16<0x07E0F81Fu> Wide565;
typedef Wide16<0x03E07C1Fu> Wide555;

void Row8888(uint32_t* d, const uint8_t* cov, int n, uint32_t ink) {
    const uint32_t srb = ink & 0xFF00FF, sg = ink & 0xFF00;
    for (int i = 0; i < n; i++) {
        uint32_t c = cov[i];
        uint32_t a = c + (c >> 7);
        uint32_t dv = d[i];
        uint32_t rb = (((dv & 0xFF00FF) * (256 - a) + srb * a) >> 8) & 0xFF00FF;
        uint32_t g = (((dv & 0xFF00) * (256 - a) + sg * a) >> 8) & 0xFF00;
        uint32_t top = c ? 0u : (dv & 0xFF000000u);
        d[i] = top | rb | g;
    }
}

uint32_t BlendRgb(uint32_t dst, uint32_t src, uint32_t cov) {
    uint32_t a = cov + (cov >> 7);
    uint32_t rb = (((dst & 0xFF00FF) * (256 - a) + (src & 0xFF00FF) * a) >> 8) & 0xFF00FF;
    uint32_t g = (((dst & 0xFF00) * (256 - a) + (src & 0xFF00) * a) >> 8) & 0xFF00;
    return rb | g;
}

} // namespace

Ink MakeInk(gdi::PixFmt fmt, COLORREF color) {
    Ink ink;
    ink.fmt = fmt;
    ink.rgb = RgbOf(color & 0xFFFFFF);
    ink.pixel = gdi::ColorToPixel(fmt, color & 0xFFFFFF);
    return ink;
}

void PaintGlyph(const gdi::Surface& s, const RECT& clip, int x, int y, const Glyph& g, const Ink& ink) {
    if (g.width <= 0 || g.height <= 0)
        return;
    const long long gx = static_cast<long long>(x) + g.left, gy = static_cast<long long>(y) - g.top;
    const long long x0 = std::max<long long>(gx, clip.left),
                    x1 = std::min<long long>(gx + g.width, clip.right);
    const long long y0 = std::max<long long>(gy, clip.top),
                    y1 = std::min<long long>(gy + g.height, clip.bottom);
    if (x0 >= x1 || y0 >= y1)
        return;
    const int n = static_cast<int>(x1 - x0);
    for (long long row = y0; row < y1; row++) {
        const uint8_t* cov = g.coverage.data() + (row - gy) * g.width + (x0 - gx);
        BYTE* line = s.Row(static_cast<int>(row));
        switch (s.fmt) {
            case gdi::PixFmt::Rgb565:
                Wide565::Row(reinterpret_cast<uint16_t*>(line) + x0, cov, n, Wide565::Spread16(ink.pixel));
                break;
            case gdi::PixFmt::Rgb555:
                Wide555::Row(reinterpret_cast<uint16_t*>(line) + x0, cov, n, Wide555::Spread16(ink.pixel));
                break;
            case gdi::PixFmt::Xrgb8888:
                Row8888(reinterpret_cast<uint32_t*>(line) + x0, cov, n, ink.rgb);
                break;
            case gdi::PixFmt::Rgb888:
                for (int i = 0; i < n; i++) {
                    if (!cov[i])
                        continue;
                    int px = static_cast<int>(x0) + i;
                    uint32_t dst = gdi::LoadPixel(s, px, static_cast<int>(row));
                    gdi::StorePixel(s, px, static_cast<int>(row), BlendRgb(dst, ink.rgb, cov[i]));
                }
                break;
            case gdi::PixFmt::Mono:
                // Two colours only: the ink where the glyph covers at least half the pixel.
                for (int i = 0; i < n; i++)
                    if (cov[i] >= 128)
                        gdi::StorePixel(s, static_cast<int>(x0) + i, static_cast<int>(row), ink.pixel);
                break;
        }
    }
}

void PaintBox(const gdi::Surface& s, const RECT& clip, long long x0, long long y0, long long x1, long long y1,
              const Ink& ink) {
    x0 = std::max<long long>(x0, clip.left);
    x1 = std::min<long long>(x1, clip.right);
    y0 = std::max<long long>(y0, clip.top);
    y1 = std::min<long long>(y1, clip.bottom);
    if (x0 >= x1 || y0 >= y1)
        return;
    for (long long row = y0; row < y1; row++) {
        BYTE* line = s.Row(static_cast<int>(row));
        switch (s.fmt) {
            case gdi::PixFmt::Rgb565:
            case gdi::PixFmt::Rgb555:
                std::fill(reinterpret_cast<uint16_t*>(line) + x0, reinterpret_cast<uint16_t*>(line) + x1,
                          static_cast<uint16_t>(ink.pixel));
                break;
            case gdi::PixFmt::Xrgb8888:
                std::fill(reinterpret_cast<uint32_t*>(line) + x0, reinterpret_cast<uint32_t*>(line) + x1,
                          ink.pixel);
                break;
            default:
                for (long long px = x0; px < x1; px++)
                    gdi::StorePixel(s, static_cast<int>(px), static_cast<int>(row), ink.pixel);
                break;
        }
    }
}

} // namespace text
