// Golden images: a picture compared pixel for pixel with a committed PNG file. A missing reference
// fails; UPDATE_GOLDEN=1 writes the references instead (look at them before committing). A mismatch
// leaves the actual image and a difference image (red where pixels differ) in an output folder.
// Header-only, so that only suites that link the PNG code (tool_imaging) pay for it.
#pragma once

#include "tools/imaging/PngFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

namespace golden {

// A w x h image whose pixels the function sets, in reading order; opaque white before that.
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

// One straight RGBA pixel.
inline void Set(uint8_t* p, int r, int g, int b, int a = 255) {
    p[0] = static_cast<uint8_t>(r);
    p[1] = static_cast<uint8_t>(g);
    p[2] = static_cast<uint8_t>(b);
    p[3] = static_cast<uint8_t>(a);
}

inline bool SamePixels(const RgbaImage& a, const RgbaImage& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

// Red where the images differ, a faded copy of the expected image elsewhere.
inline RgbaImage Difference(const RgbaImage& expected, const RgbaImage& actual) {
    RgbaImage diff;
    diff.width = std::max(expected.width, actual.width);
    diff.height = std::max(expected.height, actual.height);
    diff.pixels.assign(static_cast<size_t>(diff.width) * diff.height * 4, 255);
    for (int y = 0; y < diff.height; y++)
        for (int x = 0; x < diff.width; x++) {
            uint8_t* d = diff.At(x, y);
            bool inE = x < expected.width && y < expected.height, inA = x < actual.width && y < actual.height;
            if (inE && inA && std::equal(expected.At(x, y), expected.At(x, y) + 3, actual.At(x, y))) {
                for (int c = 0; c < 3; c++)
                    d[c] = static_cast<uint8_t>(192 + expected.At(x, y)[c] / 4);
            } else {
                d[0] = 255;
                d[1] = 0;
                d[2] = 0;
            }
        }
    return diff;
}

// Compares the image with goldenDir/NAME.png, or writes it there under UPDATE_GOLDEN=1.
inline void CheckGolden(const std::string& goldenDir, const std::string& outDir, const std::string& name,
                        const RgbaImage& actual) {
    const std::string golden = goldenDir + "/" + name + ".png";
    std::string error;
    const char* update = std::getenv("UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::create_directories(goldenDir);
        ASSERT_TRUE(WritePng(golden, actual, &error)) << error;
        return;
    }
    RgbaImage expected;
    ASSERT_TRUE(ReadPng(golden, &expected, &error))
        << "no golden image " << golden << " (" << error << "); run with UPDATE_GOLDEN=1 to make it";
    if (SamePixels(expected, actual))
        return;
    std::filesystem::create_directories(outDir);
    const std::string actualPath = outDir + "/" + name + ".actual.png";
    const std::string diffPath = outDir + "/" + name + ".diff.png";
    WritePng(actualPath, actual, &error);
    WritePng(diffPath, Difference(expected, actual), &error);
    ADD_FAILURE() << name << " differs from its golden image (" << expected.width << "x" << expected.height
                  << " expected, " << actual.width << "x" << actual.height << " drawn); see " << actualPath
                  << " and " << diffPath;
}

} // namespace golden
