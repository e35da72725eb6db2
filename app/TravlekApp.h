// The updater's entry: the single-instance guard, the skin chosen by screen width, the framework's
// initialisation and the host window's modal run. Also the window messages and dialog classes the
// updater registers at start; the package the unit expects on its SD card is TravlekConfiguredApp's.
#pragma once

#include "app/TravlekConfiguredApp.h"
#include "app/TravlekMessages.h"
#include "platform/Platform.h"

// The mutex that says an updater runs, and the title of its window.
#define TRAVLEK_MUTEX_NAME u"_QUARN_TRAVLEK_"
#define TRAVLEK_WINDOW_TITLE u"TRAVLEK_KPZ"

// The application folder an update replaces.
#define TRAVLEK_APP_FOLDER u"\\Residentflash2\\app"

// Registers the updater's window messages at their numbers and its dialogs with the framework's class
// registry, so that the skin can create them by class name. The first thing a program that runs the
// updater does; repeats are harmless. FALSE (with a log line) when a message's number was taken.
BOOL TravlekRegister();

// The skin's window directory, resource directory and language file, relative to the program folder.
struct TravlekSkinDirs {
    LPCWSTR pWndDir;
    LPCWSTR pResDir;
    LPCWSTR pLangFile;
};
// 480 and 800 pixels wide have their own skins; every other width takes the 320X240 one. The
// height plays no part.
const TravlekSkinDirs& TravlekSkinDirsForWidth(int nScreenWidth);

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
