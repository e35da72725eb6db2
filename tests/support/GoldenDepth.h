// The colour depth a golden test runs at (its parameter: 16 or 32 bits), the name suffix of its
// reference images, and skin-like bitmaps of that depth made from straight RGBA.
#pragma once

#include "tools/imaging/RgbaBitmaps.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace golden {

class DepthParam : public ::testing::WithParamInterface<int> {
protected:
    int Bits() const { return GetParam(); }
    std::string Suffix() const { return 16 == Bits() ? "565" : "32"; }
    // A bitmap of the window's kind from straight RGBA: 565 with its alpha plane, or premultiplied 32.
    std::unique_ptr<CWceUiGenericBitmap> FromRgba(const RgbaImage& image) {
        auto p = imaging::BitmapFromRgba(image, 16 == Bits() ? "565a" : "32");
        EXPECT_NE(nullptr, p);
        return p;
    }
};

} // namespace golden
