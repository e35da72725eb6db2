// Go away: the new picture stays still while the old one slides out, uncovering it.
#pragma once

#include "wceui/anim/WceUiWndAnimate.h"

class CWceUiGoAni : public CWceUiWndAnimate {
public:
    // Directions, as the "direction" words "left", "right", "up", "down", "mid-lr" and "mid-ud" give
    // them; the middle ones split the old picture and move its halves out to both sides.
    enum { DIR_LEFT = 1, DIR_RIGHT = 2, DIR_UP = 3, DIR_DOWN = 4, DIR_MID2LR = 6, DIR_MID2UD = 8 };

    CWceUiGoAni();
    ~CWceUiGoAni() override;

    BOOL Init(const CWceUiXmlElem* pElem) override;
    BOOL Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
              CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) override;
    void Finish() override;
    void SetRandomDirection() override;

    void SetFrameLength(int nFrameLength) { m_nFrameLength = nFrameLength; }
    int GetFrameLength() const { return m_nFrameLength; }
    // Any number is stored; Play refuses one that is not a direction of the kind.
    void SetDirection(int nDirection) { m_nDirection = nDirection; }
    int GetDirection() const { return m_nDirection; }

protected:
    // One operation per direction; each draws frame nCurFrame into lpRect of the mixed bitmap.
    void DrawLeft(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                  CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);
    void DrawRight(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                   CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);
    void DrawUp(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);
    void DrawDown(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                  CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);
    void DrawMid2LR(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                    CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);
    void DrawMID2UD(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                    CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);

private:
    int m_nFrameLength;
    int m_nDirection;
};

WCEUI_DYNCREATE_BEGIN(CWceUiGoAni, CWceUiWndAnimate)
WCEUI_DYNCREATE_END(CWceUiGoAni)
