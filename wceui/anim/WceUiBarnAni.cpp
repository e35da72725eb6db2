#include "wceui/anim/WceUiBarnAni.h"

#include "platform/WinCe.h"
#include "wceui/core/WceUiLog.h"

namespace {

const CWceUiWndAnimate::DirectionWord kWords[] = {
    {u"left", CWceUiBarnAni::DIR_LEFT},     {u"right", CWceUiBarnAni::DIR_RIGHT},
    {u"up", CWceUiBarnAni::DIR_UP},         {u"down", CWceUiBarnAni::DIR_DOWN},
    {u"lr-mid", CWceUiBarnAni::DIR_LR2MID}, {u"mid-lr", CWceUiBarnAni::DIR_MID2LR},
    {u"ud-mid", CWceUiBarnAni::DIR_UD2MID}, {u"mid-ud", CWceUiBarnAni::DIR_MID2UD},
};

} // namespace

CWceUiBarnAni::CWceUiBarnAni() : m_nFrameLength(WCEUI_ANIMATE_DEFAULT_FRAME_LENGTH), m_nDirection(DIR_RIGHT) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiBarnAni));
}

CWceUiBarnAni::~CWceUiBarnAni() = default;

BOOL CWceUiBarnAni::Init(const CWceUiXmlElem* pElem) {
    if (!InitBase(pElem, u"CWceUiBarnAni")) {
        return FALSE;
    }
    if (!ReadDirection(pElem, u"CWceUiBarnAni::Init", kWords, (int)(sizeof(kWords) / sizeof(kWords[0])),
                       &m_nDirection)) {
        return FALSE;
    }
    return ReadFrameLength(pElem, u"CWceUiBarnAni::Init", &m_nFrameLength);
}

BOOL CWceUiBarnAni::Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                         CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) {
    RECT rc;
    const int nStep =
        BeginPlay("CWceUiBarnAni", pMixedBitmap, pFromBitmap, pToBitmap, nCurFrame, lpPlayTime, &rc);
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
            case DIR_MID2LR:
                DrawMid2LR(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            case DIR_UD2MID:
                DrawUD2Mid(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            case DIR_MID2UD:
                DrawMID2UD(pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
                break;
            default:
                WceUiLogW(WCEUI_LOG_ERROR, u"CWceUiBarnAni::Play failed , direction %u is not valid",
                          (unsigned)m_nDirection);
                return FALSE;
        }
    }
    *lpPlayTime = m_nFrameLength;
    return TRUE;
}

void CWceUiBarnAni::Finish() {}

void CWceUiBarnAni::SetRandomDirection() {
    m_nDirection = (int)(Random() & 7) + 1;
}

// Everything stays in place; only the boundary moves by D.

void CWceUiBarnAni::DrawLeft(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                             CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), R - L);
    const Piece pieces[] = {Columns(pFromBitmap, lpRect, L, R - D, L),
                            Columns(pToBitmap, lpRect, R - D, R, R - D)};
    DrawPieces("CWceUiBarnAni::DrawLeft", pMixedBitmap, pieces, 2);
}

void CWceUiBarnAni::DrawRight(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                              CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), R - L);
    const Piece pieces[] = {Columns(pFromBitmap, lpRect, L + D, R, L + D),
                            Columns(pToBitmap, lpRect, L, L + D, L)};
    DrawPieces("CWceUiBarnAni::DrawRight", pMixedBitmap, pieces, 2);
}

void CWceUiBarnAni::DrawUp(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                           CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), B - T);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T, B - D, T), Rows(pToBitmap, lpRect, B - D, B, B - D)};
    DrawPieces("CWceUiBarnAni::DrawUp", pMixedBitmap, pieces, 2);
}

void CWceUiBarnAni::DrawDown(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                             CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), B - T);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T + D, B, T + D), Rows(pToBitmap, lpRect, T, T + D, T)};
    DrawPieces("CWceUiBarnAni::DrawDown", pMixedBitmap, pieces, 2);
}

void CWceUiBarnAni::DrawLR2Mid(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                               CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right, M = L + ((R - L) >> 1);
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), (R - L) >> 1);
    const Piece pieces[] = {
        Columns(pFromBitmap, lpRect, L + D, M, L + D), Columns(pFromBitmap, lpRect, M, R - D, M),
        Columns(pToBitmap, lpRect, L, L + D, L), Columns(pToBitmap, lpRect, R - D, R, R - D)};
    DrawPieces("CWceUiBarnAni::DrawLR2Mid", pMixedBitmap, pieces, 4);
}

void CWceUiBarnAni::DrawMid2LR(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                               CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int L = lpRect->left, R = lpRect->right, M = L + ((R - L) >> 1);
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), (R - L) >> 1);
    const Piece pieces[] = {
        Columns(pFromBitmap, lpRect, L, M - D, L), Columns(pFromBitmap, lpRect, M + D, R, M + D),
        Columns(pToBitmap, lpRect, M - D, M, M - D), Columns(pToBitmap, lpRect, M, M + D, M)};
    DrawPieces("CWceUiBarnAni::DrawMid2LR", pMixedBitmap, pieces, 4);
}

void CWceUiBarnAni::DrawUD2Mid(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                               CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom, M = T + ((B - T) >> 1);
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), (B - T) >> 1);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T + D, M, T + D),
                            Rows(pFromBitmap, lpRect, M, B - D, M), Rows(pToBitmap, lpRect, T, T + D, T),
                            Rows(pToBitmap, lpRect, B - D, B, B - D)};
    DrawPieces("CWceUiBarnAni::DrawUD2Mid", pMixedBitmap, pieces, 4);
}

void CWceUiBarnAni::DrawMID2UD(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                               CWceUiGenericBitmap* pToBitmap, LPCRECT lpRect, int nCurFrame) {
    const int T = lpRect->top, B = lpRect->bottom, M = T + ((B - T) >> 1);
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), (B - T) >> 1);
    const Piece pieces[] = {Rows(pFromBitmap, lpRect, T, M - D, T),
                            Rows(pFromBitmap, lpRect, M + D, B, M + D),
                            Rows(pToBitmap, lpRect, M - D, M, M - D), Rows(pToBitmap, lpRect, M, M + D, M)};
    DrawPieces("CWceUiBarnAni::DrawMID2UD", pMixedBitmap, pieces, 4);
}
