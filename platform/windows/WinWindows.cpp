// The window manager: classes, windows, the per-thread queues with timers and paints, input
// routing, capture, activation, cursor and caret, over the display backend.
#include "platform/windows/WindowManager.h"
#include "platform/GdiHost.h"
#include "platform/Platform.h"
#include "platform/WinRect.h"
#include "platform/WinString.h"
#include "platform/WinSystem.h"
#include "platform/display/Display.h"
#include "platform/display/headless/HeadlessBackend.h"
#include "platform/windows/CrossProcess.h"
#include "platform/windows/WinUser.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

#define ERROR_CANNOT_FIND_WND_CLASS 1407L

namespace {

struct Queue;

struct WindowClass {
    std::u16string name;
    WNDCLASSW wc{};
};

struct Window {
    HWND handle = nullptr;
    std::shared_ptr<WindowClass> cls;
    WNDPROC proc = nullptr;
    std::u16string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{0, 0, 0, 0}; // in the parent's client coordinates (the screen for top-level windows)
    HWND parent = nullptr;
    std::vector<HWND> children; // drawing order: later ones lie on top
    bool visible = false;
    bool enabled = true;
    bool destroying = false;
    bool hasUpdate = false;
    bool erase = false;
    RECT update{0, 0, 0, 0}; // client coordinates
    LONG userData = 0;
    LONG id = 0;
    Queue* queue = nullptr;
    // A window of another process found by its title.
    bool remote = false;
    DWORD remotePid = 0;
    uint64_t remoteHandle = 0;
};

struct Timer {
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    UINT period = 0;
    DWORD due = 0;
    TIMERPROC proc = nullptr;
    uint64_t seq = 0;
};

struct Queue {
    std::thread::id thread;
    std::deque<MSG> posted;
    std::deque<InputEvent> input;
    std::vector<Timer> timers;
    bool quitPosted = false;
    int quitCode = 0;
    DWORD lastTime = 0;
    UINT_PTR nextThreadTimer = 1;
    uint64_t nextTimerSeq = 1;
    bool penDown = false;
};

struct Caret {
    HWND owner = nullptr;
    int width = 0;
    int height = 0;
    POINT pos{0, 0};
    int hideCount = 1;
    // When the current blink cycle began: the caret is on for the first half of each cycle.
    DWORD blinkStart = 0;
};

// The platform's default: the caret is on and off for this long each.
const UINT kDefaultCaretBlinkTime = 500;

struct State {
    // The lock guards what another thread may reach: the window table (windows, nextHandle), the
    // top-level z order (topLevel), the registered message names, the list of queues and each
    // queue's posted messages. Each is read and changed only with it held, and held briefly: a walk
    // that calls into windows (whose procedures may create, destroy or reorder windows) walks a copy
    // taken under it (TopLevelCopy). Everything else here, and a window's own fields and children,
    // belongs to the thread that runs the windows.
    std::mutex lock;
    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    std::vector<HWND> topLevel; // z order: the last one is in front
    std::vector<std::shared_ptr<WindowClass>> classes;
    // Registered message names by number from WM_REGISTERED_FIRST; an empty name is a number left
    // free below one registered at a fixed place.
    std::vector<std::u16string> registered;
    std::vector<std::unique_ptr<Queue>> queues;
    uintptr_t nextHandle = 0x10010;
    HWND capture = nullptr;
    HWND active = nullptr;
    HWND focus = nullptr;
    std::unique_ptr<DisplayBackend> backend;
    bool quitting = false; // the script said quit: every GetMessageW returns 0
    HCURSOR cursor = nullptr;
    Caret caret;
    UINT caretBlinkTime = kDefaultCaretBlinkTime;
    DWORD messageTime = 0;
};

State& S() {
    // Never destroyed: windows may be touched by static destructors at exit.
    static State* s = [] {
        auto* st = new State;
        st->cursor = reinterpret_cast<HCURSOR>(const_cast<WCHAR*>(IDC_ARROW));
        return st;
    }();
    return *s;
}

// The top-level windows, back to front, as they are now.
std::vector<HWND> TopLevelCopy() {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.topLevel;
}

// Moves a top-level window to the front (true) or the back of the z order, or adds it there; false
// when it is not a top-level window and was not to be added.
bool PlaceTopLevel(HWND h, bool front, bool add) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = std::find(s.topLevel.begin(), s.topLevel.end(), h);
    if (it == s.topLevel.end() && !add)
        return false;
    if (it != s.topLevel.end())
        s.topLevel.erase(it);
    if (front)
        s.topLevel.push_back(h);
    else
        s.topLevel.insert(s.topLevel.begin(), h);
    return true;
}

thread_local Queue* t_queue = nullptr;

Queue& ThisQueue() {
    if (!t_queue) {
        State& s = S();
        std::lock_guard<std::mutex> guard(s.lock);
        auto q = std::make_unique<Queue>();
        q->thread = std::this_thread::get_id();
        t_queue = q.get();
        s.queues.push_back(std::move(q));
    }
    return *t_queue;
}

BOOL ProvideWindowDc(HWND hWnd, POINT* origin, RECT* clip);

void ScreenDcReleased(const RECT* screenRect) {
    if (S().backend && screenRect)
        S().backend->Present(*screenRect);
}

DisplayBackend& Backend() {
    State& s = S();
    if (!s.backend) {
        s.backend = CreateHeadlessBackend({}, false);
        PlatformSetWindowDcProvider(&ProvideWindowDc);
        PlatformSetScreenDcReleaseHook(&ScreenDcReleased);
    }
    return *s.backend;
}

std::shared_ptr<Window> Find(HWND h) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.windows.find(reinterpret_cast<uintptr_t>(h));
    if (it == s.windows.end())
        return nullptr;
    return it->second;
}

// A live local window, or null with ERROR_INVALID_WINDOW_HANDLE.
std::shared_ptr<Window> Live(HWND h) {
    auto w = Find(h);
    if (!w || w->remote) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return w;
}

LRESULT CallProc(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!w->proc)
        return DefWindowProcW(w->handle, message, wParam, lParam);
    return w->proc(w->handle, message, wParam, lParam);
}

HWND RootOf(HWND h) {
    for (;;) {
        auto w = Find(h);
        if (!w || !w->parent)
            return h;
        h = w->parent;
    }
}

bool IsDescendant(HWND ancestor, HWND h) {
    while (h) {
        if (h == ancestor)
            return true;
        auto w = Find(h);
        if (!w)
            return false;
        h = w->parent;
    }
    return false;
}

// Visible, with every parent visible.
bool ShownChain(const std::shared_ptr<Window>& w) {
    for (auto cur = w; cur;) {
        if (!cur->visible)
            return false;
        if (!cur->parent)
            return true;
        cur = Find(cur->parent);
    }
    return false;
}

bool EnabledChain(const std::shared_ptr<Window>& w) {
    for (auto cur = w; cur;) {
        if (!cur->enabled)
            return false;
        if (!cur->parent)
            return true;
        cur = Find(cur->parent);
    }
    return false;
}

// The client origin in screen coordinates.
POINT ScreenOrigin(const std::shared_ptr<Window>& w) {
    POINT p{0, 0};
    for (auto cur = w; cur;) {
        p.x += cur->rect.left;
        p.y += cur->rect.top;
        cur = cur->parent ? Find(cur->parent) : nullptr;
    }
    return p;
}

RECT ClientRect(const std::shared_ptr<Window>& w) {
    return RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
}

// The part of the client area that can be seen, in screen coordinates (parents and the screen clip).
RECT VisibleScreenRect(const std::shared_ptr<Window>& w) {
    POINT o = ScreenOrigin(w);
    RECT r = ClientRect(w);
    OffsetRect(&r, o.x, o.y);
    for (auto cur = w->parent ? Find(w->parent) : nullptr; cur;
         cur = cur->parent ? Find(cur->parent) : nullptr) {
        POINT po = ScreenOrigin(cur);
        RECT pr = ClientRect(cur);
        OffsetRect(&pr, po.x, po.y);
        IntersectRect(&r, &r, &pr);
    }
    RECT screen{0, 0, PlatformScreenWidth(), PlatformScreenHeight()};
    IntersectRect(&r, &r, &screen);
    return r;
}

BOOL ProvideWindowDc(HWND hWnd, POINT* origin, RECT* clip) {
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    *origin = ScreenOrigin(w);
    *clip = VisibleScreenRect(w);
    return TRUE;
}

void AddUpdate(const std::shared_ptr<Window>& w, const RECT& clientRect, bool erase) {
    RECT r;
    RECT client = ClientRect(w);
    if (!IntersectRect(&r, &clientRect, &client))
        return;
    if (w->hasUpdate)
        UnionRect(&w->update, &w->update, &r);
    else
        w->update = r;
    w->hasUpdate = true;
    w->erase = w->erase || erase;
    for (HWND ch : w->children) {
        auto c = Find(ch);
        if (!c || !c->visible)
            continue;
        RECT cr = r;
        OffsetRect(&cr, -c->rect.left, -c->rect.top);
        AddUpdate(c, cr, erase);
    }
}

// Something at this screen rectangle went away: the windows that show there repaint it.
void InvalidateScreenArea(const RECT& screenRect, HWND except) {
    std::vector<HWND> tops = TopLevelCopy();
    for (HWND h : tops) {
        if (h == except)
            continue;
        auto w = Find(h);
        if (!w || !w->visible || w->remote)
            continue;
        RECT r = screenRect;
        OffsetRect(&r, -w->rect.left, -w->rect.top);
        AddUpdate(w, r, true);
    }
}

void PublishTopLevel() {
    std::vector<xproc::WindowEntry> list;
    for (HWND h : TopLevelCopy()) {
        auto w = Find(h);
        if (!w || w->remote || w->destroying)
            continue;
        xproc::WindowEntry e;
        e.handle = reinterpret_cast<uintptr_t>(h);
        e.visible = w->visible;
        e.title = w->title;
        list.push_back(e);
    }
    xproc::PublishWindows(list);
}

void SendCaptureChanged(HWND loser, HWND gainer) {
    if (auto w = Find(loser); w && !w->remote)
        CallProc(w, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(gainer));
}

// The front-most visible, enabled top-level window other than the one going away.
HWND NextActivatable(HWND except) {
    std::vector<HWND> tops = TopLevelCopy();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        if (*it == except)
            continue;
        auto w = Find(*it);
        if (w && !w->remote && w->visible && w->enabled && !w->destroying)
            return *it;
    }
    return nullptr;
}

void Activate(HWND h) {
    State& s = S();
    HWND old = s.active;
    if (old == h)
        return;
    s.active = h;
    s.focus = h;
    if (auto w = Find(old); w && !w->remote && !w->destroying)
        CallProc(w, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(h));
    if (auto w = Find(h); w && !w->remote)
        CallProc(w, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
}

void BringToFront(HWND h) {
    std::vector<HWND> tops = TopLevelCopy();
    if (tops.empty() || tops.back() == h || std::find(tops.begin(), tops.end(), h) == tops.end())
        return;
    if (PlaceTopLevel(h, true, false)) {
        if (auto w = Find(h))
            AddUpdate(w, ClientRect(w), true);
    }
}

// The deepest visible child under a point of the window (client coordinates), the window itself
// when no child is there.
HWND ChildAt(const std::shared_ptr<Window>& w, POINT p) {
    for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
        auto c = Find(*it);
        if (!c || !c->visible)
            continue;
        if (PtInRect(&c->rect, p))
            return ChildAt(c, POINT{p.x - c->rect.left, p.y - c->rect.top});
    }
    return w->handle;
}

HWND WindowAt(POINT screen) {
    std::vector<HWND> tops = TopLevelCopy();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        auto w = Find(*it);
        if (!w || w->remote || !w->visible || !PtInRect(&w->rect, screen))
            continue;
        return ChildAt(w, POINT{screen.x - w->rect.left, screen.y - w->rect.top});
    }
    return nullptr;
}

bool Matches(HWND filter, UINT mn, UINT mx, HWND hwnd, UINT message) {
    if (filter && !(hwnd == filter || IsDescendant(filter, hwnd)))
        return false;
    if ((mn || mx) && (message < mn || message > mx))
        return false;
    return true;
}

// Turns the input event into a message for the window it reaches; false when no enabled window
// takes it (the event is dropped).
bool RouteInput(Queue& q, const InputEvent& e, MSG* out) {
    State& s = S();
    *out = MSG{};
    out->time = e.time;
    out->pt = POINT{e.x, e.y};
    switch (e.kind) {
        case InputEvent::Kind::PenDown:
        case InputEvent::Kind::PenMove:
        case InputEvent::Kind::PenUp: {
            HWND target = s.capture ? s.capture : WindowAt(POINT{e.x, e.y});
            auto w = Find(target);
            if (!w || w->remote || !EnabledChain(w) || w->queue != &q)
                return false;
            POINT o = ScreenOrigin(w);
            out->hwnd = target;
            out->message = e.kind == InputEvent::Kind::PenDown   ? WM_LBUTTONDOWN
                           : e.kind == InputEvent::Kind::PenMove ? WM_MOUSEMOVE
                                                                 : WM_LBUTTONUP;
            out->wParam = e.kind == InputEvent::Kind::PenUp ? 0 : MK_LBUTTON;
            out->lParam = MAKELONG(e.x - o.x, e.y - o.y);
            return true;
        }
        case InputEvent::Kind::KeyDown:
        case InputEvent::Kind::KeyUp:
        case InputEvent::Kind::Char: {
            HWND target = s.focus ? s.focus : s.active;
            auto w = Find(target);
            if (!w || w->remote || !ShownChain(w) || !EnabledChain(w) || w->queue != &q)
                return false;
            out->hwnd = target;
            out->message = e.kind == InputEvent::Kind::KeyDown ? WM_KEYDOWN
                           : e.kind == InputEvent::Kind::KeyUp ? WM_KEYUP
                                                               : WM_CHAR;
            out->wParam = e.code;
            out->lParam = e.kind == InputEvent::Kind::KeyUp ? static_cast<LPARAM>(0xC0000001u) : 1;
            return true;
        }
        default:
            return false;
    }
}

bool TakePosted(Queue& q, MSG* out, HWND filter, UINT mn, UINT mx, bool remove) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (filter || mn || mx) {
            // Filtering needs the window table, which IsDescendant locks: check parents inline.
            bool ok = (!mn && !mx) || (it->message >= mn && it->message <= mx);
            if (ok && filter) {
                HWND h = it->hwnd;
                ok = false;
                while (h) {
                    if (h == filter) {
                        ok = true;
                        break;
                    }
                    auto f = s.windows.find(reinterpret_cast<uintptr_t>(h));
                    if (f == s.windows.end())
                        break;
                    h = f->second->parent;
                }
            }
            if (!ok)
                continue;
        }
        *out = *it;
        if (remove)
            q.posted.erase(it);
        return true;
    }
    return false;
}

// *handled is set when a close or quit request was taken from the input queue.
bool TakeInput(Queue& q, MSG* out, HWND filter, UINT mn, UINT mx, bool remove, bool* handled) {
    State& s = S();
    while (!q.input.empty()) {
        InputEvent e = q.input.front();
        if (e.kind == InputEvent::Kind::Close) {
            q.input.pop_front();
            HWND target = s.active ? s.active : NextActivatable(nullptr);
            if (target)
                PostMessageW(target, WM_CLOSE, 0, 0);
            *handled = true;
            return false;
        }
        if (e.kind == InputEvent::Kind::Quit) {
            q.input.pop_front();
            s.quitting = true;
            *handled = true;
            return false;
        }
        MSG m;
        if (!RouteInput(q, e, &m)) {
            q.input.pop_front();
            continue;
        }
        if (!Matches(filter, mn, mx, m.hwnd, m.message))
            return false;
        if (m.message == WM_LBUTTONDOWN)
            q.penDown = true;
        if (m.message == WM_LBUTTONUP)
            q.penDown = false;
        if (remove)
            q.input.pop_front();
        *out = m;
        return true;
    }
    return false;
}

bool TakeTimer(Queue& q, MSG* out, HWND filter, UINT mn, UINT mx, bool remove, DWORD now) {
    Timer* best = nullptr;
    for (Timer& t : q.timers) {
        if (static_cast<int32_t>(now - t.due) < 0 || !Matches(filter, mn, mx, t.hwnd, WM_TIMER))
            continue;
        if (!best || static_cast<int32_t>(t.due - best->due) < 0 || (t.due == best->due && t.seq < best->seq))
            best = &t;
    }
    if (!best)
        return false;
    *out = MSG{best->hwnd, WM_TIMER, best->id, reinterpret_cast<LPARAM>(best->proc), now, POINT{0, 0}};
    if (remove)
        best->due = now + best->period;
    return true;
}

HWND FindPaint(const std::shared_ptr<Window>& w, Queue& q, HWND filter) {
    if (!w || w->remote || !w->visible)
        return nullptr;
    if (w->hasUpdate && w->queue == &q && (!filter || IsDescendant(filter, w->handle)))
        return w->handle;
    for (HWND c : w->children)
        if (HWND h = FindPaint(Find(c), q, filter))
            return h;
    return nullptr;
}

bool TakePaint(Queue& q, MSG* out, HWND filter, UINT mn, UINT mx, DWORD now) {
    if ((mn || mx) && (WM_PAINT < mn || WM_PAINT > mx))
        return false;
    std::vector<HWND> tops = TopLevelCopy();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        if (HWND h = FindPaint(Find(*it), q, filter)) {
            *out = MSG{h, WM_PAINT, 0, 0, now, POINT{0, 0}};
            return true;
        }
    }
    return false;
}

// The earliest due time of the timers a loop with this filter can take.
DWORD NextTimerDue(Queue& q, HWND filter, UINT mn, UINT mx) {
    DWORD best = INFINITE;
    bool any = false;
    DWORD now = Backend().Now();
    for (const Timer& t : q.timers) {
        if (!Matches(filter, mn, mx, t.hwnd, WM_TIMER))
            continue;
        if (!any || static_cast<int32_t>(t.due - best) < 0) {
            best = t.due;
            any = true;
        }
    }
    if (any && static_cast<int32_t>(best - now) < 0)
        best = now;
    return any ? best : INFINITE;
}

void ApplyRequest(const std::string& line) {
    unsigned long long handle = 0;
    char what[32] = {};
    int cmd = 0;
    if (std::sscanf(line.c_str(), "%llx %31s %d", &handle, what, &cmd) < 2)
        return;
    HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(handle));
    if (!Live(h))
        return;
    if (std::string(what) == "show")
        ShowWindow(h, cmd);
    else if (std::string(what) == "foreground")
        SetForegroundWindow(h);
}

// True when another process asked something of this one.
bool PollRequests() {
    std::vector<std::string> requests = xproc::TakeRequests();
    for (const std::string& line : requests)
        ApplyRequest(line);
    return !requests.empty();
}

// 1: a message; 0: WM_QUIT or the end of the run; -1: nothing (only when not blocking).
int Fetch(MSG* out, HWND filter, UINT mn, UINT mx, bool remove, bool block) {
    State& s = S();
    Queue& q = ThisQueue();
    DisplayBackend& b = Backend();
    b.Begin();
    for (;;) {
        if (block && s.quitting) {
            *out = MSG{nullptr, WM_QUIT, 0, 0, b.Now(), POINT{0, 0}};
            return 0;
        }
        DWORD now = b.Now();
        if (TakePosted(q, out, filter, mn, mx, remove))
            return 1;
        if (q.quitPosted) {
            if (remove)
                q.quitPosted = false;
            *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, now, POINT{0, 0}};
            return 0;
        }
        bool handled = false;
        if (TakeInput(q, out, filter, mn, mx, remove, &handled))
            return 1;
        if (handled)
            continue; // a close or quit from the input queue
        if (TakeTimer(q, out, filter, mn, mx, remove, now))
            return 1;
        if (TakePaint(q, out, filter, mn, mx, now))
            return 1;
        if (PollRequests())
            continue;
        // Idle (any input left waits for another filter): let the backend release what is due.
        if (b.Pump())
            continue;
        if (!block)
            return -1;
        DWORD deadline = NextTimerDue(q, filter, mn, mx);
        DWORD next = b.NextEventTime();
        if (next != INFINITE && (deadline == INFINITE || static_cast<int32_t>(next - deadline) < 0))
            deadline = next;
        if (deadline == INFINITE && b.Exhausted()) {
            *out = MSG{nullptr, WM_QUIT, 0, 0, now, POINT{0, 0}};
            return 0;
        }
        b.Wait(deadline);
    }
}

void DestroyTree(const std::shared_ptr<Window>& w);

} // namespace

// ---------------------------------------------------------------------------------------------------
// Backend and reset (WindowManager.h).

void PlatformQueueInput(const InputEvent& event) {
    ThisQueue().input.push_back(event);
}

void WindowManagerSetBackend(std::unique_ptr<DisplayBackend> backend) {
    State& s = S();
    s.backend = std::move(backend);
    s.quitting = false;
    PlatformSetWindowDcProvider(&ProvideWindowDc);
    PlatformSetScreenDcReleaseHook(&ScreenDcReleased);
}

DisplayBackend* WindowManagerBackend() {
    return S().backend.get();
}

void WindowManagerReset() {
    State& s = S();
    std::vector<HWND> tops = TopLevelCopy();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        auto w = Find(*it);
        if (w && !w->remote)
            DestroyWindow(*it);
    }
    {
        std::lock_guard<std::mutex> guard(s.lock);
        s.windows.clear();
        s.topLevel.clear();
        for (auto& q : s.queues) {
            q->posted.clear();
            q->input.clear();
            q->timers.clear();
            q->quitPosted = false;
            q->penDown = false;
        }
    }
    s.capture = s.active = s.focus = nullptr;
    s.quitting = false;
    s.caret = Caret{};
    s.cursor = reinterpret_cast<HCURSOR>(const_cast<WCHAR*>(IDC_ARROW));
    s.backend.reset();
    xproc::WithdrawWindows();
}

std::string PlatformWindowListText() {
    std::string out;
    std::function<void(HWND, int)> line = [&](HWND h, int depth) {
        auto w = Find(h);
        if (!w || w->remote)
            return;
        POINT o = ScreenOrigin(w);
        RECT r = ClientRect(w);
        OffsetRect(&r, o.x, o.y);
        char buf[128];
        std::snprintf(buf, sizeof buf, " %d,%d,%d,%d %s %s\n", (int)r.left, (int)r.top, (int)r.right,
                      (int)r.bottom, ShownChain(w) ? "visible" : "hidden",
                      w->enabled ? "enabled" : "disabled");
        std::string title;
        for (char c : WideToUtf8(w->title)) {
            if (c == '\\' || c == '"')
                title += '\\';
            if (c == '\n') {
                title += "\\n";
                continue;
            }
            title += c;
        }
        out += std::string(static_cast<size_t>(depth) * 2, ' ') + WideToUtf8(w->cls ? w->cls->name : u"") +
               " \"" + title + "\"" + buf;
        for (auto it = w->children.rbegin(); it != w->children.rend(); ++it)
            line(*it, depth + 1);
    };
    std::vector<HWND> tops = TopLevelCopy();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it)
        line(*it, 0);
    return out;
}

// ---------------------------------------------------------------------------------------------------
// Classes and windows.

ATOM RegisterClassW(const WNDCLASSW* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpszClassName[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    State& s = S();
    for (auto& c : s.classes) {
        if (WStrICmp(c->name.c_str(), wc->lpszClassName) == 0) {
            SetLastError(ERROR_CLASS_ALREADY_EXISTS);
            return 0;
        }
    }
    auto c = std::make_shared<WindowClass>();
    c->name = wc->lpszClassName;
    c->wc = *wc;
    c->wc.lpszClassName = nullptr;
    c->wc.lpszMenuName = nullptr;
    s.classes.push_back(c);
    return static_cast<ATOM>(0xC000 + s.classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
    State& s = S();
    for (auto it = s.classes.begin(); it != s.classes.end(); ++it) {
        if (className && WStrICmp((*it)->name.c_str(), className) == 0) {
            s.classes.erase(it);
            return TRUE;
        }
    }
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
    State& s = S();
    Backend();
    std::shared_ptr<WindowClass> cls;
    for (auto& c : s.classes)
        if (className && WStrICmp(c->name.c_str(), className) == 0)
            cls = c;
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    std::shared_ptr<Window> parentWindow;
    if (parent) {
        parentWindow = Live(parent);
        if (!parentWindow)
            return nullptr;
    } else if (style & WS_CHILD) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (x == CW_USEDEFAULT)
        x = y = 0;
    if (width == CW_USEDEFAULT) {
        width = PlatformScreenWidth();
        height = PlatformScreenHeight();
    }
    auto w = std::make_shared<Window>();
    w->cls = cls;
    w->proc = cls->wc.lpfnWndProc;
    w->title = windowName ? windowName : u"";
    w->style = style & ~(WS_VISIBLE | WS_DISABLED);
    w->exStyle = exStyle;
    w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
    w->parent = (style & WS_CHILD) ? parent : nullptr;
    w->enabled = !(style & WS_DISABLED);
    w->id = static_cast<LONG>(reinterpret_cast<uintptr_t>(menu));
    w->queue = &ThisQueue();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        w->handle = reinterpret_cast<HWND>(s.nextHandle);
        s.nextHandle += 0x10;
        s.windows[reinterpret_cast<uintptr_t>(w->handle)] = w;
        if (!w->parent)
            s.topLevel.push_back(w->handle); // a new window starts in front
    }
    if (w->parent)
        parentWindow->children.push_back(w->handle);

    CREATESTRUCTW cs{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                     windowName, className, exStyle};
    if (CallProc(w, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(w->handle);
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!IsWindow(w->handle))
        return nullptr;
    if (!w->parent)
        PublishTopLevel();
    if (style & WS_VISIBLE)
        ShowWindow(w->handle, SW_SHOW);
    return w->handle;
}

namespace {

void DestroyTree(const std::shared_ptr<Window>& w) {
    State& s = S();
    w->destroying = true;
    if (s.capture && IsDescendant(w->handle, s.capture)) {
        HWND old = s.capture;
        s.capture = nullptr;
        SendCaptureChanged(old, nullptr);
    }
    Queue* q = w->queue;
    q->timers.erase(std::remove_if(q->timers.begin(), q->timers.end(),
                                   [&](const Timer& t) { return t.hwnd == w->handle; }),
                    q->timers.end());
    if (s.caret.owner == w->handle)
        s.caret = Caret{};
    CallProc(w, WM_DESTROY, 0, 0);
    std::vector<HWND> children = w->children;
    for (HWND c : children)
        if (auto cw = Find(c); cw && !cw->destroying)
            DestroyTree(cw);
    CallProc(w, WM_NCDESTROY, 0, 0);
    if (w->parent) {
        if (auto p = Find(w->parent))
            p->children.erase(std::remove(p->children.begin(), p->children.end(), w->handle),
                              p->children.end());
    }
    std::lock_guard<std::mutex> guard(s.lock);
    if (!w->parent)
        s.topLevel.erase(std::remove(s.topLevel.begin(), s.topLevel.end(), w->handle), s.topLevel.end());
    s.windows.erase(reinterpret_cast<uintptr_t>(w->handle));
}

} // namespace

BOOL DestroyWindow(HWND hWnd) {
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    if (w->destroying)
        return TRUE;
    State& s = S();
    bool wasShown = ShownChain(w);
    RECT area = VisibleScreenRect(w);
    bool wasActive = s.active && IsDescendant(hWnd, s.active);
    bool hadFocus = s.focus && IsDescendant(hWnd, s.focus);
    DestroyTree(w);
    if (wasShown) {
        if (w->parent) {
            if (auto p = Find(w->parent)) {
                POINT po = ScreenOrigin(p);
                OffsetRect(&area, -po.x, -po.y);
                AddUpdate(p, area, true);
            }
        } else {
            InvalidateScreenArea(area, nullptr);
        }
    }
    if (wasActive) {
        s.active = nullptr;
        s.focus = nullptr;
        if (HWND next = NextActivatable(hWnd))
            Activate(next);
    } else if (hadFocus) {
        s.focus = s.active;
    }
    if (!w->parent)
        PublishTopLevel();
    return TRUE;
}

BOOL IsWindow(HWND hWnd) {
    auto w = Find(hWnd);
    if (!w)
        return FALSE;
    if (w->remote)
        return xproc::RemoteWindowAlive(w->remotePid, w->remoteHandle, nullptr) ? TRUE : FALSE;
    return TRUE;
}

BOOL IsWindowVisible(HWND hWnd) {
    auto w = Find(hWnd);
    return w && !w->remote && ShownChain(w) ? TRUE : FALSE;
}

HWND GetParent(HWND hWnd) {
    auto w = Live(hWnd);
    return w ? w->parent : nullptr;
}

LRESULT DefWindowProcW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SETTEXT: {
            auto w = Live(hWnd);
            if (!w)
                return FALSE;
            LPCWSTR text = reinterpret_cast<LPCWSTR>(lParam);
            w->title = text ? text : u"";
            if (!w->parent)
                PublishTopLevel();
            return TRUE;
        }
        case WM_CLOSE:
            DestroyWindow(hWnd);
            return 0;
        case WM_ERASEBKGND: {
            auto w = Live(hWnd);
            if (!w || !w->cls || !w->cls->wc.hbrBackground)
                return 0;
            RECT r = ClientRect(w);
            FillRect(reinterpret_cast<HDC>(wParam), &r, w->cls->wc.hbrBackground);
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            if (BeginPaint(hWnd, &ps))
                EndPaint(hWnd, &ps);
            return 0;
        }
        default:
            return 0;
    }
}

LONG GetWindowLongW(HWND hWnd, int index) {
    auto w = Live(hWnd);
    if (!w)
        return 0;
    switch (index) {
        case GWL_STYLE:
            return static_cast<LONG>(w->style | (w->visible ? WS_VISIBLE : 0) |
                                     (w->enabled ? 0 : WS_DISABLED));
        case GWL_EXSTYLE:
            return static_cast<LONG>(w->exStyle);
        case GWL_USERDATA:
            return w->userData;
        case GWL_ID:
            return w->id;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
}

LONG SetWindowLongW(HWND hWnd, int index, LONG value) {
    auto w = Live(hWnd);
    if (!w)
        return 0;
    LONG old;
    switch (index) {
        case GWL_USERDATA:
            old = w->userData;
            w->userData = value;
            return old;
        case GWL_ID:
            old = w->id;
            w->id = value;
            return old;
        case GWL_EXSTYLE:
            old = static_cast<LONG>(w->exStyle);
            w->exStyle = static_cast<DWORD>(value);
            return old;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
    }
}

BOOL SetWindowTextW(HWND hWnd, LPCWSTR text) {
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    // The window's procedure sees the change; the default processing stores the text.
    return CallProc(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND hWnd, LPWSTR text, int count) {
    auto w = Find(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::u16string title = w->title;
    if (w->remote)
        xproc::RemoteWindowAlive(w->remotePid, w->remoteHandle, &title);
    if (!text || count <= 0)
        return 0;
    size_t n = std::min(title.size(), static_cast<size_t>(count - 1));
    std::copy(title.begin(), title.begin() + static_cast<ptrdiff_t>(n), text);
    text[n] = 0;
    return static_cast<int>(n);
}

int GetWindowTextLengthW(HWND hWnd) {
    auto w = Find(hWnd);
    return w ? static_cast<int>(w->title.size()) : 0;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName) {
    State& s = S();
    std::vector<HWND> tops = TopLevelCopy();
    for (auto it = tops.rbegin(); it != tops.rend(); ++it) {
        auto w = Find(*it);
        if (!w || w->remote || w->destroying)
            continue;
        if (className && (!w->cls || WStrICmp(w->cls->name.c_str(), className) != 0))
            continue;
        if (windowName && w->title != windowName)
            continue;
        return *it;
    }
    if (!windowName)
        return nullptr;
    DWORD pid = 0;
    xproc::WindowEntry entry;
    if (!xproc::FindRemoteWindow(windowName, &pid, &entry))
        return nullptr;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        for (auto& [key, w] : s.windows)
            if (w->remote && w->remotePid == pid && w->remoteHandle == entry.handle)
                return w->handle;
    }
    auto w = std::make_shared<Window>();
    w->remote = true;
    w->remotePid = pid;
    w->remoteHandle = entry.handle;
    w->title = entry.title;
    std::lock_guard<std::mutex> guard(s.lock);
    w->handle = reinterpret_cast<HWND>(s.nextHandle);
    s.nextHandle += 0x10;
    s.windows[reinterpret_cast<uintptr_t>(w->handle)] = w;
    return w->handle;
}

BOOL ShowWindow(HWND hWnd, int command) {
    auto w = Find(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->remote) {
        // The owner gets the command through its request file; the journal shows the number.
        std::u16string title;
        if (!xproc::RemoteWindowAlive(w->remotePid, w->remoteHandle, &title)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        PlatformJournal("ShowWindow " + WideToUtf8(title) + " " + std::to_string(command));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%llx show %d", static_cast<unsigned long long>(w->remoteHandle),
                      command);
        xproc::SendRequest(w->remotePid, w->remoteHandle, buf);
        return TRUE;
    }
    State& s = S();
    BOOL wasVisible = w->visible ? TRUE : FALSE;
    if (command == SW_HIDE || command == SW_MINIMIZE || command == SW_SHOWMINIMIZED ||
        command == SW_SHOWMINNOACTIVE) {
        if (!w->visible)
            return wasVisible;
        RECT area = VisibleScreenRect(w);
        bool shown = ShownChain(w);
        w->visible = false;
        CallProc(w, WM_SHOWWINDOW, FALSE, 0);
        if (s.capture && IsDescendant(hWnd, s.capture)) {
            HWND old = s.capture;
            s.capture = nullptr;
            SendCaptureChanged(old, nullptr);
        }
        if (shown) {
            if (w->parent) {
                if (auto p = Find(w->parent)) {
                    POINT po = ScreenOrigin(p);
                    OffsetRect(&area, -po.x, -po.y);
                    AddUpdate(p, area, true);
                }
            } else {
                InvalidateScreenArea(area, hWnd);
            }
        }
        // With no other window to take it, a hidden window stays active until it is destroyed.
        if (s.active && IsDescendant(hWnd, s.active)) {
            if (HWND next = NextActivatable(RootOf(hWnd)))
                Activate(next);
        }
        if (!w->parent)
            PublishTopLevel();
        return wasVisible;
    }
    if (!w->visible) {
        w->visible = true;
        CallProc(w, WM_SHOWWINDOW, TRUE, 0);
        AddUpdate(w, ClientRect(w), true);
        if (!w->parent)
            PublishTopLevel();
    }
    bool activate = command != SW_SHOWNA && command != SW_SHOWNOACTIVATE;
    if (!w->parent && activate) {
        BringToFront(hWnd);
        Activate(hWnd);
    }
    return wasVisible;
}

BOOL SetForegroundWindow(HWND hWnd) {
    auto w = Find(hWnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->remote) {
        std::u16string title;
        if (!xproc::RemoteWindowAlive(w->remotePid, w->remoteHandle, &title)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        PlatformJournal("SetForegroundWindow " + WideToUtf8(title));
        char buf[64];
        std::snprintf(buf, sizeof buf, "%llx foreground", static_cast<unsigned long long>(w->remoteHandle));
        xproc::SendRequest(w->remotePid, w->remoteHandle, buf);
        return TRUE;
    }
    HWND root = RootOf(hWnd);
    BringToFront(root);
    Activate(root);
    Backend().Raise();
    return TRUE;
}

HWND GetForegroundWindow() {
    return S().active;
}
HWND GetActiveWindow() {
    return S().active;
}

HWND SetActiveWindow(HWND hWnd) {
    State& s = S();
    HWND old = s.active;
    if (hWnd) {
        auto w = Live(hWnd);
        if (!w)
            return nullptr;
        hWnd = RootOf(hWnd);
    }
    Activate(hWnd);
    return old;
}

HWND GetFocus() {
    return S().focus;
}

HWND SetFocus(HWND hWnd) {
    State& s = S();
    HWND old = s.focus;
    if (hWnd && !Live(hWnd))
        return nullptr;
    if (old == hWnd)
        return old;
    s.focus = hWnd;
    if (auto w = Find(old); w && !w->remote)
        CallProc(w, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
    if (auto w = Find(hWnd))
        CallProc(w, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

BOOL EnableWindow(HWND hWnd, BOOL enable) {
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    BOOL wasDisabled = w->enabled ? FALSE : TRUE;
    bool now = enable != FALSE;
    if (w->enabled == now)
        return wasDisabled;
    w->enabled = now;
    State& s = S();
    if (!now && s.capture && IsDescendant(hWnd, s.capture)) {
        HWND old = s.capture;
        s.capture = nullptr;
        SendCaptureChanged(old, nullptr);
    }
    CallProc(w, WM_ENABLE, now ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND hWnd) {
    auto w = Find(hWnd);
    return w && !w->remote && w->enabled ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hWnd, HWND insertAfter, int x, int y, int width, int height, UINT flags) {
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    RECT old = w->rect;
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        OffsetRect(&r, x - r.left, y - r.top);
    }
    if (!(flags & SWP_NOSIZE)) {
        r.right = r.left + std::max(width, 0);
        r.bottom = r.top + std::max(height, 0);
    }
    bool shown = ShownChain(w);
    if (!EqualRect(&old, &r)) {
        RECT area = VisibleScreenRect(w);
        w->rect = r;
        if (shown && !(flags & SWP_NOREDRAW)) {
            if (w->parent) {
                if (auto p = Find(w->parent)) {
                    POINT po = ScreenOrigin(p);
                    OffsetRect(&area, -po.x, -po.y);
                    AddUpdate(p, area, true);
                }
            } else {
                InvalidateScreenArea(area, hWnd);
            }
            AddUpdate(w, ClientRect(w), true);
        }
        if (old.right - old.left != r.right - r.left || old.bottom - old.top != r.bottom - r.top)
            CallProc(w, WM_SIZE, 0, MAKELONG(r.right - r.left, r.bottom - r.top));
    }
    if (!(flags & SWP_NOZORDER) && !w->parent) {
        if (insertAfter == HWND_BOTTOM) {
            PlaceTopLevel(hWnd, false, true);
            InvalidateScreenArea(VisibleScreenRect(w), hWnd);
        } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST) {
            BringToFront(hWnd);
        }
    }
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(hWnd, SW_HIDE);
    else if (flags & SWP_SHOWWINDOW)
        ShowWindow(hWnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    else if (!(flags & SWP_NOACTIVATE) && !w->parent && w->visible)
        Activate(hWnd);
    return TRUE;
}

BOOL MoveWindow(HWND hWnd, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(hWnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : static_cast<UINT>(SWP_NOREDRAW)));
}

BOOL GetClientRect(HWND hWnd, LPRECT rect) {
    auto w = Live(hWnd);
    if (!w || !rect)
        return FALSE;
    *rect = ClientRect(w);
    return TRUE;
}

BOOL GetWindowRect(HWND hWnd, LPRECT rect) {
    auto w = Live(hWnd);
    if (!w || !rect)
        return FALSE;
    POINT o = ScreenOrigin(w);
    *rect = ClientRect(w);
    OffsetRect(rect, o.x, o.y);
    return TRUE;
}

BOOL ClientToScreen(HWND hWnd, LPPOINT point) {
    auto w = Live(hWnd);
    if (!w || !point)
        return FALSE;
    POINT o = ScreenOrigin(w);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hWnd, LPPOINT point) {
    auto w = Live(hWnd);
    if (!w || !point)
        return FALSE;
    POINT o = ScreenOrigin(w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

// ---------------------------------------------------------------------------------------------------
// Messages.

BOOL GetMessageW(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax) {
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (hWnd && !Live(hWnd))
        return -1;
    int r = Fetch(msg, hWnd, filterMin, filterMax, true, true);
    S().messageTime = msg->time;
    return r == 1 && msg->message != WM_QUIT ? TRUE : FALSE;
}

BOOL PeekMessageW(LPMSG msg, HWND hWnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg)
        return FALSE;
    MSG m;
    int r = Fetch(&m, hWnd, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0, false);
    if (r < 0)
        return FALSE;
    *msg = m;
    S().messageTime = m.time;
    return TRUE;
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN)
        return FALSE;
    WCHAR ch;
    switch (msg->wParam) {
        case VK_BACK:
        case VK_TAB:
        case VK_RETURN:
        case VK_ESCAPE:
            ch = static_cast<WCHAR>(msg->wParam);
            break;
        default:
            return FALSE;
    }
    Queue& q = ThisQueue();
    std::lock_guard<std::mutex> guard(S().lock);
    // The character comes next, before anything posted earlier, as on the device.
    q.posted.push_front(MSG{msg->hwnd, WM_CHAR, ch, msg->lParam, msg->time, msg->pt});
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
        return 0;
    }
    if (!msg->hwnd)
        return 0;
    auto w = Live(msg->hwnd);
    if (!w)
        return 0;
    return CallProc(w, msg->message, msg->wParam, msg->lParam);
}

namespace {
std::string RegisteredName(UINT message) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (message >= WM_REGISTERED_FIRST && message - WM_REGISTERED_FIRST < s.registered.size() &&
        !s.registered[message - WM_REGISTERED_FIRST].empty())
        return WideToUtf8(s.registered[message - WM_REGISTERED_FIRST]);
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", message);
    return buf;
}

BOOL PostTo(const std::shared_ptr<Window>& w, UINT message, WPARAM wParam, LPARAM lParam) {
    State& s = S();
    {
        std::lock_guard<std::mutex> guard(s.lock);
        w->queue->posted.push_back(MSG{w->handle, message, wParam, lParam, GetTickCount(), POINT{0, 0}});
    }
    if (w->queue != t_queue && s.backend)
        s.backend->Wake();
    return TRUE;
}
} // namespace

BOOL PostMessageW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    State& s = S();
    if (hWnd == HWND_BROADCAST) {
        PlatformJournal("PostMessageW HWND_BROADCAST " + RegisteredName(message) + " " +
                        std::to_string(static_cast<unsigned long long>(wParam)) + " " +
                        std::to_string(static_cast<long long>(lParam)));
        for (HWND h : TopLevelCopy())
            if (auto w = Find(h); w && !w->remote && !w->destroying)
                PostTo(w, message, wParam, lParam);
        return TRUE;
    }
    if (!hWnd) {
        Queue& q = ThisQueue();
        std::lock_guard<std::mutex> guard(s.lock);
        q.posted.push_back(MSG{nullptr, message, wParam, lParam, GetTickCount(), POINT{0, 0}});
        return TRUE;
    }
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    return PostTo(w, message, wParam, lParam);
}

LRESULT SendMessageW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hWnd == HWND_BROADCAST) {
        for (HWND h : TopLevelCopy())
            if (auto w = Find(h); w && !w->remote && !w->destroying)
                CallProc(w, message, wParam, lParam);
        return 0;
    }
    auto w = Live(hWnd);
    if (!w)
        return 0;
    return CallProc(w, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    Queue& q = ThisQueue();
    q.quitPosted = true;
    q.quitCode = exitCode;
}

namespace {
// The number of a registered name, or 0; with the lock held.
UINT FindRegistered(const State& s, LPCWSTR name) {
    for (size_t i = 0; i < s.registered.size(); i++)
        if (!s.registered[i].empty() && WStrICmp(s.registered[i].c_str(), name) == 0)
            return static_cast<UINT>(WM_REGISTERED_FIRST + i);
    return 0;
}
} // namespace

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (!name || !name[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (UINT known = FindRegistered(s, name))
        return known;
    if (s.registered.size() > WM_REGISTERED_LAST - WM_REGISTERED_FIRST) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    s.registered.push_back(name);
    return static_cast<UINT>(WM_REGISTERED_FIRST + s.registered.size() - 1);
}

UINT PlatformRegisterWindowMessageAt(LPCWSTR name, UINT message) {
    if (!name || !name[0] || message < WM_REGISTERED_FIRST || message > WM_REGISTERED_LAST) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    const size_t slot = message - WM_REGISTERED_FIRST;
    const UINT known = FindRegistered(s, name);
    if (known == message)
        return message;
    if (known || (slot < s.registered.size() && !s.registered[slot].empty())) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return 0;
    }
    if (slot >= s.registered.size())
        s.registered.resize(slot + 1);
    s.registered[slot] = name;
    return message;
}

DWORD GetMessageTime() {
    return S().messageTime;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    Queue* q = &ThisQueue();
    if (hWnd) {
        auto w = Live(hWnd);
        if (!w)
            return 0;
        q = w->queue;
    }
    DWORD now = Backend().Now();
    UINT period = std::max<UINT>(elapse, 1);
    if (hWnd) {
        for (Timer& t : q->timers) {
            if (t.hwnd == hWnd && t.id == id) {
                t.period = period;
                t.due = now + period;
                t.proc = proc;
                return id ? id : 1;
            }
        }
    } else {
        id = q->nextThreadTimer++;
    }
    Timer t;
    t.hwnd = hWnd;
    t.id = id;
    t.period = period;
    t.due = now + period;
    t.proc = proc;
    t.seq = q->nextTimerSeq++;
    q->timers.push_back(t);
    return hWnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hWnd, UINT_PTR id) {
    Queue* owner = &ThisQueue();
    if (hWnd) {
        auto w = Live(hWnd);
        if (!w)
            return FALSE;
        owner = w->queue;
    }
    Queue& q = *owner;
    auto it = std::find_if(q.timers.begin(), q.timers.end(),
                           [&](const Timer& t) { return t.hwnd == hWnd && t.id == id; });
    if (it == q.timers.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    q.timers.erase(it);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------------
// Painting.

BOOL InvalidateRect(HWND hWnd, const RECT* rect, BOOL erase) {
    if (!hWnd) {
        for (HWND h : TopLevelCopy())
            if (auto w = Find(h); w && !w->remote && w->visible)
                AddUpdate(w, ClientRect(w), erase != FALSE);
        return TRUE;
    }
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    if (!w->visible)
        return TRUE;
    AddUpdate(w, rect ? *rect : ClientRect(w), erase != FALSE);
    return TRUE;
}

BOOL ValidateRect(HWND hWnd, const RECT* rect) {
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    if (!rect) {
        w->hasUpdate = false;
        w->erase = false;
        return TRUE;
    }
    // A rectangle that covers the whole update region clears it; a partial one leaves the union.
    RECT inter;
    if (w->hasUpdate && IntersectRect(&inter, &w->update, rect) && EqualRect(&inter, &w->update)) {
        w->hasUpdate = false;
        w->erase = false;
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hWnd, LPRECT rect, BOOL) {
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    if (rect)
        *rect = w->hasUpdate ? w->update : RECT{0, 0, 0, 0};
    return w->hasUpdate ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hWnd) {
    auto w = Live(hWnd);
    if (!w)
        return FALSE;
    if (w->hasUpdate && ShownChain(w))
        CallProc(w, WM_PAINT, 0, 0);
    std::vector<HWND> children = w->children;
    for (HWND c : children)
        if (IsWindow(c))
            UpdateWindow(c);
    return TRUE;
}

HDC BeginPaint(HWND hWnd, LPPAINTSTRUCT paint) {
    auto w = Live(hWnd);
    if (!w || !paint)
        return nullptr;
    *paint = PAINTSTRUCT{};
    RECT update = w->hasUpdate ? w->update : RECT{0, 0, 0, 0};
    bool erase = w->erase;
    w->hasUpdate = false;
    w->erase = false;
    POINT o = ScreenOrigin(w);
    RECT clip = update;
    OffsetRect(&clip, o.x, o.y);
    RECT visible = VisibleScreenRect(w);
    IntersectRect(&clip, &clip, &visible);
    HDC hdc = PlatformCreateScreenDC(o.x, o.y, &clip);
    paint->hdc = hdc;
    paint->rcPaint = update;
    paint->fErase = TRUE;
    if (erase && !IsRectEmpty(&update))
        paint->fErase = CallProc(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
    else
        paint->fErase = FALSE;
    return hdc;
}

BOOL EndPaint(HWND hWnd, const PAINTSTRUCT* paint) {
    if (!paint)
        return FALSE;
    if (paint->hdc)
        DeleteDC(paint->hdc);
    auto w = Live(hWnd);
    if (!w)
        return TRUE;
    POINT o = ScreenOrigin(w);
    RECT r = paint->rcPaint;
    OffsetRect(&r, o.x, o.y);
    RECT visible = VisibleScreenRect(w);
    if (IntersectRect(&r, &r, &visible))
        Backend().Present(r);
    return TRUE;
}

// ---------------------------------------------------------------------------------------------------
// Capture, cursor, caret.

HWND SetCapture(HWND hWnd) {
    State& s = S();
    auto w = Live(hWnd);
    if (!w || !ShownChain(w))
        return nullptr;
    HWND old = s.capture;
    if (old == hWnd)
        return old;
    s.capture = hWnd;
    if (old)
        SendCaptureChanged(old, hWnd);
    return old;
}

BOOL ReleaseCapture() {
    State& s = S();
    HWND old = s.capture;
    s.capture = nullptr;
    if (old)
        SendCaptureChanged(old, nullptr);
    return TRUE;
}

HWND GetCapture() {
    return S().capture;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
    uintptr_t id = reinterpret_cast<uintptr_t>(name);
    if (instance || id < 32512 || id > 32650) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(id);
}

HCURSOR SetCursor(HCURSOR cursor) {
    State& s = S();
    HCURSOR old = s.cursor;
    s.cursor = cursor;
    uintptr_t id = reinterpret_cast<uintptr_t>(cursor);
    bool wait = id == reinterpret_cast<uintptr_t>(IDC_WAIT);
    if (wait)
        PlatformJournal("SetCursor wait");
    else if (id == reinterpret_cast<uintptr_t>(IDC_ARROW))
        PlatformJournal("SetCursor arrow");
    Backend().SetWaitCursor(wait);
    return old;
}

HCURSOR GetCursor() {
    return S().cursor;
}

BOOL CreateCaret(HWND hWnd, HBITMAP bitmap, int width, int height) {
    if (!Live(hWnd))
        return FALSE;
    State& s = S();
    s.caret = Caret{};
    s.caret.owner = hWnd;
    s.caret.width = width;
    s.caret.height = height;
    s.caret.blinkStart = GetTickCount();
    if (bitmap) {
        BITMAP bm{};
        if (GetObjectW(bitmap, sizeof bm, &bm)) {
            s.caret.width = bm.bmWidth;
            s.caret.height = bm.bmHeight;
        }
    }
    return TRUE;
}

BOOL DestroyCaret() {
    State& s = S();
    if (!s.caret.owner)
        return FALSE;
    s.caret = Caret{};
    return TRUE;
}

BOOL SetCaretPos(int x, int y) {
    State& s = S();
    if (!s.caret.owner)
        return FALSE;
    s.caret.pos = POINT{x, y};
    // A caret that moves shows at once, as it does while typing.
    s.caret.blinkStart = GetTickCount();
    return TRUE;
}

BOOL GetCaretPos(LPPOINT point) {
    State& s = S();
    if (!point)
        return FALSE;
    *point = s.caret.pos;
    return TRUE;
}

BOOL ShowCaret(HWND hWnd) {
    State& s = S();
    if (!s.caret.owner || (hWnd && hWnd != s.caret.owner))
        return FALSE;
    if (s.caret.hideCount > 0 && --s.caret.hideCount == 0)
        s.caret.blinkStart = GetTickCount();
    return TRUE;
}

BOOL HideCaret(HWND hWnd) {
    State& s = S();
    if (!s.caret.owner || (hWnd && hWnd != s.caret.owner))
        return FALSE;
    s.caret.hideCount++;
    return TRUE;
}

UINT GetCaretBlinkTime() {
    return S().caretBlinkTime;
}

BOOL SetCaretBlinkTime(UINT milliseconds) {
    if (milliseconds == 0)
        return FALSE;
    S().caretBlinkTime = milliseconds;
    return TRUE;
}

bool WindowManagerCaretOnScreen(DWORD now, RECT* screenRect) {
    State& s = S();
    const Caret& c = s.caret;
    if (!c.owner || c.hideCount > 0 || c.width <= 0 || c.height <= 0)
        return false;
    auto w = Live(c.owner);
    if (!w || !ShownChain(w))
        return false;
    const UINT period = s.caretBlinkTime;
    if (period != INFINITE && ((now - c.blinkStart) / period) % 2 != 0)
        return false;
    POINT o = ScreenOrigin(w);
    RECT r{c.pos.x, c.pos.y, c.pos.x + c.width, c.pos.y + c.height};
    OffsetRect(&r, o.x, o.y);
    RECT visible = VisibleScreenRect(w);
    if (!IntersectRect(&r, &r, &visible))
        return false;
    if (screenRect)
        *screenRect = r;
    return true;
}

BOOL PlatformCaretState(HWND* owner, RECT* rect, BOOL* shown) {
    State& s = S();
    if (!s.caret.owner)
        return FALSE;
    if (owner)
        *owner = s.caret.owner;
    if (rect)
        *rect =
            RECT{s.caret.pos.x, s.caret.pos.y, s.caret.pos.x + s.caret.width, s.caret.pos.y + s.caret.height};
    if (shown)
        *shown = s.caret.hideCount == 0;
    return TRUE;
}
