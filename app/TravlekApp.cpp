#include "app/TravlekApp.h"

#include "app/MsgBoxDlg.h"
#include "app/TravlekDlg.h"
#include "app/TravlekHostWnd.h"
#include "app/TravlekFlash.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/ui/WceUiInit.h"

namespace {

const TravlekSkinDirs kSkin480 = {u"travlek.pack\\480X272\\wnd", u"travlek.pack\\480X272\\res",
                                  u"travlek.pack\\480X272\\language\\english.ini"};
const TravlekSkinDirs kSkin800 = {u"travlek.pack\\800x480\\wnd", u"travlek.pack\\800x480\\res",
                                  u"travlek.pack\\800x480\\language\\english.ini"};
const TravlekSkinDirs kSkin320 = {u"travlek.pack\\320X240\\wnd", u"travlek.pack\\320X240\\res",
                                  u"travlek.pack\\320X240\\language\\english.ini"};

} // namespace

BOOL TravlekRegister() {
    TravlekRegisterMainDialog();
    TravlekRegisterMessageBox();
    return TravlekRegisterMessages();
}

const TravlekSkinDirs& TravlekSkinDirsForWidth(int nScreenWidth) {
    if (480 == nScreenWidth) {
        return kSkin480;
    }
    if (800 == nScreenWidth) {
        return kSkin800;
    }
    return kSkin320;
}

BOOL CTravlekApp::InitInstance() {
    TravlekRegister();
    m_bOtherInstance = FALSE;
    m_dwGuardError = 0;
    m_bRanMainDialog = FALSE;
    // The mutex is only an existence test; it stays open for the whole run.
    HANDLE hMutex = CreateMutexW(NULL, FALSE, TRAVLEK_MUTEX_NAME);
    const DWORD dwError = GetLastError();
    if (0 != dwError) {
        // Any error ends the run, as two updaters must never run at once; only an existing mutex
        // says that another one is running.
        if (NULL == hMutex) {
            m_dwGuardError = dwError;
        } else {
            m_bOtherInstance = TRUE;
        }
        HWND hOther = FindWindowW(NULL, TRAVLEK_WINDOW_TITLE);
        if (NULL != hOther) {
            ShowWindow(hOther, SW_SHOW);
            SetForegroundWindow(hOther);
        }
        // The handle is left for process exit, as the first instance keeps its own until then.
        (void)hMutex;
        return FALSE;
    }

    CFhGlobalData& global = CFhGlobalData::Instance();
    const int nWidth = global.GetScreenWidth();
    const int nHeight = global.GetScreenHeight();
    const TravlekSkinDirs& dirs = TravlekSkinDirsForWidth(nWidth);
    // A failure here (a missing language file, say) is logged by the framework and not fatal.
    WceUiInit(m_hInstance, dirs.pWndDir, dirs.pResDir, dirs.pLangFile, 0);
    // Before the screen shows anything, the flash holds a complete application again where it can.
    TravlekRecoverFlash();
    CoInitializeEx(NULL, 0);
    {
        CTravlekHostWnd host;
        RECT rc = {0, 0, nWidth, nHeight};
        host.DoModal(WS_POPUP | WS_VISIBLE, &rc, NULL);
        m_bRanMainDialog = -2 != host.GetMainDlgResult();
        CoUninitialize();
        if (NULL != hMutex) {
            CloseHandle(hMutex);
        }
    }
    return FALSE;
}
