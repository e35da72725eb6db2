// DrawTextW of one 40-character line at 22 pixels (character height) into an 800 x 480 section:
// the first draw, with the glyph cache emptied before every call so that each glyph is rasterised,
// against the repeated draw of the same line from the cache. Rates are glyphs per second; the
// comparison after the runs prints repeated / first and the targets. Rates come from CPU time, which
// a machine shared with other work disturbs far less than wall time.
#include "bench/support/BenchReport.h"
#include "platform/WinCe.h"
#include "platform/text/TextHost.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

const char16_t kLine[] = u"Update application OK, remove the SD card"; // 41 units: 40 drawn below
constexpr int kGlyphs = 40;

struct Target {
    HBITMAP bmp = nullptr;
    HDC dc = nullptr;
    HFONT font = nullptr;
};

Target Make(int bpp) {
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = 800;
    info.h.biHeight = 480;
    info.h.biPlanes = 1;
    info.h.biBitCount = static_cast<WORD>(bpp);
    info.h.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    Target t;
    void* bits = nullptr;
    t.bmp =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    t.dc = CreateCompatibleDC(nullptr);
    SelectObject(t.dc, t.bmp);
    LOGFONTW lf{};
    lf.lfHeight = -22;
    lf.lfWeight = FW_NORMAL;
    WStrCpyN(lf.lfFaceName, LF_FACESIZE, u"DejaVu Sans");
    t.font = CreateFontIndirectW(&lf);
    SelectObject(t.dc, t.font);
    SetTextColor(t.dc, RGB(255, 255, 255));
    SetBkMode(t.dc, TRANSPARENT);
    return t;
}

void Free(Target& t) {
    SelectObject(t.dc, GetStockObject(SYSTEM_FONT));
    DeleteDC(t.dc);
    DeleteObject(t.bmp);
    DeleteObject(t.font);
}

void Draw(const Target& t) {
    RECT r{10, 200, 790, 240};
    benchmark::DoNotOptimize(DrawTextW(t.dc, kLine, kGlyphs, &r, DT_SINGLELINE | DT_VCENTER | DT_LEFT));
}

// state.range(0): bits per pixel.
void BM_DrawTextFirst(benchmark::State& state) {
    Target t = Make(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        PlatformTextDropGlyphCache();
        Draw(t);
    }
    state.SetItemsProcessed(state.iterations() * kGlyphs);
    Free(t);
}

void BM_DrawTextRepeated(benchmark::State& state) {
    Target t = Make(static_cast<int>(state.range(0)));
    Draw(t);
    for (auto _ : state)
        Draw(t);
    state.SetItemsProcessed(state.iterations() * kGlyphs);
    Free(t);
}

BENCHMARK(BM_DrawTextFirst)->Arg(16)->Arg(32);
BENCHMARK(BM_DrawTextRepeated)->Arg(16)->Arg(32);

// Glyphs per second of the fastest repetition: the one the rest of the machine disturbed least.
double GlyphRate(const FastestReporter& r, const std::string& name) {
    return Ratio(kGlyphs, r.Seconds(name));
}

void PrintComparison(const FastestReporter& r) {
    std::printf(
        "\nDrawTextW, 40 characters at 22 pixels (glyphs/s of the fastest repetition; the ratio of the\n"
        "medians after the slash)\n");
    std::printf("  %-6s %14s %14s %14s  %s\n", "format", "first draw", "repeated", "ratio", "targets");
    for (int bpp : {16, 32}) {
        const std::string first = "BM_DrawTextFirst/" + std::to_string(bpp);
        const std::string again = "BM_DrawTextRepeated/" + std::to_string(bpp);
        const double ratio = Ratio(GlyphRate(r, again), GlyphRate(r, first));
        const double medianRatio = Ratio(r.MedianSeconds(first), r.MedianSeconds(again));
        std::string verdict = ratio >= 20 ? "ratio met" : "ratio MISSED (20)";
        if (bpp == 16)
            verdict += GlyphRate(r, again) >= 5e6 ? ", rate met" : ", rate MISSED (5M)";
        std::printf("  %-6s %14.0f %14.0f %6.1f / %4.1fx  %s\n", bpp == 16 ? "565" : "32-bit",
                    GlyphRate(r, first), GlyphRate(r, again), ratio, medianRatio, verdict.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    FastestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintComparison(reporter);
    benchmark::Shutdown();
    return 0;
}
