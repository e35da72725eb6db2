// Rectangle operations of the bitmap drawing: skin rectangle strings, clipping of blits (same size and
// scaled) and the placement of an image in an area by alignment flags.
#pragma once

#include "platform/WinCe.h"

// Alignment flags of CalcAlignRects: neither horizontal flag means left, neither vertical one top.
#define WCEUI_ALIGN_HCENTER 0x1
#define WCEUI_ALIGN_RIGHT 0x2
#define WCEUI_ALIGN_VCENTER 0x4
#define WCEUI_ALIGN_BOTTOM 0x8

// Parses "x, y, width, height" (four integers separated by blanks, tabs, line breaks or commas; a minus
// sign right before a number belongs to it) into left, top, right, bottom.
BOOL ConvertRectStrToRect(LPCWSTR pRectStr, LPRECT lpRect);

// Clips a same-size blit of rcSrc (inside rcSrcBounds) to rcDst (inside rcDstBounds). The outputs are
// the parts that both exist, each inside its bounds; FALSE (outputs empty) when nothing is left.
BOOL CalcBitBltRects(LPRECT lpOutDst, LPRECT lpOutSrc, LPCRECT lpDstBounds, LPCRECT lpSrcBounds,
                     LPCRECT lpDst, LPCRECT lpSrc);
// The same for a scaled blit; sizes may differ, and the clipped parts keep the scale.
BOOL CalcStretchBltRects(LPRECT lpOutDst, LPRECT lpOutSrc, LPCRECT lpDstBounds, LPCRECT lpSrcBounds,
                         LPCRECT lpDst, LPCRECT lpSrc);

// Places the image rectangle in the area without scaling, by the WCEUI_ALIGN_* flags: the destination
// part of the area and the source part of the image, of equal size. FALSE when that size is empty.
BOOL CalcAlignRects(LPRECT lpOutDst, LPRECT lpOutSrc, LPCRECT lpArea, LPCRECT lpImage, UINT nAlign);
