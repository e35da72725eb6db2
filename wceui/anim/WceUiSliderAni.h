// Push: both pictures move together, the new one pushing the old one out of the rectangle.
#pragma once

#include "wceui/anim/WceUiWndAnimate.h"

class CWceUiSliderAni : public CWceUiWndAnimate {
public:
    // Directions of the movement, as the "direction" words "up", "down", "left" and "right" give them.
    enum { DIR_UP = 1, DIR_DOWN = 2, DIR_LEFT = 3, DIR_RIGHT = 4 };

    CWceUiSliderAni();
    ~CWceUiSliderAni() override;

    BOOL Init(const CWceUiXmlElem* pElem) override;
    BOOL Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
              CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) override;
    void Finish() override;
    void SetRandomDirection() override;

    // Any number is stored; Play refuses one that is not a direction of the kind.
    void SetDirection(int nDirection) { m_nDirection = nDirection; }
    int GetDirection() const { return m_nDirection; }
    void SetFrameLength(int nFrameLength) { m_nFrameLength = nFrameLength; }
    int GetFrameLength() const { return m_nFrameLength; }

private:
    int m_nDirection;
    int m_nFrameLength;
};

WCEUI_DYNCREATE_BEGIN(CWceUiSliderAni, CWceUiWndAnimate)
WCEUI_DYNCREATE_END(CWceUiSliderAni)
