// A layer host without a window, for programs that drive a layer tree by hand (previews, fuzzers,
// benchmarks): it grants every request and does nothing with it, since there is no screen to repaint,
// no message loop to run timers or registered messages and no window to animate. Only the capture is
// kept, so that layers that take the pen see themselves as its owner.
#pragma once

#include "wceui/ui/WceUiLayerCtrl.h"

class CWceUiWindowlessHost : public CWceUiLayerHost {
public:
    void InvalidateWndRect(LPCRECT lpRect, BOOL bErase) override;
    BOOL SetWndTimer(UINT_PTR uIDEvent, UINT uElapse) override;
    BOOL KillWndTimer(UINT_PTR uIDEvent) override;
    BOOL RegisterMsg(UINT uMsg, CWceUiLayer* pLayer) override;
    BOOL UnRegisterMsg(UINT uMsg, CWceUiLayer* pLayer) override;
    CWceUiLayer* SetCapture(CWceUiLayer* pLayer) override;
    void ReleaseCapture(CWceUiLayer* pLayer) override;
    CWceUiLayer* GetCaptureLayer() const override;
    BOOL MoveWnd(LPCRECT lpRect) override;
    // Nothing can be shown: both refuse.
    BOOL Apply(CWceUiGenericBitmap* pFromBitmap) override;
    BOOL Play(CWceUiWndAnimate** ppWndAnimate, int nWndAnimate, BOOL bIgnoreInput) override;
    // There is no loop to run.
    BOOL RunModalLoop(const BOOL* pbEnd) override;
    void WakeUp() override;

private:
    CWceUiLayer* m_pCapture = nullptr;
};
