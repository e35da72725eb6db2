#include "wceui/anim/WceUiDirectionalAni.h"

#include "platform/WinCe.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/WceUiLog.h"

#include <cstring>
#include <string>

namespace {

// The kinds' names are ASCII; the wide messages take them unit by unit.
std::u16string Widen(const char* p) {
    return std::u16string(p, p + std::strlen(p));
}

int EdgePosition(CWceUiDirectionalAni::Edge edge, int nStart, int nEnd, int nMid, int D) {
    switch (edge) {
        case CWceUiDirectionalAni::AT_START:
            return nStart;
        case CWceUiDirectionalAni::AT_END:
            return nEnd;
        case CWceUiDirectionalAni::AT_MID:
            return nMid;
        case CWceUiDirectionalAni::START_PLUS_D:
            return nStart + D;
        case CWceUiDirectionalAni::END_MINUS_D:
            return nEnd - D;
        case CWceUiDirectionalAni::MID_MINUS_D:
            return nMid - D;
        case CWceUiDirectionalAni::MID_PLUS_D:
            return nMid + D;
    }
    return nStart;
}

} // namespace

CWceUiDirectionalAni::CWceUiDirectionalAni(const Kind* pKind)
    : m_pKind(pKind), m_nFrameLength(WCEUI_ANIMATE_DEFAULT_FRAME_LENGTH),
      m_nDirection(pKind->nDefaultDirection) {}

CWceUiDirectionalAni::~CWceUiDirectionalAni() = default;

BOOL CWceUiDirectionalAni::Init(const CWceUiXmlElem* pElem) {
    const std::u16string kind = Widen(m_pKind->pName);
    if (!InitBase(pElem, kind.c_str())) {
        return FALSE;
    }
    const std::u16string initName = kind + u"::Init";
    if (!ReadDirection(pElem, initName.c_str())) {
        return FALSE;
    }
    return ReadFrameLength(pElem, initName.c_str(), &m_nFrameLength);
}

BOOL CWceUiDirectionalAni::ReadDirection(const CWceUiXmlElem* pElem, LPCWSTR pInitName) {
    LPCWSTR pText = GetAttr(pElem, u"direction");
    if (NULL == pText) {
        return TRUE;
    }
    for (int i = 0; i < m_pKind->nDirections; ++i) {
        if (0 == WStrICmp(pText, m_pKind->pDirections[i].pWord)) {
            m_nDirection = m_pKind->pDirections[i].nDirection;
            return TRUE;
        }
    }
    WceUiLogW(WCEUI_LOG_ERROR, u"%s, the direction %s is not valid", pInitName, pText);
    return FALSE;
}

const CWceUiDirectionalAni::Direction* CWceUiDirectionalAni::FindDirection(int nDirection) const {
    for (int i = 0; i < m_pKind->nDirections; ++i) {
        if (m_pKind->pDirections[i].nDirection == nDirection) {
            return &m_pKind->pDirections[i];
        }
    }
    return NULL;
}

BOOL CWceUiDirectionalAni::Play(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                                CWceUiGenericBitmap* pToBitmap, int nCurFrame, int* lpPlayTime) {
    RECT rc;
    const int nStep =
        BeginPlay(m_pKind->pName, pMixedBitmap, pFromBitmap, pToBitmap, nCurFrame, lpPlayTime, &rc);
    if (PLAY_FAILED == nStep) {
        return FALSE;
    }
    if (PLAY_DRAW == nStep) {
        const Direction* pDirection = FindDirection(m_nDirection);
        if (NULL == pDirection) {
            WceUiLog(WCEUI_LOG_ERROR, "%s::Play failed , direction %u is not valid", m_pKind->pName,
                     (unsigned)m_nDirection);
            return FALSE;
        }
        DrawFrame(*pDirection, pMixedBitmap, pFromBitmap, pToBitmap, &rc, nCurFrame);
    }
    *lpPlayTime = m_nFrameLength;
    return TRUE;
}

void CWceUiDirectionalAni::SetRandomDirection() {
    m_nDirection = m_pKind->pDirections[Random() % (DWORD)m_pKind->nDirections].nDirection;
}

void CWceUiDirectionalAni::DrawFrame(const Direction& direction, CWceUiGenericBitmap* pMixedBitmap,
                                     CWceUiGenericBitmap* pFromBitmap, CWceUiGenericBitmap* pToBitmap,
                                     LPCRECT lpRect, int nCurFrame) {
    const bool bVertical = VERTICAL == direction.axis;
    const int nStart = bVertical ? lpRect->top : lpRect->left;
    const int nEnd = bVertical ? lpRect->bottom : lpRect->right;
    const int nMid = nStart + ((nEnd - nStart) >> 1);
    const int nDistance = HALF == direction.span ? (nEnd - nStart) >> 1 : nEnd - nStart;
    const int D = CalcAnidisplacement(nCurFrame, GetFrameCount(), nDistance);
    // A failed copy is logged as the check "bTemp1".."bTemp4" of the operation; the rest are still drawn.
    static const char* const kResultNames[] = {"bTemp1", "bTemp2", "bTemp3", "bTemp4"};
    const int nAcross = bVertical ? lpRect->right - lpRect->left : lpRect->bottom - lpRect->top;
    const Layout& layout = *direction.pLayout;
    if (!bVertical) {
        // Columns side by side: all pieces of a row at once, so that neither picture is gone through
        // once per piece (a vertical split already copies whole rows, one block per piece).
        WceUiRowPiece pieces[4];
        int nPieces = 0;
        for (; nPieces < layout.nPieces && nPieces < 4; ++nPieces) {
            const PieceAt& at = layout.pieces[nPieces];
            const int nFirst = EdgePosition(at.first, nStart, nEnd, nMid, D);
            pieces[nPieces] = {EdgePosition(at.dst, nStart, nEnd, nMid, D),
                               EdgePosition(at.last, nStart, nEnd, nMid, D) - nFirst,
                               FROM_PICTURE == at.picture ? pFromBitmap : pToBitmap, nFirst};
        }
        if (pMixedBitmap->CopyRowPieces(lpRect->top, nAcross, lpRect->top, pieces, nPieces)) {
            return;
        }
    }
    for (int i = 0; i < layout.nPieces && i < 4; ++i) {
        const PieceAt& at = layout.pieces[i];
        CWceUiGenericBitmap* pSrc = FROM_PICTURE == at.picture ? pFromBitmap : pToBitmap;
        const int nFirst = EdgePosition(at.first, nStart, nEnd, nMid, D);
        const int nLength = EdgePosition(at.last, nStart, nEnd, nMid, D) - nFirst;
        const int nDst = EdgePosition(at.dst, nStart, nEnd, nMid, D);
        const BOOL bTemp =
            bVertical
                ? CopyPiece(pMixedBitmap, lpRect->left, nDst, nAcross, nLength, pSrc, lpRect->left, nFirst)
                : CopyPiece(pMixedBitmap, nDst, lpRect->top, nLength, nAcross, pSrc, nFirst, lpRect->top);
        WceUiCheck(FALSE != bTemp, direction.pOperation, kResultNames[i]);
    }
}
