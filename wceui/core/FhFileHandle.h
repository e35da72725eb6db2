// A file handle that closes itself, and the little-endian reads and writes of the file formats.
#pragma once

#include "platform/WinCe.h"

// Owns a handle from CreateFileW (or INVALID_HANDLE_VALUE) and closes it when it goes.
class CFhFileHandle {
public:
    explicit CFhFileHandle(HANDLE h = INVALID_HANDLE_VALUE) : m_h(h) {}
    ~CFhFileHandle() { Close(); }
    CFhFileHandle(const CFhFileHandle&) = delete;
    CFhFileHandle& operator=(const CFhFileHandle&) = delete;

    bool IsValid() const { return INVALID_HANDLE_VALUE != m_h; }
    HANDLE Get() const { return m_h; }
    // Closes now; FALSE when there was nothing to close or closing failed.
    BOOL Close() {
        if (INVALID_HANDLE_VALUE == m_h)
            return FALSE;
        BOOL ok = CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
        return ok;
    }
    void Reset(HANDLE h) {
        Close();
        m_h = h;
    }
    // Gives the handle up without closing it.
    HANDLE Release() {
        HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return h;
    }

private:
    HANDLE m_h;
};

// Little-endian fields, byte by byte: the file formats give no alignment, and the host's byte order
// does not matter.
inline DWORD FhReadLe32(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}
inline WORD FhReadLe16(const BYTE* p) {
    return static_cast<WORD>(p[0] | p[1] << 8);
}
inline void FhWriteLe32(BYTE* p, DWORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}
inline void FhWriteLe16(BYTE* p, WORD v) {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}
