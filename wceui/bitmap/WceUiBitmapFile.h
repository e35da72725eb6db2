// Bitmap files: uncompressed 16-bit (RGB565) and 32-bit BMP files, the ".alpha" planes beside 565
// files, and the small ".conf" descriptions that name them.
#pragma once

#include "platform/WinCe.h"

class CWceUiGenericBitmap;

// A BMP buffer must be longer than this to be looked at.
#define MIN_BITMAP_BUF_LEN 46

// Bytes of pixel data of a bottom-up DIB: height * (((width * bits + 31) / 32) * 4). Sizes that do
// not fit in 32 bits give 0xFFFFFFFF (no buffer is that long); non-positive arguments give 0.
DWORD FhGetBitmapDataLen(int nWidth, int nHeight, int nBitCount);

// Checks a whole BMP file in memory. On success copies the 44 bytes from offset 14 (the info header
// and the 4 bytes after it) into *pBmpInfo and points *ppBmpBits at the pixel data inside the buffer.
BOOL GetBitmapInfoFromBuffer(const BYTE* lpBuffer, DWORD nBuffLen, BYTE pBmpInfo[44], const BYTE** ppBmpBits);

// The alpha file beside a bitmap: the path with its final ".bmp" (any case) replaced by ".alpha".
// FALSE when the path does not end in ".bmp" after at least one other character, or does not fit.
BOOL GetAlphaPathFromBmpPath(LPCWSTR pBmpPath, LPWSTR pAlphaPath, size_t nCount);

// Writes the pixel rows as stored (bottom-up, padded) into a BMP file, replacing an existing file.
BOOL Save565BmpFile(LPCWSTR pSaveFileName, LPCVOID pData, int nWidth, int nHeight);
BOOL Save32BmpFile(LPCWSTR pSaveFileName, LPCVOID pData, int nWidth, int nHeight);

// Loads a BMP file (on disk or in a resource pack) into a new CWceUi565Bitmap or CWceUi32Bitmap that
// the caller owns. A 565 bitmap with bPerPixelAlpha reads its plane from pAlphaPath.
CWceUiGenericBitmap* WceUiLoadBmpFromFile(LPCWSTR pFilePath, BOOL bPerPixelAlpha, LPCWSTR pAlphaPath);
