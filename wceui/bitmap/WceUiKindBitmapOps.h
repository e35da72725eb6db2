// The pixel work that CWceUi565Bitmap and CWceUi32Bitmap share, written once over their pixel type
// (WORD for 565, DWORD for 32-bit): the clipping, the copy before writing and the walk over the rows
// around each kind's own pixel loops. Only the two kinds include it.
#pragma once

#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUiBitmapRows.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/bitmap/WceUiPixelOps.h"
#include "wceui/bitmap/WceUiRectOps.h"
#include "wceui/core/WceUiLog.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

template <class Pixel, class Rows>
BOOL CWceUiGenericBitmap::BlendKindRects(const CWceUiGenericBitmap* pSrc, int xDst, int yDst, int nWidth,
                                         int nHeight, int xSrc, int ySrc, Rows& rows) {
    const int nBits = 8 * (int)sizeof(Pixel);
    const int nDstW = GetStore()->bmpInfo.bmWidth, nDstH = GetStore()->bmpInfo.bmHeight;
    const int nSrcW = pSrc->GetStore()->bmpInfo.bmWidth, nSrcH = pSrc->GetStore()->bmpInfo.bmHeight;
    const RECT rcDstBounds = {0, 0, nDstW, nDstH};
    const RECT rcSrcBounds = {0, 0, nSrcW, nSrcH};
    const RECT rcDst = {xDst, yDst, xDst + nWidth, yDst + nHeight};
    const RECT rcSrc = {xSrc, ySrc, xSrc + nWidth, ySrc + nHeight};
    RECT rcOutDst, rcOutSrc;
    if (!CalcStretchBltRects(&rcOutDst, &rcOutSrc, &rcDstBounds, &rcSrcBounds, &rcDst, &rcSrc)) {
        return TRUE;
    }
    if (!CopyBeforeWrite()) {
        return FALSE;
    }
    const FhBmpData* pDstData = GetStore();
    const FhBmpData* pSrcData = pSrc->GetStore();
    const Pixel* pSrcBits = static_cast<const Pixel*>(pSrcData->pBits);
    if (!rows.Ready(pSrcData)) {
        return FALSE;
    }
    // Blending a bitmap onto itself reads from a snapshot, so the loops never see half-blended pixels.
    std::vector<Pixel> vSnapshot;
    if (pSrcData == pDstData) {
        const size_t nPixels = FhGetBitmapDataLen(nSrcW, nSrcH, nBits) / sizeof(Pixel);
        vSnapshot.assign(pSrcBits, pSrcBits + nPixels);
        pSrcBits = vSnapshot.data();
    }
    Pixel* pDstBits = static_cast<Pixel*>(pDstData->pBits);
    const int nDstStride = FhStridePixels(nDstW, nBits);
    const int nSrcStride = FhStridePixels(nSrcW, nBits);
    if (EqualRect(&rcDst, &rcDstBounds) && EqualRect(&rcSrc, &rcSrcBounds) && EqualRect(&rcDst, &rcSrc)) {
        rows.Blend(pDstBits, pSrcBits, 0, (size_t)nDstStride * (size_t)nDstH);
        return TRUE;
    }
    const size_t n = (size_t)(rcOutDst.right - rcOutDst.left);
    for (int j = 0; j < rcOutDst.bottom - rcOutDst.top; ++j) {
        Pixel* pD = FhImageRow(pDstBits, nDstStride, nDstH, rcOutDst.top + j) + rcOutDst.left;
        const size_t nSrcOffset =
            (size_t)(nSrcH - 1 - (rcOutSrc.top + j)) * (size_t)nSrcStride + rcOutSrc.left;
        rows.Blend(pD, pSrcBits + nSrcOffset, nSrcOffset, n);
    }
    return TRUE;
}

template <class Pixel, class Mix>
BOOL CWceUiGenericBitmap::MixKindRect(int x, int y, int nWidth, int nHeight, int nAlpha, Mix mix) {
    const int nW = GetStore()->bmpInfo.bmWidth, nH = GetStore()->bmpInfo.bmHeight;
    const RECT rcBounds = {0, 0, nW, nH};
    const RECT rcMix = {x, y, x + nWidth, y + nHeight};
    RECT rcDo;
    if (!IntersectRect(&rcDo, &rcMix, &rcBounds)) {
        return TRUE;
    }
    if (WCEUI_ALPHA_BAND_NONE == FhGetAlphaBand(nAlpha)) {
        return TRUE;
    }
    if (!CopyBeforeWrite()) {
        return FALSE;
    }
    Pixel* pBits = static_cast<Pixel*>(GetStore()->pBits);
    const int nStride = FhStridePixels(nW, 8 * (int)sizeof(Pixel));
    if (EqualRect(&rcMix, &rcBounds)) {
        mix(pBits, (size_t)nStride * (size_t)nH, TRUE);
        return TRUE;
    }
    for (int yy = rcDo.top; yy < rcDo.bottom; ++yy) {
        mix(FhImageRow(pBits, nStride, nH, yy) + rcDo.left, (size_t)(rcDo.right - rcDo.left), FALSE);
    }
    return TRUE;
}

template <class Kind, class Pixel>
BOOL CWceUiGenericBitmap::RotateKind(const char* pKindName, int eAngle, CWceUiGenericBitmap** ppRotatedBmp) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate, IsLoaded() return FALSE", pKindName);
        return FALSE;
    }
    const std::string op = std::string(pKindName) + "::Rotate";
    if (!WCEUI_CHECK(op.c_str(), NULL != ppRotatedBmp)) {
        return FALSE;
    }
    if (eAngle < WCEUI_ROTATE_90 || eAngle > WCEUI_ROTATE_270) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate, eAngle is Invalid", pKindName);
        return FALSE;
    }
    if (NULL != *ppRotatedBmp) {
        WceUiLog(WCEUI_LOG_WARNING,
                 "%s::Rotate, *ppRotatedBmp should be NULL to prevent possible memory leak", pKindName);
        *ppRotatedBmp = NULL;
    }
    std::unique_ptr<Kind> pRotated(new (std::nothrow) Kind);
    if (!pRotated) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate, new fail,sizeof(%s)=%u", pKindName, pKindName,
                 (unsigned)sizeof(Kind));
        return FALSE;
    }
    const int nBits = 8 * (int)sizeof(Pixel);
    const int nW = GetStore()->bmpInfo.bmWidth, nH = GetStore()->bmpInfo.bmHeight;
    const bool bQuarter = WCEUI_ROTATE_180 != eAngle;
    if (!pRotated->CreateDIB(bQuarter ? nH : nW, bQuarter ? nW : nH)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate,call pRotatedBmp->CreateDIB fail", pKindName);
        return FALSE;
    }
    const FhBmpData* pNew = static_cast<CWceUiGenericBitmap*>(pRotated.get())->GetStore();
    FhRotatePixels(static_cast<const Pixel*>(GetStore()->pBits), FhStridePixels(nW, nBits), nW, nH,
                   static_cast<Pixel*>(pNew->pBits), FhStridePixels(pNew->bmpInfo.bmWidth, nBits), eAngle);
    *ppRotatedBmp = pRotated.release();
    return TRUE;
}
