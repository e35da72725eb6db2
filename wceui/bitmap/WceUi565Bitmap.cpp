#include "wceui/bitmap/WceUi565Bitmap.h"

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
const char* const kName = "CWceUi565Bitmap";
}

CWceUi565Bitmap::CWceUi565Bitmap() {
    SetClassName(WCEUI_CLASS_NAME(CWceUi565Bitmap));
}

CWceUi565Bitmap::CWceUi565Bitmap(const CWceUi565Bitmap& bmpSrc) : CWceUiGenericBitmap(bmpSrc) {
    SetClassName(WCEUI_CLASS_NAME(CWceUi565Bitmap));
    if (NULL == m_pBmp || NULL == bmpSrc.m_pBmp || !bmpSrc.m_pBmp->IsLocked()) {
        return;
    }
    // The raw pointer handed out may still be written through: take a copy of the pixels now.
    const FhBmpData* pSrcData = bmpSrc.GetStore();
    if (!CreateDIB565(pSrcData->bmpInfo.bmWidth, pSrcData->bmpInfo.bmHeight, pSrcData->pBits,
                      pSrcData->pAlpha)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s(bmpSrc), Call CreateDIB565 failed", kName);
    }
    CopyAttributes(bmpSrc);
}

CWceUi565Bitmap::~CWceUi565Bitmap() {}

BOOL CWceUi565Bitmap::CreateDIB565(int nWidth, int nHeight, LPCVOID pData, const BYTE* pAlpha) {
    ResetObject();
    bool bValid = WCEUI_CHECK("CWceUi565Bitmap::CreateDIB565", nWidth > 0);
    bValid = WCEUI_CHECK("CWceUi565Bitmap::CreateDIB565", nHeight > 0) && bValid;
    if (!bValid) {
        return FALSE;
    }
    LPVOID pBits = NULL;
    HBITMAP hBitmap = CreateEmptyDIB565(nWidth, nHeight, &pBits);
    if (NULL == hBitmap) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CreateDIB565, call CreateDibSection fail, GetLastError = %d", kName,
                 (int)GetLastError());
        return FALSE;
    }
    BITMAP bmpInfo;
    if (0 == GetObject(hBitmap, sizeof(bmpInfo), &bmpInfo)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::CreateDIB565, call GetObject fail ,GetLastError = %d", kName,
                 (int)GetLastError());
        DeleteObject(hBitmap);
        return FALSE;
    }
    if (NULL != pData) {
        memcpy(pBits, pData, FhGetBitmapDataLen(nWidth, nHeight, 16));
    }
    LPBYTE pNewAlpha = NULL;
    if (NULL != pAlpha) {
        const DWORD dwAlphaSize = FhGetAlphaPlaneLen(nWidth, nHeight);
        pNewAlpha = new (std::nothrow) BYTE[dwAlphaSize];
        if (NULL == pNewAlpha) {
            WceUiLog(WCEUI_LOG_ERROR, "%s::CreateDIB565, new fail, dwAlphaSize = %u", kName,
                     (unsigned)dwAlphaSize);
            DeleteObject(hBitmap);
            return FALSE;
        }
        memcpy(pNewAlpha, pAlpha, dwAlphaSize);
    }
    if (!AttachNewStore(hBitmap, pBits, bmpInfo, pNewAlpha)) {
        DeleteObject(hBitmap);
        delete[] pNewAlpha;
        return FALSE;
    }
    m_bPerPixelAlpha = NULL != pAlpha;
    return TRUE;
}

BOOL CWceUi565Bitmap::CreateDIB(int nWidth, int nHeight) {
    return CreateDIB565(nWidth, nHeight, NULL, NULL);
}

BOOL CWceUi565Bitmap::SaveFile(LPCWSTR pFilePath) {
    return SaveKindFile(16, pFilePath);
}

BOOL CWceUi565Bitmap::LoadFromHBitmap(HBITMAP hBitmap) {
    return LoadKindFromHBitmap(16, hBitmap);
}

BOOL CWceUi565Bitmap::MakeACopy(CWceUiGenericBitmap** ppCopyBmp) {
    return MakeKindCopy(16, ppCopyBmp);
}

BOOL CWceUi565Bitmap::SetPerPixelAlpha(BOOL bPerPixelAlpha) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::SetPerPixelAlpha, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (bPerPixelAlpha && NULL == GetStore()->pAlpha) {
        if (!CopyBeforeWrite()) {
            return FALSE;
        }
        FhBmpData* pData = GetStore();
        const DWORD dwAlphaSize = FhGetAlphaPlaneLen(pData->bmpInfo.bmWidth, pData->bmpInfo.bmHeight);
        LPBYTE pAlpha = new (std::nothrow) BYTE[dwAlphaSize];
        if (NULL == pAlpha) {
            // Never draw through a missing plane: the flag stays off.
            WceUiLog(WCEUI_LOG_ERROR, "%s::SetPerPixelAlpha, new fail, dwAlphaSize=%u", kName,
                     (unsigned)dwAlphaSize);
            return FALSE;
        }
        memset(pAlpha, 0, dwAlphaSize);
        pData->pAlpha = pAlpha;
    }
    m_bPerPixelAlpha = bPerPixelAlpha;
    return TRUE;
}

const BYTE* CWceUi565Bitmap::GetAlphaPlane() const {
    return GetStore()->pAlpha;
}

BOOL CWceUi565Bitmap::AlphaBlend(int xDst, int yDst, int nWidth, int nHeight, CWceUiGenericBitmap* pSrcBmp,
                                 int xSrc, int ySrc, BLENDFUNCTION blendFunction) {
    if (!CWceUiGenericBitmap::AlphaBlend(xDst, yDst, nWidth, nHeight, pSrcBmp, xSrc, ySrc, blendFunction)) {
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi565Bitmap::AlphaBlend", 16 == pSrcBmp->GetBitsPixel())) {
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi565Bitmap::AlphaBlend", pSrcBmp->IsKindOf(WCEUI_CLASS_NAME(CWceUi565Bitmap)))) {
        return FALSE;
    }
    const CWceUi565Bitmap* pSrc = static_cast<const CWceUi565Bitmap*>(pSrcBmp);
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
    const WORD* pSrcBits = static_cast<const WORD*>(pSrcData->pBits);
    const BYTE* pSrcAlpha = pSrcData->pAlpha;
    if (bPerPixel && !WCEUI_CHECK("CWceUi565Bitmap::AlphaBlend", NULL != pSrcAlpha)) {
        return FALSE;
    }
    // Blending a bitmap onto itself reads from a snapshot, so the loops never see half-blended pixels.
    std::vector<WORD> vSnapshot;
    if (pSrcData == pDstData) {
        const size_t nPixels = FhGetBitmapDataLen(nSrcW, nSrcH, 16) / sizeof(WORD);
        vSnapshot.assign(pSrcBits, pSrcBits + nPixels);
        pSrcBits = vSnapshot.data();
    }
    WORD* pDstBits = static_cast<WORD*>(pDstData->pBits);
    const int nDstStride = FhStridePixels(nDstW, 16);
    const int nSrcStride = FhStridePixels(nSrcW, 16);
    if (EqualRect(&rcDst, &rcDstBounds) && EqualRect(&rcSrc, &rcSrcBounds) && EqualRect(&rcDst, &rcSrc)) {
        const size_t n = (size_t)nDstStride * (size_t)nDstH;
        if (bPerPixel) {
            FhPixBlend565PerPixel(pDstBits, pSrcBits, pSrcAlpha, n);
        } else {
            FhPixBlend565Const(pDstBits, pSrcBits, n, nAlpha);
        }
        return TRUE;
    }
    const size_t n = (size_t)(rcOutDst.right - rcOutDst.left);
    for (int j = 0; j < rcOutDst.bottom - rcOutDst.top; ++j) {
        WORD* pD = FhImageRow(pDstBits, nDstStride, nDstH, rcOutDst.top + j) + rcOutDst.left;
        const size_t nSrcOffset =
            (size_t)(nSrcH - 1 - (rcOutSrc.top + j)) * (size_t)nSrcStride + rcOutSrc.left;
        if (bPerPixel) {
            FhPixBlend565PerPixel(pD, pSrcBits + nSrcOffset, pSrcAlpha + nSrcOffset, n);
        } else {
            FhPixBlend565Const(pD, pSrcBits + nSrcOffset, n, nAlpha);
        }
    }
    return TRUE;
}

BOOL CWceUi565Bitmap::MixColor(int x, int y, int nWidth, int nHeight, COLORREF crColor, int nAlpha) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::MixColor, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi565Bitmap::MixColor", ((nAlpha >= 0) && (nAlpha <= 255)))) {
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
    WORD* pBits = static_cast<WORD*>(GetStore()->pBits);
    const int nStride = FhStridePixels(nW, 16);
    if (EqualRect(&rcMix, &rcBounds)) {
        FhPixMix565(pBits, (size_t)nStride * (size_t)nH, crColor, nAlpha, TRUE);
        return TRUE;
    }
    for (int yy = rcDo.top; yy < rcDo.bottom; ++yy) {
        FhPixMix565(FhImageRow(pBits, nStride, nH, yy) + rcDo.left, (size_t)(rcDo.right - rcDo.left), crColor,
                    nAlpha, FALSE);
    }
    return TRUE;
}

BOOL CWceUi565Bitmap::Rotate(int eAngle, CWceUiGenericBitmap** ppRotatedBmp) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi565Bitmap::Rotate", NULL != ppRotatedBmp)) {
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
    std::unique_ptr<CWceUi565Bitmap> pRotated(new (std::nothrow) CWceUi565Bitmap);
    if (!pRotated) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate, new fail,sizeof(CWceUi565Bitmap)=%u", kName,
                 (unsigned)sizeof(CWceUi565Bitmap));
        return FALSE;
    }
    const int nW = GetStore()->bmpInfo.bmWidth, nH = GetStore()->bmpInfo.bmHeight;
    const bool bQuarter = WCEUI_ROTATE_180 != eAngle;
    if (!pRotated->CreateDIB(bQuarter ? nH : nW, bQuarter ? nW : nH)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Rotate,call pRotatedBmp->CreateDIB fail", kName);
        return FALSE;
    }
    const int nNewW = pRotated->GetStore()->bmpInfo.bmWidth;
    FhRotatePixels(static_cast<const WORD*>(GetStore()->pBits), FhStridePixels(nW, 16), nW, nH,
                   static_cast<WORD*>(pRotated->GetStore()->pBits), FhStridePixels(nNewW, 16), eAngle);
    *ppRotatedBmp = pRotated.release();
    return TRUE;
}
