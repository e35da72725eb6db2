// Reveal: both pictures stay still while the boundary between them moves across the rectangle.
#pragma once

#include "wceui/anim/WceUiDirectionalAni.h"

class CWceUiBarnAni : public CWceUiDirectionalAni {
public:
    // Directions, as the "direction" words "left", "right", "up", "down", "lr-mid", "mid-lr", "ud-mid"
    // and "mid-ud" give them.
    enum {
        DIR_LEFT = 1,
        DIR_RIGHT = 2,
        DIR_UP = 3,
        DIR_DOWN = 4,
        DIR_LR2MID = 5, // from both sides to the middle
        DIR_MID2LR = 6, // from the middle to both sides
        DIR_UD2MID = 7,
        DIR_MID2UD = 8
    };

    CWceUiBarnAni();
    ~CWceUiBarnAni() override;
};

WCEUI_DYNCREATE_BEGIN(CWceUiBarnAni, CWceUiWndAnimate)
WCEUI_DYNCREATE_END(CWceUiBarnAni)
