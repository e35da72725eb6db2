#include "app/TravlekFlash.h"

#include "app/TravlekApp.h"
#include "package/MskInstall.h"
#include "wceui/core/WceUiLog.h"

void TravlekRemoveShellEx() {
    HKEY hKey = NULL;
    if (ERROR_SUCCESS == RegOpenKeyExW(HKEY_CURRENT_USER, u"OEM", 0, TRAVLEK_OEM_KEY_ACCESS, &hKey)) {
        RegDeleteKeyW(hKey, u"ShellEx");
        RegCloseKey(hKey);
    }
}

BOOL TravlekRecoverFlash() {
    MskPhaseRecord record;
    std::u16string detail;
    switch (MskRecoverInstall(MskInstallLayoutFor(TRAVLEK_APP_FOLDER), &record, &detail)) {
        case MSK_RECOVERY_NOTHING:
            break;
        case MSK_RECOVERY_ROLLED_BACK:
            WceUiLogW(WCEUI_LOG_WARNING,
                      u"TravlekRecoverFlash, the update from %s was cut before its switch; the application "
                      u"is the one it replaced",
                      record.package.c_str());
            break;
        case MSK_RECOVERY_SWITCHED:
            WceUiLogW(WCEUI_LOG_WARNING,
                      u"TravlekRecoverFlash, the update from %s was cut during its switch; the switch is "
                      u"finished and the new application is in place",
                      record.package.c_str());
            TravlekRemoveShellEx();
            break;
        case MSK_RECOVERY_INCOMPLETE:
            WceUiLogW(WCEUI_LOG_ERROR,
                      u"TravlekRecoverFlash, the application is incomplete: the update from %s was cut",
                      record.package.c_str());
            return FALSE;
        case MSK_RECOVERY_FAILED:
            WceUiLogW(WCEUI_LOG_ERROR, u"TravlekRecoverFlash, %s", detail.c_str());
            break;
    }
    return TRUE;
}
