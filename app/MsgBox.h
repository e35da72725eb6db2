// The updater's one way to put a message in front of the user: the skinned message box run modally
// over the host window's layers. Flags follow the platform's message-box conventions (icon group
// 0xF0, yes/no bit 0x4); the result is the platform's IDYES (6) or IDNO (7).
#pragma once

#include "platform/Platform.h"

class CWceUiRealWnd;

// Creates the message box dialog through the window's layer controller, shows the text with the
// given flags, deletes the dialog when a button ends it and returns its end code (0 when the box
// could not be created). pShown, when given, tells whether the box could be created at all.
int TravlekMessageBox(CWceUiRealWnd* pWnd, LPCWSTR pText, UINT uFlags, BOOL* pShown = NULL);
