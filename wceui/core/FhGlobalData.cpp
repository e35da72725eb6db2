#include "wceui/core/FhGlobalData.h"

#include "wceui/core/FhPath.h"
#include "wceui/core/WceUiLog.h"

#include <new>

CFhGlobalData& CFhGlobalData::Instance() {
    static CFhGlobalData s_data;
    return s_data;
}

CFhGlobalData::CFhGlobalData()
    : m_hInstance(NULL), m_pPackPassword(NULL), m_nBitsPerPixel(0), m_nScreenWidth(0), m_nScreenHeight(0) {
    m_strWndDir.SetString(u"");
    m_strResDir.SetString(u"");
}

CFhGlobalData::~CFhGlobalData() {
    delete[] m_pPackPassword;
}

BOOL CFhGlobalData::SetWndDir(LPCWSTR pWndDir) {
    if (!WCEUI_CHECK("CFhGlobalData::SetWndDir", NULL != pWndDir)) {
        return FALSE;
    }
    return SetDir(m_strWndDir, pWndDir);
}

BOOL CFhGlobalData::SetResDir(LPCWSTR pResDir) {
    if (!WCEUI_CHECK("CFhGlobalData::SetResDir", NULL != pResDir)) {
        return FALSE;
    }
    return SetDir(m_strResDir, pResDir);
}

BOOL CFhGlobalData::SetDir(CQuickString32& strDir, LPCWSTR pDir) {
    WCHAR szFull[MAX_PATH];
    if (!FhMakeFullPathFromModuleDir(pDir, szFull, MAX_PATH)) {
        WceUiLogW(WCEUI_LOG_ERROR, u"CFhGlobalData::SetDir, %s is too long", pDir);
        return FALSE;
    }
    size_t nLen = WStrLen(szFull);
    if (0 == nLen || !FhIsPathSeparator(szFull[nLen - 1])) {
        if (nLen + 1 >= MAX_PATH) {
            WceUiLogW(WCEUI_LOG_ERROR, u"CFhGlobalData::SetDir, %s is too long", pDir);
            return FALSE;
        }
        szFull[nLen++] = u'\\';
        szFull[nLen] = 0;
    }
    strDir.SetString(szFull);
    return TRUE;
}

void CFhGlobalData::SetPackPassword(LPCWSTR pPassword) {
    delete[] m_pPackPassword;
    m_pPackPassword = NULL;
    if (NULL != pPassword) {
        const size_t nLen = WStrLen(pPassword);
        m_pPackPassword = new (std::nothrow) WCHAR[nLen + 1];
        if (NULL != m_pPackPassword) {
            WStrCpy(m_pPackPassword, pPassword);
        }
    }
}

void CFhGlobalData::ReadScreenMetrics() {
    if (0 != m_nBitsPerPixel) {
        return;
    }
    HDC hdc = GetDC(NULL);
    m_nBitsPerPixel = GetDeviceCaps(hdc, BITSPIXEL);
    ReleaseDC(NULL, hdc);
    m_nScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    m_nScreenHeight = GetSystemMetrics(SM_CYSCREEN);
}

int CFhGlobalData::GetScreenBitsPerPixel() {
    ReadScreenMetrics();
    return m_nBitsPerPixel;
}

int CFhGlobalData::GetScreenWidth() {
    ReadScreenMetrics();
    return m_nScreenWidth;
}

int CFhGlobalData::GetScreenHeight() {
    ReadScreenMetrics();
    return m_nScreenHeight;
}

HINSTANCE WceUiGetInstanceHandle() {
    HINSTANCE hInstance = CFhGlobalData::Instance().GetInstanceHandle();
    WCEUI_CHECK("WceUiGetInstanceHandle", NULL != hInstance);
    return hInstance;
}
