// PNG files for bmptool, through libpng: read to and write from straight (not premultiplied) RGBA.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An image in memory: rows top-down, 4 bytes per pixel (red, green, blue, alpha), not premultiplied.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    // True when the image carries transparency worth keeping (an alpha channel or a transparent colour).
    bool hasAlpha = false;

    uint8_t* At(int x, int y) { return &pixels[((size_t)y * width + x) * 4]; }
    const uint8_t* At(int x, int y) const { return &pixels[((size_t)y * width + x) * 4]; }
};

// The largest image bmptool reads: 16384 pixels a side and 16 Mi pixels (64 MB as RGBA) in all. The
// size is checked from the header, before any pixel memory is taken.
constexpr unsigned kMaxImageSide = 16384;
constexpr unsigned long long kMaxImagePixels = 16ull * 1024 * 1024;

// False with the reason when an image of this size is over the cap (computed without overflow).
bool CheckImageSize(unsigned long long width, unsigned long long height, std::string* pError);

// Reads any PNG (palette, grey, 16-bit and transparency are converted) with the values as stored: no
// gamma or colour-space conversion, 16-bit samples scaled to 8 bits, interlaced or not alike. False
// with a reason on failure (also when the image is over the size above or memory runs out).
bool ReadPng(const std::string& hostPath, RgbaImage* pImage, std::string* pError);
// Writes RGBA, or RGB when the image has no alpha.
bool WritePng(const std::string& hostPath, const RgbaImage& image, std::string* pError);
