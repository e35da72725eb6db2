// Cross-fade: the new picture is blended over the old one with a constant alpha that rises each frame.
#pragma once

#include "wceui/anim/WceUiWndAnimate.h"

class CWceUiBlendAni : public CWceUiWndAnimate {
public:
    CWceUiBlendAni();
    ~CWceUiBlendAni() override;

    BOOL Init(const CWceUiXmlElem* pElem) override;
    BOOL Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
              CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) override;
    void Finish() override;

    void SetFrameLength(int nFrameLength) { m_nFrameLength = nFrameLength; }
    int GetFrameLength() const { return m_nFrameLength; }

    // The constant alpha of frame nCurFrame of nFrameCount (the last frame copies instead).
    static BYTE GetFrameAlpha(int nCurFrame, int nFrameCount);

private:
    int m_nFrameLength;
};

WCEUI_DYNCREATE_BEGIN(CWceUiBlendAni, CWceUiWndAnimate)
WCEUI_DYNCREATE_END(CWceUiBlendAni)
