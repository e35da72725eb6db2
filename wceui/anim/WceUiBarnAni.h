// Reveal: both pictures stay still while the boundary between them moves across the rectangle.
#pragma once

#include "wceui/anim/WceUiWndAnimate.h"

class CWceUiBarnAni : public CWceUiWndAnimate {
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
    void DrawLR2Mid(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                    CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);
    void DrawMid2LR(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                    CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);
    void DrawUD2Mid(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                    CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);
    void DrawMID2UD(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                    CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);

private:
    int m_nFrameLength;
    int m_nDirection;
};

WCEUI_DYNCREATE_BEGIN(CWceUiBarnAni, CWceUiWndAnimate)
WCEUI_DYNCREATE_END(CWceUiBarnAni)
