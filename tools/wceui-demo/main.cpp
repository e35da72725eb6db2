// wceui-demo: coloured rectangles that follow the pen, a bar driven by a timer, the title
// "WCEUI_DEMO". A second start on the same device finds the first by its title, brings it to the
// front and exits.
#include "platform/Platform.h"
#include "platform/display/Display.h"
#include "tools/common/ToolSupport.h"
#include "tools/common/DisplayProgram.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/ui/RealDlg.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/ui/WceUiInit.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const WCHAR kTitle[] = u"WCEUI_DEMO";
const UINT_PTR kBarTimer = 1;
const UINT kBarPeriod = 40;
const DWORD kBarFill = 2000; // milliseconds from empty to full
const int kBarHeight = 16;
const int kBoxSize = 40;

const COLORREF kColours[] = {RGB(230, 60, 60), RGB(60, 200, 90), RGB(70, 110, 240), RGB(240, 200, 40),
                             RGB(200, 80, 220)};

class CDemoDlg : public CRealDlg {
public:
    void OnInitDialog() override {
        WceUiSetWindowText(m_hWnd, kTitle);
        StartBar();
    }

    void OnLButtonDown(UINT, int x, int y) override {
        ::SetCapture(m_hWnd);
        m_boxes.push_back(Box{x, y, kColours[m_boxes.size() % (sizeof kColours / sizeof kColours[0])]});
        if (m_boxes.size() > 32)
            m_boxes.erase(m_boxes.begin());
        InvalidateRect(nullptr);
        StartBar();
    }
    void OnMouseMove(UINT, int x, int y) override {
        if (::GetCapture() != m_hWnd || m_boxes.empty())
            return;
        RECT old = BoxRect(m_boxes.back());
        m_boxes.back().x = x;
        m_boxes.back().y = y;
        RECT now = BoxRect(m_boxes.back());
        InvalidateRect(&old);
        InvalidateRect(&now);
    }
    void OnLButtonUp(UINT, int, int) override {
        if (::GetCapture() == m_hWnd)
            ::ReleaseCapture();
    }
    void OnKeyDown(UINT nChar, UINT, UINT) override {
        if (nChar == VK_ESCAPE || nChar == VK_BACK)
            EndDialog(0);
    }
    void OnClose() override { EndDialog(0); }

    // The bar fills in two seconds and then stops, so that an idle run ends; a tap starts it again.
    // It follows the clock rather than counting ticks, so a busy machine that delivers fewer timer
    // messages in real time still shows a full bar after two seconds.
    void OnTimer(UINT_PTR nIDEvent) override {
        if (nIDEvent != kBarTimer)
            return;
        m_percent = static_cast<int>((::GetTickCount() - m_barStart) / (kBarFill / 100));
        if (m_percent >= 100) {
            m_percent = 100;
            KillTimer(kBarTimer);
            m_barRunning = false;
        }
        RECT bar = BarRect();
        InvalidateRect(&bar);
    }

    void OnPaint(HDC hDC, const RECT* pRect) override {
        RECT client;
        GetClientRect(&client);
        HBRUSH back = ::CreateSolidBrush(RGB(32, 36, 48));
        ::FillRect(hDC, pRect, back);
        ::DeleteObject(back);
        for (const Box& b : m_boxes) {
            RECT r = BoxRect(b);
            HBRUSH br = ::CreateSolidBrush(b.colour);
            ::FillRect(hDC, &r, br);
            ::DeleteObject(br);
        }
        RECT bar = BarRect();
        bar.right = bar.left + (bar.right - bar.left) * m_percent / 100;
        HBRUSH fill = ::CreateSolidBrush(RGB(250, 250, 250));
        ::FillRect(hDC, &bar, fill);
        ::DeleteObject(fill);
    }

private:
    struct Box {
        int x;
        int y;
        COLORREF colour;
    };
    static RECT BoxRect(const Box& b) {
        return RECT{b.x - kBoxSize / 2, b.y - kBoxSize / 2, b.x + kBoxSize / 2, b.y + kBoxSize / 2};
    }
    RECT BarRect() {
        RECT client{0, 0, 0, 0};
        ::GetClientRect(m_hWnd, &client);
        return RECT{8, client.bottom - kBarHeight - 8, client.right - 8, client.bottom - 8};
    }
    void StartBar() {
        m_percent = 0;
        m_barStart = ::GetTickCount();
        if (!m_barRunning)
            SetTimer(kBarTimer, kBarPeriod);
        m_barRunning = true;
        RECT bar = BarRect();
        InvalidateRect(&bar);
    }

    std::vector<Box> m_boxes;
    int m_percent = 0;
    DWORD m_barStart = 0;
    bool m_barRunning = false;
};

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: wceui-demo [options]\n"
                 "Without --device its runtime state is kept in $XDG_STATE_HOME/wceui-demo\n"
                 "(~/.local/state/wceui-demo); without a display it needs --backend headless.\n"
                 "%s  --help                  this text\n"
                 "  --version               the program's version\n",
                 PlatformDisplayOptionsUsage());
}

int s_instance;

} // namespace

int main(int argc, char** argv) {
    PlatformDisplayOptions options;
    const int parsed = tooling::ParseDisplayArgs("wceui-demo", argc, argv, &options, Usage);
    if (parsed >= 0) {
        return parsed;
    }
    const int prepared = tooling::PrepareDisplayProgram("wceui-demo", argc, argv, options);
    if (prepared >= 0) {
        return prepared;
    }
    // The framework's log stays out of the device folder: messages go to stderr.
    CWceUiLogFile::Instance().DisableFile();
    CWceUiLogFile::Instance().SetHook([](int level, const std::u16string& message) {
        std::fprintf(stderr, "wceui-demo: %s%s\n", level == WCEUI_LOG_ERROR ? "error: " : "",
                     WideToUtf8(message).c_str());
    });

    std::string error;
    int started = PlatformStartDisplay(options, &error);
    if (started != 0) {
        std::fprintf(stderr, "wceui-demo: %s\n", error.c_str());
        return started;
    }

    HANDLE hMutex = ::CreateMutexW(nullptr, FALSE, kTitle);
    if (hMutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        HWND hOther = ::FindWindowW(nullptr, kTitle);
        if (hOther) {
            ::ShowWindow(hOther, SW_SHOW);
            ::SetForegroundWindow(hOther);
            std::printf("wceui-demo: %s is already running; brought it to the front\n",
                        WideToUtf8(kTitle).c_str());
        } else {
            std::printf("wceui-demo: %s is starting elsewhere\n", WideToUtf8(kTitle).c_str());
        }
        ::CloseHandle(hMutex);
        PlatformStopDisplay();
        return 0;
    }

    // The demo draws no skin and has no texts, so it sets only what the window class needs instead of
    // pointing WceUiInit at a language file it does not have.
    CFhGlobalData::Instance().SetInstanceHandle(reinterpret_cast<HINSTANCE>(&s_instance));
    int result;
    {
        CDemoDlg dlg;
        RECT screen{0, 0, PlatformScreenWidth(), PlatformScreenHeight()};
        result = dlg.DoModal(WS_POPUP | WS_VISIBLE, &screen, nullptr);
    }
    PlatformStopDisplay();
    if (hMutex)
        ::CloseHandle(hMutex);
    CWceUiLogFile::Instance().SetHook(nullptr);
    return result < 0 ? 0 : result;
}
