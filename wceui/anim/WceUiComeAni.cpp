#include "wceui/anim/WceUiComeAni.h"

#include "platform/WinCe.h"
#include "wceui/core/WceUiLog.h"

namespace {

const CWceUiWndAnimate::DirectionWord kWords[] = {
    {u"left", CWceUiComeAni::DIR_LEFT},     {u"right", CWceUiComeAni::DIR_RIGHT},
    {u"up", CWceUiComeAni::DIR_UP},         {u"down", CWceUiComeAni::DIR_DOWN},
    {u"lr-mid", CWceUiComeAni::DIR_LR2MID}, {u"ud-mid", CWceUiComeAni::DIR_UD2MID},
};

} // namespace

CWceUiComeAni::CWceUiComeAni() : m_nFrameLength(WCEUI_ANIMATE_DEFAULT_FRAME_LENGTH), m_nDirection(DIR_RIGHT) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiComeAni));
}

CWceUiComeAni::~CWceUiComeAni() = default;

BOOL CWceUiComeAni::Init(const CWceUiXmlElem* pElem) {
    if (!InitBase(pElem, u"CWceUiComeAni")) {
        return FALSE;
    }
    if (!ReadDirection(pElem, u"CWceUiComeAni::Init", kWords, (int)(sizeof(kWords) / sizeof(kWords[0])),
                       &m_nDirection)) {
        return FALSE;
    }
    return ReadFrameLength(pElem, u"CWceUiComeAni::Init", &m_nFrameLength);
}

BOOL CWceUiComeAni::Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                         CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) {
    RECT rc;
    const int nStep =
        BeginPlay("CWceUiComeAni", pMixedBitmap, pFromBitmap, pToBitmap, nCurFrame, lpPlayTime, &rc);
    if (PLAY_FAILED == nStep) {
        return FALSE;
    }
    if (PLAY_DRAW == nStep) {
        switch (m_nDirection) {
            case DIR_LEFT:
                DrawLeft(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            case DIR_RIGHT:
                DrawRight(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            case DIR_UP:
                DrawUp(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            case DIR_DOWN:
                DrawDown(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            case DIR_LR2MID:
                DrawLR2Mid(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            case DIR_UD2MID:
                DrawUD2Mid(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            default:
                WceUiLogW(WCEUI_LOG_ERROR, u"CWceUiComeAni::Play failed , direction %u is not valid",
                          (unsigned)m_nDirection);
                return FALSE;
        }
    }
    *lpPlayTime = m_nFrameLength;
    return TRUE;
}

void CWceUiComeAni::Finish() {}

void CWceUiComeAni::SetRandomDirection() {
    static const int kDirections[] = {DIR_LEFT, DIR_RIGHT, DIR_UP, DIR_DOWN, DIR_LR2MID, DIR_UD2MID};
    m_nDirection = kDirections[Random() % 6];
}

// The old picture stays in place; the new one enters from the edge it moves away from, its
// leading edge first.
void CWceUiComeAni::DrawLeft(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                             CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), R - L);
    const Piece pieces[] = {Columns(pFromBitmap, lpRect, L, R - D, L),
                            Columns(pToBitmap, lpRect, L, L + D, R - D)};
    DrawPieces("CWceUiComeAni::DrawLeft", pMixedBitmap, pieces, 2);
}

void CWceUiComeAni::DrawRight(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                              CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), R - L);
    const Piece pieces[] = {Columns(pFromBitmap, lpRect, L + D, R, L + D),
                            Columns(pToBitmap, lpRect, R - D, R, L)};
    DrawPieces("CWceUiComeAni::DrawRight", pMixedBitmap, pieces, 2);
}

void CWceUiComeAni::DrawUp(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                           CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), B - T);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T, B - D, T), Rows(pToBitmap, lpRect, T, T + D, B - D)};
    DrawPieces("CWceUiComeAni::DrawUp", pMixedBitmap, pieces, 2);
}

void CWceUiComeAni::DrawDown(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                             CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), B - T);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T + D, B, T + D), Rows(pToBitmap, lpRect, B - D, B, T)};
    DrawPieces("CWceUiComeAni::DrawDown", pMixedBitmap, pieces, 2);
}

void CWceUiComeAni::DrawLR2Mid(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                               CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right, M = L + ((R - L) >> 1);
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), (R - L) >> 1);
    const Piece pieces[] = {
        Columns(pFromBitmap, lpRect, L + D, M, L + D), Columns(pFromBitmap, lpRect, M, R - D, M),
        Columns(pToBitmap, lpRect, M - D, M, L), Columns(pToBitmap, lpRect, M, M + D, R - D)};
    DrawPieces("CWceUiComeAni::DrawLR2Mid", pMixedBitmap, pieces, 4);
}

void CWceUiComeAni::DrawUD2Mid(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                               CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom, M = T + ((B - T) >> 1);
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), (B - T) >> 1);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T + D, M, T + D),
                            Rows(pFromBitmap, lpRect, M, B - D, M), Rows(pToBitmap, lpRect, M - D, M, T),
                            Rows(pToBitmap, lpRect, M, M + D, B - D)};
    DrawPieces("CWceUiComeAni::DrawUD2Mid", pMixedBitmap, pieces, 4);
}
