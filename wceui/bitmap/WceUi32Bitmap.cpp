#include "wceui/bitmap/WceUi32Bitmap.h"

#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUiBitmapFile.h"
#include "wceui/bitmap/WceUiBitmapRows.h"
#include "wceui/bitmap/WceUiPixelOps.h"
#include "wceui/bitmap/WceUiRectOps.h"
#include "wceui/core/WceUiLog.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {
const char* const kName = "CWceUi32Bitmap";
}

CWceUi32Bitmap::CWceUi32Bitmap() {
    SetClassName(WCEUI_CLASS_NAME(CWceUi32Bitmap));
}

CWceUi32Bitmap::CWceUi32Bitmap(const CWceUi32Bitmap& bmpSrc) : CWceUiGenericBitmap(bmpSrc) {
    SetClassName(WCEUI_CLASS_NAME(CWceUi32Bitmap));
    if (NULL == m_pBmp || NULL == bmpSrc.m_pBmp || !bmpSrc.m_pBmp->IsLocked()) {
        return;
    }
    // The raw pointer handed out may still be written through: take a copy of the pixels now.
    const FhBmpData* pSrcData = bmpSrc.GetStore();
    if (!CreateDIB32(pSrcData->bmpInfo.bmWidth, pSrcData->bmpInfo.bmHeight, pSrcData->pBits,
                     bmpSrc.m_bPerPixelAlpha)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s(bmpSrc), Call CreateDIB32 failed", kName);
    }
    CopyAttributes(bmpSrc);
}

CWceUi32Bitmap::~CWceUi32Bitmap() {}

BOOL CWceUi32Bitmap::CreateDIB32(int nWidth, int nHeight, LPCVOID pData, BOOL bPerPixelAlpha) {
    ResetObject();
    bool bValid = WCEUI_CHECK("CWceUi32Bitmap::CreateDIB32", nWidth > 0);
    bValid = WCEUI_CHECK("CWceUi32Bitmap::CreateDIB32", nHeight > 0) && bValid;
    if (!bValid) {
        return FALSE;
    }
    LPVOID pBits = NULL;
    HBITMAP hBitmap = CreateEmptyDIB32(nWidth, nHeight, &pBits);
    if (NULL == hBitmap) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CreateDIB32, call CreateDibSection fail, GetLastError = %d", kName,
                 (int)GetLastError());
        return FALSE;
    }
    BITMAP bmpInfo;
    if (0 == GetObject(hBitmap, sizeof(bmpInfo), &bmpInfo)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CreateDIB32, call GetObject fail ,GetLastError = %d", kName,
                 (int)GetLastError());
        DeleteObject(hBitmap);
        return FALSE;
    }
    if (NULL != pData) {
        memcpy(pBits, pData, FhGetBitmapDataLen(nWidth, nHeight, 32));
    }
    if (!AttachNewStore(hBitmap, pBits, bmpInfo, NULL)) {
        DeleteObject(hBitmap);
        return FALSE;
    }
    m_bPerPixelAlpha = bPerPixelAlpha;
    return TRUE;
}

BOOL CWceUi32Bitmap::CreateDIB(int nWidth, int nHeight) {
    return CreateDIB32(nWidth, nHeight, NULL, FALSE);
}

BOOL CWceUi32Bitmap::SaveFile(LPCWSTR pFilePath) {
    return SaveKindFile(32, pFilePath);
}

BOOL CWceUi32Bitmap::LoadFromHBitmap(HBITMAP hBitmap) {
    return LoadKindFromHBitmap(32, hBitmap);
}

BOOL CWceUi32Bitmap::MakeACopy(CWceUiGenericBitmap** ppCopyBmp) {
    return MakeKindCopy(32, ppCopyBmp);
}

BOOL CWceUi32Bitmap::SetPerPixelAlpha(BOOL bPerPixelAlpha) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::SetPerPixelAlpha, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    // The alpha lives in the pixels' own alpha bytes.
    m_bPerPixelAlpha = bPerPixelAlpha;
    return TRUE;
}

BOOL CWceUi32Bitmap::AlphaBlend(int xDst, int yDst, int nWidth, int nHeight, CWceUiGenericBitmap* pSrcBmp,
                                int xSrc, int ySrc, BLENDFUNCTION blendFunction) {
    if (!CWceUiGenericBitmap::AlphaBlend(xDst, yDst, nWidth, nHeight, pSrcBmp, xSrc, ySrc, blendFunction)) {
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi32Bitmap::AlphaBlend", 32 == pSrcBmp->GetBitsPixel())) {
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi32Bitmap::AlphaBlend", pSrcBmp->IsKindOf(WCEUI_CLASS_NAME(CWceUi32Bitmap)))) {
        return FALSE;
    }
    const CWceUi32Bitmap* pSrc = static_cast<const CWceUi32Bitmap*>(pSrcBmp);
    const bool bPerPixel = AC_SRC_ALPHA == blendFunction.AlphaFormat;
    const int nAlpha = blendFunction.SourceConstantAlpha;
    if (!bPerPixel && WCEUI_ALPHA_BAND_NONE == FhGetAlphaBand(nAlpha)) {
        return TRUE;
    }
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
    const DWORD* pSrcBits = static_cast<const DWORD*>(pSrcData->pBits);
    // Blending a bitmap onto itself reads from a snapshot, so the loops never see half-blended pixels.
    std::vector<DWORD> vSnapshot;
    if (pSrcData == pDstData) {
        const size_t nPixels = FhGetBitmapDataLen(nSrcW, nSrcH, 32) / sizeof(DWORD);
        vSnapshot.assign(pSrcBits, pSrcBits + nPixels);
        pSrcBits = vSnapshot.data();
    }
    DWORD* pDstBits = static_cast<DWORD*>(pDstData->pBits);
    const int nDstStride = FhStridePixels(nDstW, 32);
    const int nSrcStride = FhStridePixels(nSrcW, 32);
    if (EqualRect(&rcDst, &rcDstBounds) && EqualRect(&rcSrc, &rcSrcBounds) && EqualRect(&rcDst, &rcSrc)) {
        const size_t n = (size_t)nDstStride * (size_t)nDstH;
        if (bPerPixel) {
            FhPixBlend32PerPixel(pDstBits, pSrcBits, n);
        } else {
            FhPixBlend32Const(pDstBits, pSrcBits, n, nAlpha);
        }
        return TRUE;
    }
    const size_t n = (size_t)(rcOutDst.right - rcOutDst.left);
    for (int j = 0; j < rcOutDst.bottom - rcOutDst.top; ++j) {
        DWORD* pD = FhImageRow(pDstBits, nDstStride, nDstH, rcOutDst.top + j) + rcOutDst.left;
        const size_t nSrcOffset =
            (size_t)(nSrcH - 1 - (rcOutSrc.top + j)) * (size_t)nSrcStride + rcOutSrc.left;
        if (bPerPixel) {
            FhPixBlend32PerPixel(pD, pSrcBits + nSrcOffset, n);
        } else {
            FhPixBlend32Const(pD, pSrcBits + nSrcOffset, n, nAlpha);
        }
    }
    return TRUE;
}

BOOL CWceUi32Bitmap::MixColor(int x, int y, int nWidth, int nHeight, COLORREF crColor, int nAlpha) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::MixColor, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi32Bitmap::MixColor", ((nAlpha >= 0) && (nAlpha <= 255)))) {
        return FALSE;
    }
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
    DWORD* pBits = static_cast<DWORD*>(GetStore()->pBits);
    const int nStride = nW;
    if (EqualRect(&rcMix, &rcBounds)) {
        FhPixMix32(pBits, (size_t)nStride * (size_t)nH, crColor, nAlpha);
        return TRUE;
    }
    for (int yy = rcDo.top; yy < rcDo.bottom; ++yy) {
        FhPixMix32(FhImageRow(pBits, nStride, nH, yy) + rcDo.left, (size_t)(rcDo.right - rcDo.left), crColor,
                   nAlpha);
    }
    return TRUE;
}

BOOL CWceUi32Bitmap::Rotate(int eAngle, CWceUiGenericBitmap** ppRotatedBmp) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi32Bitmap::Rotate", NULL != ppRotatedBmp)) {
        return FALSE;
    }
    if (eAngle < WCEUI_ROTATE_90 || eAngle > WCEUI_ROTATE_270) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate, eAngle is Invalid", kName);
        return FALSE;
    }
    if (NULL != *ppRotatedBmp) {
        WceUiLog(WCEUI_LOG_WARNING,
                 "%s::Rotate, *ppRotatedBmp should be NULL to prevent possible memory leak", kName);
        *ppRotatedBmp = NULL;
    }
    std::unique_ptr<CWceUi32Bitmap> pRotated(new (std::nothrow) CWceUi32Bitmap);
    if (!pRotated) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate, new fail,sizeof(CWceUi32Bitmap)=%u", kName,
                 (unsigned)sizeof(CWceUi32Bitmap));
        return FALSE;
    }
    const int nW = GetStore()->bmpInfo.bmWidth, nH = GetStore()->bmpInfo.bmHeight;
    const bool bQuarter = WCEUI_ROTATE_180 != eAngle;
    if (!pRotated->CreateDIB(bQuarter ? nH : nW, bQuarter ? nW : nH)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate,call pRotatedBmp->CreateDIB fail", kName);
        return FALSE;
    }
    const int nNewW = pRotated->GetStore()->bmpInfo.bmWidth;
    FhRotatePixels(static_cast<const DWORD*>(GetStore()->pBits), nW, nW, nH,
                   static_cast<DWORD*>(pRotated->GetStore()->pBits), nNewW, eAngle);
    *ppRotatedBmp = pRotated.release();
    return TRUE;
}
