// Come in: the old picture stays still while the new one slides in over it.
#pragma once

#include "wceui/anim/WceUiWndAnimate.h"

class CWceUiComeAni : public CWceUiWndAnimate {
public:
    // Directions, as the "direction" words "left", "right", "up", "down", "lr-mid" and "ud-mid" give
    // them; the middle ones come in from both sides at once.
    enum { DIR_LEFT = 1, DIR_RIGHT = 2, DIR_UP = 3, DIR_DOWN = 4, DIR_LR2MID = 5, DIR_UD2MID = 7 };

    CWceUiComeAni();
    ~CWceUiComeAni() override;

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
    void DrawUD2Mid(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                    CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame);

private:
    int m_nFrameLength;
    int m_nDirection;
};

WCEUI_DYNCREATE_BEGIN(CWceUiComeAni, CWceUiWndAnimate)
WCEUI_DYNCREATE_END(CWceUiComeAni)
