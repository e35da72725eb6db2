#include "wceui/bitmap/WceUiPixelOps.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__)) && !defined(WCEUI_NO_WIDE_VECTORS)
#define WCEUI_PIX_AVX2 1
#else
#define WCEUI_PIX_AVX2 0
#endif

namespace fh_pix_generic {
#include "wceui/bitmap/WceUiPixelKernels.inc"
} // namespace fh_pix_generic

#if WCEUI_PIX_AVX2
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
namespace fh_pix_avx2 {
#include "wceui/bitmap/WceUiPixelKernels.inc"
} // namespace fh_pix_avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

namespace {

bool DetectWideVectors() {
#if WCEUI_PIX_AVX2
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

const bool s_bHasWideVectors = DetectWideVectors();
bool s_bUseWideVectors = true;

inline bool Wide() {
    return s_bHasWideVectors && s_bUseWideVectors;
}

} // namespace

#if WCEUI_PIX_AVX2
#define FH_PIX_CALL(fn, ...)                                                                                 \
    do {                                                                                                     \
        if (Wide()) {                                                                                        \
            fh_pix_avx2::fn(__VA_ARGS__);                                                                    \
        } else {                                                                                             \
            fh_pix_generic::fn(__VA_ARGS__);                                                                 \
        }                                                                                                    \
    } while (0)
#else
#define FH_PIX_CALL(fn, ...) fh_pix_generic::fn(__VA_ARGS__)
#endif

void FhPixUseWideVectors(BOOL bUse) {
    s_bUseWideVectors = bUse != FALSE;
}

const char* FhPixVectorName() {
    return Wide() ? "avx2" : "generic";
}

void FhPixBlend565PerPixel(WORD* pDst, const WORD* pSrc, const BYTE* pAlpha, size_t n) {
    FH_PIX_CALL(Blend565PerPixel, pDst, pSrc, pAlpha, n);
}

void FhPixBlend565Const(WORD* pDst, const WORD* pSrc, size_t n, int nAlpha) {
    switch (FhGetAlphaBand(nAlpha)) {
        case WCEUI_ALPHA_BAND_NONE:
            break;
        case WCEUI_ALPHA_BAND_QUARTER:
            FH_PIX_CALL(Blend565Quarter, pDst, pSrc, n);
            break;
        case WCEUI_ALPHA_BAND_HALF:
            FH_PIX_CALL(Blend565Half, pDst, pSrc, n);
            break;
        case WCEUI_ALPHA_BAND_3QUARTER:
            FH_PIX_CALL(Blend565ThreeQuarter, pDst, pSrc, n);
            break;
        case WCEUI_ALPHA_BAND_COPY:
            memcpy(pDst, pSrc, n * sizeof(WORD));
            break;
        default:
            FH_PIX_CALL(Blend565Weighted, pDst, pSrc, n, (WORD)(nAlpha >> 2));
            break;
    }
}

void FhPixMix565(WORD* pDst, size_t n, COLORREF crColor, int nAlpha, BOOL bWholeLoop) {
    // Black is decided on the colour value itself: a dark colour that becomes 0 in 565 still mixes.
    const bool bBlack = (crColor & 0x00FFFFFFu) == 0;
    const WORD c = bBlack ? (WORD)0 : FhColorTo565(crColor);
    switch (FhGetAlphaBand(nAlpha)) {
        case WCEUI_ALPHA_BAND_NONE:
            break;
        case WCEUI_ALPHA_BAND_QUARTER:
            if (bBlack) {
                FH_PIX_CALL(Black565Quarter, pDst, n);
            } else {
                FH_PIX_CALL(Fill565Quarter, pDst, n, c);
            }
            break;
        case WCEUI_ALPHA_BAND_HALF:
            // With c = 0 both forms are d >> 1, the darkening of this band.
            if (bWholeLoop) {
                FH_PIX_CALL(Fill565HalfWhole, pDst, n, c);
            } else {
                FH_PIX_CALL(Fill565Half, pDst, n, c);
            }
            break;
        case WCEUI_ALPHA_BAND_3QUARTER:
            if (bWholeLoop) {
                FH_PIX_CALL(Fill565ThreeQuarterWhole, pDst, n, c);
            } else {
                FH_PIX_CALL(Fill565ThreeQuarter, pDst, n, c);
            }
            break;
        case WCEUI_ALPHA_BAND_COPY:
            FH_PIX_CALL(Fill565Set, pDst, n, c);
            break;
        default:
            FH_PIX_CALL(Fill565Weighted, pDst, n, c, (WORD)(nAlpha >> 2));
            break;
    }
}

void FhPixBlend32PerPixel(DWORD* pDst, const DWORD* pSrc, size_t n) {
    FH_PIX_CALL(Blend32PerPixel, pDst, pSrc, n);
}

void FhPixBlend32Const(DWORD* pDst, const DWORD* pSrc, size_t n, int nAlpha) {
    switch (FhGetAlphaBand(nAlpha)) {
        case WCEUI_ALPHA_BAND_NONE:
            break;
        case WCEUI_ALPHA_BAND_QUARTER:
            FH_PIX_CALL(Blend32Quarter, pDst, pSrc, n);
            break;
        case WCEUI_ALPHA_BAND_HALF:
            FH_PIX_CALL(Blend32Half, pDst, pSrc, n);
            break;
        case WCEUI_ALPHA_BAND_3QUARTER:
            FH_PIX_CALL(Blend32ThreeQuarter, pDst, pSrc, n);
            break;
        case WCEUI_ALPHA_BAND_COPY:
            FH_PIX_CALL(Blend32Copy, pDst, pSrc, n);
            break;
        default:
            FH_PIX_CALL(Blend32Weighted, pDst, pSrc, n, (DWORD)nAlpha);
            break;
    }
}

void FhPixMix32(DWORD* pDst, size_t n, COLORREF crColor, int nAlpha) {
    // Every darkening band of the 32-bit kind is the colour arithmetic with the colour 0.
    const DWORD c = FhColorTo32(crColor);
    switch (FhGetAlphaBand(nAlpha)) {
        case WCEUI_ALPHA_BAND_NONE:
            break;
        case WCEUI_ALPHA_BAND_QUARTER:
            FH_PIX_CALL(Fill32Quarter, pDst, n, c);
            break;
        case WCEUI_ALPHA_BAND_HALF:
            FH_PIX_CALL(Fill32Half, pDst, n, c);
            break;
        case WCEUI_ALPHA_BAND_3QUARTER:
            FH_PIX_CALL(Fill32ThreeQuarter, pDst, n, c);
            break;
        case WCEUI_ALPHA_BAND_COPY:
            FH_PIX_CALL(Fill32Set, pDst, n, c);
            break;
        default:
            FH_PIX_CALL(Fill32Weighted, pDst, n, c, (DWORD)nAlpha);
            break;
    }
}

// ---- hue rotation ----

namespace {

// inv[d] = floor(60 * 65536 / d), and the weights of the rising and falling edges of a 60-degree
// sector: floor(65536 * u / 60) and ceil(65536 * (60 - u) / 60).
struct HueTables {
    std::array<int, 256> inv{};
    std::array<int, 60> rise{};
    std::array<int, 60> fall{};
    constexpr HueTables() {
        for (int d = 1; d < 256; ++d) {
            inv[d] = 3932160 / d;
        }
        for (int u = 0; u < 60; ++u) {
            rise[u] = 65536 * u / 60;
            fall[u] = (65536 * (60 - u) + 59) / 60;
        }
    }
};
constexpr HueTables kHue;

// Channels are 6-bit (565, red and blue doubled) or 8-bit; the shifts by 16 of negative products round
// toward minus infinity (arithmetic shift).
inline void RotateHue(int& R, int& G, int& B, int nOffsetHue) {
    int nMax, nMin, nHue;
    if (G >= R && G >= B) {
        nMax = G;
        nMin = R < B ? R : B;
        nHue = 120 + ((kHue.inv[nMax - nMin] * (B - R)) >> 16);
    } else if (B >= R) {
        nMax = B;
        nMin = R < G ? R : G;
        nHue = 240 + ((kHue.inv[nMax - nMin] * (R - G)) >> 16);
    } else {
        nMax = R;
        nMin = G < B ? G : B;
        nHue = (kHue.inv[nMax - nMin] * (G - B)) >> 16;
    }
    const int d = nMax - nMin;
    int t = nHue + nOffsetHue;
    if (t < 0) {
        t += 360;
    } else if (t >= 360) {
        t -= 360;
    }
    const int nSector = t / 60;
    const int u = t - nSector * 60;
    switch (nSector) {
        case 0:
            R = nMax, G = nMin + ((d * kHue.rise[u]) >> 16), B = nMin;
            break;
        case 1:
            R = nMin + ((d * kHue.fall[u]) >> 16), G = nMax, B = nMin;
            break;
        case 2:
            R = nMin, G = nMax, B = nMin + ((d * kHue.rise[u]) >> 16);
            break;
        case 3:
            R = nMin, G = nMin + ((d * kHue.fall[u]) >> 16), B = nMax;
            break;
        case 4:
            // At 240 itself the rising weight is 0: pure blue.
            R = nMin + ((d * kHue.rise[u]) >> 16), G = nMin, B = nMax;
            break;
        default:
            R = nMax, G = nMin, B = nMin + ((d * kHue.fall[u]) >> 16);
            break;
    }
}

} // namespace

void FhPixHue565(WORD* pPixels, size_t n, int nOffsetHue) {
    // Images are mostly runs of equal pixels; remember the last one.
    WORD wLastIn = 0;
    WORD wLastOut = 0;
    bool bHaveLast = false;
    for (size_t i = 0; i < n; ++i) {
        const WORD w = pPixels[i];
        if (bHaveLast && w == wLastIn) {
            pPixels[i] = wLastOut;
            continue;
        }
        int R = (w >> 11) * 2;
        int G = (w >> 5) & 63;
        int B = (w & 31) * 2;
        WORD wOut = w;
        if (!(R == G && G == B)) {
            RotateHue(R, G, B, nOffsetHue);
            wOut = (WORD)(((R >> 1) << 11) | (G << 5) | (B >> 1));
        }
        pPixels[i] = wOut;
        wLastIn = w;
        wLastOut = wOut;
        bHaveLast = true;
    }
}

void FhPixHue32(DWORD* pPixels, size_t n, int nOffsetHue) {
    DWORD dwLastIn = 0;
    DWORD dwLastOut = 0;
    bool bHaveLast = false;
    for (size_t i = 0; i < n; ++i) {
        const DWORD dw = pPixels[i];
        if (bHaveLast && dw == dwLastIn) {
            pPixels[i] = dwLastOut;
            continue;
        }
        int R = (int)((dw >> 16) & 255);
        int G = (int)((dw >> 8) & 255);
        int B = (int)(dw & 255);
        DWORD dwOut = dw;
        if (!(R == G && G == B)) {
            RotateHue(R, G, B, nOffsetHue);
            dwOut = (dw & 0xFF000000u) | ((DWORD)R << 16) | ((DWORD)G << 8) | (DWORD)B;
        }
        pPixels[i] = dwOut;
        dwLastIn = dw;
        dwLastOut = dwOut;
        bHaveLast = true;
    }
}
