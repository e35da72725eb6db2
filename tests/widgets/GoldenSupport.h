// Pictures for the golden tests of the widgets: images made pixel by pixel, and the window bitmap as
// straight RGBA.
#pragma once

#include "tools/imaging/PngFile.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"

#include <cstdint>
#include <functional>

namespace goldensupport {

inline RgbaImage Image(int w, int h, const std::function<void(int, int, uint8_t*)>& pixel) {
    RgbaImage image;
    image.width = w;
    image.height = h;
    image.pixels.assign(static_cast<size_t>(w) * h * 4, 255);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            pixel(x, y, image.At(x, y));
        }
    }
    return image;
}

inline void Set(uint8_t* p, int r, int g, int b, int a = 255) {
    p[0] = static_cast<uint8_t>(r);
    p[1] = static_cast<uint8_t>(g);
    p[2] = static_cast<uint8_t>(b);
    p[3] = static_cast<uint8_t>(a);
}

// The window bitmap (bottom-up DIB) as straight RGBA, every pixel opaque.
inline RgbaImage ToRgba(CWceUiGenericBitmap* pBmp) {
    RgbaImage image;
    image.width = pBmp->GetWidth();
    image.height = pBmp->GetHeight();
    image.pixels.assign(static_cast<size_t>(image.width) * image.height * 4, 255);
    const int bits = pBmp->GetBitsPixel();
    const size_t stride = ((static_cast<size_t>(image.width) * bits / 8) + 3) & ~static_cast<size_t>(3);
    const auto* pData = static_cast<const uint8_t*>(pBmp->GetPixelData());
    for (int y = 0; y < image.height; ++y) {
        const uint8_t* row = pData + stride * static_cast<size_t>(image.height - 1 - y);
        for (int x = 0; x < image.width; ++x) {
            uint8_t* d = image.At(x, y);
            if (16 == bits) {
                const unsigned v = row[x * 2] | (row[x * 2 + 1] << 8);
                const unsigned r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
                d[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
                d[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
                d[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
            } else {
                d[0] = row[x * 4 + 2];
                d[1] = row[x * 4 + 1];
                d[2] = row[x * 4];
            }
        }
    }
    return image;
}

} // namespace goldensupport
