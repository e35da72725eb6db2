// A list box of 200 rows, 20 of them in view, filling an 800 x 480 window: one scroll step drawn
// through the content cache against the same step drawn in full, and a whole flick (15 animation
// frames, each drawn) against 15 whole-window BitBlts, in 565 and 32-bit. Times are processor time,
// the fastest of the repetitions.
#include "bench/support/BenchReport.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/style/WceUiStyle.h"
#include "wceui/style/WceUiStyleCtrls.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayerCtrl.h"
#include "wceui/ui/WceUiWindowlessHost.h"
#include "wceui/widgets/WceUiListBox.h"

#include "platform/WinString.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr int kW = 800;
constexpr int kH = 480;
constexpr int kRow = kH / 20;
constexpr int kStep = 7;

std::unique_ptr<CWceUiGenericBitmap> Solid(int nBits, int w, int h, COLORREF cr) {
    std::unique_ptr<CWceUiGenericBitmap> p(WceUiCreateBitmapObject(nBits));
    if (!p || !p->CreateDIB(w, h)) {
        fprintf(stderr, "can not make a bitmap\n");
        abort();
    }
    p->FillColor(cr);
    return p;
}

// A window bitmap with a dialog holding the list, which is drawn once in full.
struct Scene {
    explicit Scene(int nBits) {
        ctrl.SetWindow(&host);
        pWnd = Solid(nBits, kW, kH, RGB(0, 0, 0));
        pDlg = new CWceUiDlg;
        pDlg->SetLayerCtrl(&ctrl);
        ctrl.InitLayerInfo(pDlg, u"dlg");
        pDlg->SetLayerPosition(&rcWnd, WCEUI_POS_WAY_WINDOW, FALSE);
        ctrl.RootLayer()->AppendChild(pDlg);
        pList = dynamic_cast<CWceUiListBox*>(ctrl.CreateLayer(pDlg, u"CWceUiListBox", u"list"));
        if (!pList) {
            fprintf(stderr, "the list could not be made\n");
            abort();
        }
        pList->SetLayerPosition(&rcWnd, WCEUI_POS_WAY_WINDOW, FALSE);
        pList->GetStyle()->GetBgColorCtrl()->SetColor(RGB(20, 20, 40));
        pList->OnInitLayer();
        pList->SetItemHeight(kRow);
        auto pRow = Solid(nBits, kW, kRow, RGB(30, 60, 90));
        pRow->FillColor(RGB(90, 90, 120), &rcLine);
        pList->SetPartBitmap(CWceUiListBox::PART_ROW_NORMAL, pRow.get());
        pList->SetPartBitmap(CWceUiListBox::PART_ROW_PRESSED, pRow.get());
        for (int i = 0; i < 200; ++i) {
            // Built by appending: GCC's optimiser misreads a chain of + on short strings as overlapping.
            std::u16string text = u"\\Residentflash2\\app\\file number ";
            text += Utf8ToWide(std::to_string(i));
            text += u".dat";
            pList->AddString(text.c_str(), FALSE);
        }
        pList->ScrollTo(kRow * 50, FALSE);
        ctrl.Draw(pWnd.get(), &rcWnd);
    }
    ~Scene() { ctrl.DeleteLayer(pDlg); }
    // A step there and back, so that the list stays where it is.
    void Step(bool bCache) {
        pList->SetCacheEnabled(bCache);
        nDir = -nDir;
        pList->ScrollBy(nDir * kStep, TRUE);
        ctrl.Draw(pWnd.get(), &rcWnd);
    }

    const RECT rcWnd = {0, 0, kW, kH};
    const RECT rcLine = {0, kRow - 1, kW, kRow};
    CWceUiWindowlessHost host;
    CWceUiLayerCtrl ctrl;
    std::unique_ptr<CWceUiGenericBitmap> pWnd;
    CWceUiDlg* pDlg = nullptr;
    CWceUiListBox* pList = nullptr;
    int nDir = 1;
};

void BitBltWindow(benchmark::State& state, int nBits) {
    auto pSrc = Solid(nBits, kW, kH, RGB(1, 2, 3));
    auto pDst = Solid(nBits, kW, kH, RGB(0, 0, 0));
    for (auto _ : state) {
        pDst->BitBlt(0, 0, kW, kH, pSrc.get(), 0, 0, SRCCOPY);
        benchmark::DoNotOptimize(pDst->GetPixelData());
    }
}

void CachedStep(benchmark::State& state, int nBits) {
    Scene scene(nBits);
    for (auto _ : state) {
        scene.Step(true);
    }
}

void FullStep(benchmark::State& state, int nBits) {
    Scene scene(nBits);
    for (auto _ : state) {
        scene.Step(false);
    }
}

// A flick of a screen's height: 15 frames, each drawn, then back to where it started at once.
void Flick(benchmark::State& state, int nBits) {
    Scene scene(nBits);
    const int nStart = scene.pList->GetScrollPos();
    for (auto _ : state) {
        scene.pList->AnimateScroll(kH);
        for (int i = 0; i < 15 && scene.pList->IsAnimating(); ++i) {
            scene.pList->OnTimer(WCEUI_SCROLL_TIMER);
            scene.ctrl.Draw(scene.pWnd.get(), &scene.rcWnd);
        }
        state.PauseTiming();
        scene.pList->ScrollTo(nStart, FALSE);
        scene.ctrl.Draw(scene.pWnd.get(), &scene.rcWnd);
        state.ResumeTiming();
    }
}

} // namespace

int main(int argc, char** argv) {
    for (int nBits : {16, 32}) {
        const std::string d = std::to_string(nBits);
        benchmark::RegisterBenchmark(("BitBlt/" + d).c_str(), BitBltWindow, nBits);
        benchmark::RegisterBenchmark(("CachedStep/" + d).c_str(), CachedStep, nBits);
        benchmark::RegisterBenchmark(("FullStep/" + d).c_str(), FullStep, nBits);
        benchmark::RegisterBenchmark(("Flick/" + d).c_str(), Flick, nBits);
    }
    benchmark::Initialize(&argc, argv);
    FastestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    int nMissed = 0;
    printf("\nScroll steps of a 20-row list at 800 x 480 (processor time, fastest repetition)\n");
    printf("  %-6s %10s %10s %11s %11s %12s\n", "depth", "full us", "cached us", "cached/full", "flick us",
           "flick/15copy");
    for (int nBits : {16, 32}) {
        const std::string d = std::to_string(nBits);
        // Microseconds per iteration.
        const double full = reporter.Seconds("FullStep/" + d) * 1e6;
        const double cached = reporter.Seconds("CachedStep/" + d) * 1e6;
        const double flick = reporter.Seconds("Flick/" + d) * 1e6;
        const double copy = reporter.Seconds("BitBlt/" + d) * 1e6;
        const double r1 = Ratio(cached, full);
        const double r2 = Ratio(flick, 15 * copy);
        const bool ok1 = r1 <= 0.25;
        const bool ok2 = r2 < 1.0;
        nMissed += !ok1 + !ok2;
        printf("  %-6s %10.1f %10.1f %10.3f%s %11.1f %11.3f%s\n", 16 == nBits ? "565" : "32-bit", full,
               cached, r1, Mark(ok1), flick, r2, Mark(ok2));
    }
    printf("  targets: cached step <= 0.25 x full redraw; flick < 15 x whole-window BitBlt\n");
    PrintVerdict(nMissed);
    return 0;
}
