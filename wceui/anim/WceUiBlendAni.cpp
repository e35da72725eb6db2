#include "wceui/anim/WceUiBlendAni.h"

#include "platform/WinCe.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/WceUiLog.h"

CWceUiBlendAni::CWceUiBlendAni() : m_nFrameLength(WCEUI_ANIMATE_DEFAULT_FRAME_LENGTH) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiBlendAni));
}

CWceUiBlendAni::~CWceUiBlendAni() = default;

BOOL CWceUiBlendAni::Init(const CWceUiXmlElem* pElem) {
    if (!InitBase(pElem, u"CWceUiBlendAni")) {
        return FALSE;
    }
    return ReadFrameLength(pElem, u"CWceUiBlendAni::Init", &m_nFrameLength);
}

// The alpha rises in equal whole steps of 255 / N, so that frame N - 1 (which copies) would be the
// first to reach the full picture. With more than 255 frames the step is 0 and only the last frame
// changes the picture.
BYTE CWceUiBlendAni::GetFrameAlpha(int nCurFrame, int nFrameCount) {
    if (nFrameCount < 1) {
        return 0;
    }
    return (BYTE)((nCurFrame + 1) * (255 / nFrameCount));
}

BOOL CWceUiBlendAni::Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                          CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) {
    RECT rc;
    const int nStep =
        BeginPlay("CWceUiBlendAni", pMixedBitmap, pFromBitmap, pToBitmap, nCurFrame, lpPlayTime, &rc);
    if (PLAY_FAILED == nStep) {
        return FALSE;
    }
    if (PLAY_DRAW == nStep) {
        const int nWidth = rc.right - rc.left, nHeight = rc.bottom - rc.top;
        const BOOL bTemp1 =
            CopyPiece(pMixedBitmap, rc.left, rc.top, nWidth, nHeight, pFromBitmap, rc.left, rc.top);
        WCEUI_CHECK("CWceUiBlendAni::Play", bTemp1);
        const BLENDFUNCTION bf = {AC_SRC_OVER, 0, GetFrameAlpha(nCurFrame, GetFrameCount()), 0};
        // Unlike a copy, the blend refuses pictures of two kinds; the frame would show no change at all.
        if (!pMixedBitmap->AlphaBlend(rc.left, rc.top, nWidth, nHeight, pToBitmap, rc.left, rc.top, bf)) {
            WceUiLog(WCEUI_LOG_ERROR, "CWceUiBlendAni::Play failed, AlphaBlend return FALSE");
            return FALSE;
        }
    }
    *lpPlayTime = m_nFrameLength;
    return TRUE;
}

void CWceUiBlendAni::Finish() {}
