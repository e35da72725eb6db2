#include "platform/WinSystem.h"
#include "platform/KernelObject.h"
#include "platform/Platform.h"

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace {

thread_local DWORD t_lastError = 0;

struct ClockState {
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    bool isVirtual = false;
    DWORD virtualNow = 0;
    bool fixedTime = false;
    SYSTEMTIME fixed{};
};

ClockState& Clock() {
    static ClockState state;
    return state;
}

struct HandleTable {
    std::mutex lock;
    std::unordered_set<KernelObject*> live;
};

HandleTable& Handles() {
    // Never destroyed: handles may be closed by static destructors at exit.
    static HandleTable* table = new HandleTable;
    return *table;
}

} // namespace

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD error) {
    t_lastError = error;
}

DWORD GetTickCount() {
    ClockState& c = Clock();
    if (c.isVirtual)
        return c.virtualNow;
    auto elapsed = std::chrono::steady_clock::now() - c.start;
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void Sleep(DWORD milliseconds) {
    ClockState& c = Clock();
    if (c.isVirtual) {
        c.virtualNow += milliseconds;
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void GetLocalTime(SYSTEMTIME* out) {
    ClockState& c = Clock();
    if (c.fixedTime) {
        *out = c.fixed;
        return;
    }
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    out->wYear = static_cast<WORD>(tm.tm_year + 1900);
    out->wMonth = static_cast<WORD>(tm.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
    out->wDay = static_cast<WORD>(tm.tm_mday);
    out->wHour = static_cast<WORD>(tm.tm_hour);
    out->wMinute = static_cast<WORD>(tm.tm_min);
    out->wSecond = static_cast<WORD>(tm.tm_sec);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    out->wMilliseconds = static_cast<WORD>(ms);
}

void PlatformUseVirtualClock(BOOL on) {
    ClockState& c = Clock();
    if (on && !c.isVirtual)
        c.virtualNow = GetTickCount();
    c.isVirtual = on != FALSE;
}

void PlatformAdvanceClock(DWORD milliseconds) {
    Clock().virtualNow += milliseconds;
}

void PlatformSetClock(DWORD now) {
    Clock().virtualNow = now;
}

void PlatformSetLocalTime(const SYSTEMTIME* time) {
    ClockState& c = Clock();
    c.fixedTime = time != nullptr;
    if (time)
        c.fixed = *time;
}

LONG InterlockedIncrement(LONG volatile* value) {
    return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedDecrement(LONG volatile* value) {
    return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST);
}

LONG InterlockedExchange(LONG volatile* target, LONG value) {
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

namespace {
std::atomic<uint64_t> s_randomState{1};
}

// A 64-bit linear congruential sequence; its high bits are well mixed, the low ones are not used.
DWORD Random() {
    const uint64_t kMul = 6364136223846793005ULL, kInc = 1442695040888963407ULL;
    uint64_t state = s_randomState.load(std::memory_order_relaxed);
    uint64_t next;
    do {
        next = state * kMul + kInc;
    } while (!s_randomState.compare_exchange_weak(state, next, std::memory_order_relaxed));
    return static_cast<DWORD>(next >> 33);
}

void SeedRandom(DWORD seed) {
    s_randomState.store(seed, std::memory_order_relaxed);
}

KernelObject::KernelObject() {
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> guard(t.lock);
    t.live.insert(this);
}

KernelObject::~KernelObject() {
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> guard(t.lock);
    t.live.erase(this);
}

KernelObject* KernelObjectAcquire(HANDLE handle) {
    HandleTable& t = Handles();
    std::lock_guard<std::mutex> guard(t.lock);
    auto* object = static_cast<KernelObject*>(handle);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || t.live.count(object) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    object->AddRef();
    return object;
}

BOOL KernelObjectClose(HANDLE handle, bool (*accepts)(KernelObject*)) {
    KernelObject* object = nullptr;
    {
        HandleTable& t = Handles();
        std::lock_guard<std::mutex> guard(t.lock);
        auto it = t.live.find(static_cast<KernelObject*>(handle));
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE || it == t.live.end() || !accepts(*it)) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = *it;
        t.live.erase(it);
    }
    object->Release();
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    return KernelObjectClose(handle, [](KernelObject* o) { return o->ClosedByCloseHandle(); });
}

namespace {
struct ScreenSettings {
    int width = 800;
    int height = 480;
    int bitsPerPixel = 16;
};
ScreenSettings& Screen() {
    static ScreenSettings s;
    return s;
}
} // namespace

void PlatformSetScreen(int width, int height, int bitsPerPixel) {
    Screen() = ScreenSettings{width, height, bitsPerPixel};
}
int PlatformScreenWidth() {
    return Screen().width;
}
int PlatformScreenHeight() {
    return Screen().height;
}
int PlatformScreenBitsPerPixel() {
    return Screen().bitsPerPixel;
}

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return Screen().width;
        case SM_CYSCREEN:
            return Screen().height;
        default:
            return 0;
    }
}
