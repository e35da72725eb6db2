#include "wceui/core/FhScramble.h"

DWORD FhPasswordToKey(LPCWSTR password) {
    DWORD key = 0x3B7E3B7Eu;
    if (NULL == password)
        return key;
    for (size_t i = 0; password[i] != 0; ++i) {
        DWORD c = static_cast<WORD>(password[i]);
        switch (i % 4) {
            case 0:
                key += c;
                break;
            case 1:
                key |= c << 16;
                break;
            case 2:
                key *= c;
                break;
            default:
                key += c << 16;
                break;
        }
    }
    return key;
}

void FhScrambleWords(void* buffer, DWORD byteLength, DWORD key) {
    if (NULL == buffer)
        return;
    const DWORD mask = key ^ 0x2C412C41u;
    BYTE* p = static_cast<BYTE*>(buffer);
    // Byte by byte so that the result does not depend on the host's byte order or alignment.
    const BYTE m0 = static_cast<BYTE>(mask), m1 = static_cast<BYTE>(mask >> 8);
    const BYTE m2 = static_cast<BYTE>(mask >> 16), m3 = static_cast<BYTE>(mask >> 24);
    for (DWORD words = byteLength / 4; words > 0; --words, p += 4) {
        p[0] ^= m0;
        p[1] ^= m1;
        p[2] ^= m2;
        p[3] ^= m3;
    }
}
