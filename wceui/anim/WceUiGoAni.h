// Go away: the new picture stays still while the old one slides out, uncovering it.
#pragma once

#include "wceui/anim/WceUiDirectionalAni.h"

class CWceUiGoAni : public CWceUiDirectionalAni {
public:
    // Directions, as the "direction" words "left", "right", "up", "down", "mid-lr" and "mid-ud" give
    // them; the middle ones split the old picture and move its halves out to both sides.
    enum { DIR_LEFT = 1, DIR_RIGHT = 2, DIR_UP = 3, DIR_DOWN = 4, DIR_MID2LR = 6, DIR_MID2UD = 8 };

    CWceUiGoAni();
    ~CWceUiGoAni() override;
};

WCEUI_DYNCREATE_BEGIN(CWceUiGoAni, CWceUiWndAnimate)
WCEUI_DYNCREATE_END(CWceUiGoAni)
