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

// Reads any PNG (palette, grey, 16-bit and transparency are converted). False with a reason on failure.
bool ReadPng(const std::string& hostPath, RgbaImage* pImage, std::string* pError);
// Writes RGBA, or RGB when the image has no alpha.
bool WritePng(const std::string& hostPath, const RgbaImage& image, std::string* pError);
