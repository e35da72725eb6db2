// The password-derived key and the word scrambling that hide the file tables of update packages and
// the directories of resource packs.
#pragma once

#include "platform/WinCe.h"

// The key of a password (null and empty give the starting value 0x3B7E3B7E).
DWORD FhPasswordToKey(LPCWSTR password);

// XORs every whole little-endian 32-bit word of the buffer with key ^ 0x2C412C41, in place. The last
// byteLength % 4 bytes stay as they are. Applying it twice restores the buffer.
void FhScrambleWords(void* buffer, DWORD byteLength, DWORD key);
