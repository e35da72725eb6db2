// Line layout of the text-drawing call: lines from line breaks and word wrapping, ellipses, and the
// lines that fit. Works on code points and their advances only, so it is independent of fonts.
#pragma once

#include "platform/WinTypes.h"

#include <vector>

namespace text {

// One line: the code points [start, end) followed, when ellipsis is set, by "...".
struct LineSpan {
    int start = 0;
    int end = 0;
    bool ellipsis = false;
    int width = 0; // pixels, the ellipsis included
};

struct LayoutRequest {
    const char32_t* text = nullptr;
    const int* advance = nullptr; // per code point
    int count = 0;
    UINT format = 0;       // DT_* flags
    int width = 0;         // of the rectangle
    int height = 0;        // of the rectangle
    int lineHeight = 1;    // of the font's cell
    int ellipsisWidth = 0; // of "..."
};

// Lays the text out. DT_CALCRECT measures the whole text: no ellipses and no lines dropped.
std::vector<LineSpan> LayOut(const LayoutRequest& req);

} // namespace text
