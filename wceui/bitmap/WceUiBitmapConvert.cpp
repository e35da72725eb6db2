#include "wceui/bitmap/WceUiBitmapConvert.h"

#include "wceui/bitmap/WceUi32Bitmap.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/core/WceUiLog.h"

#include <algorithm>
#include <memory>
#include <new>
#include <vector>

namespace {

int Widen5(int n) {
    return (n << 3) | (n >> 2);
}
int Widen6(int n) {
    return (n << 2) | (n >> 4);
}

// 565 pixel (with its plane value, or -1 without a plane) to 0xAARRGGBB.
DWORD PixelTo32(WORD w, int nAlpha6) {
    int r = Widen5((w >> 11) & 31);
    int g = Widen6((w >> 5) & 63);
    int b = Widen5(w & 31);
    int a = 255;
    if (nAlpha6 >= 0) {
        a = Widen6(std::min(nAlpha6, 63));
        // The 32-bit blend adds the source to the scaled destination without a clamp.
        r = std::min(r, a);
        g = std::min(g, a);
        b = std::min(b, a);
    }
    return ((DWORD)a << 24) | ((DWORD)r << 16) | ((DWORD)g << 8) | (DWORD)b;
}

// 0xAARRGGBB to a 565 pixel; with a plane, *pAlpha6 gets the alpha and the colour is limited to what
// the 565 blend can add to a scaled destination without carrying into the next channel.
WORD PixelTo565(DWORD dw, BYTE* pAlpha6) {
    int r = (int)((dw >> 19) & 31);
    int g = (int)((dw >> 10) & 63);
    int b = (int)((dw >> 3) & 31);
    if (pAlpha6) {
        const int a = (int)(dw >> 26);
        *pAlpha6 = (BYTE)a;
        const int m = 63 - a;
        r = std::min(r, 31 - ((31 * m) >> 6));
        g = std::min(g, 63 - ((63 * m) >> 6));
        b = std::min(b, 31 - ((31 * m) >> 6));
    }
    return (WORD)((r << 11) | (g << 5) | b);
}

COLORREF ColorOf32(DWORD dw) {
    return RGB((dw >> 16) & 255, (dw >> 8) & 255, dw & 255);
}

COLORREF ColorOf565(WORD w) {
    const DWORD dw = PixelTo32(w, -1);
    return ColorOf32(dw);
}

WORD ColorTo565(COLORREF cr) {
    return (WORD)(((GetRValue(cr) >> 3) << 11) | ((GetGValue(cr) >> 2) << 5) | (GetBValue(cr) >> 3));
}

CWceUiGenericBitmap* From565(CWceUi565Bitmap* pSrc) {
    const int nWidth = pSrc->GetWidth();
    const int nHeight = pSrc->GetHeight();
    const int nSrcStride = (nWidth + 1) & ~1;
    const WORD* pPixels = static_cast<const WORD*>(pSrc->GetPixelData());
    const BYTE* pPlane = pSrc->HasPerPixelAlpha() ? pSrc->GetAlphaPlane() : NULL;
    if (NULL == pPixels) {
        return NULL;
    }
    std::vector<DWORD> out;
    try {
        out.resize((size_t)nWidth * (size_t)nHeight);
    } catch (const std::bad_alloc&) {
        return NULL;
    }
    for (int y = 0; y < nHeight; ++y) {
        const WORD* pRow = pPixels + (size_t)y * nSrcStride;
        const BYTE* pAlphaRow = pPlane ? pPlane + (size_t)y * nSrcStride : NULL;
        DWORD* pOut = out.data() + (size_t)y * nWidth;
        for (int x = 0; x < nWidth; ++x) {
            pOut[x] = PixelTo32(pRow[x], pAlphaRow ? pAlphaRow[x] : -1);
        }
    }
    std::unique_ptr<CWceUi32Bitmap> pBmp(new (std::nothrow) CWceUi32Bitmap);
    if (!pBmp || !pBmp->CreateDIB32(nWidth, nHeight, out.data(), NULL != pPlane)) {
        return NULL;
    }
    return pBmp.release();
}

CWceUiGenericBitmap* From32(CWceUiGenericBitmap* pSrc) {
    const int nWidth = pSrc->GetWidth();
    const int nHeight = pSrc->GetHeight();
    const int nDstStride = (nWidth + 1) & ~1;
    const DWORD* pPixels = static_cast<const DWORD*>(pSrc->GetPixelData());
    const bool bPlane = pSrc->HasPerPixelAlpha();
    if (NULL == pPixels) {
        return NULL;
    }
    std::vector<WORD> out;
    std::vector<BYTE> plane;
    try {
        out.assign((size_t)nDstStride * (size_t)nHeight, 0);
        if (bPlane) {
            plane.assign((size_t)nDstStride * (size_t)nHeight, 0);
        }
    } catch (const std::bad_alloc&) {
        return NULL;
    }
    for (int y = 0; y < nHeight; ++y) {
        const DWORD* pRow = pPixels + (size_t)y * nWidth;
        WORD* pOut = out.data() + (size_t)y * nDstStride;
        BYTE* pAlphaOut = bPlane ? plane.data() + (size_t)y * nDstStride : NULL;
        for (int x = 0; x < nWidth; ++x) {
            pOut[x] = PixelTo565(pRow[x], pAlphaOut ? pAlphaOut + x : NULL);
        }
    }
    std::unique_ptr<CWceUi565Bitmap> pBmp(new (std::nothrow) CWceUi565Bitmap);
    if (!pBmp || !pBmp->CreateDIB565(nWidth, nHeight, out.data(), bPlane ? plane.data() : NULL)) {
        return NULL;
    }
    return pBmp.release();
}

} // namespace

CWceUiGenericBitmap* WceUiConvertBitmap(CWceUiGenericBitmap* pSrc, int nBitsPixel) {
    if (!WCEUI_CHECK("WceUiConvertBitmap", NULL != pSrc) ||
        !WCEUI_CHECK("WceUiConvertBitmap", 16 == nBitsPixel || 32 == nBitsPixel) || !pSrc->IsLoaded()) {
        return NULL;
    }
    const int nSrcBits = pSrc->GetBitsPixel();
    CWceUiGenericBitmap* pOut = NULL;
    COLORREF crTrans = WCEUI_INVALID_TRANS_COLOR;
    const BOOL bTrans = pSrc->GetTransColor(&crTrans);
    if (16 == nSrcBits && 32 == nBitsPixel) {
        pOut = From565(static_cast<CWceUi565Bitmap*>(pSrc));
        crTrans = ColorOf565(ColorTo565(crTrans));
    } else if (32 == nSrcBits && 16 == nBitsPixel) {
        pOut = From32(pSrc);
        crTrans = ColorOf565(ColorTo565(crTrans));
    } else if (nSrcBits == nBitsPixel) {
        pSrc->MakeACopy(&pOut);
        return pOut;
    }
    if (NULL == pOut) {
        WceUiLog(WCEUI_LOG_ERROR, "WceUiConvertBitmap, converting a %d bitmap of %dx%d to %d failed",
                 nSrcBits, pSrc->GetWidth(), pSrc->GetHeight(), nBitsPixel);
        return NULL;
    }
    if (bTrans) {
        pOut->SetTransColor(TRUE, crTrans);
    }
    int nAlpha;
    if (pSrc->GetConstantAlpha(&nAlpha)) {
        pOut->SetConstantAlpha(TRUE, nAlpha);
    }
    return pOut;
}
