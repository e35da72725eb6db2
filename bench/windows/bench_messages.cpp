// Posted messages through PostMessageW / PeekMessageW / DispatchMessageW, against the floor of the
// same work without a window manager (a deque of records and an indirect call); and an idle headless
// run whose script waits an hour of virtual time, which must take no real time to speak of.
#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "platform/display/Display.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <deque>
#include <string>
#include <unistd.h>

namespace {

long g_handled = 0;

LRESULT CountingProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_APP) {
        g_handled += static_cast<long>(wp & 1);
        return 0;
    }
    return DefWindowProcW(h, m, wp, lp);
}

struct Fixture {
    Fixture() {
        char pattern[] = "/tmp/bench-messages-XXXXXX";
        root = mkdtemp(pattern);
        PlatformSetDeviceRoot(root);
        PlatformDisplayOptions options;
        options.backend = "headless";
        std::string error;
        PlatformStartDisplay(options, &error);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CountingProc;
        wc.lpszClassName = u"BenchWnd";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(0, u"BenchWnd", u"bench", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    ~Fixture() {
        PlatformStopDisplay();
        std::string cmd = "rm -rf '" + root + "'";
        if (std::system(cmd.c_str()) != 0) {
        }
    }
    std::string root;
    HWND hwnd = nullptr;
};

Fixture& F() {
    static Fixture f;
    return f;
}

// Baseline: the same records through a deque and a function pointer.
void BM_BareQueue(benchmark::State& state) {
    std::deque<MSG> q;
    WNDPROC proc = &CountingProc;
    HWND h = reinterpret_cast<HWND>(0x10);
    const int batch = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < batch; i++)
            q.push_back(MSG{h, WM_APP, static_cast<WPARAM>(i), 0, 0, POINT{0, 0}});
        while (!q.empty()) {
            MSG m = q.front();
            q.pop_front();
            proc(m.hwnd, m.message, m.wParam, m.lParam);
        }
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_BareQueue)->Arg(1)->Arg(1000);

void BM_PostPeekDispatch(benchmark::State& state) {
    HWND h = F().hwnd;
    const int batch = static_cast<int>(state.range(0));
    MSG msg;
    for (auto _ : state) {
        for (int i = 0; i < batch; i++)
            PostMessageW(h, WM_APP, static_cast<WPARAM>(i), 0);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    state.SetItemsProcessed(state.iterations() * batch);
}
BENCHMARK(BM_PostPeekDispatch)->Arg(1)->Arg(1000);

// One hour of virtual time: a script that waits, a window, a loop that ends by itself.
void BM_IdleHourHeadless(benchmark::State& state) {
    for (auto _ : state) {
        PlatformDisplayOptions options;
        options.backend = "headless";
        options.scriptText = "wait 3600000\ntap 1 1\n";
        std::string error;
        PlatformStartDisplay(options, &error);
        HWND h = CreateWindowExW(0, u"BenchWnd", u"idle", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
        DWORD start = GetTickCount();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0))
            DispatchMessageW(&msg);
        state.counters["virtual_ms"] = static_cast<double>(GetTickCount() - start);
        DestroyWindow(h);
    }
    // Leave the shared fixture's display as it was.
    PlatformDisplayOptions options;
    options.backend = "headless";
    std::string error;
    PlatformStartDisplay(options, &error);
    F().hwnd = CreateWindowExW(0, u"BenchWnd", u"bench", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}
BENCHMARK(BM_IdleHourHeadless)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    F();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
