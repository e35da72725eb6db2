#include "tools/imaging/RgbaBitmaps.h"

#include "tools/common/ToolSupport.h"
#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUi32Bitmap.h"
#include "wceui/bitmap/WceUi565Bitmap.h"

#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace imaging {

// 565 channels are narrowed by dropping low bits, as the platform converts. With a plane the 6-bit alpha
// is the top of the 8-bit one and each channel is premultiplied by it, rounding down, so that a blend
// never carries out of a channel.
std::unique_ptr<CWceUiGenericBitmap> BitmapFromRgba(const RgbaImage& image, const std::string& format) {
    if ("32" == format) {
        std::vector<DWORD> pixels((size_t)image.width * image.height);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const uint8_t* p = image.At(x, y);
                const DWORD a = p[3];
                auto pre = [&](int c) { return (DWORD)((c * a + 127) / 255); };
                pixels[(size_t)(image.height - 1 - y) * image.width + x] =
                    (a << 24) | (pre(p[0]) << 16) | (pre(p[1]) << 8) | pre(p[2]);
            }
        }
        auto pBmp = std::make_unique<CWceUi32Bitmap>();
        if (!pBmp->CreateDIB32(image.width, image.height, pixels.data(), TRUE)) {
            return nullptr;
        }
        return pBmp;
    }
    const bool bPlane = "565a" == format;
    const int nStride = (image.width + 1) & ~1;
    std::vector<WORD> pixels((size_t)nStride * image.height, 0);
    std::vector<BYTE> plane(pixels.size(), 0);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            int r = p[0] >> 3, g = p[1] >> 2, b = p[2] >> 3;
            const size_t k = (size_t)(image.height - 1 - y) * nStride + x;
            if (bPlane) {
                const int a = p[3] >> 2;
                r = r * a / 63, g = g * a / 63, b = b * a / 63;
                plane[k] = (BYTE)a;
            }
            pixels[k] = (WORD)((r << 11) | (g << 5) | b);
        }
    }
    auto pBmp = std::make_unique<CWceUi565Bitmap>();
    if (!pBmp->CreateDIB565(image.width, image.height, pixels.data(), bPlane ? plane.data() : NULL)) {
        return nullptr;
    }
    return pBmp;
}

RgbaImage RgbaFromBitmap(const CWceUiGenericBitmap& bmp) {
    RgbaImage image;
    image.width = bmp.GetWidth();
    image.height = bmp.GetHeight();
    image.pixels.assign(static_cast<size_t>(image.width) * image.height * 4, 255);
    const int bits = bmp.GetBitsPixel();
    const size_t stride = ((static_cast<size_t>(image.width) * bits / 8) + 3) & ~static_cast<size_t>(3);
    const auto* pData = static_cast<const uint8_t*>(bmp.GetPixelData());
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

bool HasTransparency(const RgbaImage& image) {
    for (size_t i = 3; i < image.pixels.size(); i += 4) {
        if (image.pixels[i] != 255) {
            return true;
        }
    }
    return false;
}

bool SaveBitmapFiles(CWceUiGenericBitmap& bmp, const std::string& hostBmpPath, bool* pRemovedPlane,
                     std::string* pError) {
    *pRemovedPlane = false;
    const std::u16string dev = tooling::DevicePath(hostBmpPath);
    if (dev.empty() || !bmp.SaveFile(dev.c_str())) {
        *pError = "cannot write " + hostBmpPath;
        return false;
    }
    const std::string alphaHost = hostBmpPath.substr(0, hostBmpPath.size() - 4) + ".alpha";
    const BYTE* pPlane =
        16 == bmp.GetBitsPixel() ? static_cast<CWceUi565Bitmap&>(bmp).GetAlphaPlane() : nullptr;
    if (pPlane && bmp.HasPerPixelAlpha()) {
        std::ofstream out(alphaHost, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(pPlane),
                  (std::streamsize)FhGetAlphaPlaneLen(bmp.GetWidth(), bmp.GetHeight()));
        if (!out) {
            *pError = "cannot write " + alphaHost;
            return false;
        }
    } else if (fs::exists(alphaHost)) {
        std::error_code ec;
        fs::remove(alphaHost, ec);
        *pRemovedPlane = true;
    }
    return true;
}

} // namespace imaging
