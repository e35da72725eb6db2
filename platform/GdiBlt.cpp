// Pixel work of GDI: format conversion, block transfers, nearest-pixel stretches, colour-key copies
// and fills. Copies between the colour formats run in loops specialised for each pair of formats
// (same-format rows are plain memory copies); monochrome bitmaps and raster operations other than a
// plain source copy take a per-pixel path.
#include "platform/GdiObjects.h"
#include "platform/WinSystem.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <vector>

namespace gdi {

namespace {

// Pixel format traits. "Rgb" values are 0x00RRGGBB. Narrow channels widen by repeating their high
// bits, so that full intensity stays full (31 -> 255, 63 -> 255) and 0 stays 0; wide channels narrow
// by dropping their low bits.

// Access to 16-bit pixels, shared by both 16-bit formats.
struct F16 {
    typedef uint16_t P;
    static constexpr int kBytes = 2;
    static P Load(const BYTE* row, int x) {
        P v;
        std::memcpy(&v, row + 2 * x, 2);
        return v;
    }
    static void Store(BYTE* row, int x, P v) { std::memcpy(row + 2 * x, &v, 2); }
};

struct F555 : F16 {
    static constexpr uint32_t kMask = 0x7FFF;
    static uint32_t ToRgb(uint32_t p) {
        uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
        return (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
    }
    static P FromRgb(uint32_t c) {
        return static_cast<P>(((c >> 9) & 0x7C00) | ((c >> 6) & 0x03E0) | ((c >> 3) & 0x1F));
    }
};

struct F565 : F16 {
    static constexpr uint32_t kMask = 0xFFFF;
    static uint32_t ToRgb(uint32_t p) {
        uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
        return (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) | ((b << 3) | (b >> 2));
    }
    static P FromRgb(uint32_t c) {
        return static_cast<P>(((c >> 8) & 0xF800) | ((c >> 5) & 0x07E0) | ((c >> 3) & 0x1F));
    }
};

struct F888 {
    typedef uint32_t P;
    static constexpr int kBytes = 3;
    static constexpr uint32_t kMask = 0xFFFFFF;
    static P Load(const BYTE* row, int x) {
        const BYTE* p = row + 3 * x;
        return static_cast<P>(p[0]) | (static_cast<P>(p[1]) << 8) | (static_cast<P>(p[2]) << 16);
    }
    static void Store(BYTE* row, int x, P v) {
        BYTE* p = row + 3 * x;
        p[0] = static_cast<BYTE>(v);
        p[1] = static_cast<BYTE>(v >> 8);
        p[2] = static_cast<BYTE>(v >> 16);
    }
    static uint32_t ToRgb(uint32_t p) { return p & 0xFFFFFF; }
    static P FromRgb(uint32_t c) { return c & 0xFFFFFF; }
};

struct F8888 {
    typedef uint32_t P;
    static constexpr int kBytes = 4;
    static constexpr uint32_t kMask = 0xFFFFFF; // colour bits; the top byte is not colour
    static P Load(const BYTE* row, int x) {
        P v;
        std::memcpy(&v, row + 4 * x, 4);
        return v;
    }
    static void Store(BYTE* row, int x, P v) { std::memcpy(row + 4 * x, &v, 4); }
    static uint32_t ToRgb(uint32_t p) { return p & 0xFFFFFF; }
    static P FromRgb(uint32_t c) { return c & 0xFFFFFF; }
};

template <class S, class D> inline typename D::P Convert(uint32_t p) {
    if constexpr (std::is_same_v<S, D>)
        return static_cast<typename D::P>(p);
    else
        return D::FromRgb(S::ToRgb(p));
}

// Calls fn with the traits object of a colour format; FALSE for monochrome.
template <class Fn> bool WithFormat(PixFmt f, Fn&& fn) {
    switch (f) {
        case PixFmt::Rgb555:
            fn(F555{});
            return true;
        case PixFmt::Rgb565:
            fn(F565{});
            return true;
        case PixFmt::Rgb888:
            fn(F888{});
            return true;
        case PixFmt::Xrgb8888:
            fn(F8888{});
            return true;
        case PixFmt::Mono:
            break;
    }
    return false;
}

uint32_t RgbFromColor(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
COLORREF ColorFromRgb(uint32_t rgb) {
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

uint32_t FormatMask(PixFmt f) {
    switch (f) {
        case PixFmt::Mono:
            return 1;
        case PixFmt::Rgb555:
            return 0x7FFF;
        case PixFmt::Rgb565:
            return 0xFFFF;
        case PixFmt::Rgb888:
        case PixFmt::Xrgb8888:
            return 0xFFFFFF;
    }
    return 0;
}

uint32_t ToRgbAny(PixFmt f, uint32_t p) {
    switch (f) {
        case PixFmt::Mono:
            return p ? 0xFFFFFF : 0;
        case PixFmt::Rgb555:
            return F555::ToRgb(p);
        case PixFmt::Rgb565:
            return F565::ToRgb(p);
        case PixFmt::Rgb888:
        case PixFmt::Xrgb8888:
            return p & 0xFFFFFF;
    }
    return 0;
}

// The rectangle [x0, x1) x [y0, y1) in device coordinates.
struct Box {
    int x0, y0, x1, y1;
    bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

Box Intersect(const Box& a, const Box& b) {
    return Box{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
}

int ClampInt(long long v) {
    if (v < -0x40000000LL)
        return -0x40000000;
    if (v > 0x40000000LL)
        return 0x40000000;
    return static_cast<int>(v);
}

// What a per-pixel conversion needs: monochrome sources take the destination context's text colour
// for 0 bits and its background colour for 1 bits; colour sources going to monochrome give 1 where the
// pixel equals the source context's background colour.
struct PixelCtx {
    PixFmt src = PixFmt::Mono;
    PixFmt dst = PixFmt::Mono;
    uint32_t fore = 0;  // destination pixel for a 0 bit
    uint32_t back = 0;  // destination pixel for a 1 bit
    uint32_t srcBk = 0; // source context's background colour in the source's format
};

uint32_t ConvertAny(const PixelCtx& c, uint32_t raw) {
    if (c.src == c.dst)
        return raw;
    if (c.src == PixFmt::Mono)
        return raw ? c.back : c.fore;
    if (c.dst == PixFmt::Mono)
        return (raw & FormatMask(c.src)) == c.srcBk ? 1 : 0;
    return ColorToPixel(c.dst, ColorFromRgb(ToRgbAny(c.src, raw)));
}

// A ternary raster operation on pixel values: bit i of code is the result for pattern, source and
// destination bits (P << 2) | (S << 1) | D = i.
uint32_t Rop3(uint8_t code, uint32_t p, uint32_t s, uint32_t d) {
    switch (code) {
        case 0x00:
            return 0;
        case 0xFF:
            return ~0u;
        case 0xCC:
            return s;
        case 0xF0:
            return p;
        case 0x55:
            return ~d;
        case 0x33:
            return ~s;
        case 0x88:
            return s & d;
        case 0xEE:
            return s | d;
        case 0x66:
            return s ^ d;
        case 0x44:
            return s & ~d;
        case 0x11:
            return ~(s | d);
        case 0x5A:
            return p ^ d;
        case 0xC0:
            return p & s;
        case 0xBB:
            return ~s | d;
        case 0xFB:
            return p | ~s | d;
        default:
            break;
    }
    uint32_t r = 0;
    for (int i = 0; i < 8; i++) {
        if (code & (1 << i))
            r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
    }
    return r;
}

bool RopUsesSource(uint8_t code) {
    return (((code >> 2) ^ code) & 0x33) != 0;
}
bool RopUsesPattern(uint8_t code) {
    return (((code >> 4) ^ code) & 0x0F) != 0;
}

// One transfer, clipped: destination pixels [box) take the source pixels xmap[x - box.x0] and
// ymap[y - box.y0] (or box shifted by (dx, dy) when the maps are empty).
struct Transfer {
    Surface dst;
    Surface src;
    bool hasSrc = false;
    Box box{0, 0, 0, 0};
    int dx = 0; // source = destination + (dx, dy) without maps
    int dy = 0;
    std::vector<int> xmap;
    std::vector<int> ymap;
    uint8_t rop = 0xCC;
    bool hasPattern = false;
    uint32_t pattern = 0; // in the destination's format
    bool transparent = false;
    uint32_t key = 0; // in the source's format
    PixelCtx ctx;
    std::vector<BYTE> scratch; // source copy when source and destination overlap
};

int SrcX(const Transfer& t, int x) {
    return t.xmap.empty() ? x + t.dx : t.xmap[x - t.box.x0];
}
int SrcY(const Transfer& t, int y) {
    return t.ymap.empty() ? y + t.dy : t.ymap[y - t.box.y0];
}

// Plain copies between colour formats, one row at a time.
template <class S, class D> void CopyRows(const Transfer& t) {
    const int n = t.box.x1 - t.box.x0;
    if constexpr (std::is_same_v<S, D>) {
        // Whole rows of two surfaces laid out alike are one block of memory: one move instead of one
        // per row (memmove keeps the result of an overlapping copy the same as a row-by-row one from a
        // copy of the source).
        const ptrdiff_t rowBytes = static_cast<ptrdiff_t>(n) * D::kBytes;
        const int rows = t.box.y1 - t.box.y0;
        if (t.xmap.empty() && t.ymap.empty() && rows > 1 && t.src.pitch == t.dst.pitch &&
            (t.dst.pitch == rowBytes || t.dst.pitch == -rowBytes)) {
            const int first = t.dst.pitch > 0 ? t.box.y0 : t.box.y1 - 1;
            std::memmove(t.dst.Row(first), t.src.Row(first + t.dy), static_cast<size_t>(rows) * rowBytes);
            return;
        }
    }
    const BYTE* prevSrc = nullptr;
    BYTE* prevDst = nullptr;
    for (int y = t.box.y0; y < t.box.y1; y++) {
        const BYTE* s = t.src.Row(SrcY(t, y));
        BYTE* d = t.dst.Row(y) + static_cast<ptrdiff_t>(t.box.x0) * D::kBytes;
        if (s == prevSrc) {
            // A stretch that repeats a source row repeats the finished destination row.
            std::memcpy(d, prevDst, static_cast<size_t>(n) * D::kBytes);
            continue;
        }
        if (t.xmap.empty()) {
            const BYTE* sp = s + static_cast<ptrdiff_t>(t.box.x0 + t.dx) * S::kBytes;
            if constexpr (std::is_same_v<S, D>) {
                std::memmove(d, sp, static_cast<size_t>(n) * D::kBytes);
            } else {
                for (int i = 0; i < n; i++)
                    D::Store(d, i, Convert<S, D>(S::Load(sp, i)));
            }
        } else {
            const int* xm = t.xmap.data();
            for (int i = 0; i < n; i++)
                D::Store(d, i, Convert<S, D>(S::Load(s, xm[i])));
        }
        prevSrc = s;
        prevDst = d;
    }
}

// Colour-key copies between colour formats.
template <class S, class D> void KeyRows(const Transfer& t) {
    const int n = t.box.x1 - t.box.x0;
    const uint32_t key = t.key;
    for (int y = t.box.y0; y < t.box.y1; y++) {
        const BYTE* s = t.src.Row(SrcY(t, y));
        BYTE* d = t.dst.Row(y) + static_cast<ptrdiff_t>(t.box.x0) * D::kBytes;
        if (t.xmap.empty()) {
            // Rewriting the kept pixels with their own value lets the loop run without branches.
            const BYTE* sp = s + static_cast<ptrdiff_t>(t.box.x0 + t.dx) * S::kBytes;
            for (int i = 0; i < n; i++) {
                uint32_t p = S::Load(sp, i);
                typename D::P kept = D::Load(d, i);
                D::Store(d, i, (p & S::kMask) != key ? Convert<S, D>(p) : kept);
            }
        } else {
            const int* xm = t.xmap.data();
            for (int i = 0; i < n; i++) {
                uint32_t p = S::Load(s, xm[i]);
                typename D::P kept = D::Load(d, i);
                D::Store(d, i, (p & S::kMask) != key ? Convert<S, D>(p) : kept);
            }
        }
    }
}

// Everything else, pixel by pixel: monochrome surfaces and raster operations.
void GeneralRows(const Transfer& t) {
    const uint32_t mask = FormatMask(t.dst.fmt);
    const bool useDst = ((((t.rop >> 1) ^ t.rop) & 0x55) != 0);
    for (int y = t.box.y0; y < t.box.y1; y++) {
        int sy = t.hasSrc ? SrcY(t, y) : 0;
        for (int x = t.box.x0; x < t.box.x1; x++) {
            uint32_t s = 0;
            if (t.hasSrc) {
                uint32_t raw = LoadPixel(t.src, SrcX(t, x), sy);
                if (t.transparent && (raw & FormatMask(t.src.fmt)) == t.key)
                    continue;
                s = ConvertAny(t.ctx, raw);
            }
            uint32_t d = useDst ? LoadPixel(t.dst, x, y) : 0;
            StorePixel(t.dst, x, y, Rop3(t.rop, t.pattern, s, d) & mask);
        }
    }
}

void Run(Transfer& t) {
    if (t.box.Empty())
        return;
    if (t.hasSrc && t.src.row0 == t.dst.row0 && t.src.pitch == t.dst.pitch) {
        // Source and destination are one surface: read from a copy of the source rows.
        int lo = t.src.height, hi = -1;
        for (int y = t.box.y0; y < t.box.y1; y++) {
            lo = std::min(lo, SrcY(t, y));
            hi = std::max(hi, SrcY(t, y));
        }
        size_t rowBytes = static_cast<size_t>(std::abs(t.src.pitch));
        t.scratch.resize(rowBytes * static_cast<size_t>(hi + 1));
        for (int y = lo; y <= hi; y++)
            std::memcpy(t.scratch.data() + rowBytes * static_cast<size_t>(y), t.src.Row(y), rowBytes);
        t.src.row0 = t.scratch.data();
        t.src.pitch = static_cast<ptrdiff_t>(rowBytes);
    }
    bool fast = t.hasSrc && t.rop == 0xCC && t.src.fmt != PixFmt::Mono && t.dst.fmt != PixFmt::Mono;
    if (fast) {
        WithFormat(t.src.fmt, [&](auto s) {
            WithFormat(t.dst.fmt, [&](auto d) {
                if (t.transparent)
                    KeyRows<decltype(s), decltype(d)>(t);
                else
                    CopyRows<decltype(s), decltype(d)>(t);
            });
        });
        return;
    }
    GeneralRows(t);
}

// Maps one axis of a stretch. The destination covers [d0, d0 + dExt) (corners ordered when dExt is
// negative) and takes, for its pixel i of n, source pixel (2i + 1) * sn / (2n) of the source span:
// the pixel under the centre of the destination pixel. Extents of opposite sign mirror. Fills map for
// the destination pixels inside [clipLo, clipHi) whose source lies in [srcLo, srcHi); returns the first
// such destination pixel in *lo and FALSE when there is none.
bool MapAxis(long long d0, long long dExt, long long s0, long long sExt, int clipLo, int clipHi, int srcLo,
             int srcHi, std::vector<int>& map, int* lo) {
    map.clear();
    const unsigned long long dn = static_cast<unsigned long long>(dExt < 0 ? -dExt : dExt);
    const unsigned long long sn = static_cast<unsigned long long>(sExt < 0 ? -sExt : sExt);
    const long long dL = dExt < 0 ? d0 + dExt : d0;
    const long long sL = sExt < 0 ? s0 + sExt : s0;
    const bool mirror = (dExt < 0) != (sExt < 0);
    long long a = std::max<long long>(dL, clipLo);
    long long b = std::min<long long>(dL + static_cast<long long>(dn), clipHi);
    if (a >= b)
        return false;
    int first = -1;
    for (long long x = a; x < b; x++) {
        unsigned long long i = static_cast<unsigned long long>(x - dL);
        long long j = static_cast<long long>(((2 * i + 1) * sn) / (2 * dn));
        if (mirror)
            j = static_cast<long long>(sn) - 1 - j;
        long long s = sL + j;
        if (s < srcLo || s >= srcHi) {
            if (first >= 0)
                break; // the map is monotonic: nothing further is inside
            continue;
        }
        if (first < 0)
            first = static_cast<int>(x);
        map.push_back(static_cast<int>(s));
    }
    *lo = first;
    return first >= 0;
}

struct Side {
    DcObj* dc = nullptr;
    Surface surface;
    RECT clip{0, 0, 0, 0};
};

bool GetSide(HDC hdc, Side* side) {
    side->dc = FindDc(hdc);
    if (!side->dc)
        return false;
    if (!DcSurface(side->dc, &side->surface, &side->clip)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

void PreparePixels(Transfer& t, const Side& dst, const Side* src) {
    t.dst = dst.surface;
    t.ctx.dst = dst.surface.fmt;
    t.ctx.fore = ColorToPixel(dst.surface.fmt, dst.dc->textColor);
    t.ctx.back = ColorToPixel(dst.surface.fmt, dst.dc->bkColor);
    if (src) {
        t.hasSrc = true;
        t.src = src->surface;
        t.ctx.src = src->surface.fmt;
        t.ctx.srcBk = ColorToPixel(src->surface.fmt, src->dc->bkColor);
    }
}

// The brush of the context as a pattern pixel; FALSE for a hollow brush (nothing to paint).
bool PatternOf(const Side& dst, Transfer& t) {
    BrushObj* brush = FindBrush(dst.dc->brush);
    if (!brush || brush->lb.lbStyle == BS_NULL)
        return false;
    t.hasPattern = true;
    t.pattern = ColorToPixel(dst.surface.fmt, brush->lb.lbColor);
    return true;
}

Box ClipBox(const Side& s) {
    return Box{s.clip.left, s.clip.top, s.clip.right, s.clip.bottom};
}

// Stretches (or, with equal extents, copies) between two contexts.
BOOL StretchTransfer(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                     int wSrc, int hSrc, DWORD rop, bool transparent, UINT key) {
    const uint8_t code = static_cast<uint8_t>(rop >> 16);
    Side dst;
    if (!GetSide(hdcDest, &dst))
        return FALSE;
    Transfer t;
    t.rop = code;
    const bool useSrc = transparent || RopUsesSource(code);
    Side src;
    if (useSrc) {
        if (!hdcSrc) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (!GetSide(hdcSrc, &src))
            return FALSE;
    }
    PreparePixels(t, dst, useSrc ? &src : nullptr);
    if (RopUsesPattern(code) && !PatternOf(dst, t))
        return TRUE;
    if (transparent) {
        t.transparent = true;
        t.key = ColorToPixel(src.surface.fmt, key);
    }
    if (wDest == 0 || hDest == 0 || (useSrc && (wSrc == 0 || hSrc == 0)))
        return TRUE;

    const long long dX = static_cast<long long>(xDest) + dst.dc->origin.x;
    const long long dY = static_cast<long long>(yDest) + dst.dc->origin.y;
    Box clip = ClipBox(dst);
    if (!useSrc) {
        long long x0 = wDest < 0 ? dX + wDest : dX, y0 = hDest < 0 ? dY + hDest : dY;
        Box box{ClampInt(x0), ClampInt(y0), ClampInt(x0 + std::abs(static_cast<long long>(wDest))),
                ClampInt(y0 + std::abs(static_cast<long long>(hDest)))};
        t.box = Intersect(box, clip);
        Run(t);
        return TRUE;
    }
    const long long sX = static_cast<long long>(xSrc) + src.dc->origin.x;
    const long long sY = static_cast<long long>(ySrc) + src.dc->origin.y;
    if (wDest == wSrc && hDest == hSrc) {
        // Unscaled: the source offset is constant.
        long long x0 = wDest < 0 ? dX + wDest : dX, y0 = hDest < 0 ? dY + hDest : dY;
        long long offX = sX - dX, offY = sY - dY;
        Box box{ClampInt(x0), ClampInt(y0), ClampInt(x0 + std::abs(static_cast<long long>(wDest))),
                ClampInt(y0 + std::abs(static_cast<long long>(hDest)))};
        Box srcInDst{ClampInt(-offX), ClampInt(-offY), ClampInt(src.surface.width - offX),
                     ClampInt(src.surface.height - offY)};
        t.box = Intersect(Intersect(box, clip), srcInDst);
        t.dx = static_cast<int>(offX);
        t.dy = static_cast<int>(offY);
        Run(t);
        return TRUE;
    }
    int x0 = 0, y0 = 0;
    if (!MapAxis(dX, wDest, sX, wSrc, clip.x0, clip.x1, 0, src.surface.width, t.xmap, &x0) ||
        !MapAxis(dY, hDest, sY, hSrc, clip.y0, clip.y1, 0, src.surface.height, t.ymap, &y0))
        return TRUE;
    t.box = Box{x0, y0, x0 + static_cast<int>(t.xmap.size()), y0 + static_cast<int>(t.ymap.size())};
    Run(t);
    return TRUE;
}

template <class T> void FillSpan(BYTE* d, int n, T v) {
    T* p = reinterpret_cast<T*>(d);
    std::fill(p, p + n, v);
}

// Fills a box of a surface with one pixel value: the first row by format, the rest copied from it.
void FillBox(const Surface& s, const Box& box, uint32_t pixel) {
    if (box.Empty())
        return;
    const int n = box.x1 - box.x0;
    if (s.fmt == PixFmt::Mono) {
        for (int y = box.y0; y < box.y1; y++)
            for (int x = box.x0; x < box.x1; x++)
                StorePixel(s, x, y, pixel);
        return;
    }
    int bytes = s.fmt == PixFmt::Xrgb8888 ? 4 : s.fmt == PixFmt::Rgb888 ? 3 : 2;
    BYTE* first = s.Row(box.y0) + static_cast<ptrdiff_t>(box.x0) * bytes;
    switch (s.fmt) {
        case PixFmt::Rgb555:
        case PixFmt::Rgb565:
            if ((reinterpret_cast<uintptr_t>(first) & 1) == 0) {
                FillSpan<uint16_t>(first, n, static_cast<uint16_t>(pixel));
                break;
            }
            for (int i = 0; i < n; i++)
                F565::Store(first, i, static_cast<uint16_t>(pixel));
            break;
        case PixFmt::Xrgb8888:
            if ((reinterpret_cast<uintptr_t>(first) & 3) == 0) {
                FillSpan<uint32_t>(first, n, pixel);
                break;
            }
            for (int i = 0; i < n; i++)
                F8888::Store(first, i, pixel);
            break;
        default:
            for (int i = 0; i < n; i++)
                F888::Store(first, i, pixel);
            break;
    }
    for (int y = box.y0 + 1; y < box.y1; y++)
        std::memcpy(s.Row(y) + static_cast<ptrdiff_t>(box.x0) * bytes, first, static_cast<size_t>(n) * bytes);
}

} // namespace

BOOL DcSurface(DcObj* dc, Surface* surface, RECT* clip) {
    Object* o = Find(dc->bitmap);
    if (!o || o->kind != Kind::Bitmap)
        return FALSE;
    const BitmapObj* bmp = static_cast<BitmapObj*>(o);
    *surface = bmp->View();
    RECT r{0, 0, bmp->width, bmp->height};
    if (dc->hasClip) {
        r.left = std::max(r.left, dc->clip.left);
        r.top = std::max(r.top, dc->clip.top);
        r.right = std::min(r.right, dc->clip.right);
        r.bottom = std::min(r.bottom, dc->clip.bottom);
    }
    *clip = r;
    return TRUE;
}

DWORD ColorToPixel(PixFmt fmt, COLORREF color) {
    uint32_t rgb = RgbFromColor(color & 0xFFFFFF);
    switch (fmt) {
        case PixFmt::Mono: {
            // The nearer of black and white.
            uint32_t sum = ((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF);
            return sum >= 383 ? 1 : 0;
        }
        case PixFmt::Rgb555:
            return F555::FromRgb(rgb);
        case PixFmt::Rgb565:
            return F565::FromRgb(rgb);
        case PixFmt::Rgb888:
        case PixFmt::Xrgb8888:
            return rgb;
    }
    return 0;
}

COLORREF PixelToColor(PixFmt fmt, DWORD pixel) {
    return ColorFromRgb(ToRgbAny(fmt, pixel));
}

DWORD LoadPixel(const Surface& s, int x, int y) {
    const BYTE* row = s.Row(y);
    switch (s.fmt) {
        case PixFmt::Mono:
            return (row[x >> 3] >> (7 - (x & 7))) & 1;
        case PixFmt::Rgb555:
        case PixFmt::Rgb565:
            return F565::Load(row, x);
        case PixFmt::Rgb888:
            return F888::Load(row, x);
        case PixFmt::Xrgb8888:
            return F8888::Load(row, x);
    }
    return 0;
}

void StorePixel(const Surface& s, int x, int y, DWORD pixel) {
    BYTE* row = s.Row(y);
    switch (s.fmt) {
        case PixFmt::Mono: {
            BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
            if (pixel & 1)
                row[x >> 3] |= bit;
            else
                row[x >> 3] &= static_cast<BYTE>(~bit);
            break;
        }
        case PixFmt::Rgb555:
        case PixFmt::Rgb565:
            F565::Store(row, x, static_cast<uint16_t>(pixel));
            break;
        case PixFmt::Rgb888:
            F888::Store(row, x, pixel);
            break;
        case PixFmt::Xrgb8888:
            F8888::Store(row, x, pixel);
            break;
    }
}

} // namespace gdi

using namespace gdi;

BOOL BitBlt(HDC hdcDest, int xDest, int yDest, int width, int height, HDC hdcSrc, int xSrc, int ySrc,
            DWORD rop) {
    Guard g(Lock());
    return StretchTransfer(hdcDest, xDest, yDest, width, height, hdcSrc, xSrc, ySrc, width, height, rop,
                           false, 0);
}

BOOL StretchBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                int wSrc, int hSrc, DWORD rop) {
    Guard g(Lock());
    return StretchTransfer(hdcDest, xDest, yDest, wDest, hDest, hdcSrc, xSrc, ySrc, wSrc, hSrc, rop, false,
                           0);
}

BOOL TransparentBlt(HDC hdcDest, int xDest, int yDest, int wDest, int hDest, HDC hdcSrc, int xSrc, int ySrc,
                    int wSrc, int hSrc, UINT crTransparent) {
    Guard g(Lock());
    if (!FindDc(hdcDest) || !FindDc(hdcSrc))
        return FALSE;
    if (wDest <= 0 || hDest <= 0 || wSrc <= 0 || hSrc <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return StretchTransfer(hdcDest, xDest, yDest, wDest, hDest, hdcSrc, xSrc, ySrc, wSrc, hSrc, SRCCOPY, true,
                           crTransparent);
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop) {
    Guard g(Lock());
    if (RopUsesSource(static_cast<uint8_t>(rop >> 16))) {
        if (FindDc(hdc))
            SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return StretchTransfer(hdc, x, y, width, height, nullptr, 0, 0, width, height, rop, false, 0);
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    Guard g(Lock());
    Side dst;
    if (!GetSide(hdc, &dst))
        return 0;
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    BrushObj* b = FindBrush(brush);
    if (!b)
        return 0;
    if (b->lb.lbStyle == BS_NULL)
        return 1;
    long long ox = dst.dc->origin.x, oy = dst.dc->origin.y;
    Box box{ClampInt(rect->left + ox), ClampInt(rect->top + oy), ClampInt(rect->right + ox),
            ClampInt(rect->bottom + oy)};
    FillBox(dst.surface, Intersect(box, ClipBox(dst)), ColorToPixel(dst.surface.fmt, b->lb.lbColor));
    return 1;
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    Guard g(Lock());
    Side s;
    if (!GetSide(hdc, &s))
        return CLR_INVALID;
    long long dx = static_cast<long long>(x) + s.dc->origin.x,
              dy = static_cast<long long>(y) + s.dc->origin.y;
    if (dx < s.clip.left || dx >= s.clip.right || dy < s.clip.top || dy >= s.clip.bottom)
        return CLR_INVALID;
    return PixelToColor(s.surface.fmt, LoadPixel(s.surface, static_cast<int>(dx), static_cast<int>(dy)));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    Guard g(Lock());
    Side s;
    if (!GetSide(hdc, &s))
        return CLR_INVALID;
    long long dx = static_cast<long long>(x) + s.dc->origin.x,
              dy = static_cast<long long>(y) + s.dc->origin.y;
    if (dx < s.clip.left || dx >= s.clip.right || dy < s.clip.top || dy >= s.clip.bottom)
        return CLR_INVALID;
    DWORD pixel = ColorToPixel(s.surface.fmt, color);
    StorePixel(s.surface, static_cast<int>(dx), static_cast<int>(dy), pixel);
    return PixelToColor(s.surface.fmt, pixel);
}
