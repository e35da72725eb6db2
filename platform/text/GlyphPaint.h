// Pixels of text: coverage maps blended in a colour, and solid boxes, on a GDI surface. Only the
// platform's GDI sources include this; the caller holds the GDI lock.
#pragma once

#include "platform/GdiObjects.h"
#include "platform/text/FontEngine.h"

#include <vector>

namespace text {

// A colour prepared for one surface format.
struct Ink {
    gdi::PixFmt fmt = gdi::PixFmt::Mono;
    uint32_t rgb = 0;   // 0x00RRGGBB
    uint32_t pixel = 0; // in the surface's format
};
Ink MakeInk(gdi::PixFmt fmt, COLORREF color);

// The coverage of a line of glyphs within a box of the surface, gathered first so that the blend
// then runs over long rows. Where glyphs overlap the larger coverage counts.
class CoverageMask {
public:
    // Starts an empty mask over box (device coordinates, inside the surface).
    void Reset(const RECT& box);
    // Adds a glyph with its pen at (x, y) on the baseline, in device coordinates; what falls outside
    // the box is left out.
    void Add(long long x, long long y, const Glyph& g);
    // Moves the mask's box (its size stays) so that the same coverage paints elsewhere.
    void MoveTo(long long left, long long top);
    size_t Bytes() const { return m_cov.size(); }
    // Blends the ink into the surface by the mask: each pixel becomes dst + (ink - dst) x coverage;
    // a 32-bit pixel with any coverage gets 0 in its top byte, as GDI's other drawing gives it.
    void Paint(const gdi::Surface& s, const Ink& ink) const;

private:
    RECT m_box{0, 0, 0, 0};
    int m_width = 0;
    int m_stride = 0;      // the width and kRowSlack bytes that are never painted
    int m_filledRight = 0; // columns from here on hold no coverage yet
    std::vector<uint8_t> m_cov;
};

// Tests: keeps to the instructions every processor of the architecture has (no AVX2), so that both
// paths can be checked on one machine.
void UseBaselineVectorsOnly(bool on);

// Fills [x0, x1) x [y0, y1) within clip.
void PaintBox(const gdi::Surface& s, const RECT& clip, long long x0, long long y0, long long x1, long long y1,
              const Ink& ink);

} // namespace text
