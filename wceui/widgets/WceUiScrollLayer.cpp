// Pen following, flicks and the eased spring of scrolled content.
#include "wceui/widgets/WceUiScrollLayer.h"

#include "platform/WinSystem.h"
#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/ui/RealGenericWnd.h"
#include "wceui/ui/WceUiLayerCtrl.h"
#include "wceui/ui/WceUiRealWnd.h"

#include <algorithm>
#include <cstdlib>

CWceUiScrollLayer::CWceUiScrollLayer() {
    SetClassName(WCEUI_CLASS_NAME(CWceUiScrollLayer));
}
CWceUiScrollLayer::~CWceUiScrollLayer() = default;

int CWceUiScrollLayer::GetViewLength() const {
    RECT rc;
    if (!GetClientRect(&rc)) {
        return 0;
    }
    return WCEUI_SCROLL_VERTICAL == m_nOrientation ? rc.bottom - rc.top : rc.right - rc.left;
}

BOOL CWceUiScrollLayer::SetOrientation(int nOrientation) {
    if (!WCEUI_CHECK("CWceUiScrollLayer::SetOrientation",
                     WCEUI_SCROLL_HORIZONTAL == nOrientation || WCEUI_SCROLL_VERTICAL == nOrientation)) {
        return FALSE;
    }
    m_nOrientation = nOrientation;
    return TRUE;
}

void CWceUiScrollLayer::SetExtraScroll(int nExtra) {
    // A negative margin would make the allowed range inside out.
    m_nExtraScroll = nExtra < 0 ? 0 : nExtra;
}

void CWceUiScrollLayer::ScrollBy(int nDelta, BOOL bRedraw) {
    if (0 == nDelta) {
        return;
    }
    const long long llLow = static_cast<long long>(m_nMin) - m_nExtraScroll;
    const long long llHigh = static_cast<long long>(m_nMax) + m_nExtraScroll;
    const long long llPos = std::clamp(static_cast<long long>(m_nPos) + nDelta, llLow, llHigh);
    if (llPos == m_nPos) {
        return;
    }
    m_bScrolling = TRUE;
    m_nPrevPos = m_nPos;
    m_nPos = static_cast<int>(llPos);
    if (m_nThumbSize > 0 && m_nMax > m_nMin) {
        const int nFree = GetViewLength() - m_nThumbSize;
        const long long llOff = static_cast<long long>(nFree) * (m_nPos - m_nMin) / (m_nMax - m_nMin);
        // Pulled past an end, the thumb stays at that end rather than leaving the bar.
        m_nThumbOffset =
            static_cast<int>(std::clamp(llOff, 0LL, static_cast<long long>(nFree < 0 ? 0 : nFree)));
    }
    if (bRedraw && IsLayerVisible()) {
        InvalidateLayer();
        RepaintHostNow();
    }
    m_bScrolling = FALSE;
}

void CWceUiScrollLayer::ScrollTo(int nPos, BOOL bRedraw) {
    StopAnimation();
    if (nPos >= m_nMin && nPos <= m_nMax) {
        ScrollBy(nPos - m_nPos, bRedraw);
    }
}

void CWceUiScrollLayer::SetScrollRange(int nMin, int nMax, BOOL bRedraw) {
    m_nMin = nMin;
    m_nMax = nMax;
    const int nView = GetViewLength();
    if (nMax > nMin && nMax > 0 && nView > 0) {
        const long long llThumb =
            static_cast<long long>(nView) * nView / (static_cast<long long>(nView) + nMax - nMin);
        m_nThumbSize = static_cast<int>(std::max(llThumb, 20LL));
    } else {
        m_nThumbSize = 0;
    }
    m_nThumbOffset = 0;
    if (m_nThumbSize > 0 && m_nMax > m_nMin) {
        const int nFree = std::max(nView - m_nThumbSize, 0);
        const long long llOff = static_cast<long long>(nFree) * (m_nPos - m_nMin) / (m_nMax - m_nMin);
        m_nThumbOffset = static_cast<int>(std::clamp(llOff, 0LL, static_cast<long long>(nFree)));
    }
    Settle(FALSE, bRedraw);
}

void CWceUiScrollLayer::Settle(BOOL bAnimate, BOOL bRedraw) {
    int nDistance = 0;
    if (m_nPos < m_nMin) {
        nDistance = m_nMin - m_nPos;
    } else if (m_nPos > m_nMax) {
        nDistance = m_nMax - m_nPos;
    }
    if (bAnimate) {
        if (0 != nDistance) {
            AnimateScroll(nDistance);
        } else {
            OnScrollStop(nDistance, m_nPos);
        }
        return;
    }
    ScrollBy(nDistance, bRedraw);
    OnScrollStop(nDistance, m_nPos);
}

void CWceUiScrollLayer::RepaintHostNow() {
    CRealGenericWnd* pWnd = dynamic_cast<CRealGenericWnd*>(GetWindow());
    if (NULL != pWnd && NULL != pWnd->GetSafeHwnd()) {
        pWnd->UpdateWindow();
    }
}

void CWceUiScrollLayer::OnScrollStop(int, int) {}
void CWceUiScrollLayer::OnDragEnd() {}
void CWceUiScrollLayer::OnTap() {}
void CWceUiScrollLayer::OnScrollChanged(int) {}

void CWceUiScrollLayer::StopAnimation() {
    if (m_bAnimating) {
        KillLayerTimer(WCEUI_SCROLL_TIMER);
        m_bAnimating = FALSE;
    }
}

void CWceUiScrollLayer::AnimateScroll(int nDistance) {
    if (0 == nDistance) {
        return;
    }
    StopAnimation();
    m_nAniStart = m_nPos;
    m_nAniDistance = nDistance;
    m_nAniFrame = 0;
    m_bAnimating = SetLayerTimer(WCEUI_SCROLL_TIMER, m_uStepInterval);
    if (!m_bAnimating) {
        // Without a timer the content would stay out of range: jump to the end of the movement.
        WceUiLog(WCEUI_LOG_WARNING, "CWceUiScrollLayer::AnimateScroll, SetLayerTimer failed");
        ScrollBy(m_nAniStart + m_nAniDistance - m_nPos, TRUE);
        OnScrollChanged(m_nPos);
        Settle(FALSE, TRUE);
    }
}

void CWceUiScrollLayer::OnTimer(WORD wTimerNum) {
    if (WCEUI_SCROLL_TIMER != wTimerNum || !m_bAnimating) {
        return;
    }
    const int nFrame = m_nAniFrame++;
    const int nAbs = m_nAniDistance < 0 ? -m_nAniDistance : m_nAniDistance;
    const int d = CalcAnidisplacement(nFrame, m_nStepCount, nAbs);
    if (0 != d) {
        const int nTarget = m_nAniStart + (m_nAniDistance < 0 ? -d : d);
        ScrollBy(nTarget - m_nPos, TRUE);
        OnScrollChanged(m_nPos);
    }
    if (m_nAniFrame >= m_nStepCount) {
        StopAnimation();
        Settle(TRUE, TRUE);
    }
}

void CWceUiScrollLayer::OnLButtonDown(UINT, POINT point) {
    StopAnimation();
    SetLayerCapture();
    m_nDownPos = m_nPos;
    m_nDownX = m_nLastX = point.x;
    m_nDownY = m_nLastY = point.y;
    m_bPressed = TRUE;
    m_bDragging = FALSE;
    m_dwFlickStart = GetTickCount();
}

void CWceUiScrollLayer::OnMouseMove(UINT, POINT point) {
    if (!m_bPressed) {
        return;
    }
    const bool bVertical = WCEUI_SCROLL_VERTICAL == m_nOrientation;
    const int nLast = bVertical ? m_nLastY : m_nLastX;
    const int nNew = bVertical ? point.y : point.x;
    const int m = std::abs(nNew - nLast);
    if (!m_bDragging && m > WCEUI_SCROLL_DRAG_THRESHOLD) {
        m_bDragging = TRUE;
    }
    if (!m_bDragging) {
        return;
    }
    ScrollBy(nLast - nNew, TRUE);
    const BOOL bDirection = nNew > nLast;
    if (bDirection != m_bDirection && m > WCEUI_SCROLL_DRAG_THRESHOLD) {
        m_bDirection = bDirection;
        m_dwFlickStart = GetTickCount();
    }
    m_nLastX = point.x;
    m_nLastY = point.y;
    OnScrollChanged(m_nPos);
}

void CWceUiScrollLayer::OnLButtonUp(UINT, POINT point) {
    const DWORD dwElapsed = GetTickCount() - m_dwFlickStart;
    if (m_bDragging && dwElapsed < m_dwSlowLimit && m_nMin < m_nPos && m_nPos < m_nMax) {
        AnimateScroll(GetFlickDistance(dwElapsed, point.x, point.y));
    } else {
        Settle(TRUE, TRUE);
    }
    if (m_bPressed) {
        if (m_bDragging) {
            OnDragEnd();
        } else {
            OnTap();
        }
        ReleaseLayerCapture();
    }
    m_bPressed = FALSE;
    m_bDragging = FALSE;
    // Pen input that piled up while the content was being drawn is stale now.
    if (CWceUiRealWnd* pWnd = dynamic_cast<CWceUiRealWnd*>(GetWindow())) {
        pWnd->IgnoreMsgBeforeTime(0);
    }
}

void CWceUiScrollLayer::OnLoseCapture() {
    if (!m_bPressed) {
        return;
    }
    ReleaseLayerCapture();
    m_bPressed = FALSE;
    m_bDragging = FALSE;
    Settle(TRUE, TRUE);
}

int CWceUiScrollLayer::GetFlickDistance(DWORD dwElapsed, int, int) {
    RECT rc;
    if (!GetClientRect(&rc)) {
        return 0;
    }
    long long llBase =
        WCEUI_SCROLL_VERTICAL == m_nOrientation ? 2LL * (rc.bottom - rc.top) : (rc.right - rc.left) / 2;
    if (dwElapsed < m_dwFastLimit) {
        llBase *= 2;
    } else if (dwElapsed < m_dwNormalLimit) {
    } else if (dwElapsed < m_dwSlowLimit) {
        llBase /= 2;
    } else {
        return 0;
    }
    if (m_bDirection) {
        return -static_cast<int>(std::min(llBase, static_cast<long long>(m_nExtraScroll) + m_nPos - m_nMin));
    }
    return static_cast<int>(std::min(llBase, static_cast<long long>(m_nExtraScroll) + m_nMax - m_nPos));
}
