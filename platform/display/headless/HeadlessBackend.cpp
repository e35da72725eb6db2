#include "platform/display/headless/HeadlessBackend.h"
#include "platform/Platform.h"
#include "platform/WinSystem.h"
#include "platform/display/Display.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Where the virtual clock starts, so that every run sees the same tick counts.
const DWORD kVirtualStart = 1000;
// A real-time wait never sleeps longer than this, so that requests from other processes are seen.
const DWORD kRealWaitSlice = 20;

class HeadlessBackend : public DisplayBackend {
public:
    HeadlessBackend(std::vector<ScriptStep> script, bool realClock) : m_realClock(realClock) {
        m_player.Load(std::move(script));
        if (!realClock) {
            PlatformUseVirtualClock(TRUE);
            PlatformSetClock(kVirtualStart);
        } else {
            PlatformUseVirtualClock(FALSE);
        }
    }
    ~HeadlessBackend() override { PlatformUseVirtualClock(FALSE); }

    const char* Name() const override { return "headless"; }
    void Begin() override { m_player.Start(Now()); }
    DWORD Now() override { return GetTickCount(); }
    bool Pump() override { return PlayDueScriptSteps(m_player, Now()); }
    DWORD NextEventTime() override { return m_player.NextTime(); }
    bool Exhausted() override { return m_player.Done(); }

    void Wait(DWORD deadline) override {
        DWORD now = Now();
        if (deadline != INFINITE && static_cast<int32_t>(deadline - now) <= 0)
            return;
        if (!m_realClock) {
            // Nothing else can happen before the deadline: jump there.
            if (deadline != INFINITE)
                PlatformAdvanceClock(deadline - now);
            return;
        }
        DWORD slice = deadline == INFINITE ? kRealWaitSlice : std::min<DWORD>(deadline - now, kRealWaitSlice);
        std::this_thread::sleep_for(std::chrono::milliseconds(slice));
    }

private:
    ScriptPlayer m_player;
    bool m_realClock;
};

} // namespace

std::unique_ptr<DisplayBackend> CreateHeadlessBackend(std::vector<ScriptStep> script, bool realClock) {
    return std::make_unique<HeadlessBackend>(std::move(script), realClock);
}

bool PlayDueScriptSteps(ScriptPlayer& player, DWORD now) {
    bool released = false;
    while (const ScriptStep* due = player.PeekDue(now)) {
        ScriptStep s = *due;
        bool action = s.kind == ScriptStep::Kind::Shot || s.kind == ScriptStep::Kind::Dump;
        if (action && released)
            break; // let the input before it be handled and painted first
        player.Pop();
        released = true;
        InputEvent e;
        e.time = player.TimeOf(s);
        e.x = s.x;
        e.y = s.y;
        e.code = s.code;
        std::string error;
        switch (s.kind) {
            case ScriptStep::Kind::Shot:
                if (!PlatformSaveScreenshot(s.path, &error))
                    std::fprintf(stderr, "script line %d: %s\n", s.line, error.c_str());
                continue;
            case ScriptStep::Kind::Dump:
                if (!PlatformWriteDump(s.path, &error))
                    std::fprintf(stderr, "script line %d: %s\n", s.line, error.c_str());
                continue;
            case ScriptStep::Kind::PenDown:
                e.kind = InputEvent::Kind::PenDown;
                break;
            case ScriptStep::Kind::PenMove:
                e.kind = InputEvent::Kind::PenMove;
                break;
            case ScriptStep::Kind::PenUp:
                e.kind = InputEvent::Kind::PenUp;
                break;
            case ScriptStep::Kind::KeyDown:
                e.kind = InputEvent::Kind::KeyDown;
                break;
            case ScriptStep::Kind::KeyUp:
                e.kind = InputEvent::Kind::KeyUp;
                break;
            case ScriptStep::Kind::Char:
                e.kind = InputEvent::Kind::Char;
                break;
            case ScriptStep::Kind::Close:
                e.kind = InputEvent::Kind::Close;
                break;
            case ScriptStep::Kind::Quit:
                e.kind = InputEvent::Kind::Quit;
                player.Finish();
                break;
        }
        PlatformQueueInput(e);
    }
    return released;
}
