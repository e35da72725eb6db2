// Straight RGBA images as the framework's bitmaps, and those bitmaps as the files the framework loads:
// shared by bmptool and skinc.
#pragma once

#include "tools/imaging/PngFile.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"

#include <memory>
#include <string>

namespace imaging {

// The framework bitmap of an image: "565" (opaque), "565a" (565 with a 6-bit alpha plane) or "32"
// (colours premultiplied by their alpha). Null when the bitmap cannot be made.
std::unique_ptr<CWceUiGenericBitmap> BitmapFromRgba(const RgbaImage& image, const std::string& format);

// The picture of a loaded bitmap (565 or 32-bit, bottom-up) as straight RGBA with every pixel opaque:
// its alpha is not read.
RgbaImage RgbaFromBitmap(const CWceUiGenericBitmap& bmp);

// Whether any pixel of the image is less than opaque.
bool HasTransparency(const RgbaImage& image);

// Writes the bitmap with its own SaveFile to a host ".bmp" path and, for a 565 bitmap with per-pixel
// alpha, its plane to the ".alpha" file beside it; a plane left there from before is removed when the
// bitmap has none (*pRemovedPlane tells), so that the pair always loads as written. False with the
// reason on failure.
bool SaveBitmapFiles(CWceUiGenericBitmap& bmp, const std::string& hostBmpPath, bool* pRemovedPlane,
                     std::string* pError);

} // namespace imaging
