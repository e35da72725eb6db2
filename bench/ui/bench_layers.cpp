// Repainting a dialog of ten layers at 800 x 480: the whole window, and one small invalidated layer,
// next to a whole-window BitBlt measured in the same run, in 565 and 32-bit. The dialog: a background
// colour and nine layers, each with an image of per-pixel alpha and a line of text. Also counts the
// layers drawn when an opaque full-window dialog lies over it (the target is none of those beneath).
// Times are processor time, the fastest of the repetitions.
#include "bench/support/BenchReport.h"
#include "platform/Platform.h"
#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUiBitmapFile.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayerCtrl.h"
#include "wceui/ui/WceUiWindowlessHost.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kW = 800;
constexpr int kH = 480;

std::string g_root;

void WriteFile(const std::string& relative, const std::string& bytes) {
    const std::filesystem::path path = std::filesystem::path(g_root) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), (std::streamsize)bytes.size());
}

std::string Utf16(const std::u16string& text) {
    std::string out("\xFF\xFE", 2);
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

// Skin files for both depths: an icon of 120 x 90 with a soft round alpha, the dialog and its styles.
void WriteSkin() {
    char pattern[] = "/tmp/wceui-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        abort();
    }
    g_root = pattern;
    PlatformSetDeviceRoot(g_root);
    PlatformMount(u"\\Program", g_root + "/no-program-folder");
    const int w = 120, h = 90;
    std::vector<WORD> px565((size_t)w * h);
    std::vector<DWORD> px32((size_t)w * h);
    std::string plane(FhGetAlphaPlaneLen(w, h), '\0');
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int dx = x - w / 2, dy = y - h / 2;
            const int d2 = dx * dx * 4 / 3 + dy * dy * 2;
            const int a = d2 > 4000 ? 0 : (d2 > 3000 ? 128 : 255);
            const size_t i = (size_t)y * w + x;
            const int r = a * x * 2 / w, g = a * y * 2 / h, b = a / 2;
            px565[i] = (WORD)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
            px32[i] = ((DWORD)a << 24) | ((DWORD)r << 16) | ((DWORD)g << 8) | (DWORD)b;
            plane[i] = (char)(a * 63 / 255);
        }
    }
    std::filesystem::create_directories(g_root + "/res/bitmap");
    Save565BmpFile(u"\\res\\bitmap\\icon16.bmp", px565.data(), w, h);
    Save32BmpFile(u"\\res\\bitmap\\icon32.bmp", px32.data(), w, h);
    WriteFile("res/bitmap/icon16.alpha", plane);
    WriteFile("res/bitmap/icon16.conf", Utf16(u"src=icon16.bmp\r\npa=true\r\n"));
    WriteFile("res/bitmap/icon32.conf", Utf16(u"src=icon32.bmp\r\npa=true\r\n"));
    for (int nBits : {16, 32}) {
        const std::u16string bits = 16 == nBits ? u"16" : u"32";
        std::u16string layers;
        std::u16string styles =
            u"<dlg><position rect=\"0,0,800,480\"/><background color=\"0x203040\"/></dlg>";
        for (int i = 0; i < 9; ++i) {
            const std::u16string n = std::u16string(1, (char16_t)(u'0' + i));
            const int x = 20 + (i % 3) * 260, y = 20 + (i / 3) * 150;
            layers += u"<l type=\"CWceUiLayer\" name=\"l" + n + u"\" style=\"s" + n + u"\"/>";
            auto num = [](int v) {
                std::u16string s;
                for (char c : std::to_string(v)) {
                    s.push_back((char16_t)c);
                }
                return s;
            };
            styles += u"<s" + n + u"><position rect=\"" + num(x) + u"," + num(y) +
                      u",240,130\"/><background color=\"transparent\"><i id=\"icon" + bits +
                      u".conf\" valign=\"top\"/></background><text color=\"0xFFFFFF\">"
                      u"<drawtext rect=\"0,95,240,30\"/></text></s" +
                      n + u">";
        }
        WriteFile("wnd/dlg" + std::string(16 == nBits ? "16" : "32") + "/CWceUiDlg.dlg.xml",
                  Utf16(u"<dlg><body name=\"d\" style=\"dlg\">" + layers + u"</body></dlg>"));
        WriteFile("wnd/dlg" + std::string(16 == nBits ? "16" : "32") + "/CWceUiDlg.style.xml",
                  Utf16(u"<dlg><style>" + styles + u"</style></dlg>"));
    }
    CFhGlobalData::Instance().SetResDir(u"\\res\\");
    CFhGlobalData::Instance().SetWndDir(u"\\wnd\\");
}

struct Scene {
    CWceUiWindowlessHost host;
    CWceUiLayerCtrl ctrl;
    std::unique_ptr<CWceUiGenericBitmap> wnd, copy;
    CWceUiDlg* pDlg = nullptr;
};

Scene& SceneOf(int nBits) {
    static std::map<int, std::unique_ptr<Scene>> scenes;
    auto& p = scenes[nBits];
    if (!p) {
        p = std::make_unique<Scene>();
        p->ctrl.SetWindow(&p->host);
        p->wnd.reset(WceUiCreateBitmapObject(nBits));
        p->copy.reset(WceUiCreateBitmapObject(nBits));
        p->wnd->CreateDIB(kW, kH);
        p->copy->CreateDIB(kW, kH);
        p->pDlg = p->ctrl.CreateDlg(16 == nBits ? u"dlg16\\CWceUiDlg" : u"dlg32\\CWceUiDlg");
        if (!p->pDlg || !p->pDlg->RunModeless()) {
            fprintf(stderr, "the dialog could not be made\n");
            abort();
        }
        for (CWceUiLayer* l = p->pDlg->GetFirstChild(); l; l = p->pDlg->NextChild(l)) {
            l->SetText(u"Layer text of a tile");
        }
    }
    return *p;
}

void BitBltWindow(benchmark::State& state, int nBits) {
    Scene& s = SceneOf(nBits);
    for (auto _ : state) {
        s.copy->BitBlt(0, 0, kW, kH, s.wnd.get(), 0, 0, SRCCOPY);
        benchmark::ClobberMemory();
    }
}

void FullRepaint(benchmark::State& state, int nBits) {
    Scene& s = SceneOf(nBits);
    const RECT rc = {0, 0, kW, kH};
    for (auto _ : state) {
        s.ctrl.Draw(s.wnd.get(), &rc);
        benchmark::ClobberMemory();
    }
}

void SmallRepaint(benchmark::State& state, int nBits) {
    Scene& s = SceneOf(nBits);
    // The text line of the middle tile, as a changed label invalidates it.
    RECT rc = {280, 265, 520, 295};
    for (auto _ : state) {
        s.ctrl.Draw(s.wnd.get(), &rc);
        benchmark::ClobberMemory();
    }
}

} // namespace

int main(int argc, char** argv) {
    WriteSkin();
    for (int nBits : {16, 32}) {
        const std::string d = std::to_string(nBits);
        benchmark::RegisterBenchmark(("BitBlt/" + d).c_str(), BitBltWindow, nBits);
        benchmark::RegisterBenchmark(("FullRepaint/" + d).c_str(), FullRepaint, nBits);
        benchmark::RegisterBenchmark(("SmallRepaint/" + d).c_str(), SmallRepaint, nBits);
    }
    benchmark::Initialize(&argc, argv);
    FastestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    int nMissed = 0;
    printf("\nRepaints of an 800 x 480 dialog of ten layers (processor time, fastest repetition)\n");
    printf("  %-6s %12s %12s %12s %10s %12s\n", "depth", "BitBlt us", "full us", "small us", "full/copy",
           "small/full");
    for (int nBits : {16, 32}) {
        const std::string d = std::to_string(nBits);
        // Microseconds per iteration.
        const double base = reporter.Seconds("BitBlt/" + d) * 1e6;
        const double full = reporter.Seconds("FullRepaint/" + d) * 1e6;
        const double small = reporter.Seconds("SmallRepaint/" + d) * 1e6;
        const double r1 = Ratio(full, base), r2 = Ratio(small, full);
        const bool ok1 = base > 0 && r1 <= 6.0, ok2 = full > 0 && r2 < 0.05;
        nMissed += !ok1 + !ok2;
        printf("  %-6s %12.1f %12.1f %12.1f %9.2f%s %11.4f%s\n", 16 == nBits ? "565" : "32-bit", base, full,
               small, r1, Mark(ok1), r2, Mark(ok2));
    }

    // An opaque full-window dialog over the one above: only it is drawn.
    Scene& s = SceneOf(16);
    CWceUiDlg* pTop = new CWceUiDlg;
    pTop->SetLayerCtrl(&s.ctrl);
    s.ctrl.InitLayerInfo(pTop, u"top");
    const RECT full = {0, 0, kW, kH};
    pTop->SetLayerPosition(&full, WCEUI_POS_WAY_WINDOW, FALSE);
    s.ctrl.RootLayer()->AppendChild(pTop);
    s.ctrl.BuildPaintList(&full);
    int nBeneath = 0;
    for (CWceUiLayer* p = s.ctrl.GetPaintHead(); p; p = s.ctrl.GetPaintNext(p)) {
        nBeneath += p != pTop;
    }
    printf("  layers drawn beneath an opaque full-window dialog: %d of %d\n", nBeneath,
           s.pDlg->GetChildCount() + 1);
    nMissed += nBeneath != 0;
    PrintVerdict(nMissed);
    s.ctrl.DeleteLayer(pTop);
    for (int nBits : {16, 32}) {
        Scene& sc = SceneOf(nBits);
        sc.pDlg->EndModeless();
        sc.ctrl.DeleteLayer(sc.pDlg);
    }
    std::filesystem::remove_all(g_root);
    return 0;
}
