// Push: both pictures move together, the new one pushing the old one out of the rectangle.
#pragma once

#include "wceui/anim/WceUiDirectionalAni.h"

class CWceUiSliderAni : public CWceUiDirectionalAni {
public:
    // Directions of the movement, as the "direction" words "up", "down", "left" and "right" give them.
    enum { DIR_UP = 1, DIR_DOWN = 2, DIR_LEFT = 3, DIR_RIGHT = 4 };

    CWceUiSliderAni();
    ~CWceUiSliderAni() override;
};

WCEUI_DYNCREATE_BEGIN(CWceUiSliderAni, CWceUiWndAnimate)
WCEUI_DYNCREATE_END(CWceUiSliderAni)
