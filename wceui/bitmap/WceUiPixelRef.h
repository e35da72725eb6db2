// The pixel arithmetic of blending, colour mixing and hue shifting, written out one pixel and one channel
// at a time. This is the definition the fast loops of WceUiPixelOps must reproduce bit for bit; tests run
// both over the same images and compare. Nothing in the drawing path calls these.
#pragma once

#include "platform/WinCe.h"

// Alpha bands: every constant alpha (blend constant, mix alpha) picks one of these arithmetics.
enum {
    WCEUI_ALPHA_BAND_NONE = 0,     // 0..8: nothing is drawn
    WCEUI_ALPHA_BAND_QUARTER = 1,  // 56..72
    WCEUI_ALPHA_BAND_HALF = 2,     // 120..136
    WCEUI_ALPHA_BAND_3QUARTER = 3, // 184..200
    WCEUI_ALPHA_BAND_COPY = 4,     // 247..255: the source replaces the destination
    WCEUI_ALPHA_BAND_WEIGHTED = 5  // everything else
};

inline int FhGetAlphaBand(int nAlpha) {
    if (nAlpha <= 8) {
        return WCEUI_ALPHA_BAND_NONE;
    }
    if (nAlpha >= 56 && nAlpha <= 72) {
        return WCEUI_ALPHA_BAND_QUARTER;
    }
    if (nAlpha >= 120 && nAlpha <= 136) {
        return WCEUI_ALPHA_BAND_HALF;
    }
    if (nAlpha >= 184 && nAlpha <= 200) {
        return WCEUI_ALPHA_BAND_3QUARTER;
    }
    if (nAlpha >= 247) {
        return WCEUI_ALPHA_BAND_COPY;
    }
    return WCEUI_ALPHA_BAND_WEIGHTED;
}

// The platform colour value 0x00BBGGRR as a 565 pixel.
inline WORD FhColorTo565(COLORREF cr) {
    return (WORD)(((GetRValue(cr) >> 3) << 11) | ((GetGValue(cr) >> 2) << 5) | (GetBValue(cr) >> 3));
}
// The platform colour value as the colour bytes of a 32-bit pixel 0x00RRGGBB (alpha byte zero).
inline DWORD FhColorTo32(COLORREF cr) {
    return ((DWORD)GetRValue(cr) << 16) | ((DWORD)GetGValue(cr) << 8) | (DWORD)GetBValue(cr);
}

// 565 kind. Alpha plane values above 63 lie outside the data model; they count as 63 (opaque).
WORD FhRefBlend565PerPixel(WORD wDst, WORD wSrc, BYTE byAlpha);
WORD FhRefBlend565Const(WORD wDst, WORD wSrc, int nAlpha);
// bWholeLoop selects the arithmetic of the whole-bitmap loop (differs in the colour bands 2 and 3).
WORD FhRefMix565Color(WORD wDst, WORD wColor, int nAlpha, BOOL bWholeLoop);
WORD FhRefMix565Black(WORD wDst, int nAlpha);
WORD FhRefHue565(WORD wPixel, int nOffsetHue);

// 32-bit kind (0xAARRGGBB); the destination's alpha byte is kept by every operation.
DWORD FhRefBlend32PerPixel(DWORD dwDst, DWORD dwSrc);
DWORD FhRefBlend32Const(DWORD dwDst, DWORD dwSrc, int nAlpha);
// crColor is the platform colour value (red in the low byte).
DWORD FhRefMix32Color(DWORD dwDst, COLORREF crColor, int nAlpha);
DWORD FhRefMix32Black(DWORD dwDst, int nAlpha);
DWORD FhRefHue32(DWORD dwPixel, int nOffsetHue);
