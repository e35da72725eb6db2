#include "app/TravlekConfiguredApp.h"

#include "platform/WinCe.h"

void TravlekReadConfiguredApp(LPWSTR pBuf) {
    pBuf[0] = 0;
    HKEY hKey = NULL;
    if (ERROR_SUCCESS != RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, TRAVLEK_OEM_KEY_ACCESS, &hKey)) {
        return;
    }
    WCHAR szValue[TRAVLEK_APP_PATH_LEN];
    DWORD dwType = 0;
    DWORD dwSize = sizeof(szValue);
    const LONG lResult =
        RegQueryValueExW(hKey, u"APP", NULL, &dwType, reinterpret_cast<LPBYTE>(szValue), &dwSize);
    RegCloseKey(hKey);
    if (ERROR_SUCCESS != lResult || (REG_SZ != dwType && REG_EXPAND_SZ != dwType)) {
        return;
    }
    // A value that is not a whole, terminated string is not trusted as a path.
    const DWORD dwUnits = dwSize / sizeof(WCHAR);
    if (0 != dwSize % sizeof(WCHAR) || 0 == dwUnits || dwUnits > TRAVLEK_APP_PATH_LEN ||
        0 != szValue[dwUnits - 1]) {
        return;
    }
    for (DWORD i = 0; i < dwUnits; ++i) {
        pBuf[i] = szValue[i];
    }
}

BOOL TravlekIsMainNavigationApp(LPCWSTR pConfiguredApp) {
    return NULL != pConfiguredApp && 0 == WStrICmp(pConfiguredApp, TRAVLEK_NVQ_APP_PATH) ? TRUE : FALSE;
}

LPCWSTR TravlekExpectedPackageFor(LPCWSTR pConfiguredApp) {
    if (TravlekIsMainNavigationApp(pConfiguredApp)) {
        return TRAVLEK_NVQ_PACKAGE;
    }
    return TRAVLEK_GPS_PACKAGE;
}

LPCWSTR TravlekExpectedPackagePath() {
    WCHAR szApp[TRAVLEK_APP_PATH_LEN];
    TravlekReadConfiguredApp(szApp);
    return TravlekExpectedPackageFor(szApp);
}
