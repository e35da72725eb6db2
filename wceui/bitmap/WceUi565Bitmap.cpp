#include "wceui/bitmap/WceUi565Bitmap.h"

#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUiBitmapFile.h"
#include "wceui/bitmap/WceUiKindBitmapOps.h"
#include "wceui/bitmap/WceUiPixelOps.h"
#include "wceui/core/WceUiLog.h"

#include <cstring>
#include <memory>
#include <new>

namespace {
const char* const kName = "CWceUi565Bitmap";

// Rows of AlphaBlend: per-pixel through the source's alpha plane (which it must have), or at one
// constant alpha.
struct Blend565Rows {
    bool bPerPixel;
    int nAlpha;
    const BYTE* pSrcAlpha;
    bool Ready(const FhBmpData* pSrcData) {
        pSrcAlpha = pSrcData->pAlpha;
        return !(bPerPixel && !WCEUI_CHECK("CWceUi565Bitmap::AlphaBlend", NULL != pSrcAlpha));
    }
    void Blend(WORD* pDst, const WORD* pSrc, size_t nSrcIndex, size_t n) const {
        if (bPerPixel) {
            FhPixBlend565PerPixel(pDst, pSrc, pSrcAlpha + nSrcIndex, n);
        } else {
            FhPixBlend565Const(pDst, pSrc, n, nAlpha);
        }
    }
};
} // namespace

CWceUi565Bitmap::CWceUi565Bitmap() {
    SetClassName(WCEUI_CLASS_NAME(CWceUi565Bitmap));
}

CWceUi565Bitmap::CWceUi565Bitmap(const CWceUi565Bitmap& bmpSrc) : CWceUiGenericBitmap(bmpSrc) {
    SetClassName(WCEUI_CLASS_NAME(CWceUi565Bitmap));
    if (!m_pBmp || !bmpSrc.m_pBmp || !bmpSrc.m_pBmp->IsLocked()) {
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
    std::unique_ptr<BYTE[]> pNewAlpha;
    if (NULL != pAlpha) {
        const DWORD dwAlphaSize = FhGetAlphaPlaneLen(nWidth, nHeight);
        pNewAlpha.reset(new (std::nothrow) BYTE[dwAlphaSize]);
        if (!pNewAlpha) {
            WceUiLog(WCEUI_LOG_ERROR, "%s::CreateDIB565, new fail, dwAlphaSize = %u", kName,
                     (unsigned)dwAlphaSize);
            DeleteObject(hBitmap);
            return FALSE;
        }
        memcpy(pNewAlpha.get(), pAlpha, dwAlphaSize);
    }
    if (!AttachNewStore(hBitmap, pBits, bmpInfo, std::move(pNewAlpha))) {
        DeleteObject(hBitmap);
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
        std::unique_ptr<BYTE[]> pAlpha(new (std::nothrow) BYTE[dwAlphaSize]);
        if (!pAlpha) {
            // Never draw through a missing plane: the flag stays off.
            WceUiLog(WCEUI_LOG_ERROR, "%s::SetPerPixelAlpha, new fail, dwAlphaSize=%u", kName,
                     (unsigned)dwAlphaSize);
            return FALSE;
        }
        memset(pAlpha.get(), 0, dwAlphaSize);
        pData->pAlpha = pAlpha.release(); // the store owns its plane
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
    Blend565Rows rows = {bPerPixel, nAlpha, NULL};
    return BlendKindRects<WORD>(pSrc, xDst, yDst, nWidth, nHeight, xSrc, ySrc, rows);
}

BOOL CWceUi565Bitmap::MixColor(int x, int y, int nWidth, int nHeight, COLORREF crColor, int nAlpha) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::MixColor, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi565Bitmap::MixColor", ((nAlpha >= 0) && (nAlpha <= 255)))) {
        return FALSE;
    }
    return MixKindRect<WORD>(x, y, nWidth, nHeight, nAlpha, [&](WORD* pPixels, size_t n, BOOL bWhole) {
        FhPixMix565(pPixels, n, crColor, nAlpha, bWhole);
    });
}

BOOL CWceUi565Bitmap::Rotate(int eAngle, CWceUiGenericBitmap** ppRotatedBmp) {
    return RotateKind<CWceUi565Bitmap, WORD>(kName, eAngle, ppRotatedBmp);
}
