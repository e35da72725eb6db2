// The 32-bit kind: 0xAARRGGBB pixels in a bottom-up DIB section; with per-pixel alpha the colour bytes
// are premultiplied by the alpha byte.
#pragma once

#include "wceui/bitmap/WceUiGenericBitmap.h"

class CWceUi32Bitmap : public CWceUiGenericBitmap {
public:
    CWceUi32Bitmap();
    // Shares the source's pixels, or copies them when the source's store is locked.
    CWceUi32Bitmap(const CWceUi32Bitmap& bmpSrc);
    ~CWceUi32Bitmap() override;

    // Resets the object, then makes a DIB section of the size; copies FhGetBitmapDataLen bytes of pData
    // when given and sets the per-pixel flag.
    BOOL CreateDIB32(int nWidth, int nHeight, LPCVOID pData = NULL, BOOL bPerPixelAlpha = FALSE);

    BOOL CreateDIB(int nWidth, int nHeight) override;
    BOOL SaveFile(LPCWSTR pFilePath) override;
    BOOL LoadFromHBitmap(HBITMAP hBitmap) override;
    BOOL MakeACopy(CWceUiGenericBitmap** ppCopyBmp) override;
    BOOL SetPerPixelAlpha(BOOL bPerPixelAlpha) override;
    BOOL AlphaBlend(int xDst, int yDst, int nWidth, int nHeight, CWceUiGenericBitmap* pSrcBmp, int xSrc,
                    int ySrc, BLENDFUNCTION blendFunction) override;
    BOOL MixColor(int x, int y, int nWidth, int nHeight, COLORREF crColor, int nAlpha) override;
    BOOL Rotate(int eAngle, CWceUiGenericBitmap** ppRotatedBmp) override;
};

WCEUI_DYNCREATE_BEGIN(CWceUi32Bitmap, CWceUiGenericBitmap)
WCEUI_DYNCREATE_END(CWceUi32Bitmap)
