// The platform window that hosts a layer tree: paints the layers through an off-screen window bitmap,
// routes pen input to the hit or capturing layer, keys to the topmost dialog, timers to the layer that
// started them and registered messages to the layers that asked for them, and plays window
// animations between two pictures of the window.
#pragma once

#include "wceui/ui/RealDlg.h"
#include "wceui/ui/WceUiLayerCtrl.h"

#include <memory>

class CWceUiGenericBitmap;
class CWceUiWndAnimate;

class CWceUiRealWnd : public CRealDlg, public CWceUiLayerHost {
public:
    CWceUiRealWnd();
    ~CWceUiRealWnd() override;
    CWceUiRealWnd(const CWceUiRealWnd&) = delete;
    CWceUiRealWnd& operator=(const CWceUiRealWnd&) = delete;

    CWceUiLayerCtrl* GetLayerCtrl() const;
    // Called after the layers are drawn and before the window bitmap goes to the screen.
    virtual void OnAfterPaint(CWceUiGenericBitmap* pWndBitmap);

    // Platform messages.
    void OnLButtonDown(UINT nFlags, int x, int y) override;
    void OnLButtonUp(UINT nFlags, int x, int y) override;
    void OnMouseMove(UINT nFlags, int x, int y) override;
    void OnLButtonDblClk(UINT nFlags, int x, int y) override;
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags) override;
    void OnCaptureChanged(HWND hWndNew) override;
    void OnPaint(HDC hDC, const RECT* pPaintRect) override;
    void OnTimer(UINT_PTR nIDEvent) override;
    void OnDestroy() override;
    LRESULT DefWindowProc(UINT nMsg, WPARAM wParam, LPARAM lParam) override;

    // What the layers ask of their window.
    void InvalidateWndRect(LPCRECT lpRect, BOOL bErase) override;
    BOOL SetWndTimer(UINT_PTR uIDEvent, UINT uElapse) override;
    BOOL KillWndTimer(UINT_PTR uIDEvent) override;
    BOOL RegisterMsg(UINT uMsg, CWceUiLayer* pLayer) override;
    BOOL UnRegisterMsg(UINT uMsg, CWceUiLayer* pLayer) override;
    CWceUiLayer* SetCapture(CWceUiLayer* pCaptureLayer) override;
    void ReleaseCapture(CWceUiLayer* pLayer) override;
    CWceUiLayer* GetCaptureLayer() const override;
    BOOL MoveWnd(LPCRECT lpRect) override;
    BOOL Apply(CWceUiGenericBitmap* pFromBitmap) override;
    BOOL Play(CWceUiWndAnimate** ppWndAnimate, int nWndAnimate, BOOL bIgnoreInput) override;
    BOOL RunModalLoop(const BOOL* pbEnd) override;
    void WakeUp() override;

    // Pen input of this window queued up to this time (0: now) is discarded.
    BOOL IgnoreMsgBeforeTime(DWORD dwTime);
    // A new picture of the whole client area (the caller's), or null.
    CWceUiGenericBitmap* GetCurWndBmp();
    // Shows a picture of the client's size at once.
    BOOL PaintWnd(CWceUiGenericBitmap* pWndBmp);
    // The animation frame buffer of the client's size, kept between animations.
    CWceUiGenericBitmap* CreateMixedBitmap();
    // The off-screen picture of the window as last painted.
    CWceUiGenericBitmap* GetWndBitmap() const;

    struct Data;
    Data* GetData() const;

private:
    CWceUiLayer* PenTarget(POINT pt) const;
    BOOL ClientSize(int* pnWidth, int* pnHeight);
    std::unique_ptr<Data> m_pData;
};

WCEUI_DYNCREATE_BEGIN(CWceUiRealWnd, CRealDlg)
WCEUI_DYNCREATE_END(CWceUiRealWnd)
