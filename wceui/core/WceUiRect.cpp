#include "wceui/core/WceUiRect.h"
#include "wceui/core/WceUiLog.h"

void SetRectLarge(LPRECT lpRect) {
    if (!WCEUI_CHECK("SetRectLarge", NULL != lpRect))
        return;
    SetRect(lpRect, -WCEUI_RECT_LARGE_VALUE, -WCEUI_RECT_LARGE_VALUE, WCEUI_RECT_LARGE_VALUE,
            WCEUI_RECT_LARGE_VALUE);
}

BOOL IsRectLarge(LPCRECT lpRect) {
    if (!WCEUI_CHECK("IsRectLarge", NULL != lpRect))
        return FALSE;
    return lpRect->left == -WCEUI_RECT_LARGE_VALUE && lpRect->top == -WCEUI_RECT_LARGE_VALUE &&
           lpRect->right == WCEUI_RECT_LARGE_VALUE && lpRect->bottom == WCEUI_RECT_LARGE_VALUE;
}
