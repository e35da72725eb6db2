#include "wceui/style/WceUiStyleCtrls.h"

#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiRecord.h"
#include "wceui/style/WceUiLoadColor.h"

CWceUiBgColorCtrl::CWceUiBgColorCtrl()
    : m_bHasColor(FALSE), m_bTransparent(FALSE),
      m_pColor(WceUiNewRecord<CWceUiLoadColor>("CWceUiBgColorCtrl")) {}

CWceUiBgColorCtrl::~CWceUiBgColorCtrl() = default;

void CWceUiBgColorCtrl::SetColor(COLORREF crColor) {
    m_bHasColor = TRUE;
    m_bTransparent = FALSE;
    if (m_pColor) {
        m_pColor->SetColor(crColor);
    }
}

BOOL CWceUiBgColorCtrl::SetColorFromRes(LPCWSTR pColorID) {
    m_bHasColor = TRUE;
    m_bTransparent = FALSE;
    return m_pColor && m_pColor->SetColorFromRes(pColorID);
}

void CWceUiBgColorCtrl::SetTransparent() {
    m_bHasColor = TRUE;
    m_bTransparent = TRUE;
}

void CWceUiBgColorCtrl::Clean() {
    m_bHasColor = FALSE;
    m_bTransparent = FALSE;
    if (m_pColor) {
        m_pColor->Clean();
    }
}

BOOL CWceUiBgColorCtrl::DoCopy(const CWceUiBgColorCtrl& rhs) {
    if (!WCEUI_CHECK("CWceUiBgColorCtrl::DoCopy", this != &rhs)) {
        return FALSE;
    }
    m_bHasColor = rhs.m_bHasColor;
    m_bTransparent = rhs.m_bTransparent;
    return m_pColor && rhs.m_pColor && m_pColor->DoCopy(*rhs.m_pColor);
}

COLORREF CWceUiBgColorCtrl::GetColor() {
    return m_pColor ? m_pColor->GetColor() : 0;
}

CWceUiMixColorFilterCtrl::CWceUiMixColorFilterCtrl()
    : m_pColor(WceUiNewRecord<CWceUiLoadColor>("CWceUiMixColorFilterCtrl")), m_nOpacity(-1),
      m_bEnabled(FALSE) {}

CWceUiMixColorFilterCtrl::~CWceUiMixColorFilterCtrl() = default;

void CWceUiMixColorFilterCtrl::SetFilter(BOOL bEnabled, int nOpacity) {
    m_bEnabled = bEnabled;
    m_nOpacity = nOpacity;
}

void CWceUiMixColorFilterCtrl::SetColor(COLORREF crColor) {
    if (m_pColor) {
        m_pColor->SetColor(crColor);
    }
}

BOOL CWceUiMixColorFilterCtrl::SetColorFromRes(LPCWSTR pColorID) {
    return m_pColor && m_pColor->SetColorFromRes(pColorID);
}

COLORREF CWceUiMixColorFilterCtrl::GetColor() {
    return m_pColor ? m_pColor->GetColor() : 0;
}

BOOL CWceUiMixColorFilterCtrl::DoCopy(const CWceUiMixColorFilterCtrl& rhs) {
    if (!WCEUI_CHECK("CWceUiMixColorFilterCtrl::DoCopy", this != &rhs)) {
        return FALSE;
    }
    m_bEnabled = rhs.m_bEnabled;
    m_nOpacity = rhs.m_nOpacity;
    return m_pColor && rhs.m_pColor && m_pColor->DoCopy(*rhs.m_pColor);
}
