// Helpers of layer drawing that widgets and tests share.
#pragma once

#include "platform/WinCe.h"
#include <vector>

class CWceUiBgItem;
class CWceUiBgItemCtrl;

// The text flags a layer draws with: the style's, with the end ellipsis always and the word break
// unless the text is on a single line.
UINT WceUiLayerTextFormat(UINT uStyleFormat);

// Draws text through the platform's text output (the whole text; its height, 0 on failure).
int WceUiLayerDrawText(HDC hdc, LPCWSTR pText, LPRECT lpRect, UINT uFormat);

// The background items a layer draws, in order: the style's items with the layer's own merged in, each
// placed by its "common-index" (0 front, n > 0 after the n-th, n < 0 counted back from the end).
void WceUiMergeBgItems(CWceUiBgItemCtrl* pStyleItems, CWceUiBgItemCtrl* pOwnItems,
                       std::vector<CWceUiBgItem*>& out);
