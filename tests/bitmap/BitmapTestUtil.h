// Small helpers shared by the bitmap suites: random bitmaps and pixel access in image coordinates.
#pragma once

#include "wceui/bitmap/WceUi32Bitmap.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/bitmap/WceUiBitmapFile.h"

#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace bmptest {

inline int Stride(int nWidth, int nBitsPixel) {
    return 16 == nBitsPixel ? ((nWidth + 1) & ~1) : nWidth;
}

// Index of image pixel (x, y) in the stored, bottom-up rows.
inline size_t Index(int x, int y, int nWidth, int nHeight, int nBitsPixel) {
    return (size_t)(nHeight - 1 - y) * Stride(nWidth, nBitsPixel) + x;
}

template <typename T> std::vector<T> StoredPixels(const CWceUiGenericBitmap& bmp) {
    const size_t nBytes = FhGetBitmapDataLen(bmp.GetWidth(), bmp.GetHeight(), bmp.GetBitsPixel());
    const T* p = static_cast<const T*>(bmp.GetPixelData());
    return std::vector<T>(p, p + nBytes / sizeof(T));
}

inline WORD At565(const CWceUiGenericBitmap& bmp, int x, int y) {
    return static_cast<const WORD*>(bmp.GetPixelData())[Index(x, y, bmp.GetWidth(), bmp.GetHeight(), 16)];
}

inline DWORD At32(const CWceUiGenericBitmap& bmp, int x, int y) {
    return static_cast<const DWORD*>(bmp.GetPixelData())[Index(x, y, bmp.GetWidth(), bmp.GetHeight(), 32)];
}

// A 565 bitmap of random pixels (padding included), with a random plane of 0..63 when asked.
inline std::unique_ptr<CWceUi565Bitmap> Random565(std::mt19937& rng, int w, int h, bool bPlane) {
    std::vector<WORD> pixels((size_t)Stride(w, 16) * h);
    for (auto& p : pixels) {
        p = (WORD)rng();
    }
    std::vector<BYTE> plane(pixels.size());
    for (auto& a : plane) {
        a = (BYTE)(rng() % 64);
    }
    auto pBmp = std::make_unique<CWceUi565Bitmap>();
    pBmp->CreateDIB565(w, h, pixels.data(), bPlane ? plane.data() : NULL);
    return pBmp;
}

inline std::unique_ptr<CWceUi32Bitmap> Random32(std::mt19937& rng, int w, int h, bool bPerPixel) {
    std::vector<DWORD> pixels((size_t)w * h);
    for (auto& p : pixels) {
        p = (DWORD)rng();
    }
    auto pBmp = std::make_unique<CWceUi32Bitmap>();
    pBmp->CreateDIB32(w, h, pixels.data(), bPerPixel);
    return pBmp;
}

} // namespace bmptest
