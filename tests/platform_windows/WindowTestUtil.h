// A device folder with a headless display, and a window class that records what its windows get.
#pragma once

#include "platform/display/Display.h"
#include "support/TestSupport.h"

#include <functional>
#include <string>
#include <vector>

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
};

class WindowTest : public DeviceFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Restarts the display with this script (must parse).
    void StartScript(const std::string& script, int bpp = 16);
    HWND MakeWindow(LPCWSTR title, DWORD style = WS_VISIBLE, int x = 0, int y = 0, int w = 100, int h = 100,
                    HWND parent = nullptr);
    // Runs a message loop until GetMessageW returns 0.
    void RunLoop();
    // Messages of one kind, in order.
    std::vector<Seen> Of(UINT message) const;

public:
    static std::vector<Seen>* s_seen;
    // Called for every message before the default processing; return true to stop it there.
    static std::function<bool(HWND, UINT, WPARAM, LPARAM)> s_hook;

protected:
    std::vector<Seen> m_seen;
};
