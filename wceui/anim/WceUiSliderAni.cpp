#include "wceui/anim/WceUiSliderAni.h"

#include "platform/WinCe.h"
#include "wceui/core/WceUiLog.h"

namespace {

const CWceUiWndAnimate::DirectionWord kWords[] = {
    {u"up", CWceUiSliderAni::DIR_UP},
    {u"down", CWceUiSliderAni::DIR_DOWN},
    {u"left", CWceUiSliderAni::DIR_LEFT},
    {u"right", CWceUiSliderAni::DIR_RIGHT},
};

} // namespace

CWceUiSliderAni::CWceUiSliderAni()
    : m_nDirection(DIR_RIGHT), m_nFrameLength(WCEUI_ANIMATE_DEFAULT_FRAME_LENGTH) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiSliderAni));
}

CWceUiSliderAni::~CWceUiSliderAni() = default;

BOOL CWceUiSliderAni::Init(const CWceUiXmlElem* pElem) {
    if (!InitBase(pElem, u"CWceUiSliderAni")) {
        return FALSE;
    }
    if (!ReadDirection(pElem, u"CWceUiSliderAni::Init", kWords, (int)(sizeof(kWords) / sizeof(kWords[0])),
                       &m_nDirection)) {
        return FALSE;
    }
    return ReadFrameLength(pElem, u"CWceUiSliderAni::Init", &m_nFrameLength);
}

// Both pictures move by D together: the old one leaves through the edge it moves to, the new one
// follows it in from the opposite edge.
BOOL CWceUiSliderAni::Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                           CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) {
    RECT rc;
    const int nStep =
        BeginPlay("CWceUiSliderAni", pMixedBitmap, pFromBitmap, pToBitmap, nCurFrame, lpPlayTime, &rc);
    if (PLAY_FAILED == nStep) {
        return FALSE;
    }
    if (PLAY_DRAW == nStep) {
        const int L = rc.left, T = rc.top, R = rc.right, B = rc.bottom;
        Piece pieces[2];
        switch (m_nDirection) {
            case DIR_UP: {
                const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), B - T);
                pieces[0] = Rows(pFromBitmap, &rc, T + D, B, T);
                pieces[1] = Rows(pToBitmap, &rc, T, T + D, B - D);
                break;
            }
            case DIR_DOWN: {
                const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), B - T);
                pieces[0] = Rows(pFromBitmap, &rc, T, B - D, T + D);
                pieces[1] = Rows(pToBitmap, &rc, B - D, B, T);
                break;
            }
            case DIR_LEFT: {
                const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), R - L);
                pieces[0] = Columns(pFromBitmap, &rc, L + D, R, L);
                pieces[1] = Columns(pToBitmap, &rc, L, L + D, R - D);
                break;
            }
            case DIR_RIGHT: {
                const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), R - L);
                pieces[0] = Columns(pFromBitmap, &rc, L, R - D, L + D);
                pieces[1] = Columns(pToBitmap, &rc, R - D, R, L);
                break;
            }
            default:
                WceUiLogW(WCEUI_LOG_ERROR, u"CWceUiSliderAni::Play failed , direction %u is not valid",
                          (unsigned)m_nDirection);
                return FALSE;
        }
        DrawPieces("CWceUiSliderAni::Play", pMixedBitmap, pieces, 2);
    }
    *lpPlayTime = m_nFrameLength;
    return TRUE;
}

void CWceUiSliderAni::Finish() {}

void CWceUiSliderAni::SetRandomDirection() {
    m_nDirection = (int)(Random() & 3) + 1;
}
