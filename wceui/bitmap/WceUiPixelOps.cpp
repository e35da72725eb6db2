#include "wceui/bitmap/WceUiPixelOps.h"

#include "wceui/bitmap/WceUiPixelLoopSet.h"

#include <array>
#include <cstring>

// The loops that use the compiler's vector extension take vectors of the instruction set's width:
// 128 bits for the portable loops (SSE2 on any x86-64), 256 bits for AVX2.
namespace fh_pix_generic {
typedef uint32_t FhVecU32 __attribute__((vector_size(16)));
typedef uint16_t FhVecU16 __attribute__((vector_size(16)));
typedef uint8_t FhVecU8 __attribute__((vector_size(16)));
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
typedef uint32_t FhVecU32 __attribute__((vector_size(32)));
typedef uint16_t FhVecU16 __attribute__((vector_size(32)));
typedef uint8_t FhVecU8 __attribute__((vector_size(32)));
#include "wceui/bitmap/WceUiPixelKernels.inc"
} // namespace fh_pix_avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

#if WCEUI_PIX_AVX2
#define FH_PIX_CALL(fn, ...)                                                                                 \
    do {                                                                                                     \
        if (FhPixWideVectorsInUse()) {                                                                       \
            fh_pix_avx2::fn(__VA_ARGS__);                                                                    \
        } else {                                                                                             \
            fh_pix_generic::fn(__VA_ARGS__);                                                                 \
        }                                                                                                    \
    } while (0)
#else
#define FH_PIX_CALL(fn, ...) fh_pix_generic::fn(__VA_ARGS__)
#endif

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

// The tables of the hue loops (see HueRotate in WceUiPixelKernels.inc).
struct HueTables {
    std::array<int, 256> inv{};
    std::array<int, 360> step{};
    constexpr HueTables() {
        for (int d = 1; d < 256; ++d) {
            inv[d] = 3932160 / d;
        }
        enum { MAX = 0, MIN = 1, MID = 2 };
        // Red, green and blue per 60-degree sector; the middle channel rises in sectors 0, 2 and 4 with
        // floor(65536 * u / 60) and falls in 1, 3 and 5 with ceil(65536 * (60 - u) / 60), u = t mod 60.
        // Sector 4 starts at exactly 240, where the rising weight is 0: pure blue.
        const int sectorRoles[6][3] = {{MAX, MID, MIN}, {MID, MAX, MIN}, {MIN, MAX, MID},
                                       {MIN, MID, MAX}, {MID, MIN, MAX}, {MAX, MIN, MID}};
        for (int t = 0; t < 360; ++t) {
            const int nSector = t / 60;
            const int u = t % 60;
            const int nWeight = 0 == nSector % 2 ? 65536 * u / 60 : (65536 * (60 - u) + 59) / 60;
            step[t] = nWeight | sectorRoles[nSector][0] << 20 | sectorRoles[nSector][1] << 22 |
                      sectorRoles[nSector][2] << 24;
        }
    }
};
constexpr HueTables kHue;

} // namespace

void FhPixHue565(WORD* pPixels, size_t n, int nOffsetHue) {
    FH_PIX_CALL(Hue565, pPixels, n, nOffsetHue, kHue.inv.data(), kHue.step.data());
}

void FhPixHue32(DWORD* pPixels, size_t n, int nOffsetHue) {
    FH_PIX_CALL(Hue32, pPixels, n, nOffsetHue, kHue.inv.data(), kHue.step.data());
}
