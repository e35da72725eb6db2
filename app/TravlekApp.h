// The updater's entry: the single-instance guard, the skin chosen by screen width, the framework's
// initialisation and the host window's modal run. Also the registered window messages the updater
// shares between its parts, and the package the unit expects on its SD card.
#pragma once

#include "platform/Platform.h"

// The mutex that says an updater runs, and the title of its window.
#define TRAVLEK_MUTEX_NAME u"_QUARN_TRAVLEK_"
#define TRAVLEK_WINDOW_TITLE u"TRAVLEK_KPZ"
// The configured application of the main navigation unit, and the packages either kind expects.
#define TRAVLEK_NVQ_APP_PATH u"\\residentflash2\\app\\nvqmain.exe"
#define TRAVLEK_NVQ_PACKAGE u"\\SDMMC\\nvqApp.msk"
#define TRAVLEK_GPS_PACKAGE u"\\SDMMC\\gpsApp.msk"
// HKEY_LOCAL_MACHINE\OEM and HKEY_CURRENT_USER\OEM are opened with every right the unit's own tools
// ask for (KEY_ALL_ACCESS without KEY_CREATE_LINK on the device).
#define TRAVLEK_OEM_KEY_ACCESS 0x2001F

// The application folder an update replaces.
#define TRAVLEK_APP_FOLDER u"\\Residentflash2\\app"

// Room of the configured application path, terminator included.
#define TRAVLEK_APP_PATH_LEN 260

// Registered at process start, before the application object runs. "QN_WM_SDNOTIFY" is the SD-card
// notification, "SCAN_CODE_MENU" is only registered, "TRAVLEK_FINISHED" is broadcast after every
// update run (1 for success, 0 for failure).
extern const UINT g_uQnWmSdNotify;
extern const UINT g_uScanCodeMenu;
extern const UINT g_uTravlekFinished;

// The skin's window directory, resource directory and language file, relative to the program folder.
struct TravlekSkinDirs {
    LPCWSTR pWndDir;
    LPCWSTR pResDir;
    LPCWSTR pLangFile;
};
// 480 and 800 pixels wide have their own skins; every other width takes the 320X240 one. The
// height plays no part.
const TravlekSkinDirs& TravlekSkinDirsForWidth(int nScreenWidth);

// Reads HKEY_LOCAL_MACHINE\OEM "APP" (REG_SZ or REG_EXPAND_SZ, NUL-terminated, at most 259 units)
// into pBuf; empty on any failure. pBuf holds TRAVLEK_APP_PATH_LEN units.
void TravlekReadConfiguredApp(LPWSTR pBuf);
// "\SDMMC\nvqApp.msk" when the configured application is the main navigation one (letter case
// ignored), otherwise "\SDMMC\gpsApp.msk".
LPCWSTR TravlekExpectedPackageFor(LPCWSTR pConfiguredApp);
LPCWSTR TravlekExpectedPackagePath();

class CTravlekApp {
public:
    explicit CTravlekApp(HINSTANCE hInstance) : m_hInstance(hInstance) {}

    // The whole run: returns FALSE always, so that the process ends afterwards. A second instance
    // brings the first one's window to the front and returns at once.
    BOOL InitInstance();
    // Whether the last InitInstance found another updater running.
    BOOL FoundOtherInstance() const { return m_bOtherInstance; }
    // The platform's error when the last InitInstance could not create its single-instance mutex at
    // all (0 otherwise). Such a run ends as if another updater ran, but none need be running.
    DWORD GetGuardError() const { return m_dwGuardError; }
    // Whether the last InitInstance could create the main dialog (the skin was there).
    BOOL RanMainDialog() const { return m_bRanMainDialog; }

private:
    HINSTANCE m_hInstance;
    BOOL m_bOtherInstance = FALSE;
    DWORD m_dwGuardError = 0;
    BOOL m_bRanMainDialog = FALSE;
};
