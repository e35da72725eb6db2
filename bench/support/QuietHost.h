// A layer host without a window: it ignores invalidation, timers, capture and message registration,
// so that a benchmark measures the drawing alone.
#pragma once

#include "wceui/ui/WceUiLayerCtrl.h"

class CQuietHost : public CWceUiLayerHost {
public:
    void InvalidateWndRect(LPCRECT, BOOL) override {}
    BOOL SetWndTimer(UINT_PTR, UINT) override { return TRUE; }
    BOOL KillWndTimer(UINT_PTR) override { return TRUE; }
    BOOL RegisterMsg(UINT, CWceUiLayer*) override { return TRUE; }
    BOOL UnRegisterMsg(UINT, CWceUiLayer*) override { return TRUE; }
    CWceUiLayer* SetCapture(CWceUiLayer*) override { return nullptr; }
    void ReleaseCapture(CWceUiLayer*) override {}
    CWceUiLayer* GetCaptureLayer() const override { return nullptr; }
    BOOL MoveWnd(LPCRECT) override { return TRUE; }
    BOOL Apply(CWceUiGenericBitmap*) override { return FALSE; }
    BOOL Play(CWceUiWndAnimate**, int, BOOL) override { return FALSE; }
    BOOL RunModalLoop(const BOOL*) override { return FALSE; }
    void WakeUp() override {}
};
