#include "wceui/bitmap/WceUi32Bitmap.h"

#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUiBitmapFile.h"
#include "wceui/bitmap/WceUiKindBitmapOps.h"
#include "wceui/bitmap/WceUiPixelOps.h"
#include "wceui/core/WceUiLog.h"

#include <cstring>

namespace {
const char* const kName = "CWceUi32Bitmap";

// Rows of AlphaBlend: per-pixel through the pixels' own alpha bytes, or at one constant alpha.
struct Blend32Rows {
    bool bPerPixel;
    int nAlpha;
    bool Ready(const FhBmpData*) const { return true; }
    void Blend(DWORD* pDst, const DWORD* pSrc, size_t, size_t n) const {
        if (bPerPixel) {
            FhPixBlend32PerPixel(pDst, pSrc, n);
        } else {
            FhPixBlend32Const(pDst, pSrc, n, nAlpha);
        }
    }
};
} // namespace

CWceUi32Bitmap::CWceUi32Bitmap() {
    SetClassName(WCEUI_CLASS_NAME(CWceUi32Bitmap));
}

CWceUi32Bitmap::CWceUi32Bitmap(const CWceUi32Bitmap& bmpSrc) : CWceUiGenericBitmap(bmpSrc) {
    SetClassName(WCEUI_CLASS_NAME(CWceUi32Bitmap));
    if (!m_pBmp || !bmpSrc.m_pBmp || !bmpSrc.m_pBmp->IsLocked()) {
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
    if (!AttachNewStore(hBitmap, pBits, bmpInfo, nullptr)) {
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
    Blend32Rows rows = {bPerPixel, nAlpha};
    return BlendKindRects<DWORD>(pSrc, xDst, yDst, nWidth, nHeight, xSrc, ySrc, rows);
}

BOOL CWceUi32Bitmap::MixColor(int x, int y, int nWidth, int nHeight, COLORREF crColor, int nAlpha) {
    if (!IsLoaded()) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::MixColor, IsLoaded() return FALSE", kName);
        return FALSE;
    }
    if (!WCEUI_CHECK("CWceUi32Bitmap::MixColor", ((nAlpha >= 0) && (nAlpha <= 255)))) {
        return FALSE;
    }
    return MixKindRect<DWORD>(x, y, nWidth, nHeight, nAlpha, [&](DWORD* pPixels, size_t n, BOOL) {
        FhPixMix32(pPixels, n, crColor, nAlpha);
    });
}

BOOL CWceUi32Bitmap::Rotate(int eAngle, CWceUiGenericBitmap** ppRotatedBmp) {
    return RotateKind<CWceUi32Bitmap, DWORD>(kName, eAngle, ppRotatedBmp);
}
