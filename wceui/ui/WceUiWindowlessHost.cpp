#include "wceui/ui/WceUiWindowlessHost.h"

void CWceUiWindowlessHost::InvalidateWndRect(LPCRECT, BOOL) {}

BOOL CWceUiWindowlessHost::SetWndTimer(UINT_PTR, UINT) {
    return TRUE;
}

BOOL CWceUiWindowlessHost::KillWndTimer(UINT_PTR) {
    return TRUE;
}

BOOL CWceUiWindowlessHost::RegisterMsg(UINT, CWceUiLayer*) {
    return TRUE;
}

BOOL CWceUiWindowlessHost::UnRegisterMsg(UINT, CWceUiLayer*) {
    return TRUE;
}

CWceUiLayer* CWceUiWindowlessHost::SetCapture(CWceUiLayer* pLayer) {
    CWceUiLayer* pOld = m_pCapture;
    m_pCapture = pLayer;
    return pOld;
}

void CWceUiWindowlessHost::ReleaseCapture(CWceUiLayer* pLayer) {
    if (m_pCapture == pLayer) {
        m_pCapture = nullptr;
    }
}

CWceUiLayer* CWceUiWindowlessHost::GetCaptureLayer() const {
    return m_pCapture;
}

BOOL CWceUiWindowlessHost::MoveWnd(LPCRECT) {
    return TRUE;
}

BOOL CWceUiWindowlessHost::Apply(CWceUiGenericBitmap*) {
    return FALSE;
}

BOOL CWceUiWindowlessHost::Play(CWceUiWndAnimate**, int, BOOL) {
    return FALSE;
}

BOOL CWceUiWindowlessHost::RunModalLoop(const BOOL*) {
    return FALSE;
}

void CWceUiWindowlessHost::WakeUp() {}
