#include "wceui/bitmap/WceUiRectOps.h"

#include "wceui/core/WceUiLog.h"

#include <climits>

namespace {

// Extents in 64 bits, so that no rectangle a caller passes can overflow them.
long long Width(const RECT& rc) {
    return (long long)rc.right - rc.left;
}
long long Height(const RECT& rc) {
    return (long long)rc.bottom - rc.top;
}

bool IsDigitW(WCHAR c) {
    return c >= u'0' && c <= u'9';
}

bool IsNumberLead(WCHAR c) {
    return u'\t' == c || u'\r' == c || u'\n' == c || u' ' == c || u',' == c || u'-' == c;
}

// The string-to-long conversion of the device, whose long is 32 bits: out-of-range values saturate.
LONG ToLong32(LPCWSTR p) {
    const long lValue = WStrToL(p, NULL, 10);
    if (lValue > INT_MAX) {
        return INT_MAX;
    }
    if (lValue < INT_MIN) {
        return INT_MIN;
    }
    return (LONG)lValue;
}

// 32-bit sum that wraps as the device's arithmetic does, without undefined behaviour.
LONG AddWrap(LONG a, LONG b) {
    return (LONG)(int32_t)(uint32_t)((uint32_t)a + (uint32_t)b);
}

LONG Clamp32(long long ll) {
    return ll > INT_MAX ? INT_MAX : (ll < INT_MIN ? INT_MIN : (LONG)ll);
}

// Conversion to integer toward zero, kept inside the 32-bit range.
LONG Trunc(double d) {
    if (d >= (double)INT_MAX) {
        return INT_MAX;
    }
    if (d <= (double)INT_MIN) {
        return INT_MIN;
    }
    return (LONG)d;
}

} // namespace

BOOL ConvertRectStrToRect(LPCWSTR pRectStr, LPRECT lpRect) {
    if (!WCEUI_CHECK("ConvertRectStrToRect", NULL != pRectStr)) {
        return FALSE;
    }
    if (!WCEUI_CHECK("ConvertRectStrToRect", NULL != lpRect) || 0 == pRectStr[0]) {
        return FALSE;
    }
    LPCWSTR pStarts[4];
    int nFound = 0;
    for (LPCWSTR p = pRectStr; *p && nFound < 4; ++p) {
        if (!IsDigitW(*p)) {
            continue;
        }
        if (p == pRectStr) {
            pStarts[nFound++] = p;
        } else if (IsNumberLead(p[-1])) {
            pStarts[nFound++] = u'-' == p[-1] ? p - 1 : p;
        }
    }
    if (nFound < 4) {
        return FALSE;
    }
    const LONG x = ToLong32(pStarts[0]);
    const LONG y = ToLong32(pStarts[1]);
    const LONG cx = ToLong32(pStarts[2]);
    const LONG cy = ToLong32(pStarts[3]);
    lpRect->left = x;
    lpRect->top = y;
    lpRect->right = AddWrap(x, cx);
    lpRect->bottom = AddWrap(y, cy);
    return TRUE;
}

BOOL CalcBitBltRects(LPRECT lpOutDst, LPRECT lpOutSrc, LPCRECT lpDstBounds, LPCRECT lpSrcBounds,
                     LPCRECT lpDst, LPCRECT lpSrc) {
    const RECT& rcDst = *lpDst;
    const RECT& rcSrc = *lpSrc;
    WceUiCheck(Width(rcDst) == Width(rcSrc), "CalcBitBltRects", "rcDst.Width() == rcSrc.Width()");
    WceUiCheck(Height(rcDst) == Height(rcSrc), "CalcBitBltRects", "rcDst.Height() == rcSrc.Height()");
    SetRectEmpty(lpOutDst);
    SetRectEmpty(lpOutSrc);
    RECT rcA, rcB;
    if (!IntersectRect(&rcA, lpDst, lpDstBounds) || !IntersectRect(&rcB, lpSrc, lpSrcBounds)) {
        return FALSE;
    }
    if (EqualRect(&rcA, lpDst) && EqualRect(&rcB, lpSrc)) {
        *lpOutDst = rcDst;
        *lpOutSrc = rcSrc;
        return TRUE;
    }
    RECT rcMoved = rcB;
    OffsetRect(&rcMoved, rcDst.left - rcSrc.left, rcDst.top - rcSrc.top);
    RECT rcFinalDst;
    if (!IntersectRect(&rcFinalDst, &rcMoved, lpDstBounds)) {
        return FALSE;
    }
    RECT rcFinalSrc = rcFinalDst;
    OffsetRect(&rcFinalSrc, rcSrc.left - rcDst.left, rcSrc.top - rcDst.top);
    RECT rcTemp;
    const BOOL bTemp = IntersectRect(&rcTemp, &rcFinalSrc, lpSrcBounds);
    WCEUI_CHECK("CalcBitBltRects", bTemp);
    WceUiCheck(EqualRect(&rcTemp, &rcFinalSrc), "CalcBitBltRects", "rcTemp == rcFinalSrc");
    *lpOutDst = rcFinalDst;
    *lpOutSrc = rcFinalSrc;
    return TRUE;
}

BOOL CalcStretchBltRects(LPRECT lpOutDst, LPRECT lpOutSrc, LPCRECT lpDstBounds, LPCRECT lpSrcBounds,
                         LPCRECT lpDst, LPCRECT lpSrc) {
    const RECT& rcDst = *lpDst;
    const RECT& rcSrc = *lpSrc;
    if (Width(rcDst) == Width(rcSrc) && Height(rcDst) == Height(rcSrc)) {
        return CalcBitBltRects(lpOutDst, lpOutSrc, lpDstBounds, lpSrcBounds, lpDst, lpSrc);
    }
    SetRectEmpty(lpOutDst);
    SetRectEmpty(lpOutSrc);
    RECT rcA, rcB;
    if (!IntersectRect(&rcA, lpDst, lpDstBounds) || !IntersectRect(&rcB, lpSrc, lpSrcBounds)) {
        return FALSE;
    }
    if (EqualRect(&rcA, lpDst) && EqualRect(&rcB, lpSrc)) {
        *lpOutDst = rcDst;
        *lpOutSrc = rcSrc;
        return TRUE;
    }
    // Both intersections are non-empty, so both rectangles have positive extents here.
    const double sx = (double)Width(rcDst) / (double)Width(rcSrc);
    const double sy = (double)Height(rcDst) / (double)Height(rcSrc);
    RECT rcMapped;
    rcMapped.left = Clamp32(rcDst.left - (long long)Trunc((double)((long long)rcSrc.left - rcB.left) * sx));
    rcMapped.top = Clamp32(rcDst.top - (long long)Trunc((double)((long long)rcSrc.top - rcB.top) * sy));
    rcMapped.right = Clamp32(rcMapped.left + (long long)Trunc((double)Width(rcB) * sx));
    rcMapped.bottom = Clamp32(rcMapped.top + (long long)Trunc((double)Height(rcB) * sy));
    RECT rcOutDst;
    if (!IntersectRect(&rcOutDst, &rcMapped, lpDstBounds)) {
        return FALSE;
    }
    const double rx = 1.0 / sx;
    const double ry = 1.0 / sy;
    RECT rcS;
    rcS.left = Clamp32(rcSrc.left - (long long)Trunc((double)((long long)rcDst.left - rcOutDst.left) * rx));
    rcS.top = Clamp32(rcSrc.top - (long long)Trunc((double)((long long)rcDst.top - rcOutDst.top) * ry));
    rcS.right = Clamp32(rcS.left + (long long)Trunc((double)Width(rcOutDst) * rx));
    rcS.bottom = Clamp32(rcS.top + (long long)Trunc((double)Height(rcOutDst) * ry));
    RECT rcOutSrc;
    if (!IntersectRect(&rcOutSrc, &rcS, lpSrcBounds)) {
        return FALSE;
    }
    *lpOutDst = rcOutDst;
    *lpOutSrc = rcOutSrc;
    return TRUE;
}

namespace {

// One axis of CalcAlignRects: the destination and source spans [*pDstFrom, *pDstTo) and [*pSrcFrom, *pSrcTo).
void AlignAxis(LONG nAreaFrom, LONG nAreaTo, LONG nImgFrom, LONG nImgTo, bool bCentre, bool bFar,
               LONG* pDstFrom, LONG* pDstTo, LONG* pSrcFrom, LONG* pSrcTo) {
    const LONG wa = nAreaTo - nAreaFrom;
    const LONG wi = nImgTo - nImgFrom;
    if (wa < wi) {
        *pDstFrom = nAreaFrom;
        *pDstTo = nAreaTo;
        *pSrcFrom = bCentre ? nImgFrom + ((wi - wa) >> 1) : (bFar ? nImgTo - wa : nImgFrom);
        *pSrcTo = *pSrcFrom + wa;
    } else {
        *pSrcFrom = nImgFrom;
        *pSrcTo = nImgTo;
        *pDstFrom = bCentre ? nAreaFrom + ((wa - wi) >> 1) : (bFar ? nAreaTo - wi : nAreaFrom);
        *pDstTo = *pDstFrom + wi;
    }
}

} // namespace

BOOL CalcAlignRects(LPRECT lpOutDst, LPRECT lpOutSrc, LPCRECT lpArea, LPCRECT lpImage, UINT nAlign) {
    bool bValid = WCEUI_CHECK("CalcAlignRects", NULL != lpOutDst);
    bValid = WCEUI_CHECK("CalcAlignRects", NULL != lpOutSrc) && bValid;
    bValid = WCEUI_CHECK("CalcAlignRects", NULL != lpArea) && bValid;
    bValid = WCEUI_CHECK("CalcAlignRects", NULL != lpImage) && bValid;
    if (!bValid) {
        return FALSE;
    }
    RECT rcDst, rcSrc;
    AlignAxis(lpArea->left, lpArea->right, lpImage->left, lpImage->right, 0 != (nAlign & WCEUI_ALIGN_HCENTER),
              0 != (nAlign & WCEUI_ALIGN_RIGHT), &rcDst.left, &rcDst.right, &rcSrc.left, &rcSrc.right);
    AlignAxis(lpArea->top, lpArea->bottom, lpImage->top, lpImage->bottom, 0 != (nAlign & WCEUI_ALIGN_VCENTER),
              0 != (nAlign & WCEUI_ALIGN_BOTTOM), &rcDst.top, &rcDst.bottom, &rcSrc.top, &rcSrc.bottom);
    RECT rcX, rcY;
    IntersectRect(&rcX, lpArea, &rcDst);
    IntersectRect(&rcY, lpImage, &rcSrc);
    const LONG cw = (LONG)(Width(rcX) < Width(rcY) ? Width(rcX) : Width(rcY));
    const LONG ch = (LONG)(Height(rcX) < Height(rcY) ? Height(rcX) : Height(rcY));
    SetRect(lpOutDst, rcX.left, rcX.top, rcX.left + cw, rcX.top + ch);
    SetRect(lpOutSrc, rcY.left, rcY.top, rcY.left + cw, rcY.top + ch);
    return cw > 0 && ch > 0;
}
