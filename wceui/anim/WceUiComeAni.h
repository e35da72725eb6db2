// Come in: the old picture stays still while the new one slides in over it.
#pragma once

#include "wceui/anim/WceUiDirectionalAni.h"

class CWceUiComeAni : public CWceUiDirectionalAni {
public:
    // Directions, as the "direction" words "left", "right", "up", "down", "lr-mid" and "ud-mid" give
    // them; the middle ones come in from both sides at once.
    enum { DIR_LEFT = 1, DIR_RIGHT = 2, DIR_UP = 3, DIR_DOWN = 4, DIR_LR2MID = 5, DIR_UD2MID = 7 };

    CWceUiComeAni();
    ~CWceUiComeAni() override;
};

WCEUI_DYNCREATE_BEGIN(CWceUiComeAni, CWceUiWndAnimate)
WCEUI_DYNCREATE_END(CWceUiComeAni)
