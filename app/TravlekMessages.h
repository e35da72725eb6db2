// The window messages the updater shares with the rest of the unit. The platform keeps no table of
// registered names shared between processes, so every process that takes part registers them at the
// same fixed numbers when it starts.
#pragma once

#include "platform/WinCe.h"

// "QN_WM_SDNOTIFY": the SD card came or went.
#define TRAVLEK_WM_SDNOTIFY (WM_REGISTERED_FIRST + 0)
// "SCAN_CODE_MENU": registered so that its number stays taken; the updater does not use it.
#define TRAVLEK_WM_SCAN_CODE_MENU (WM_REGISTERED_FIRST + 1)
// "TRAVLEK_FINISHED": broadcast after every update run (1 for success, 0 for failure).
#define TRAVLEK_WM_FINISHED (WM_REGISTERED_FIRST + 2)

// Registers the three at their numbers; repeats are harmless. FALSE, with a log line, when a number
// was already taken by another name.
BOOL TravlekRegisterMessages();
