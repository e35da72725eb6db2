#include "WindowTestUtil.h"
#include "platform/GdiHost.h"
#include "platform/Platform.h"
#include "platform/display/DisplayBackend.h"

#include <cstring>
#include <thread>
#include <vector>

std::vector<Seen>* WindowTest::s_seen = nullptr;
std::function<bool(HWND, UINT, WPARAM, LPARAM)> WindowTest::s_hook;

namespace {

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (WindowTest::s_seen)
        WindowTest::s_seen->push_back(Seen{hwnd, message, wParam, lParam, GetMessageTime()});
    if (WindowTest::s_hook && WindowTest::s_hook(hwnd, message, wParam, lParam))
        return 0;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

void WindowTest::SetUp() {
    DeviceFolderTest::SetUp();
    s_seen = &m_seen;
    s_hook = nullptr;
    StartScript("");
    WNDCLASSW wc{};
    wc.lpfnWndProc = &RecordingProc;
    wc.lpszClassName = u"TestWnd";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassW(&wc); // kept for the whole run of the suite
}

void WindowTest::TearDown() {
    PlatformStopDisplay();
    s_hook = nullptr;
    s_seen = nullptr;
    DeviceFolderTest::TearDown();
}

void WindowTest::StartScript(const std::string& script, int bpp) {
    PlatformDisplayOptions options;
    options.backend = "headless";
    options.width = 320;
    options.height = 240;
    options.bitsPerPixel = bpp;
    options.scriptText = script;
    std::string error;
    ASSERT_EQ(0, PlatformStartDisplay(options, &error)) << error;
}

HWND WindowTest::MakeWindow(LPCWSTR title, DWORD style, int x, int y, int w, int h, HWND parent) {
    HWND hwnd = CreateWindowExW(0, u"TestWnd", title, style, x, y, w, h, parent, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, hwnd);
    return hwnd;
}

void WindowTest::RunLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::vector<Seen> WindowTest::Of(UINT message) const {
    std::vector<Seen> out;
    for (const Seen& s : m_seen)
        if (s.message == message)
            out.push_back(s);
    return out;
}

// Posted messages come first, then input, then timers, then the paint.
TEST_F(WindowTest, InputBeforeTimerAndPaint) {
    HWND w = MakeWindow(u"order");
    // Let the creation paint happen.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    InputEvent down;
    down.kind = InputEvent::Kind::PenDown;
    down.x = 5;
    down.y = 6;
    down.time = GetTickCount();
    SetTimer(w, 1, 1, nullptr);
    Sleep(5);
    InvalidateRect(w, nullptr, FALSE);
    PlatformQueueInput(down);
    PostMessageW(w, WM_APP, 0, 0);
    std::vector<UINT> order;
    for (int i = 0; i < 4 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); i++) {
        order.push_back(msg.message);
        if (msg.message == WM_LBUTTONDOWN) {
            EXPECT_EQ(5, (short)LOWORD(msg.lParam));
            EXPECT_EQ(6, (short)HIWORD(msg.lParam));
        }
        if (msg.message == WM_TIMER)
            KillTimer(w, 1);
        DispatchMessageW(&msg);
    }
    EXPECT_EQ((std::vector<UINT>{WM_APP, WM_LBUTTONDOWN, WM_TIMER, WM_PAINT}), order);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, PeekNoRemoveLeavesTheMessage) {
    HWND w = MakeWindow(u"peek", 0);
    PostMessageW(w, WM_APP, 1, 2);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_APP), msg.message);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(1u, msg.wParam);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

// Timers follow the virtual clock: a run with a 100 ms timer killed after five ticks takes 500 ms
// of virtual time and ends by itself.
TEST_F(WindowTest, TimersRunOnTheVirtualClock) {
    HWND w = MakeWindow(u"timer", 0);
    DWORD start = GetTickCount();
    ASSERT_EQ(3u, SetTimer(w, 3, 100, nullptr));
    int ticks = 0;
    s_hook = [&](HWND h, UINT m, WPARAM id, LPARAM) {
        if (m == WM_TIMER && id == 3 && ++ticks == 5)
            KillTimer(h, 3);
        return false;
    };
    RunLoop();
    EXPECT_EQ(5, ticks);
    std::vector<Seen> t = Of(WM_TIMER);
    ASSERT_EQ(5u, t.size());
    for (size_t i = 0; i < t.size(); i++)
        EXPECT_EQ(start + 100 * (i + 1), t[i].time);
    EXPECT_EQ(start + 500, GetTickCount());
    // Timers of dead windows fail.
    DestroyWindow(w);
    SetLastError(0);
    EXPECT_EQ(0u, SetTimer(w, 1, 10, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_FALSE(KillTimer(w, 3));
}

// Setting a timer the window already has restarts it with the new period: still one timer, so one
// WM_TIMER a period and one KillTimer ends it.
TEST_F(WindowTest, SettingATimerAgainRestartsIt) {
    HWND w = MakeWindow(u"timer", 0);
    DWORD start = GetTickCount();
    ASSERT_EQ(3u, SetTimer(w, 3, 100, nullptr));
    Sleep(50);
    ASSERT_EQ(3u, SetTimer(w, 3, 100, nullptr));
    int ticks = 0;
    s_hook = [&](HWND h, UINT m, WPARAM id, LPARAM) {
        if (m != WM_TIMER || id != 3)
            return false;
        ++ticks;
        if (ticks == 2)
            SetTimer(h, 3, 30, nullptr);
        else if (ticks == 4)
            KillTimer(h, 3);
        return false;
    };
    // Bounded, so that a timer left running fails the test instead of running forever.
    MSG msg;
    while (ticks < 20 && GetMessageW(&msg, nullptr, 0, 0))
        DispatchMessageW(&msg);
    std::vector<DWORD> times;
    for (const Seen& s : Of(WM_TIMER))
        times.push_back(s.time - start);
    EXPECT_EQ((std::vector<DWORD>{150, 250, 280, 310}), times);
    EXPECT_FALSE(KillTimer(w, 3));
}

// A script with an hour's wait ends at once, an hour later on the virtual clock.
TEST_F(WindowTest, IdleWaitDoesNotSpin) {
    StartScript("wait 3600000\ntap 1 1\n");
    MakeWindow(u"idle");
    DWORD start = GetTickCount();
    int loops = 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        loops++;
        DispatchMessageW(&msg);
    }
    EXPECT_EQ(start + 3600050, GetTickCount());
    EXPECT_LT(loops, 10);
    EXPECT_EQ(1u, Of(WM_LBUTTONDOWN).size());
}

// Nested modal loops each end on their own flag; the end of the run unwinds all of them.
TEST_F(WindowTest, NestedModalLoopsEndInOrder) {
    HWND w = MakeWindow(u"modal", 0);
    std::vector<std::string> trace;
    bool endInner = false, endOuter = false;
    auto loop = [&](const char* name, bool* end) {
        trace.push_back(std::string("enter ") + name);
        MSG msg;
        while (!*end && GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
        trace.push_back(std::string("leave ") + name);
    };
    s_hook = [&](HWND, UINT m, WPARAM, LPARAM) {
        if (m == WM_APP + 1) {
            PostMessageW(w, WM_APP + 2, 0, 0);
            loop("inner", &endInner);
            PostMessageW(w, WM_APP + 3, 0, 0);
        } else if (m == WM_APP + 2) {
            endInner = true;
        } else if (m == WM_APP + 3) {
            endOuter = true;
        }
        return false;
    };
    PostMessageW(w, WM_APP + 1, 0, 0);
    loop("outer", &endOuter);
    EXPECT_EQ((std::vector<std::string>{"enter outer", "enter inner", "leave inner", "leave outer"}), trace);

    // Nothing left to come: GetMessageW returns 0 in the inner loop and then in the outer one.
    trace.clear();
    endInner = endOuter = false;
    s_hook = [&](HWND, UINT m, WPARAM, LPARAM) {
        if (m == WM_APP + 1)
            loop("inner", &endInner);
        return false;
    };
    PostMessageW(w, WM_APP + 1, 0, 0);
    loop("outer", &endOuter);
    EXPECT_EQ((std::vector<std::string>{"enter outer", "enter inner", "leave inner", "leave outer"}), trace);
}

TEST_F(WindowTest, QuitMessageEndsOneLoop) {
    HWND w = MakeWindow(u"quit", 0);
    PostMessageW(w, WM_APP, 0, 0);
    PostQuitMessage(3);
    MSG msg;
    EXPECT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(static_cast<UINT>(WM_APP), msg.message);
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(static_cast<UINT>(WM_QUIT), msg.message);
    EXPECT_EQ(3u, msg.wParam);
}

TEST_F(WindowTest, RegisteredAndBroadcastMessages) {
    UINT a = RegisterWindowMessageW(u"MyMessage");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(a, RegisterWindowMessageW(u"MYMESSAGE"));
    EXPECT_NE(a, RegisterWindowMessageW(u"Other"));
    EXPECT_EQ(0u, RegisterWindowMessageW(u""));

    HWND one = MakeWindow(u"one", 0);
    HWND two = MakeWindow(u"two", 0);
    HWND child = MakeWindow(u"child", WS_CHILD, 0, 0, 10, 10, one);
    UINT finished = RegisterWindowMessageW(u"JOB_FINISHED");
    EXPECT_TRUE(PostMessageW(HWND_BROADCAST, finished, 1, -5));
    EXPECT_TRUE(PostMessageW(HWND_BROADCAST, WM_APP + 9, 2, 3));
    RunLoop();
    std::vector<Seen> got = Of(finished);
    ASSERT_EQ(2u, got.size());
    EXPECT_TRUE((got[0].hwnd == one && got[1].hwnd == two) || (got[0].hwnd == two && got[1].hwnd == one));
    EXPECT_EQ(-5, got[0].lParam);
    for (const Seen& s : m_seen)
        EXPECT_NE(child, s.message == finished ? s.hwnd : nullptr);
    std::string journal = testsupport::ReadHostFile(PlatformJournalPath());
    EXPECT_NE(std::string::npos, journal.find(": PostMessageW HWND_BROADCAST JOB_FINISHED 1 -5\n"));
    EXPECT_NE(std::string::npos, journal.find(": PostMessageW HWND_BROADCAST 0x8009 2 3\n"));
}

TEST_F(WindowTest, MessagesRegisteredAtFixedNumbers) {
    // Far above what the other tests of this process register by name.
    const UINT fixed = 0xC180;
    EXPECT_EQ(fixed, PlatformRegisterWindowMessageAt(u"FIXED_A", fixed));
    EXPECT_EQ(fixed, PlatformRegisterWindowMessageAt(u"fixed_a", fixed));
    EXPECT_EQ(fixed, RegisterWindowMessageW(u"Fixed_A"));
    // A number or a name is given once.
    EXPECT_EQ(0u, PlatformRegisterWindowMessageAt(u"FIXED_B", fixed));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(0u, PlatformRegisterWindowMessageAt(u"FIXED_A", fixed + 1));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(0u, PlatformRegisterWindowMessageAt(u"FIXED_B", WM_APP));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(0u, PlatformRegisterWindowMessageAt(u"", fixed + 2));
    // Names registered later take numbers above it; those left free below stay free for fixed ones,
    // and the journal names only what is registered.
    const UINT later = RegisterWindowMessageW(u"AFTER_FIXED");
    EXPECT_GT(later, fixed);
    EXPECT_EQ(fixed - 1, PlatformRegisterWindowMessageAt(u"FIXED_B", fixed - 1));
    EXPECT_TRUE(PostMessageW(HWND_BROADCAST, fixed, 7, 0));
    EXPECT_TRUE(PostMessageW(HWND_BROADCAST, fixed - 2, 8, 0));
    std::string journal = testsupport::ReadHostFile(PlatformJournalPath());
    EXPECT_NE(std::string::npos, journal.find(": PostMessageW HWND_BROADCAST FIXED_A 7 0\n"));
    EXPECT_NE(std::string::npos, journal.find(": PostMessageW HWND_BROADCAST 0xC17E 8 0\n"));
}

TEST_F(WindowTest, CaptureFollowsThePen) {
    StartScript("down 20 20\nmove 200 200\nup 250 200\ntap 250 200\n");
    HWND left = MakeWindow(u"left", WS_VISIBLE, 0, 0, 100, 100);
    HWND right = MakeWindow(u"right", WS_VISIBLE, 200, 0, 100, 240);
    s_hook = [&](HWND h, UINT m, WPARAM, LPARAM) {
        if (m == WM_LBUTTONDOWN && h == left)
            SetCapture(h);
        if (m == WM_LBUTTONUP && GetCapture() == h)
            ReleaseCapture();
        return false;
    };
    RunLoop();
    std::vector<Seen> moves = Of(WM_MOUSEMOVE);
    ASSERT_EQ(1u, moves.size());
    EXPECT_EQ(left, moves[0].hwnd);
    EXPECT_EQ(200, (short)LOWORD(moves[0].lParam));
    std::vector<Seen> ups = Of(WM_LBUTTONUP);
    ASSERT_EQ(2u, ups.size());
    EXPECT_EQ(left, ups[0].hwnd);
    EXPECT_EQ(250, (short)LOWORD(ups[0].lParam));
    EXPECT_EQ(right, ups[1].hwnd); // capture gone: the window under the pen
    EXPECT_EQ(50, (short)LOWORD(ups[1].lParam));
    std::vector<Seen> changed = Of(WM_CAPTURECHANGED);
    ASSERT_EQ(1u, changed.size());
    EXPECT_EQ(left, changed[0].hwnd);
    EXPECT_EQ(0, changed[0].lParam);

    // Taking the capture from another window tells the loser who took it; a hidden window cannot.
    SetCapture(left);
    m_seen.clear();
    SetCapture(right);
    ASSERT_EQ(1u, Of(WM_CAPTURECHANGED).size());
    EXPECT_EQ(reinterpret_cast<LPARAM>(right), Of(WM_CAPTURECHANGED)[0].lParam);
    HWND hidden = MakeWindow(u"hidden", 0);
    EXPECT_EQ(nullptr, SetCapture(hidden));
    EXPECT_EQ(right, GetCapture());
    // Hiding the capture window releases the capture.
    ShowWindow(right, SW_HIDE);
    EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(WindowTest, DisabledWindowGetsNoInput) {
    StartScript("tap 10 10\nkey RETURN\nchar a\nwait 100\ntap 10 10\nkey 65\n");
    HWND w = MakeWindow(u"disabled");
    EnableWindow(w, FALSE);
    EXPECT_FALSE(IsWindowEnabled(w));
    s_hook = [&](HWND h, UINT m, WPARAM, LPARAM) {
        if (m == WM_TIMER) {
            EXPECT_TRUE(EnableWindow(h, TRUE)); // it was disabled
            KillTimer(h, 1);
        }
        return false;
    };
    SetTimer(w, 1, 80, nullptr);
    RunLoop();
    // Only the input after re-enabling arrives: one tap and one key (with no character for 'A').
    EXPECT_EQ(1u, Of(WM_LBUTTONDOWN).size());
    EXPECT_EQ(1u, Of(WM_KEYDOWN).size());
    EXPECT_EQ(65u, Of(WM_KEYDOWN)[0].wParam);
    EXPECT_EQ(0u, Of(WM_CHAR).size());
}

TEST_F(WindowTest, KeysAndCharactersReachTheActiveWindow) {
    StartScript("key RETURN\nchar U+00E9\ntext hi there\nchar SPACE\n");
    MakeWindow(u"back", WS_VISIBLE);
    HWND front = MakeWindow(u"front", WS_VISIBLE);
    EXPECT_EQ(front, GetActiveWindow());
    RunLoop();
    std::vector<Seen> chars = Of(WM_CHAR);
    std::u16string text;
    for (const Seen& s : chars) {
        EXPECT_EQ(front, s.hwnd);
        text += static_cast<char16_t>(s.wParam);
    }
    EXPECT_EQ(u"\r\u00E9hi there ", text);
    ASSERT_EQ(1u, Of(WM_KEYDOWN).size());
    EXPECT_EQ(static_cast<WPARAM>(VK_RETURN), Of(WM_KEYDOWN)[0].wParam);
}

// A window destroyed by its own handler: later messages to it fail, nothing crashes, and the
// destroy messages come once, parent before child.
TEST_F(WindowTest, DestroyDuringDispatch) {
    HWND w = MakeWindow(u"doomed");
    HWND child = MakeWindow(u"child", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, w);
    SetTimer(w, 1, 10, nullptr);
    s_hook = [&](HWND h, UINT m, WPARAM, LPARAM) {
        if (m == WM_APP) {
            EXPECT_TRUE(DestroyWindow(h));
            EXPECT_FALSE(IsWindow(h));
            EXPECT_EQ(0, SendMessageW(h, WM_APP + 1, 0, 0));
        }
        return false;
    };
    PostMessageW(w, WM_APP, 0, 0);
    PostMessageW(w, WM_APP + 2, 0, 0); // already queued: dispatching it fails quietly
    RunLoop();
    std::vector<Seen> destroys = Of(WM_DESTROY);
    ASSERT_EQ(2u, destroys.size());
    EXPECT_EQ(w, destroys[0].hwnd);
    EXPECT_EQ(child, destroys[1].hwnd);
    EXPECT_EQ(0u, Of(WM_APP + 1).size());
    EXPECT_EQ(0u, Of(WM_APP + 2).size());
    EXPECT_EQ(0u, Of(WM_TIMER).size());
    SetLastError(0);
    EXPECT_FALSE(PostMessageW(w, WM_APP, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE), GetLastError());
    EXPECT_FALSE(DestroyWindow(w));
    EXPECT_FALSE(ShowWindow(w, SW_SHOW));
    EXPECT_FALSE(EnableWindow(w, TRUE));
}

TEST_F(WindowTest, CreateFailsForUnknownClassAndRefusedCreate) {
    EXPECT_EQ(nullptr,
              CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    s_hook = [](HWND, UINT m, WPARAM, LPARAM) { return m == WM_CREATE; };
    // The hook swallows WM_CREATE (returns 0 from the procedure): creation succeeds.
    HWND ok = CreateWindowExW(0, u"TestWnd", u"x", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(nullptr, ok);
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcW(h, m, wp, lp);
    };
    wc.lpszClassName = u"RefusingWnd";
    RegisterClassW(&wc);
    EXPECT_EQ(0, RegisterClassW(&wc));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
    EXPECT_EQ(nullptr,
              CreateWindowExW(0, u"refusingwnd", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
}

// The update region is the union of what was invalidated; one paint covers it, and its context
// draws on the screen surface at the window's place.
TEST_F(WindowTest, PaintCoversTheUnionOfInvalidations) {
    HWND w = MakeWindow(u"paint", WS_VISIBLE, 100, 50, 100, 100);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    RECT a{10, 10, 20, 20}, b{50, 60, 70, 80};
    InvalidateRect(w, &a, FALSE);
    InvalidateRect(w, &b, FALSE);
    RECT painted{};
    s_hook = [&](HWND h, UINT m, WPARAM, LPARAM) {
        if (m != WM_PAINT)
            return false;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(h, &ps);
        painted = ps.rcPaint;
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        RECT all{0, 0, 100, 100};
        FillRect(dc, &all, red); // clipped to the update region
        DeleteObject(red);
        EndPaint(h, &ps);
        return true;
    };
    m_seen.clear();
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_PAINT), msg.message);
    DispatchMessageW(&msg);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(10, painted.left);
    EXPECT_EQ(10, painted.top);
    EXPECT_EQ(70, painted.right);
    EXPECT_EQ(80, painted.bottom);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(RGB(255, 0, 0), GetPixel(screen, 100 + 15, 50 + 15));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(screen, 100 + 5, 50 + 5));
    EXPECT_EQ(RGB(0, 0, 0), GetPixel(screen, 100 + 80, 50 + 90));
    ReleaseDC(nullptr, screen);
}

TEST_F(WindowTest, FloodKeepsOrder) {
    HWND w = MakeWindow(u"flood", 0);
    const int n = 1000000;
    for (int i = 0; i < n; i++)
        ASSERT_TRUE(PostMessageW(w, WM_APP, static_cast<WPARAM>(i), 0));
    MSG msg;
    int expected = 0;
    while (PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE)) {
        if (static_cast<int>(msg.wParam) != expected)
            break;
        expected++;
    }
    EXPECT_EQ(n, expected);
}

TEST_F(WindowTest, FindWindowShowAndActivation) {
    HWND a = MakeWindow(u"Alpha", WS_VISIBLE);
    HWND b = MakeWindow(u"Beta", WS_VISIBLE);
    EXPECT_EQ(a, FindWindowW(nullptr, u"Alpha"));
    EXPECT_EQ(b, FindWindowW(u"testwnd", u"Beta"));
    EXPECT_EQ(nullptr, FindWindowW(nullptr, u"alpha")); // titles match exactly
    EXPECT_EQ(b, GetActiveWindow());
    SetForegroundWindow(a);
    EXPECT_EQ(a, GetForegroundWindow());
    ShowWindow(a, SW_HIDE);
    EXPECT_EQ(b, GetActiveWindow());
    EXPECT_FALSE(IsWindowVisible(a));
    WCHAR title[3];
    EXPECT_EQ(2, GetWindowTextW(b, title, 3));
    EXPECT_EQ(std::u16string(u"Be"), std::u16string(title));
    std::string list = PlatformWindowListText();
    EXPECT_NE(std::string::npos, list.find("TestWnd \"Beta\" 0,0,100,100 visible enabled\n")) << list;
    EXPECT_NE(std::string::npos, list.find("TestWnd \"Alpha\" 0,0,100,100 hidden enabled\n")) << list;
}

// A loop that waits for one window's messages leaves the others queued, in order.
TEST_F(WindowTest, FilteredGetMessageWaitsForItsWindow) {
    StartScript("tap 10 10\n");
    HWND a = MakeWindow(u"a", WS_VISIBLE, 0, 0, 50, 50);
    HWND b = MakeWindow(u"b", 0, 100, 100, 50, 50);
    PostMessageW(a, WM_APP, 1, 0);
    SetTimer(b, 4, 30, nullptr);
    MSG msg;
    ASSERT_TRUE(GetMessageW(&msg, b, 0, 0));
    EXPECT_EQ(b, msg.hwnd);
    EXPECT_EQ(static_cast<UINT>(WM_TIMER), msg.message);
    KillTimer(b, 4);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(static_cast<UINT>(WM_APP), msg.message);
    ASSERT_TRUE(PeekMessageW(&msg, a, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(a, msg.hwnd);
    // A due timer of another window does not keep a filtered wait busy; with nothing more for b
    // the run ends instead of waiting for ever.
    SetTimer(a, 9, 10, nullptr);
    EXPECT_FALSE(GetMessageW(&msg, b, 0, 0));
    KillTimer(a, 9);
    // A posted WM_QUIT ends a loop like PostQuitMessage.
    PostMessageW(a, WM_QUIT, 4, 0);
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(4u, msg.wParam);
}

// Messages posted by another thread land in the queue of the thread that owns the window.
TEST_F(WindowTest, PostsFromAnotherThreadReachTheOwner) {
    HWND w = MakeWindow(u"owner", 0);
    std::thread worker([w] {
        for (int i = 0; i < 1000; i++)
            PostMessageW(w, WM_APP, static_cast<WPARAM>(i), 0);
        MSG msg;
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)); // the worker's own queue is empty
    });
    worker.join();
    RunLoop();
    std::vector<Seen> got = Of(WM_APP);
    ASSERT_EQ(1000u, got.size());
    for (size_t i = 0; i < got.size(); i++)
        ASSERT_EQ(i, got[i].wParam);
}

TEST_F(WindowTest, CaretFollowsItsCalls) {
    HWND w = MakeWindow(u"caret");
    EXPECT_FALSE(SetCaretPos(1, 1)); // no caret yet
    ASSERT_TRUE(CreateCaret(w, nullptr, 2, 14));
    EXPECT_TRUE(SetCaretPos(5, 7));
    HWND owner = nullptr;
    RECT r{};
    BOOL shown = TRUE;
    ASSERT_TRUE(PlatformCaretState(&owner, &r, &shown));
    EXPECT_EQ(w, owner);
    EXPECT_EQ(5, r.left);
    EXPECT_EQ(21, r.bottom);
    EXPECT_FALSE(shown); // a new caret is hidden until shown
    EXPECT_TRUE(ShowCaret(w));
    EXPECT_TRUE(HideCaret(w));
    EXPECT_TRUE(HideCaret(w));
    EXPECT_TRUE(ShowCaret(w));
    PlatformCaretState(nullptr, nullptr, &shown);
    EXPECT_FALSE(shown); // hides nest
    EXPECT_TRUE(ShowCaret(w));
    PlatformCaretState(nullptr, nullptr, &shown);
    EXPECT_TRUE(shown);
    DestroyWindow(w); // the caret goes with its window
    EXPECT_FALSE(PlatformCaretState(nullptr, nullptr, nullptr));
    EXPECT_FALSE(DestroyCaret());
}

// The caret is seen as inverted pixels in the on half of each blink, by the clock: in the screen as
// screenshots take it, never in the surface itself.
// There is one caret: creating one replaces the one there was, whichever window had it, with a new
// shape at 0,0 that is hidden until shown, whatever the old one's hide count was.
TEST_F(WindowTest, CreatingACaretReplacesThePreviousOne) {
    HWND a = MakeWindow(u"a");
    HWND b = MakeWindow(u"b");
    ASSERT_TRUE(CreateCaret(a, nullptr, 2, 14));
    ASSERT_TRUE(SetCaretPos(5, 7));
    ASSERT_TRUE(ShowCaret(a));
    ASSERT_TRUE(CreateCaret(b, nullptr, 3, 10));
    HWND owner = nullptr;
    RECT r{};
    BOOL shown = TRUE;
    ASSERT_TRUE(PlatformCaretState(&owner, &r, &shown));
    EXPECT_EQ(b, owner);
    const RECT atOrigin = {0, 0, 3, 10};
    EXPECT_TRUE(EqualRect(&r, &atOrigin));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(ShowCaret(a));
    ASSERT_TRUE(ShowCaret(b));
    PlatformCaretState(nullptr, nullptr, &shown);
    EXPECT_TRUE(shown);

    ASSERT_TRUE(HideCaret(b));
    ASSERT_TRUE(HideCaret(b));
    ASSERT_TRUE(CreateCaret(b, nullptr, 3, 10));
    ASSERT_TRUE(ShowCaret(b)); // one show is enough for a new caret
    PlatformCaretState(nullptr, nullptr, &shown);
    EXPECT_TRUE(shown);
}

TEST_F(WindowTest, CaretBlinksOnTheClockInWhatTheScreenShows) {
    HWND w = MakeWindow(u"blink", WS_VISIBLE, 10, 20, 100, 100);
    HDC dc = GetDC(w);
    RECT all{0, 0, 100, 100};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ReleaseDC(w, dc);
    auto seen = [](int x, int y) {
        std::vector<unsigned char> rgb;
        int width = 0, height = 0;
        EXPECT_TRUE(PlatformScreenRgb(&rgb, &width, &height));
        return (x < width && y < height) ? rgb[(static_cast<size_t>(y) * width + x) * 3] : -1;
    };
    const UINT blink = GetCaretBlinkTime();
    ASSERT_GT(blink, 0u);
    ASSERT_TRUE(CreateCaret(w, nullptr, 2, 14));
    ASSERT_TRUE(SetCaretPos(5, 7));
    EXPECT_EQ(255, seen(15, 27)); // hidden until shown
    ASSERT_TRUE(ShowCaret(w));
    EXPECT_EQ(0, seen(15, 27));
    EXPECT_EQ(0, seen(16, 40));
    EXPECT_EQ(255, seen(17, 27)); // two pixels wide
    EXPECT_EQ(255, seen(15, 41)); // fourteen high
    PlatformAdvanceClock(blink - 1);
    EXPECT_EQ(0, seen(15, 27));
    PlatformAdvanceClock(1);
    EXPECT_EQ(255, seen(15, 27)); // off for the second half
    PlatformAdvanceClock(blink);
    EXPECT_EQ(0, seen(15, 27)); // and on again
    PlatformAdvanceClock(blink);
    EXPECT_EQ(255, seen(15, 27));
    // A caret that moves shows at once.
    ASSERT_TRUE(SetCaretPos(30, 7));
    EXPECT_EQ(0, seen(40, 27));
    EXPECT_EQ(255, seen(15, 27));
    // The surface itself never holds it.
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(RGB(255, 255, 255), GetPixel(screen, 40, 27));
    ReleaseDC(nullptr, screen);
    // Hidden, or with its window hidden, it is not seen.
    ASSERT_TRUE(HideCaret(w));
    EXPECT_EQ(255, seen(40, 27));
    ASSERT_TRUE(ShowCaret(w));
    EXPECT_EQ(0, seen(40, 27));
    // (Whatever lies under a hidden window: the caret's pixels match their neighbour's.)
    ShowWindow(w, SW_HIDE);
    EXPECT_EQ(seen(45, 27), seen(40, 27));
    ShowWindow(w, SW_SHOW);
    EXPECT_EQ(255 - seen(45, 27), seen(40, 27));
    // The blink time can be changed.
    ASSERT_TRUE(SetCaretBlinkTime(200));
    ASSERT_TRUE(SetCaretPos(30, 7));
    PlatformAdvanceClock(200);
    EXPECT_EQ(seen(45, 27), seen(40, 27));
    ASSERT_TRUE(SetCaretBlinkTime(blink));
    DestroyCaret();
    DestroyWindow(w);
}

// Drawing through a window's context outside painting reaches the screen at the window's place and
// is reported when the context is released, so that a real display can show it.
TEST_F(WindowTest, WindowContextDrawsAtItsPlaceAndReportsRelease) {
    static RECT s_released;
    static int s_count;
    s_count = 0;
    HWND w = MakeWindow(u"ctx", WS_VISIBLE, 100, 50, 60, 40);
    PlatformSetScreenDcReleaseHook([](const RECT* r) {
        s_released = *r;
        s_count++;
    });
    HDC dc = GetDC(w);
    ASSERT_NE(nullptr, dc);
    EXPECT_EQ(RGB(0, 255, 0), SetPixel(dc, 0, 0, RGB(0, 255, 0)));
    EXPECT_EQ(CLR_INVALID, SetPixel(dc, 60, 0, RGB(0, 255, 0))); // outside the window
    EXPECT_EQ(1, ReleaseDC(w, dc));
    ASSERT_EQ(1, s_count);
    EXPECT_EQ(100, s_released.left);
    EXPECT_EQ(50, s_released.top);
    EXPECT_EQ(160, s_released.right);
    EXPECT_EQ(90, s_released.bottom);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(RGB(0, 255, 0), GetPixel(screen, 100, 50));
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(2, s_count);
    DestroyWindow(w);
    EXPECT_EQ(nullptr, GetDC(w));
}
