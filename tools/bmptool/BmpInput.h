// BMP files as other programs write them, for bmptool: every uncompressed layout (1, 4 and 8-bit
// palettes, 16-bit with any masks, 24-bit, 32-bit with or without alpha or masks, bottom-up or
// top-down, the header versions from OS/2 to V5) read into straight RGBA, and an account of how the
// framework's own loader, which knows only its two forms, would take the same file.
#pragma once

#include "tools/imaging/PngFile.h"

#include <cstdint>
#include <string>
#include <vector>

struct BmpLayout {
    uint32_t dataOffset = 0;
    uint32_t headerSize = 0;
    int64_t width = 0;
    int64_t height = 0; // as stored: negative for top-down rows
    int bits = 0;
    uint32_t compression = 0;
    bool hasMasks = false;    // masks read from the file (bit fields, or a V3+ header's alpha mask)
    uint32_t masks[4] = {};   // red, green, blue, alpha as the pixels are read
    uint32_t paletteSize = 0; // colours in the palette (1/4/8-bit)
    uint64_t rowBytes = 0;    // stored row length, padded to 4 bytes
};

// Reads the headers of a BMP file. False with a reason when it is no BMP, or one bmptool does not
// read (compressed, an unknown depth or header, masks that are not runs of bits, a size over the cap).
bool ParseBmp(const std::string& bytes, BmpLayout* pLayout, std::string* pError);

// Reads a BMP into straight RGBA. pPlane, when not null, is the ".alpha" plane beside a 16-bit file:
// its colours are then premultiplied by it, as the framework keeps them. A 32-bit file whose alpha
// bytes are 0 everywhere is opaque; otherwise its alpha is taken as premultiplied in the framework's
// own form (a 40-byte header without masks) unless some colour exceeds its alpha, and as straight in
// every other form.
bool ReadBmp(const std::string& bytes, const std::string* pPlane, RgbaImage* pImage, std::string* pError);

// How the framework's loader takes the file: lines that say where it would refuse it or show it with
// other colours or transparency than the file holds. Empty when it reads it as written.
std::vector<std::string> FrameworkMisreadings(const std::string& bytes, const BmpLayout& layout);

// How ReadBmp takes the alpha of a 16 or 32-bit file without a plane: "" when it has no alpha mask,
// else "alpha 0 everywhere: opaque", "straight alpha" or "colours premultiplied by alpha".
std::string DescribeAlphaReading(const std::string& bytes, const BmpLayout& layout);

// A plain description of the pixel layout ("565", "555", "24-bit BGR", "8-bit palette of 256"...).
std::string DescribeLayout(const BmpLayout& layout);
