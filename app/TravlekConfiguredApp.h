// The unit's configured application (HKEY_LOCAL_MACHINE\OEM "APP") and what follows from it: whether
// the unit is a main navigation unit and which package it expects on its SD card. Start-up and the
// main dialog both read it here, so that they never disagree about the unit.
#pragma once

#include "platform/Platform.h"
#include "platform/WinCe.h"

// The configured application of the main navigation unit, and the packages either kind expects.
#define TRAVLEK_NVQ_APP_PATH u"\\residentflash2\\app\\nvqmain.exe"
#define TRAVLEK_NVQ_PACKAGE u"\\SDMMC\\nvqApp.msk"
#define TRAVLEK_GPS_PACKAGE u"\\SDMMC\\gpsApp.msk"
// HKEY_LOCAL_MACHINE\OEM and HKEY_CURRENT_USER\OEM are opened with every right the unit's own tools
// ask for (KEY_ALL_ACCESS without KEY_CREATE_LINK on the device).
#define TRAVLEK_OEM_KEY_ACCESS (KEY_READ | KEY_WRITE)

// Room of the configured application path, terminator included.
#define TRAVLEK_APP_PATH_LEN 260

// Reads HKEY_LOCAL_MACHINE\OEM "APP" (REG_SZ or REG_EXPAND_SZ, NUL-terminated, at most 259 units)
// into pBuf; empty on any failure. pBuf holds TRAVLEK_APP_PATH_LEN units.
void TravlekReadConfiguredApp(LPWSTR pBuf);
// Whether the configured application is the main navigation one (letter case ignored).
BOOL TravlekIsMainNavigationApp(LPCWSTR pConfiguredApp);
// "\SDMMC\nvqApp.msk" when the configured application is the main navigation one (letter case
// ignored), otherwise "\SDMMC\gpsApp.msk".
LPCWSTR TravlekExpectedPackageFor(LPCWSTR pConfiguredApp);
LPCWSTR TravlekExpectedPackagePath();
