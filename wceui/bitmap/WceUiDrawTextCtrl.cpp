#include "wceui/bitmap/WceUiDrawTextCtrl.h"

#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRect.h"

CWceUiDrawTextCtrl::CWceUiDrawTextCtrl() : m_uFormat(DT_CENTER | DT_VCENTER | DT_SINGLELINE) {
    SetRectLarge(&m_rcText);
}

CWceUiDrawTextCtrl& CWceUiDrawTextCtrl::operator=(const CWceUiDrawTextCtrl& other) {
    if (this != &other) {
        m_rcText = other.m_rcText;
        m_uFormat = other.m_uFormat;
    }
    return *this;
}

BOOL CWceUiDrawTextCtrl::SetRect(LPCRECT lpRect) {
    if (!WCEUI_CHECK("CWceUiDrawTextCtrl::SetRect", NULL != lpRect)) {
        return FALSE;
    }
    m_rcText = *lpRect;
    return TRUE;
}

BOOL CWceUiDrawTextCtrl::GetRect(LPRECT lpRect) const {
    if (!WCEUI_CHECK("CWceUiDrawTextCtrl::GetRect", NULL != lpRect)) {
        return FALSE;
    }
    *lpRect = m_rcText;
    return TRUE;
}
