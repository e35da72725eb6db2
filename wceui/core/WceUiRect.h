// The unbounded rectangle (-65535, -65535, 65535, 65535) stands for "no limit" wherever a rectangle
// is optional.
#pragma once

#include "platform/WinCe.h"

#define WCEUI_RECT_LARGE_VALUE 65535

void SetRectLarge(LPRECT lpRect);
BOOL IsRectLarge(LPCRECT lpRect);
