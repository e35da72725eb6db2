#include "wceui/anim/WceUiGoAni.h"

#include "platform/WinCe.h"
#include "wceui/core/WceUiLog.h"

namespace {

const CWceUiWndAnimate::DirectionWord kWords[] = {
    {u"left", CWceUiGoAni::DIR_LEFT},     {u"right", CWceUiGoAni::DIR_RIGHT},
    {u"up", CWceUiGoAni::DIR_UP},         {u"down", CWceUiGoAni::DIR_DOWN},
    {u"mid-lr", CWceUiGoAni::DIR_MID2LR}, {u"mid-ud", CWceUiGoAni::DIR_MID2UD},
};

} // namespace

CWceUiGoAni::CWceUiGoAni() : m_nFrameLength(WCEUI_ANIMATE_DEFAULT_FRAME_LENGTH), m_nDirection(DIR_RIGHT) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiGoAni));
}

CWceUiGoAni::~CWceUiGoAni() = default;

BOOL CWceUiGoAni::Init(const CWceUiXmlElem* pElem) {
    if (!InitBase(pElem, u"CWceUiGoAni")) {
        return FALSE;
    }
    if (!ReadDirection(pElem, u"CWceUiGoAni::Init", kWords, (int)(sizeof(kWords) / sizeof(kWords[0])),
                       &m_nDirection)) {
        return FALSE;
    }
    return ReadFrameLength(pElem, u"CWceUiGoAni::Init", &m_nFrameLength);
}

BOOL CWceUiGoAni::Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                       CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) {
    RECT rc;
    const int nStep =
        BeginPlay("CWceUiGoAni", pMixedBitmap, pFromBitmap, pToBitmap, nCurFrame, lpPlayTime, &rc);
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
            case DIR_MID2LR:
                DrawMid2LR(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            case DIR_MID2UD:
                DrawMID2UD(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            default:
                WceUiLogW(WCEUI_LOG_ERROR, u"CWceUiGoAni::Play failed , direction %u is not valid",
                          (unsigned)m_nDirection);
                return FALSE;
        }
    }
    *lpPlayTime = m_nFrameLength;
    return TRUE;
}

void CWceUiGoAni::Finish() {}

void CWceUiGoAni::SetRandomDirection() {
    static const int kDirections[] = {DIR_LEFT, DIR_RIGHT, DIR_UP, DIR_DOWN, DIR_MID2LR, DIR_MID2UD};
    m_nDirection = kDirections[Random() % 6];
}

// The new picture stays in place; the old one leaves towards the named edge (or, from the middle,
// towards both), uncovering it.
void CWceUiGoAni::DrawLeft(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                           CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), R - L);
    const Piece pieces[] = {Columns(pFromBitmap, lpRect, L + D, R, L),
                            Columns(pToBitmap, lpRect, R - D, R, R - D)};
    DrawPieces("CWceUiGoAni::DrawLeft", pMixedBitmap, pieces, 2);
}

void CWceUiGoAni::DrawRight(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                            CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), R - L);
    const Piece pieces[] = {Columns(pFromBitmap, lpRect, L, R - D, L + D),
                            Columns(pToBitmap, lpRect, L, L + D, L)};
    DrawPieces("CWceUiGoAni::DrawRight", pMixedBitmap, pieces, 2);
}

void CWceUiGoAni::DrawUp(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                         CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), B - T);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T + D, B, T), Rows(pToBitmap, lpRect, B - D, B, B - D)};
    DrawPieces("CWceUiGoAni::DrawUp", pMixedBitmap, pieces, 2);
}

void CWceUiGoAni::DrawDown(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                           CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), B - T);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T, B - D, T + D), Rows(pToBitmap, lpRect, T, T + D, T)};
    DrawPieces("CWceUiGoAni::DrawDown", pMixedBitmap, pieces, 2);
}

void CWceUiGoAni::DrawMid2LR(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                             CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right, M = L + ((R - L) >> 1);
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), (R - L) >> 1);
    const Piece pieces[] = {
        Columns(pFromBitmap, lpRect, L + D, M, L), Columns(pFromBitmap, lpRect, M, R - D, M + D),
        Columns(pToBitmap, lpRect, M - D, M, M - D), Columns(pToBitmap, lpRect, M, M + D, M)};
    DrawPieces("CWceUiGoAni::DrawMid2LR", pMixedBitmap, pieces, 4);
}

void CWceUiGoAni::DrawMID2UD(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                             CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom, M = T + ((B - T) >> 1);
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), (B - T) >> 1);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T + D, M, T),
                            Rows(pFromBitmap, lpRect, M, B - D, M + D),
                            Rows(pToBitmap, lpRect, M - D, M, M - D), Rows(pToBitmap, lpRect, M, M + D, M)};
    DrawPieces("CWceUiGoAni::DrawMID2UD", pMixedBitmap, pieces, 4);
}
