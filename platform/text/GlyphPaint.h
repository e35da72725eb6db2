// Pixels of text: coverage maps blended in a colour, and solid boxes, on a GDI surface. Only the
// platform's GDI sources include this; the caller holds the GDI lock.
#pragma once

#include "platform/GdiObjects.h"
#include "platform/text/FontEngine.h"

namespace text {

// A colour prepared for one surface format.
struct Ink {
    gdi::PixFmt fmt = gdi::PixFmt::Mono;
    uint32_t rgb = 0;   // 0x00RRGGBB
    uint32_t pixel = 0; // in the surface's format
};
Ink MakeInk(gdi::PixFmt fmt, COLORREF color);

// Blends the glyph's coverage, its pen at (x, y) on the baseline in device coordinates, into the
// surface within clip (device coordinates, already inside the surface). Each covered pixel becomes
// dst + (ink - dst) x coverage; a 32-bit pixel that the glyph touches gets 0 in its top byte, as
// GDI's other drawing gives it.
void PaintGlyph(const gdi::Surface& s, const RECT& clip, int x, int y, const Glyph& g, const Ink& ink);

// Fills [x0, x1) x [y0, y1) within clip.
void PaintBox(const gdi::Surface& s, const RECT& clip, long long x0, long long y0, long long x1, long long y1,
              const Ink& ink);

} // namespace text
