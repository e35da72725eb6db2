#include "wceui/style/WceUiFont.h"

#include "wceui/core/WceUiLog.h"
#include "wceui/res/ReadFontConfInfo.h"

#include <cstring>
#include <new>

namespace {

void SystemLogFont(LOGFONTW* pLogFont) {
    std::memset(pLogFont, 0, sizeof(*pLogFont));
    GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(*pLogFont), pLogFont);
}

} // namespace

CWceUiFont::CWceUiFont() : m_hFont(NULL) {
    SetClassName(WCEUI_CLASS_NAME(CWceUiFont));
    SystemLogFont(&m_logFont);
}

CWceUiFont::~CWceUiFont() {
    DeleteFont();
}

void CWceUiFont::DeleteFont() {
    if (NULL != m_hFont) {
        DeleteObject(m_hFont);
        m_hFont = NULL;
    }
}

bool CWceUiFont::IsSameLogFont(const LOGFONTW& a, const LOGFONTW& b) {
    if (a.lfHeight != b.lfHeight || a.lfWidth != b.lfWidth || a.lfEscapement != b.lfEscapement ||
        a.lfOrientation != b.lfOrientation || a.lfWeight != b.lfWeight || a.lfItalic != b.lfItalic ||
        a.lfUnderline != b.lfUnderline || a.lfStrikeOut != b.lfStrikeOut || a.lfCharSet != b.lfCharSet ||
        a.lfOutPrecision != b.lfOutPrecision || a.lfClipPrecision != b.lfClipPrecision ||
        a.lfQuality != b.lfQuality || a.lfPitchAndFamily != b.lfPitchAndFamily) {
        return false;
    }
    // The whole face name counts, up to its terminator or the end of the field.
    return WStrNCmp(a.lfFaceName, b.lfFaceName, LF_FACESIZE) == 0;
}

void CWceUiFont::SetLogFont(const LOGFONTW& logFont) {
    if (IsSameLogFont(logFont, m_logFont)) {
        return;
    }
    DeleteFont();
    m_logFont = logFont;
}

BOOL CWceUiFont::GetLogFont(LOGFONTW* pLogFont) const {
    if (!WCEUI_CHECK("CWceUiFont::GetLogFont", NULL != pLogFont)) {
        return FALSE;
    }
    *pLogFont = m_logFont;
    return TRUE;
}

void CWceUiFont::ResetToSystemFont() {
    LOGFONTW logFont;
    SystemLogFont(&logFont);
    SetLogFont(logFont);
}

HFONT CWceUiFont::GetFont() {
    if (NULL == m_hFont) {
        m_hFont = CreateFontIndirectW(&m_logFont);
    }
    return m_hFont;
}

CWceUiFont* FhLoadFontFromConfFile(LPCWSTR pFontConfFullPath) {
    if (!WCEUI_CHECK("FhLoadFontFromConfFile", NULL != pFontConfFullPath)) {
        return NULL;
    }
    CReadFontConfInfo info;
    LOGFONTW logFont;
    if (!info.LoadFontConfFile(pFontConfFullPath) || !info.GetLogFont(&logFont)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"load file %s failed", pFontConfFullPath);
        return NULL;
    }
    CWceUiFont* pFont = new (std::nothrow) CWceUiFont;
    if (NULL != pFont) {
        pFont->SetLogFont(logFont);
    }
    return pFont;
}
