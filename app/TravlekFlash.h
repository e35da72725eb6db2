// What the updater does to the resident flash outside an update run: the start-up recovery of an
// update a cut interrupted, and the registry clean-up that ends every completed update.
#pragma once

#include "platform/WinCe.h"

// Removes the "ShellEx" key under HKEY_CURRENT_USER\OEM, as after every completed update; failures
// are ignored.
void TravlekRemoveShellEx();

// What a start does before anything else: finishes or rolls back an update a cut interrupted, so the
// unit has a complete application again (see MskRecoverInstall), and logs what it found. FALSE when
// the application folder is left incomplete by a cut in-place update, which only a new run of that
// package can complete.
BOOL TravlekRecoverFlash();
