// The framework's own pixel loops: alpha blending, colour mixing and hue shifting on runs of pixels in
// bitmap memory. Each call works on one run: a row of a rectangle, or the whole pixel area of a bitmap
// when the operation covers all of it. The arithmetic, band by band, is that of WceUiPixelRef.h.
//
// On x86-64 the loops are also built for AVX2 and picked at run time when the processor has it, so one
// binary runs on any x86-64 and still uses the wide vector unit where there is one (WceUiPixelLoopSet.h).
#pragma once

#include "platform/WinCe.h"
#include "wceui/bitmap/WceUiPixelRef.h"

#include <cstddef>

// 565: per-pixel alpha from a plane (0..63, premultiplied source).
void FhPixBlend565PerPixel(WORD* pDst, const WORD* pSrc, const BYTE* pAlpha, size_t n);
// 565: constant alpha 0..255 by band.
void FhPixBlend565Const(WORD* pDst, const WORD* pSrc, size_t n, int nAlpha);
// 565 colour mixing: crColor is the platform colour value; its low 24 bits all zero means darken.
// bWholeLoop selects the whole-bitmap arithmetic (the run is then the bitmap's whole padded area).
void FhPixMix565(WORD* pDst, size_t n, COLORREF crColor, int nAlpha, BOOL bWholeLoop);

void FhPixBlend32PerPixel(DWORD* pDst, const DWORD* pSrc, size_t n);
void FhPixBlend32Const(DWORD* pDst, const DWORD* pSrc, size_t n, int nAlpha);
void FhPixMix32(DWORD* pDst, size_t n, COLORREF crColor, int nAlpha);

// Hue rotation by nOffsetHue degrees (-180..180); alpha bytes are kept. The round trip through hue is
// not exact, so even an offset of 0 changes some pixels: callers skip 0 themselves.
void FhPixHue565(WORD* pPixels, size_t n, int nOffsetHue);
void FhPixHue32(DWORD* pPixels, size_t n, int nOffsetHue);
