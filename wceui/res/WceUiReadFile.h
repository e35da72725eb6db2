// Whole-file reads for every skin file: from disk, or from inside a resource pack when a path runs
// through a file whose name ends in ".pack" as if it were a folder ("...\travlek.pack\800x480\x.xml").
#pragma once

#include "platform/WinCe.h"

// Reads the whole file or pack item. Returns a buffer allocated with new[] (the caller frees it with
// delete[]) holding exactly *pdwLength bytes, no terminator; an empty file gives a valid buffer of
// length 0. On failure returns null with *pdwLength = 0 after one error line in the framework log.
// pPassword (or null) is the pack password, used only for paths into a pack.
BYTE* WceUiReadFile(LPCWSTR pFilePath, DWORD* pdwLength, LPCWSTR pPassword);
