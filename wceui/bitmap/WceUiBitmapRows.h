// Addressing of bottom-up pixel rows and the pixel moves of Rotate, shared by the two bitmap kinds.
#pragma once

#include "platform/WinCe.h"

#include <cstddef>

// Pixels per stored row: 565 rows are padded to an even number of pixels, 32-bit rows are not.
inline int FhStridePixels(int nWidth, int nBitsPixel) {
    return 16 == nBitsPixel ? ((nWidth + 1) & ~1) : nWidth;
}

// The start of image row y (0 = top) of a bottom-up bitmap: memory row nHeight - 1 - y.
template <typename T> T* FhImageRow(T* pBits, int nStride, int nHeight, int y) {
    return pBits + (size_t)(nHeight - 1 - y) * (size_t)nStride;
}

// Rotates a W x H image into pDst, which is H x W for the quarter turns and W x H for the half turn; in
// image coordinates: 1: new(x, y) = old(y, H - 1 - x); 2: new(x, y) = old(W - 1 - x, H - 1 - y);
// 3: new(x, y) = old(W - 1 - y, x).
template <typename T>
void FhRotatePixels(const T* pSrc, int nSrcStride, int W, int H, T* pDst, int nDstStride, int eAngle) {
    const int nNewW = 2 == eAngle ? W : H;
    const int nNewH = 2 == eAngle ? H : W;
    for (int y = 0; y < nNewH; ++y) {
        T* pOut = FhImageRow(pDst, nDstStride, nNewH, y);
        if (1 == eAngle) {
            // Column y of the old image, read bottom to top.
            for (int x = 0; x < nNewW; ++x) {
                pOut[x] = FhImageRow(pSrc, nSrcStride, H, H - 1 - x)[y];
            }
        } else if (2 == eAngle) {
            const T* pIn = FhImageRow(pSrc, nSrcStride, H, H - 1 - y);
            for (int x = 0; x < nNewW; ++x) {
                pOut[x] = pIn[W - 1 - x];
            }
        } else {
            for (int x = 0; x < nNewW; ++x) {
                pOut[x] = FhImageRow(pSrc, nSrcStride, H, x)[W - 1 - y];
            }
        }
    }
}
