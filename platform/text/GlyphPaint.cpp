// Glyph blending. A line's glyphs are first gathered into one coverage mask, which is then blended
// row by row, skipping the pieces the text leaves uncovered. The 16-bit formats blend with a 5-bit
// coverage (0..32), the 32-bit format with 0..256, channel by channel so that every product fits 16
// bits. Where SSE2 is available the same arithmetic runs on eight 16-bit lanes at once; the results
// are the same bit for bit. Both ends are exact: coverage 0 keeps the destination, full coverage
// gives the ink.
#include "platform/text/GlyphPaint.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define TEXT_HAVE_AVX2_PATH 1
#endif

namespace text {

namespace {

uint32_t RgbOf(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

template <int RShift, int GShift, unsigned GMask> struct Blend16 {
    static void Scalar(uint16_t* d, const uint8_t* cov, int n, uint32_t ink) {
        const unsigned ir = ink >> RShift, ig = (ink >> GShift) & GMask, ib = ink & 31;
        for (int i = 0; i < n; i++) {
            const unsigned a = (cov[i] + 4u) >> 3, na = 32 - a;
            const unsigned p = d[i];
            const unsigned r = ((p >> RShift) * na + ir * a) >> 5;
            const unsigned g = (((p >> GShift) & GMask) * na + ig * a) >> 5;
            const unsigned b = ((p & 31) * na + ib * a) >> 5;
            d[i] = static_cast<uint16_t>((r << RShift) | (g << GShift) | b);
        }
    }
    // 16 pixels.
    static void Piece(uint16_t* d, const uint8_t* cov, uint32_t ink) {
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const __m128i ir = _mm_set1_epi16(static_cast<short>(ink >> RShift));
        const __m128i ig = _mm_set1_epi16(static_cast<short>((ink >> GShift) & GMask));
        const __m128i ib = _mm_set1_epi16(static_cast<short>(ink & 31));
        const __m128i gmask = _mm_set1_epi16(static_cast<short>(GMask)), bmask = _mm_set1_epi16(31);
        const __m128i four = _mm_set1_epi16(4), full = _mm_set1_epi16(32);
        const __m128i c16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cov));
        for (int half = 0; half < 2; half++) {
            __m128i* dp = reinterpret_cast<__m128i*>(d + 8 * half);
            const __m128i c = half ? _mm_unpackhi_epi8(c16, zero) : _mm_unpacklo_epi8(c16, zero);
            const __m128i a = _mm_srli_epi16(_mm_add_epi16(c, four), 3);
            const __m128i na = _mm_sub_epi16(full, a);
            const __m128i p = _mm_loadu_si128(dp);
            __m128i r = _mm_srli_epi16(p, RShift);
            __m128i g = _mm_and_si128(_mm_srli_epi16(p, GShift), gmask);
            __m128i b = _mm_and_si128(p, bmask);
            r = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(r, na), _mm_mullo_epi16(ir, a)), 5);
            g = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(g, na), _mm_mullo_epi16(ig, a)), 5);
            b = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(b, na), _mm_mullo_epi16(ib, a)), 5);
            _mm_storeu_si128(
                dp, _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, RShift), _mm_slli_epi16(g, GShift)), b));
        }
#else
        Scalar(d, cov, 16, ink);
#endif
    }
#if defined(TEXT_HAVE_AVX2_PATH)
    // 16 pixels in one register, where the processor has AVX2.
    __attribute__((target("avx2"))) static void PieceAvx2(uint16_t* d, const uint8_t* cov, uint32_t ink) {
        const __m256i ir = _mm256_set1_epi16(static_cast<short>(ink >> RShift));
        const __m256i ig = _mm256_set1_epi16(static_cast<short>((ink >> GShift) & GMask));
        const __m256i ib = _mm256_set1_epi16(static_cast<short>(ink & 31));
        const __m256i gmask = _mm256_set1_epi16(static_cast<short>(GMask)), bmask = _mm256_set1_epi16(31);
        const __m256i c = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cov)));
        const __m256i a = _mm256_srli_epi16(_mm256_add_epi16(c, _mm256_set1_epi16(4)), 3);
        const __m256i na = _mm256_sub_epi16(_mm256_set1_epi16(32), a);
        __m256i* dp = reinterpret_cast<__m256i*>(d);
        const __m256i p = _mm256_loadu_si256(dp);
        __m256i r = _mm256_srli_epi16(p, RShift);
        __m256i g = _mm256_and_si256(_mm256_srli_epi16(p, GShift), gmask);
        __m256i b = _mm256_and_si256(p, bmask);
        r = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(r, na), _mm256_mullo_epi16(ir, a)), 5);
        g = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(g, na), _mm256_mullo_epi16(ig, a)), 5);
        b = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(b, na), _mm256_mullo_epi16(ib, a)), 5);
        _mm256_storeu_si256(
            dp,
            _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(r, RShift), _mm256_slli_epi16(g, GShift)), b));
    }
#endif
};
typedef Blend16<11, 5, 63> Blend565;
typedef Blend16<10, 5, 31> Blend555;

struct Blend8888 {
    static void Scalar(uint32_t* d, const uint8_t* cov, int n, uint32_t ink) {
        const unsigned ir = (ink >> 16) & 255, ig = (ink >> 8) & 255, ib = ink & 255;
        for (int i = 0; i < n; i++) {
            const unsigned c = cov[i];
            const unsigned a = c + (c >> 7), na = 256 - a;
            const uint32_t p = d[i];
            const unsigned r = (((p >> 16) & 255) * na + ir * a) >> 8;
            const unsigned g = (((p >> 8) & 255) * na + ig * a) >> 8;
            const unsigned b = ((p & 255) * na + ib * a) >> 8;
            const uint32_t top = c ? 0u : (p & 0xFF000000u);
            d[i] = top | (r << 16) | (g << 8) | b;
        }
    }
    // 16 pixels, two at a time in each 16-bit half.
    static void Piece(uint32_t* d, const uint8_t* cov, uint32_t ink) {
#if defined(__SSE2__)
        const __m128i zero = _mm_setzero_si128();
        const __m128i inkx2 = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(ink & 0xFFFFFF)), zero);
        const __m128i full = _mm_set1_epi16(256);
        const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
        for (int q = 0; q < 4; q++) {
            __m128i* dp = reinterpret_cast<__m128i*>(d + 4 * q);
            uint32_t c4;
            std::memcpy(&c4, cov + 4 * q, 4);
            const __m128i c16 = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(c4)), zero); // c0..c3
            const __m128i a16 = _mm_add_epi16(c16, _mm_srli_epi16(c16, 7));
            const __m128i a2 = _mm_unpacklo_epi16(a16, a16); // a0 a0 a1 a1 a2 a2 a3 a3
            const __m128i aLo = _mm_unpacklo_epi32(a2, a2), aHi = _mm_unpackhi_epi32(a2, a2);
            const __m128i p = _mm_loadu_si128(dp);
            const __m128i pLo = _mm_unpacklo_epi8(p, zero), pHi = _mm_unpackhi_epi8(p, zero);
            const __m128i lo = _mm_srli_epi16(
                _mm_add_epi16(_mm_mullo_epi16(pLo, _mm_sub_epi16(full, aLo)), _mm_mullo_epi16(inkx2, aLo)),
                8);
            const __m128i hi = _mm_srli_epi16(
                _mm_add_epi16(_mm_mullo_epi16(pHi, _mm_sub_epi16(full, aHi)), _mm_mullo_epi16(inkx2, aHi)),
                8);
            // The top byte stays where nothing covers the pixel and is 0 elsewhere.
            const __m128i uncovered = _mm_cmpeq_epi32(_mm_unpacklo_epi16(c16, zero), zero);
            const __m128i top = _mm_and_si128(_mm_andnot_si128(colour, p), uncovered);
            _mm_storeu_si128(dp, _mm_or_si128(_mm_and_si128(_mm_packus_epi16(lo, hi), colour), top));
        }
#else
        Scalar(d, cov, 16, ink);
#endif
    }
#if defined(TEXT_HAVE_AVX2_PATH)
    // 16 pixels, eight in each register. The unpacking works within each 128-bit half, so the
    // coverage is spread to match: pixels 0, 1, 4, 5 in the low unpack, 2, 3, 6, 7 in the high one.
    __attribute__((target("avx2"))) static void PieceAvx2(uint32_t* d, const uint8_t* cov, uint32_t ink) {
        const __m256i zero = _mm256_setzero_si256();
        const __m256i inkx = _mm256_unpacklo_epi8(_mm256_set1_epi32(static_cast<int>(ink & 0xFFFFFF)), zero);
        const __m256i full = _mm256_set1_epi16(256);
        const __m256i colour = _mm256_set1_epi32(0x00FFFFFF);
        const __m256i spreadLo = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5, 0, 1, 0, 1,
                                                  0, 1, 0, 1, 4, 5, 4, 5, 4, 5, 4, 5);
        const __m256i spreadHi = _mm256_setr_epi8(8, 9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13, 8,
                                                  9, 8, 9, 8, 9, 8, 9, 12, 13, 12, 13, 12, 13, 12, 13);
        for (int q = 0; q < 2; q++) {
            const __m128i c8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cov + 8 * q));
            if (_mm_cvtsi128_si64(c8) == 0)
                continue; // eight uncovered pixels
            __m256i* dp = reinterpret_cast<__m256i*>(d + 8 * q);
            const __m256i c = _mm256_cvtepu8_epi32(c8);
            const __m256i a = _mm256_add_epi32(c, _mm256_srli_epi32(c, 7));
            const __m256i aLo = _mm256_shuffle_epi8(a, spreadLo), aHi = _mm256_shuffle_epi8(a, spreadHi);
            const __m256i p = _mm256_loadu_si256(dp);
            const __m256i pLo = _mm256_unpacklo_epi8(p, zero), pHi = _mm256_unpackhi_epi8(p, zero);
            const __m256i lo =
                _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(pLo, _mm256_sub_epi16(full, aLo)),
                                                   _mm256_mullo_epi16(inkx, aLo)),
                                  8);
            const __m256i hi =
                _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(pHi, _mm256_sub_epi16(full, aHi)),
                                                   _mm256_mullo_epi16(inkx, aHi)),
                                  8);
            const __m256i top = _mm256_and_si256(_mm256_andnot_si256(colour, p), _mm256_cmpeq_epi32(c, zero));
            _mm256_storeu_si256(dp,
                                _mm256_or_si256(_mm256_and_si256(_mm256_packus_epi16(lo, hi), colour), top));
        }
    }
#endif
};

uint32_t BlendRgb(uint32_t dst, uint32_t src, uint32_t cov) {
    uint32_t a = cov + (cov >> 7);
    uint32_t rb = (((dst & 0xFF00FF) * (256 - a) + (src & 0xFF00FF) * a) >> 8) & 0xFF00FF;
    uint32_t g = (((dst & 0xFF00) * (256 - a) + (src & 0xFF00) * a) >> 8) & 0xFF00;
    return rb | g;
}

// Blends a row in pieces of 16 pixels, skipping pieces the text leaves uncovered (most of a line's
// area is space between and above the letters); the rest of the row pixel by pixel.
template <class Blend, class P, class PieceFn>
inline void BlendRow(P* d, const uint8_t* cov, int n, uint32_t ink, PieceFn piece) {
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        uint64_t a, b;
        std::memcpy(&a, cov + i, 8);
        std::memcpy(&b, cov + i + 8, 8);
        if ((a | b) != 0)
            piece(d + i, cov + i, ink);
    }
    if (i < n)
        Blend::Scalar(d + i, cov + i, n - i, ink);
}

bool g_baselineOnly = false;

bool HasAvx2() {
#if defined(TEXT_HAVE_AVX2_PATH)
    static const bool has = __builtin_cpu_supports("avx2");
    return has && !g_baselineOnly;
#else
    return false;
#endif
}

#if defined(TEXT_HAVE_AVX2_PATH)
// The row loop compiled for AVX2 as a whole, so that the pieces inline with their constants.
template <class Blend, class P>
__attribute__((target("avx2"))) void BlendRowsAvx2(const gdi::Surface& s, const RECT& box, const uint8_t* cov,
                                                   int stride, uint32_t ink) {
    const int width = box.right - box.left;
    for (int row = box.top; row < box.bottom; row++, cov += stride) {
        P* d = reinterpret_cast<P*>(s.Row(row)) + box.left;
        int i = 0;
        for (; i + 16 <= width; i += 16)
            if (!_mm_testz_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cov + i)),
                                 _mm_set1_epi8(static_cast<char>(0xFF))))
                Blend::PieceAvx2(d + i, cov + i, ink);
        if (i < width)
            Blend::Scalar(d + i, cov + i, width - i, ink);
    }
}
#endif

template <class Blend, class P>
void BlendRows(const gdi::Surface& s, const RECT& box, const uint8_t* cov, int stride, uint32_t ink) {
#if defined(TEXT_HAVE_AVX2_PATH)
    if (HasAvx2()) {
        BlendRowsAvx2<Blend, P>(s, box, cov, stride, ink);
        return;
    }
#endif
    const int width = box.right - box.left;
    for (int row = box.top; row < box.bottom; row++, cov += stride)
        BlendRow<Blend>(reinterpret_cast<P*>(s.Row(row)) + box.left, cov, width, ink, Blend::Piece);
}

} // namespace

void UseBaselineVectorsOnly(bool on) {
    g_baselineOnly = on;
}

Ink MakeInk(gdi::PixFmt fmt, COLORREF color) {
    Ink ink;
    ink.fmt = fmt;
    ink.rgb = RgbOf(color & 0xFFFFFF);
    ink.pixel = gdi::ColorToPixel(fmt, color & 0xFFFFFF);
    return ink;
}

void CoverageMask::Reset(const RECT& box) {
    m_box = box;
    m_width = box.right > box.left ? box.right - box.left : 0;
    m_stride = m_width + kRowSlack;
    m_filledRight = 0;
    const int height = box.bottom > box.top ? box.bottom - box.top : 0;
    m_cov.assign(m_width > 0 ? static_cast<size_t>(m_stride) * height : 0, 0);
}

void CoverageMask::MoveTo(long long left, long long top) {
    const LONG w = m_box.right - m_box.left, h = m_box.bottom - m_box.top;
    m_box.left = static_cast<LONG>(left);
    m_box.top = static_cast<LONG>(top);
    m_box.right = m_box.left + w;
    m_box.bottom = m_box.top + h;
}

void CoverageMask::Add(long long x, long long y, const Glyph& g) {
    if (g.width <= 0 || g.height <= 0 || m_cov.empty())
        return;
    const long long gx = x + g.left, gy = y - g.top;
    const long long x0 = std::max<long long>(gx, m_box.left),
                    x1 = std::min<long long>(gx + g.width, m_box.right);
    const long long y0 = std::max<long long>(gy, m_box.top),
                    y1 = std::min<long long>(gy + g.height, m_box.bottom);
    if (x0 >= x1 || y0 >= y1)
        return;
    // Whole 16-byte pieces: the glyph's rows are zero after their width, and what lands past the
    // mask's width falls in its slack, which is never painted. Where nothing has been drawn yet (the
    // usual case, glyphs coming left to right) the rows are copied; only glyphs that reach back
    // over earlier ones take the larger coverage, whose reading of fresh stores is slow.
    const int n = static_cast<int>(x1 - x0);
    const int mx = static_cast<int>(x0 - m_box.left);
    const bool fresh = mx >= m_filledRight;
    m_filledRight = std::max(m_filledRight, mx + n);
    const uint8_t* src = g.coverage.data() + (y0 - gy) * g.stride + (x0 - gx);
    uint8_t* dst = m_cov.data() + (y0 - m_box.top) * m_stride + mx;
    for (int rows = static_cast<int>(y1 - y0); rows > 0; rows--, src += g.stride, dst += m_stride) {
#if defined(__SSE2__)
        for (int i = 0; i < n; i += 16) {
            __m128i* dp = reinterpret_cast<__m128i*>(dst + i);
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
            _mm_storeu_si128(dp, fresh ? v : _mm_max_epu8(_mm_loadu_si128(dp), v));
        }
#else
        for (int i = 0; i < n; i++)
            dst[i] = fresh ? src[i] : std::max(dst[i], src[i]);
#endif
    }
}

void CoverageMask::Paint(const gdi::Surface& s, const Ink& ink) const {
    if (m_cov.empty())
        return;
    switch (s.fmt) {
        case gdi::PixFmt::Rgb565:
            BlendRows<Blend565, uint16_t>(s, m_box, m_cov.data(), m_stride, ink.pixel);
            return;
        case gdi::PixFmt::Rgb555:
            BlendRows<Blend555, uint16_t>(s, m_box, m_cov.data(), m_stride, ink.pixel);
            return;
        default:
            break;
    }
    if (s.fmt == gdi::PixFmt::Xrgb8888) {
        BlendRows<Blend8888, uint32_t>(s, m_box, m_cov.data(), m_stride, ink.rgb);
        return;
    }
    const int x0 = m_box.left;
    for (int row = m_box.top; row < m_box.bottom; row++) {
        const uint8_t* cov = m_cov.data() + static_cast<ptrdiff_t>(row - m_box.top) * m_stride;
        switch (s.fmt) {
            case gdi::PixFmt::Rgb888:
                for (int i = 0; i < m_width; i++) {
                    if (!cov[i])
                        continue;
                    uint32_t dst = gdi::LoadPixel(s, x0 + i, row);
                    gdi::StorePixel(s, x0 + i, row, BlendRgb(dst, ink.rgb, cov[i]));
                }
                break;
            case gdi::PixFmt::Mono:
                // Two colours only: the ink where the text covers at least half the pixel.
                for (int i = 0; i < m_width; i++)
                    if (cov[i] >= 128)
                        gdi::StorePixel(s, x0 + i, row, ink.pixel);
                break;
            default:
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
