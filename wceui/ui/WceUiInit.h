// Framework initialisation and the window-text helper.
#pragma once

#include "platform/WinCe.h"

// Stores the instance handle and the window and resource directories (resolved against the
// program's folder) in the global settings and loads the language file. FALSE, after the check
// line, when one of the four values is missing; nothing is stored then.
BOOL WceUiInit(HINSTANCE hInstance, LPCWSTR pWndDir, LPCWSTR pResDir, LPCWSTR pLangFilePath,
               DWORD dwLoadOption);

// Loads the language file for WceUiInit. The language loader lives in a library above this one's
// dependencies until it lands here; until it is set, WceUiInit loads no language.
typedef BOOL (*WceUiLanguageLoader)(LPCWSTR pLangFilePath, DWORD dwLoadOption);
void WceUiSetLanguageLoader(WceUiLanguageLoader pLoader);

// Sets the window's text only when it differs from the current one (longer texts than 256
// characters are always set), so that unchanged labels cause no work.
BOOL WceUiSetWindowText(HWND hWndCtrl, LPCWSTR lpszNew);
