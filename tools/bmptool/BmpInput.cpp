#include "BmpInput.h"

#include <cstdio>
#include <new>

namespace {

enum : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitFields = 6,
};

uint32_t Le16(const std::string& s, size_t at) {
    return (uint32_t)(uint8_t)s[at] | (uint32_t)(uint8_t)s[at + 1] << 8;
}

uint32_t Le32(const std::string& s, size_t at) {
    return Le16(s, at) | Le16(s, at + 2) << 16;
}

int LowBit(uint32_t m) {
    return 0 == m ? 0 : __builtin_ctz(m);
}

int BitCount(uint32_t m) {
    return __builtin_popcount(m);
}

// A channel of n bits widened to 8 by repeating its bits (as the platform widens 565), or narrowed to
// its top 8 bits.
uint8_t Widen(uint32_t v, int n) {
    if (n <= 0) {
        return 0;
    }
    if (n >= 8) {
        return (uint8_t)(v >> (n - 8));
    }
    uint32_t r = 0;
    int have = 0;
    while (have < 8) {
        r = (r << n) | v;
        have += n;
    }
    return (uint8_t)(r >> (have - 8));
}

uint32_t Channel(uint32_t pixel, uint32_t mask) {
    return (pixel & mask) >> LowBit(mask);
}

std::string Hex(uint32_t v) {
    char sz[16];
    snprintf(sz, sizeof(sz), "0x%04X", v);
    return sz;
}

bool IsRunOfBits(uint32_t m) {
    if (0 == m) {
        return true;
    }
    const uint32_t shifted = m >> LowBit(m);
    return 0 == (shifted & (shifted + 1));
}

// The pixel at column x of a stored row, for 16 and 32 bits.
uint32_t PixelAt(const uint8_t* pRow, int bits, int64_t x) {
    if (16 == bits) {
        return (uint32_t)pRow[2 * x] | (uint32_t)pRow[2 * x + 1] << 8;
    }
    const uint8_t* p = pRow + 4 * x;
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

const uint8_t* StoredRow(const std::string& bytes, const BmpLayout& l, int64_t r) {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + l.dataOffset + (size_t)r * l.rowBytes;
}

int64_t Height(const BmpLayout& l) {
    return l.height < 0 ? -l.height : l.height;
}

struct AlphaScan {
    bool bAnyAlpha = false;        // some pixel has alpha bits set
    bool bColourOverAlpha = false; // some colour channel exceeds its pixel's alpha (8-bit terms)
};

// Reads the pixels of a 16 or 32-bit file through the given masks (red, green, blue, alpha).
AlphaScan ScanAlpha(const std::string& bytes, const BmpLayout& l, const uint32_t* pMasks) {
    AlphaScan scan;
    const int nA = BitCount(pMasks[3]);
    for (int64_t r = 0; r < Height(l); ++r) {
        const uint8_t* pRow = StoredRow(bytes, l, r);
        for (int64_t x = 0; x < l.width; ++x) {
            const uint32_t px = PixelAt(pRow, l.bits, x);
            const uint8_t a = Widen(Channel(px, pMasks[3]), nA);
            scan.bAnyAlpha |= 0 != Channel(px, pMasks[3]);
            for (int c = 0; c < 3; ++c) {
                scan.bColourOverAlpha |= Widen(Channel(px, pMasks[c]), BitCount(pMasks[c])) > a;
            }
        }
    }
    return scan;
}

// What the alpha of a masked file holds: none (no mask, or 0 everywhere), straight, or colours
// premultiplied by it.
enum class AlphaUse { None, Straight, Premultiplied };

AlphaUse JudgeAlpha(const std::string& bytes, const BmpLayout& l) {
    if (0 == l.masks[3] || (16 != l.bits && 32 != l.bits)) {
        return AlphaUse::None;
    }
    const AlphaScan scan = ScanAlpha(bytes, l, l.masks);
    if (!scan.bAnyAlpha) {
        return AlphaUse::None;
    }
    // The framework writes its 32-bit files with a plain 40-byte header and premultiplied colours.
    const bool bFrameworkForm = 32 == l.bits && 40 == l.headerSize && kRgb == l.compression;
    return bFrameworkForm && !scan.bColourOverAlpha ? AlphaUse::Premultiplied : AlphaUse::Straight;
}

uint8_t Unpremultiply(uint8_t c, uint8_t a) {
    if (0 == a) {
        return 0;
    }
    const int v = (c * 255 + a / 2) / a;
    return (uint8_t)(v > 255 ? 255 : v);
}

// A 16-bit channel of nBits against the plane's 6-bit alpha. The framework's converter premultiplies
// rounding down, so the smallest value that premultiplies back to c is taken.
uint32_t UnpremultiplyPlane(uint32_t c, int nAlpha, int nBits) {
    if (0 == nAlpha) {
        return 0;
    }
    const uint32_t nMax = (1u << nBits) - 1;
    const uint32_t v = (c * 63 + (uint32_t)nAlpha - 1) / (uint32_t)nAlpha;
    return v > nMax ? nMax : v;
}

} // namespace

bool ParseBmp(const std::string& bytes, BmpLayout* pLayout, std::string* pError) {
    BmpLayout l;
    if (bytes.size() < 26 || 'B' != bytes[0] || 'M' != bytes[1]) {
        *pError = "not a BMP file (no \"BM\" and headers)";
        return false;
    }
    l.dataOffset = Le32(bytes, 10);
    l.headerSize = Le32(bytes, 14);
    if (14ull + l.headerSize > bytes.size()) {
        *pError = "the header (" + std::to_string(l.headerSize) + " bytes) runs past the end of the file";
        return false;
    }
    uint32_t nUsed = 0;
    size_t nEntry = 4;
    if (12 == l.headerSize) {
        l.width = Le16(bytes, 18);
        l.height = Le16(bytes, 20);
        l.bits = (int)Le16(bytes, 24);
        nEntry = 3;
    } else if (40 == l.headerSize || 52 == l.headerSize || 56 == l.headerSize || 64 == l.headerSize ||
               108 == l.headerSize || 124 == l.headerSize) {
        l.width = (int32_t)Le32(bytes, 18);
        l.height = (int32_t)Le32(bytes, 22);
        l.bits = (int)Le16(bytes, 28);
        l.compression = Le32(bytes, 30);
        nUsed = Le32(bytes, 46);
        if (64 == l.headerSize && kRgb != l.compression) {
            *pError = "OS/2 compression " + std::to_string(l.compression) + " is not supported";
            return false;
        }
    } else {
        *pError = "a header of " + std::to_string(l.headerSize) + " bytes is no BMP header bmptool knows";
        return false;
    }
    switch (l.compression) {
        case kRgb:
        case kBitFields:
        case kAlphaBitFields:
            break;
        case kRle8:
        case kRle4:
            *pError = std::string("it is run-length compressed (") +
                      (kRle8 == l.compression ? "RLE8" : "RLE4") +
                      "); bmptool reads uncompressed BMPs only: save it without compression";
            return false;
        case kJpeg:
            *pError = "it holds a JPEG image; bmptool reads uncompressed BMPs only";
            return false;
        case kPng:
            *pError = "it holds a PNG image; convert that PNG instead";
            return false;
        default:
            *pError = "compression " + std::to_string(l.compression) + " is not supported";
            return false;
    }
    if (1 != l.bits && 4 != l.bits && 8 != l.bits && 16 != l.bits && 24 != l.bits && 32 != l.bits) {
        *pError = std::to_string(l.bits) + " bits per pixel is not supported (1, 4, 8, 16, 24 and 32 are)";
        return false;
    }
    if (kRgb != l.compression && 16 != l.bits && 32 != l.bits) {
        *pError = "bit fields with " + std::to_string(l.bits) + " bits per pixel are not supported";
        return false;
    }
    if (l.width <= 0 || 0 == l.height) {
        *pError =
            "the size " + std::to_string(l.width) + " x " + std::to_string(l.height) + " holds no pixels";
        return false;
    }
    if (!CheckImageSize((uint64_t)l.width, (uint64_t)Height(l), pError)) {
        return false;
    }
    if (16 == l.bits || 32 == l.bits) {
        if (kRgb == l.compression) {
            const uint32_t rgb555[4] = {0x7C00, 0x03E0, 0x001F, 0};
            const uint32_t rgb888[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
            for (int i = 0; i < 4; ++i) {
                l.masks[i] = 16 == l.bits ? rgb555[i] : rgb888[i];
            }
        } else {
            // The masks follow a 40-byte header, or stand in a longer one, at the same place.
            const bool bAlphaField = kAlphaBitFields == l.compression || l.headerSize >= 56;
            const size_t nMasks = bAlphaField ? 4 : 3;
            if (54 + 4 * nMasks > bytes.size()) {
                *pError = "the colour masks run past the end of the file";
                return false;
            }
            for (size_t i = 0; i < nMasks; ++i) {
                l.masks[i] = Le32(bytes, 54 + 4 * i);
            }
            l.hasMasks = true;
        }
        for (int i = 0; i < 4; ++i) {
            const bool bTooWide = 16 == l.bits && l.masks[i] > 0xFFFF;
            if (!IsRunOfBits(l.masks[i]) || bTooWide) {
                *pError = "the mask " + Hex(l.masks[i]) + " is not a run of bits inside the pixel";
                return false;
            }
            for (int j = 0; j < i; ++j) {
                if (0 != (l.masks[i] & l.masks[j])) {
                    *pError = "the masks " + Hex(l.masks[j]) + " and " + Hex(l.masks[i]) + " overlap";
                    return false;
                }
            }
        }
    }
    if (l.bits <= 8) {
        // Without a count the palette is full, or as long as the room before the pixels allows.
        const uint32_t nMax = 1u << l.bits;
        l.paletteSize = 0 == nUsed || nUsed > nMax ? nMax : nUsed;
        const uint64_t nStart = 14ull + l.headerSize;
        if (0 == nUsed && l.dataOffset > nStart && (l.dataOffset - nStart) / nEntry < l.paletteSize) {
            l.paletteSize = (uint32_t)((l.dataOffset - nStart) / nEntry);
        }
        if (14ull + l.headerSize + (uint64_t)l.paletteSize * nEntry > bytes.size()) {
            *pError = "the palette runs past the end of the file";
            return false;
        }
    }
    l.rowBytes = ((uint64_t)l.width * (uint64_t)l.bits + 31) / 32 * 4;
    const uint64_t nNeeded = l.rowBytes * (uint64_t)Height(l);
    if (l.dataOffset > bytes.size() || nNeeded > bytes.size() - l.dataOffset) {
        *pError = "the pixel data is cut short: " + std::to_string(nNeeded) + " bytes needed from offset " +
                  std::to_string(l.dataOffset) + ", " +
                  std::to_string(l.dataOffset > bytes.size() ? 0 : bytes.size() - l.dataOffset) + " present";
        return false;
    }
    *pLayout = l;
    return true;
}

bool ReadBmp(const std::string& bytes, const std::string* pPlane, RgbaImage* pImage, std::string* pError) {
    BmpLayout l;
    if (!ParseBmp(bytes, &l, pError)) {
        return false;
    }
    const int64_t h = Height(l);
    const bool bPlane = nullptr != pPlane && 16 == l.bits;
    const uint64_t nPlaneStride = ((uint64_t)l.width + 1) & ~1ull;
    if (bPlane && pPlane->size() < nPlaneStride * (uint64_t)h) {
        *pError = "the alpha plane has " + std::to_string(pPlane->size()) + " bytes, " +
                  std::to_string(nPlaneStride * (uint64_t)h) + " needed";
        return false;
    }
    RgbaImage image;
    try {
        image.pixels.assign((size_t)l.width * (size_t)h * 4, 0);
    } catch (const std::bad_alloc&) {
        *pError = "out of memory for " + std::to_string(l.width) + " x " + std::to_string(h) + " pixels";
        return false;
    }
    image.width = (int)l.width;
    image.height = (int)h;
    const AlphaUse alpha = bPlane ? AlphaUse::None : JudgeAlpha(bytes, l);
    const size_t nEntry = 12 == l.headerSize ? 3 : 4;
    const uint8_t* pPalette = reinterpret_cast<const uint8_t*>(bytes.data()) + 14 + l.headerSize;
    bool bTransparent = false;
    for (int64_t r = 0; r < h; ++r) {
        const uint8_t* pRow = StoredRow(bytes, l, r);
        const int y = (int)(l.height < 0 ? r : h - 1 - r);
        for (int64_t x = 0; x < l.width; ++x) {
            uint8_t* pOut = image.At((int)x, y);
            pOut[3] = 255;
            if (l.bits <= 8) {
                const int64_t nBit = x * l.bits;
                const uint32_t nIndex =
                    (pRow[nBit / 8] >> (8 - l.bits - (int)(nBit % 8))) & ((1u << l.bits) - 1);
                if (nIndex >= l.paletteSize) {
                    *pError = "a pixel names colour " + std::to_string(nIndex) + " of a palette of " +
                              std::to_string(l.paletteSize);
                    return false;
                }
                const uint8_t* pEntry = pPalette + nIndex * nEntry;
                pOut[0] = pEntry[2], pOut[1] = pEntry[1], pOut[2] = pEntry[0];
                continue;
            }
            if (24 == l.bits) {
                pOut[0] = pRow[3 * x + 2], pOut[1] = pRow[3 * x + 1], pOut[2] = pRow[3 * x];
                continue;
            }
            const uint32_t px = PixelAt(pRow, l.bits, x);
            uint32_t c[3];
            for (int i = 0; i < 3; ++i) {
                c[i] = Channel(px, l.masks[i]);
            }
            if (bPlane) {
                int a = (uint8_t)(*pPlane)[(size_t)r * nPlaneStride + (size_t)x];
                a = a > 63 ? 63 : a;
                for (int i = 0; i < 3; ++i) {
                    c[i] = UnpremultiplyPlane(c[i], a, BitCount(l.masks[i]));
                }
                pOut[3] = Widen((uint32_t)a, 6);
            } else if (AlphaUse::None != alpha) {
                pOut[3] = Widen(Channel(px, l.masks[3]), BitCount(l.masks[3]));
            }
            for (int i = 0; i < 3; ++i) {
                pOut[i] = Widen(c[i], BitCount(l.masks[i]));
                if (AlphaUse::Premultiplied == alpha) {
                    pOut[i] = Unpremultiply(pOut[i], pOut[3]);
                }
            }
            bTransparent |= pOut[3] < 255;
        }
    }
    image.hasAlpha = bPlane || bTransparent;
    *pImage = std::move(image);
    return true;
}

std::string DescribeLayout(const BmpLayout& l) {
    if (l.bits <= 8) {
        return std::to_string(l.bits) + "-bit palette of " + std::to_string(l.paletteSize) + " colours";
    }
    if (24 == l.bits) {
        return "24-bit blue, green, red";
    }
    std::string s;
    for (int i = 0; i < 3; ++i) {
        s += std::to_string(BitCount(l.masks[i]));
    }
    if (16 == l.bits) {
        s = (0 != l.masks[3] ? std::to_string(BitCount(l.masks[3])) : std::string()) + s;
        return "16-bit " + s + (0 != l.masks[3] ? " with alpha" : "");
    }
    const bool bStandard = 0x00FF0000 == l.masks[0] && 0x0000FF00 == l.masks[1] && 0x000000FF == l.masks[2];
    return std::string("32-bit ") + (bStandard ? "blue, green, red" : "masked " + s) +
           (0 != l.masks[3] ? ", alpha " + Hex(l.masks[3]) : ", no alpha");
}

std::string DescribeAlphaReading(const std::string& bytes, const BmpLayout& layout) {
    if (0 == layout.masks[3] || (16 != layout.bits && 32 != layout.bits)) {
        return std::string();
    }
    switch (JudgeAlpha(bytes, layout)) {
        case AlphaUse::None:
            return "alpha 0 everywhere: opaque";
        case AlphaUse::Straight:
            return "straight alpha";
        default:
            return "colours premultiplied by alpha";
    }
}

std::vector<std::string> FrameworkMisreadings(const std::string& bytes, const BmpLayout& l) {
    std::vector<std::string> lines;
    if (16 == l.bits) {
        const bool b565 = 0xF800 == l.masks[0] && 0x07E0 == l.masks[1] && 0x001F == l.masks[2];
        if (!b565) {
            lines.push_back("the framework reads every 16-bit file as RGB565, but this one is " +
                            DescribeLayout(l) +
                            ": its colours come out wrong (bmptool convert reads it correctly)");
        }
    }
    if (32 == l.bits) {
        const bool bStandard = 0x00FF0000 == l.masks[0] && 0x0000FF00 == l.masks[1] &&
                               0x000000FF == l.masks[2] && (0xFF000000 == l.masks[3] || 0 == l.masks[3]);
        if (!bStandard) {
            lines.push_back("the framework reads 32-bit pixels as blue, green, red and alpha bytes, but this "
                            "one is " +
                            DescribeLayout(l) + ": its colours come out wrong");
        }
        // The framework takes the fourth byte as alpha and the colours as premultiplied by it.
        const uint32_t frameworkMasks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
        const AlphaScan scan = ScanAlpha(bytes, l, frameworkMasks);
        if (!scan.bAnyAlpha) {
            lines.push_back(
                "its alpha bytes are 0 everywhere: with per-pixel alpha (\"pa\" true, and in bmptool's "
                "blend) the framework draws it fully transparent");
        } else if (scan.bColourOverAlpha) {
            lines.push_back(
                "some colours exceed their alpha: the framework takes colours as premultiplied by "
                "alpha, so its blend draws these pixels too bright");
        }
    }
    return lines;
}
