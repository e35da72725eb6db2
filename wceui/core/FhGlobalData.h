// The framework's process-wide settings: instance handle, dialog and resource directories, the
// resource pack password and the screen metrics.
#pragma once

#include "platform/WinCe.h"
#include "wceui/core/QuickString.h"

class CFhGlobalData {
public:
    // The process's settings, created on first use and destroyed at exit.
    static CFhGlobalData& Instance();

    // A fresh, empty set (the process uses Instance(); tests may make their own).
    CFhGlobalData();
    ~CFhGlobalData();
    CFhGlobalData(const CFhGlobalData&) = delete;
    CFhGlobalData& operator=(const CFhGlobalData&) = delete;

    HINSTANCE GetInstanceHandle() const { return m_hInstance; }
    void SetInstanceHandle(HINSTANCE hInstance) { m_hInstance = hInstance; }

    // Stores the directory resolved against the program's directory, ending in a separator.
    // FALSE (the previous value kept) for a null path or one that resolves to 260 units or more.
    BOOL SetWndDir(LPCWSTR pWndDir);
    BOOL SetResDir(LPCWSTR pResDir);
    // The stored directories; empty until set.
    LPCWSTR GetWndDir() const { return m_strWndDir.GetString(); }
    LPCWSTR GetResDir() const { return m_strResDir.GetString(); }

    // The resource pack password: null when absent, which is how the system runs. Tools may set one
    // to read packs made with a password; null removes it.
    LPCWSTR GetPackPassword() const { return m_pPackPassword; }
    void SetPackPassword(LPCWSTR pPassword);

    // Read from the platform on the first query of any of the three, then kept.
    int GetScreenBitsPerPixel();
    int GetScreenWidth();
    int GetScreenHeight();
    // The next query reads the metrics from the platform again (for a program or test that changes
    // the platform's screen after the first query).
    void ForgetScreenMetrics() { m_nBitsPerPixel = 0; }

private:
    BOOL SetDir(CQuickString32& strDir, LPCWSTR pDir);
    void ReadScreenMetrics();

    HINSTANCE m_hInstance;
    CQuickString32 m_strWndDir;
    CQuickString32 m_strResDir;
    WCHAR* m_pPackPassword;
    int m_nBitsPerPixel;
    int m_nScreenWidth;
    int m_nScreenHeight;
};

// The program's instance handle given to WceUiInit; null (after the check line) before that.
HINSTANCE WceUiGetInstanceHandle();
