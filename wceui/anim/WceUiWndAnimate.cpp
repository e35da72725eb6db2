#include "wceui/anim/WceUiWndAnimate.h"

#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/bitmap/WceUiRectOps.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRect.h"
#include "wceui/res/WceUiXmlDoc.h"

#include <climits>
#include <string>

namespace {

// A number of an attribute as the device's 32-bit string-to-long conversion gives it: values beyond the
// range stop at its ends.
int AttrToInt(LPCWSTR pText) {
    const long l = WStrToL(pText, NULL, 10);
    return l > INT_MAX ? INT_MAX : (l < INT_MIN ? INT_MIN : (int)l);
}

} // namespace

int CalcAnidisplacement(int nCurFrame, int nFrameCount, int nStotal) {
    const bool bFrameOk = WCEUI_CHECK("CalcAnidisplacement", ((nCurFrame >= 0) && (nCurFrame < nFrameCount)));
    const bool bCountOk = WCEUI_CHECK("CalcAnidisplacement", nFrameCount > 0);
    const bool bDistanceOk = WCEUI_CHECK("CalcAnidisplacement", nStotal > 0);
    if (!bFrameOk || !bCountOk || !bDistanceOk) {
        return 0;
    }
    const int n = nCurFrame + 1;
    if (n == nFrameCount) {
        return nStotal;
    }
    // Accelerate through the first half and brake through the second: s = k n^2 / 2, with k chosen so
    // that each half covers S / 2. The products are formed in double so that no count overflows.
    const int h = nFrameCount >> 1;
    const double k = nStotal / ((double)h * h);
    double s;
    if (n <= h) {
        s = (double)n * n * k * 0.5;
    } else {
        const int m = nFrameCount - n;
        s = nStotal - (double)m * m * k * 0.5;
    }
    const int nResult = (int)s;
    return nResult < 0 ? 0 : (nResult > nStotal ? nStotal : nResult);
}

CWceUiWndAnimate::CWceUiWndAnimate()
    : m_bEnabled(TRUE), m_nFrameCount(WCEUI_ANIMATE_DEFAULT_FRAME_COUNT), m_szName() {
    SetClassName(WCEUI_CLASS_NAME(CWceUiWndAnimate));
    SetRectLarge(&m_rcAnimate);
}

CWceUiWndAnimate::~CWceUiWndAnimate() = default;

LPCWSTR CWceUiWndAnimate::GetAttr(const CWceUiXmlElem* pElem, LPCWSTR pName) {
    if (NULL == pElem || NULL == pElem->pDoc) {
        return NULL;
    }
    return pElem->pDoc->GetAttrValue(pElem, pName);
}

BOOL CWceUiWndAnimate::Init(const CWceUiXmlElem* pElem) {
    if (!WCEUI_CHECK("CWceUiWndAnimate::Init", NULL != pElem)) {
        return FALSE;
    }
    // The style file names the object after its item once Init has succeeded.
    SetName(NULL != pElem->pName ? pElem->pName : u"");
    if (LPCWSTR pFrameCount = GetAttr(pElem, u"frame-count")) {
        SetFrameCount(AttrToInt(pFrameCount));
    }
    LPCWSTR pRect = GetAttr(pElem, u"rect");
    if (NULL == pRect) {
        return TRUE;
    }
    RECT rc;
    if (!ConvertRectStrToRect(pRect, &rc)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CWceUiWndAnimate::Init, Convert %s to RECT failed", pRect);
        return FALSE;
    }
    SetRect(&rc);
    return TRUE;
}

BOOL CWceUiWndAnimate::InitBase(const CWceUiXmlElem* pElem, LPCWSTR pKind) {
    if (!CWceUiWndAnimate::Init(pElem)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In %s::Init, CWceUiWndAnimate::Init return FALSE", pKind);
        return FALSE;
    }
    return TRUE;
}

BOOL CWceUiWndAnimate::ReadFrameLength(const CWceUiXmlElem* pElem, LPCWSTR pInitName, int* pnFrameLength) {
    LPCWSTR pText = GetAttr(pElem, u"frame-length");
    if (NULL == pText) {
        return TRUE;
    }
    const int nFrameLength = AttrToInt(pText);
    if (nFrameLength <= 0) {
        WceUiLogW(WCEUI_LOG_ERROR, u"%s, the frame-length %s is not valid", pInitName, pText);
        return FALSE;
    }
    *pnFrameLength = nFrameLength;
    return TRUE;
}

BOOL CWceUiWndAnimate::ReStart(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                               CWceUiGenericBitmap* pToBitmap) {
    if (!CheckParameter(pMixedBitmap, pFromBitmap, pToBitmap)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"In CWceUiWndAnimate::ReStart, CheckParameter failed");
        return FALSE;
    }
    return TRUE;
}

void CWceUiWndAnimate::Finish() {}

void CWceUiWndAnimate::SetRandomDirection() {}

void CWceUiWndAnimate::SetName(LPCWSTR pName) {
    if (!WCEUI_CHECK("CWceUiWndAnimate::SetName", NULL != pName)) {
        return;
    }
    WStrCpyN(m_szName, WCEUI_ANIMATE_NAME_LEN, pName);
}

void CWceUiWndAnimate::SetFrameCount(int nFrameCount) {
    WCEUI_CHECK("CWceUiWndAnimate::SetFrameCount", nFrameCount > 0);
    m_nFrameCount = nFrameCount;
}

void CWceUiWndAnimate::SetRect(LPCRECT lpRcAnimate) {
    if (WCEUI_CHECK("CWceUiWndAnimate::SetRect", NULL != lpRcAnimate)) {
        m_rcAnimate = *lpRcAnimate;
    }
}

void CWceUiWndAnimate::GetRect(LPRECT lpRcAnimate) const {
    if (WCEUI_CHECK("CWceUiWndAnimate::GetRect", NULL != lpRcAnimate)) {
        *lpRcAnimate = m_rcAnimate;
    }
}

BOOL CWceUiWndAnimate::CheckParameter(CWceUiGenericBitmap* pMixedBitmap, CWceUiGenericBitmap* pFromBitmap,
                                      CWceUiGenericBitmap* pToBitmap) {
    const char* const kOp = "CWceUiWndAnimate::CheckParameter";
    if (!WCEUI_CHECK(kOp, NULL != pMixedBitmap) || !WCEUI_CHECK(kOp, pMixedBitmap->IsLoaded())) {
        return FALSE;
    }
    if (!WCEUI_CHECK(kOp, NULL != pFromBitmap) || !WCEUI_CHECK(kOp, pFromBitmap->IsLoaded())) {
        return FALSE;
    }
    if (!WCEUI_CHECK(kOp, NULL != pToBitmap) || !WCEUI_CHECK(kOp, pToBitmap->IsLoaded())) {
        return FALSE;
    }
    const int nWidth = pMixedBitmap->GetWidth();
    const int nHeight = pMixedBitmap->GetHeight();
    if (nWidth != pFromBitmap->GetWidth() || nHeight != pFromBitmap->GetHeight()) {
        WceUiLogW(WCEUI_LOG_ERROR,
                  u"In CWceUiWndAnimate::CheckParameter, the size of pMixedBitmap is not equal pFromBitmap");
        return FALSE;
    }
    if (pFromBitmap->GetWidth() != pToBitmap->GetWidth() ||
        pFromBitmap->GetHeight() != pToBitmap->GetHeight()) {
        WceUiLogW(WCEUI_LOG_ERROR,
                  u"In CWceUiWndAnimate::CheckParameter, the size of pFromBitmap is not equal pToBitmap");
        return FALSE;
    }
    RECT rcWndBitmap, rcTemp;
    ::SetRect(&rcWndBitmap, 0, 0, nWidth, nHeight);
    if (!IntersectRect(&rcTemp, &m_rcAnimate, &rcWndBitmap)) {
        WceUiLogW(
            WCEUI_LOG_ERROR,
            u"In CWceUiWndAnimate::CheckParameter, there is no IntersectRect in m_rcAnimate and rcWndBitmap");
        return FALSE;
    }
    if (GetFrameCount() < 1) {
        WceUiLogW(WCEUI_LOG_ERROR,
                  u"In CWceUiWndAnimate::CheckParameter, GetFrameCount() must equal or more than 1");
        return FALSE;
    }
    return TRUE;
}

int CWceUiWndAnimate::BeginPlay(const char* pKind, CWceUiGenericBitmap* pMixedBitmap,
                                CWceUiGenericBitmap* pFromBitmap, CWceUiGenericBitmap* pToBitmap,
                                int nCurFrame, int* lpPlayTime, LPRECT lpRect) {
    const std::string op = std::string(pKind) + "::Play";
    if (!WCEUI_CHECK(op.c_str(), NULL != lpPlayTime)) {
        return PLAY_FAILED;
    }
    // A negative frame has no picture: it would ask the curve and the blend for values they do not have.
    if (!WCEUI_CHECK(op.c_str(), nCurFrame >= 0) || !WCEUI_CHECK(op.c_str(), nCurFrame < GetFrameCount())) {
        return PLAY_FAILED;
    }
    if (!CheckParameter(pMixedBitmap, pFromBitmap, pToBitmap)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Play failed, CheckParameter return FALSE", pKind);
        return PLAY_FAILED;
    }
    RECT rcWndBitmap;
    ::SetRect(&rcWndBitmap, 0, 0, pMixedBitmap->GetWidth(), pMixedBitmap->GetHeight());
    if (!IntersectRect(lpRect, &m_rcAnimate, &rcWndBitmap)) {
        WceUiLog(WCEUI_LOG_ERROR, "%s::Play failed, no valid rect", pKind);
        return PLAY_FAILED;
    }
    if (nCurFrame + 1 == GetFrameCount()) {
        // The run always ends exactly on the new picture, whatever the curve rounded to.
        const BOOL bTemp = CopyPiece(pMixedBitmap, lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                                     lpRect->bottom - lpRect->top, pToBitmap, lpRect->left, lpRect->top);
        WCEUI_CHECK(op.c_str(), bTemp);
        return PLAY_DONE;
    }
    return PLAY_DRAW;
}

BOOL CWceUiWndAnimate::CopyPiece(CWceUiGenericBitmap* pMixedBitmap, int xDst, int yDst, int nWidth,
                                 int nHeight, CWceUiGenericBitmap* pSrcBmp, int xSrc, int ySrc) {
    if (nWidth <= 0 || nHeight <= 0) {
        return TRUE; // an empty piece (the boundary at an edge) draws nothing
    }
    return pMixedBitmap->BitBlt(xDst, yDst, nWidth, nHeight, pSrcBmp, xSrc, ySrc, SRCCOPY);
}
