#include "wceui/style/WceUiColor.h"

CWceUiColor::CWceUiColor(COLORREF crColor) : m_crColor(crColor), m_hBrush(NULL) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiColor));
}

CWceUiColor::~CWceUiColor() {
    DeleteBrush();
}

void CWceUiColor::DeleteBrush() {
    if (NULL != m_hBrush) {
        DeleteObject(m_hBrush);
        m_hBrush = NULL;
    }
}

void CWceUiColor::SetColor(COLORREF crColor) {
    if (crColor != m_crColor) {
        DeleteBrush();
        m_crColor = crColor;
    }
}

HBRUSH CWceUiColor::GetBrush() {
    if (NULL == m_hBrush) {
        m_hBrush = CreateSolidBrush(m_crColor);
    }
    return m_hBrush;
}

COLORREF FhHexToColorRef(LPCWSTR pHex) {
    if (NULL == pHex) {
        return 0;
    }
    const unsigned long v = WStrToUL(pHex, NULL, 16);
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}
