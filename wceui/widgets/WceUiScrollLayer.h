// A layer whose content is longer than the layer: a scroll position between a minimum and a maximum
// that follows the pen once it has moved far enough, may be pulled past either end by a margin, is
// thrown on by a quick lift of the pen and springs back into range afterwards.
#pragma once

#include "wceui/ui/WceUiLayer.h"

#define WCEUI_SCROLL_HORIZONTAL 0
#define WCEUI_SCROLL_VERTICAL 1
// The animation timer of a scroll layer.
#define WCEUI_SCROLL_TIMER 1
// A pen that has moved more than this many pixels drags; less is still a tap.
#define WCEUI_SCROLL_DRAG_THRESHOLD 19

class CWceUiScrollLayer : public CWceUiLayer {
public:
    CWceUiScrollLayer();
    ~CWceUiScrollLayer() override;

    void OnTimer(WORD wTimerNum) override;
    void OnLoseCapture() override;
    void OnLButtonDown(UINT nFlags, POINT point) override;
    void OnLButtonUp(UINT nFlags, POINT point) override;
    void OnMouseMove(UINT nFlags, POINT point) override;

    // Brings the position back into range, animated or at once.
    virtual void Settle(BOOL bAnimate, BOOL bRedraw);
    // The position has come to rest (after a settle); nDistance is the last correction.
    virtual void OnScrollStop(int nDistance, int nTarget);
    virtual void OnDragEnd();
    virtual void OnTap();
    // How far a lift of the pen after nElapsed milliseconds throws the content (signed).
    virtual int GetFlickDistance(DWORD dwElapsed, int x, int y);
    virtual void OnScrollChanged(int nPos);

    void SetScrollRange(int nMin, int nMax, BOOL bRedraw);
    void ScrollBy(int nDelta, BOOL bRedraw);
    void ScrollTo(int nPos, BOOL bRedraw);
    void AnimateScroll(int nDistance);
    // Only WCEUI_SCROLL_HORIZONTAL and WCEUI_SCROLL_VERTICAL are taken.
    BOOL SetOrientation(int nOrientation);
    int GetOrientation() const { return m_nOrientation; }
    void SetExtraScroll(int nExtra);
    int GetExtraScroll() const { return m_nExtraScroll; }

    int GetScrollPos() const { return m_nPos; }
    int GetScrollMin() const { return m_nMin; }
    int GetScrollMax() const { return m_nMax; }
    int GetThumbSize() const { return m_nThumbSize; }
    int GetThumbOffset() const { return m_nThumbOffset; }
    BOOL IsPressed() const { return m_bPressed; }
    BOOL IsDragging() const { return m_bDragging; }
    BOOL IsAnimating() const { return m_bAnimating; }

protected:
    // The layer's length along the scroll axis.
    int GetViewLength() const;
    BOOL IsScrolling() const { return m_bScrolling; }
    int GetPrevPos() const { return m_nPrevPos; }
    // Paints what has been invalidated now, when the host is a platform window.
    void RepaintHostNow();

private:
    void StopAnimation();

    int m_nMin = 0;
    int m_nMax = 0;
    int m_nPos = 0;
    int m_nExtraScroll = 0;
    int m_nThumbSize = 0;
    int m_nThumbOffset = 0;
    int m_nLastX = 0;
    int m_nLastY = 0;
    BOOL m_bDirection = FALSE;
    BOOL m_bPressed = FALSE;
    BOOL m_bDragging = FALSE;
    int m_nOrientation = WCEUI_SCROLL_VERTICAL;
    DWORD m_dwFlickStart = 0;
    int m_nDownPos = 0;
    int m_nDownX = 0;
    int m_nDownY = 0;
    BOOL m_bScrolling = FALSE;
    int m_nPrevPos = 0;
    DWORD m_dwFastLimit = 100;
    DWORD m_dwNormalLimit = 200;
    DWORD m_dwSlowLimit = 400;
    int m_nStepCount = 15;
    UINT m_uStepInterval = 1;
    int m_nAniDistance = 0;
    int m_nAniStart = 0;
    int m_nAniFrame = 0;
    BOOL m_bAnimating = FALSE;
};

WCEUI_DYNCREATE_BEGIN(CWceUiScrollLayer, CWceUiLayer)
WCEUI_DYNCREATE_END(CWceUiScrollLayer)
