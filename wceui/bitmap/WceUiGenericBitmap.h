// The framework's bitmap object: pixels in a shared copy-on-write store (CFhBmp) and three drawing
// attributes (per-pixel alpha, transparent colour, constant alpha). The two kinds, CWceUi565Bitmap and
// CWceUi32Bitmap, supply the pixel format and the framework's own pixel loops.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/WceUiObject.h"

#include <memory>

class CFhBmp;
struct FhBmpData;

// No transparent colour.
#define WCEUI_INVALID_TRANS_COLOR ((COLORREF)-1)

// The angles of Rotate, clockwise.
enum {
    WCEUI_ROTATE_90 = 1,  // a quarter turn clockwise
    WCEUI_ROTATE_180 = 2, // a half turn
    WCEUI_ROTATE_270 = 3  // a quarter turn counter-clockwise
};

class CWceUiGenericBitmap;

// One piece of CWceUiGenericBitmap::CopyRowPieces: nWidth columns of pSrcBmp from xSrc, to xDst.
struct WceUiRowPiece {
    int xDst;
    int nWidth;
    CWceUiGenericBitmap* pSrcBmp;
    int xSrc;
};

class CWceUiGenericBitmap : public CWceUiObject {
public:
    CWceUiGenericBitmap();
    ~CWceUiGenericBitmap() override;
    CWceUiGenericBitmap& operator=(const CWceUiGenericBitmap&) = delete;

    // Creates the kind's DIB section without pixel data, plane or flag.
    virtual BOOL CreateDIB(int nWidth, int nHeight) = 0;
    // Writes the pixels as a BMP file (the 565 alpha plane is not written).
    virtual BOOL SaveFile(LPCWSTR pFilePath) = 0;
    // Loads any platform bitmap (which stays the caller's), converting it to the kind's format.
    virtual BOOL LoadFromHBitmap(HBITMAP hBitmap) = 0;
    // A new object of the same kind sharing the pixels; *ppCopyBmp becomes the caller's.
    virtual BOOL MakeACopy(CWceUiGenericBitmap** ppCopyBmp) = 0;
    virtual BOOL SetPerPixelAlpha(BOOL bPerPixelAlpha) = 0;
    // Blends pSrcBmp's (xSrc, ySrc, nWidth, nHeight) onto (xDst, yDst): with the source's own alpha when
    // the blend record's AlphaFormat is AC_SRC_ALPHA, else with its SourceConstantAlpha. The base checks
    // the arguments only.
    virtual BOOL AlphaBlend(int xDst, int yDst, int nWidth, int nHeight, CWceUiGenericBitmap* pSrcBmp,
                            int xSrc, int ySrc, BLENDFUNCTION blendFunction);
    // Tints a rectangle towards a colour (the platform colour value; black darkens) by nAlpha 0..255.
    virtual BOOL MixColor(int x, int y, int nWidth, int nHeight, COLORREF crColor, int nAlpha) = 0;
    // A rotated copy (WCEUI_ROTATE_*); *ppRotatedBmp becomes the caller's.
    virtual BOOL Rotate(int eAngle, CWceUiGenericBitmap** ppRotatedBmp) = 0;

    BOOL IsLoaded() const;
    int GetWidth() const;
    int GetHeight() const;
    int GetBitsPixel() const;

    BOOL HasPerPixelAlpha() const { return m_bPerPixelAlpha; }
    BOOL SetTransColor(BOOL bEnable, COLORREF crTrans);
    BOOL GetTransColor(COLORREF* pcrTrans) const;
    BOOL SetConstantAlpha(BOOL bEnable, int nAlpha);
    BOOL GetConstantAlpha(int* pnAlpha) const;

    // Hands out the platform bitmap and its pixels for direct drawing: the store is made unique and
    // locked until ReleaseHBitmap. Null when not loaded.
    HBITMAP GetHBitmap(LPVOID* ppBits);
    void ReleaseHBitmap();
    // The stored pixel rows for reading only (bottom-up, padded as the DIB section); the store stays
    // shared. Null when not loaded.
    LPCVOID GetPixelData() const;

    // Fills the rectangle (the whole bitmap when null) with a colour; the alpha plane is not touched.
    BOOL FillColor(COLORREF crFill, LPCRECT lpRect = NULL);
    // Copies (or stretches) part of this bitmap into a device context.
    BOOL BltToDc(HDC dcDst, int xDst, int yDst, int nWidth, int nHeight, int xSrc, int ySrc, DWORD dwRop);
    BOOL StretchToDc(HDC dcDst, int xDst, int yDst, int nDstWidth, int nDstHeight, int xSrc, int ySrc,
                     int nSrcWidth, int nSrcHeight, DWORD dwRop);
    // Copies from another bitmap through the platform's transfers.
    BOOL BitBlt(int xDst, int yDst, int nWidth, int nHeight, CWceUiGenericBitmap* pSrcBmp, int xSrc, int ySrc,
                DWORD dwRop);
    BOOL StretchBlt(int xDst, int yDst, int nDstWidth, int nDstHeight, CWceUiGenericBitmap* pSrcBmp, int xSrc,
                    int ySrc, int nSrcWidth, int nSrcHeight, DWORD dwRop);
    BOOL TransBlt(int xDst, int yDst, int nDstWidth, int nDstHeight, CWceUiGenericBitmap* pSrcBmp, int xSrc,
                  int ySrc, int nSrcWidth, int nSrcHeight, COLORREF crTrans);
    // Side-by-side pieces of the same nHeight rows (from the sources' rows ySrc on, to this bitmap's
    // rows yDst on), with the result of one BitBlt (SRCCOPY) per piece in order, pieces of no width
    // copying nothing. The rows are done one at a time, every piece of a row before the next row, so
    // that each picture is gone through once from top to bottom instead of once per piece. Only when
    // every piece has this bitmap's format, lies inside both bitmaps and comes from another store; FALSE,
    // with nothing done, otherwise (the caller then copies piece by piece).
    BOOL CopyRowPieces(int yDst, int nHeight, int ySrc, const WceUiRowPiece* pPieces, int nPieces);
    // Rotates the hue of every pixel by -180..180 degrees; alpha is kept.
    BOOL SetHSLOffsetHue(int nOffsetHue);

protected:
    // Copies the attributes and shares (or, from a locked store, leaves to the kind to copy) the pixels.
    CWceUiGenericBitmap(const CWceUiGenericBitmap& bmpSrc);

    // Back to "not loaded": releases the store and clears the three attributes.
    void ResetObject();
    // The store record (the empty one when the handle could not be made).
    FhBmpData* GetStore() const;
    // Makes the store unique before its pixels change.
    BOOL CopyBeforeWrite();
    BOOL CheckBlitOperands(const char* pOperation, const char* pSeparator,
                           const CWceUiGenericBitmap* pSrcBmp) const;
    // Attaches a new store holding the given section, description and plane (all then owned by it;
    // on failure the plane is freed and the section stays the caller's).
    BOOL AttachNewStore(HBITMAP hBitmap, LPVOID pBits, const BITMAP& bmpInfo, std::unique_ptr<BYTE[]> pAlpha);
    void CopyAttributes(const CWceUiGenericBitmap& bmpSrc);

    // SaveFile, LoadFromHBitmap and MakeACopy of the two kinds, which differ only in their depth (16 for
    // CWceUi565Bitmap, 32 for CWceUi32Bitmap) and the class name their messages carry.
    BOOL SaveKindFile(int nKindBits, LPCWSTR pFilePath);
    BOOL LoadKindFromHBitmap(int nKindBits, HBITMAP hBitmap);
    // FALSE with nothing stored when the copy could not be made whole (no object, no store, or no
    // pixels where the source has them).
    BOOL MakeKindCopy(int nKindBits, CWceUiGenericBitmap** ppCopyBmp) const;
    // The steps of AlphaBlend, MixColor and Rotate that the two kinds share, over their pixel type (WORD,
    // DWORD); defined in WceUiKindBitmapOps.h. BlendKindRects clips, copies before writing and reads a
    // bitmap blending onto itself from a snapshot; rows.Ready(pSrcData) may still refuse the source,
    // rows.Blend(pDst, pSrc, nSrcIndex, n) blends n pixels (nSrcIndex: the first source pixel's place in
    // its store, for a plane beside the pixels). mix(pPixels, n, bWhole) mixes n pixels; bWhole when they
    // are the whole store.
    template <class Pixel, class Rows>
    BOOL BlendKindRects(const CWceUiGenericBitmap* pSrc, int xDst, int yDst, int nWidth, int nHeight,
                        int xSrc, int ySrc, Rows& rows);
    template <class Pixel, class Mix>
    BOOL MixKindRect(int x, int y, int nWidth, int nHeight, int nAlpha, Mix mix);
    template <class Kind, class Pixel>
    BOOL RotateKind(const char* pKindName, int eAngle, CWceUiGenericBitmap** ppRotatedBmp);

    // The bitmap's own handle on its pixel store (the store itself is shared with copies); null only
    // when it could not be made, which NewStore logs.
    static std::unique_ptr<CFhBmp> NewStore();
    std::unique_ptr<CFhBmp> m_pBmp;
    COLORREF m_crTrans;
    BOOL m_bPerPixelAlpha;
    int m_nConstantAlpha;
};

WCEUI_DYNAMIC_BEGIN(CWceUiGenericBitmap, CWceUiObject)
WCEUI_DYNAMIC_END(CWceUiGenericBitmap)

// A new empty CWceUi565Bitmap (16) or CWceUi32Bitmap (32) that the caller owns; null otherwise.
CWceUiGenericBitmap* WceUiCreateBitmapObject(int nBitsPixel);
