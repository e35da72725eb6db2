// The 16-bit kind: RGB565 pixels in a bottom-up DIB section, with an optional alpha plane (one byte per
// pixel, 0..63) against which the colour pixels are stored premultiplied.
#pragma once

#include "wceui/bitmap/WceUiGenericBitmap.h"

class CWceUi565Bitmap : public CWceUiGenericBitmap {
public:
    CWceUi565Bitmap();
    // Shares the source's pixels, or copies them when the source's store is locked.
    CWceUi565Bitmap(const CWceUi565Bitmap& bmpSrc);
    ~CWceUi565Bitmap() override;

    // Resets the object, then makes a DIB section of the size; copies FhGetBitmapDataLen bytes of pData
    // and the plane's bytes of pAlpha when given. Per-pixel alpha is on exactly when a plane is given.
    BOOL CreateDIB565(int nWidth, int nHeight, LPCVOID pData = NULL, const BYTE* pAlpha = NULL);

    BOOL CreateDIB(int nWidth, int nHeight) override;
    BOOL SaveFile(LPCWSTR pFilePath) override;
    BOOL LoadFromHBitmap(HBITMAP hBitmap) override;
    BOOL MakeACopy(CWceUiGenericBitmap** ppCopyBmp) override;
    // Turning it on without a plane attaches a new, fully transparent plane.
    BOOL SetPerPixelAlpha(BOOL bPerPixelAlpha) override;
    BOOL AlphaBlend(int xDst, int yDst, int nWidth, int nHeight, CWceUiGenericBitmap* pSrcBmp, int xSrc,
                    int ySrc, BLENDFUNCTION blendFunction) override;
    BOOL MixColor(int x, int y, int nWidth, int nHeight, COLORREF crColor, int nAlpha) override;
    BOOL Rotate(int eAngle, CWceUiGenericBitmap** ppRotatedBmp) override;

    // The alpha plane for reading (rows bottom-up, the width rounded up to even); null when there is none.
    const BYTE* GetAlphaPlane() const;
};

WCEUI_DYNCREATE_BEGIN(CWceUi565Bitmap, CWceUiGenericBitmap)
WCEUI_DYNCREATE_END(CWceUi565Bitmap)
