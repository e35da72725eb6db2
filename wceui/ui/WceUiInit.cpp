#include "wceui/ui/WceUiInit.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"

namespace {
WceUiLanguageLoader s_pLanguageLoader = nullptr;
}

void WceUiSetLanguageLoader(WceUiLanguageLoader pLoader) {
    s_pLanguageLoader = pLoader;
}

BOOL WceUiInit(HINSTANCE hInstance, LPCWSTR pWndDir, LPCWSTR pResDir, LPCWSTR pLangFilePath,
               DWORD dwLoadOption) {
    if (!WCEUI_CHECK("WceUiInit", NULL != hInstance) || !WCEUI_CHECK("WceUiInit", NULL != pWndDir) ||
        !WCEUI_CHECK("WceUiInit", NULL != pResDir) || !WCEUI_CHECK("WceUiInit", NULL != pLangFilePath))
        return FALSE;
    CFhGlobalData& global = CFhGlobalData::Instance();
    global.SetInstanceHandle(hInstance);
    global.SetWndDir(pWndDir);
    global.SetResDir(pResDir);
    if (s_pLanguageLoader)
        s_pLanguageLoader(pLangFilePath, dwLoadOption);
    return TRUE;
}

BOOL WceUiSetWindowText(HWND hWndCtrl, LPCWSTR lpszNew) {
    if (!WCEUI_CHECK("WceUiSetWindowText", NULL != hWndCtrl) ||
        !WCEUI_CHECK("WceUiSetWindowText", NULL != lpszNew))
        return FALSE;
    const int nMax = 256;
    if (WStrLen(lpszNew) <= static_cast<size_t>(nMax)) {
        WCHAR szOld[nMax + 2];
        int nOld = ::GetWindowTextW(hWndCtrl, szOld, nMax + 2);
        if (nOld <= nMax && WStrCmp(szOld, lpszNew) == 0)
            return TRUE;
    }
    return ::SetWindowTextW(hWndCtrl, lpszNew);
}
