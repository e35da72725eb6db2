// Speed of the framework's pixel operations on a whole 800 x 480 bitmap, next to memcpy of the same
// bytes and pixman's OVER compositing, all measured in one run and printed as Mpixel/s with ratios.
//
// The framework's operations run through the bitmap objects (CWceUi565Bitmap, CWceUi32Bitmap), as the
// window drawing and the transitions call them; the loops they pick are named in the report ("avx2"
// on a processor that has it, else "generic"), and the portable loops are measured as well.
#include "wceui/bitmap/WceUi32Bitmap.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/bitmap/WceUiPixelLoopSet.h"
#include "wceui/bitmap/WceUiPixelOps.h"

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kW = 800;
constexpr int kH = 480;
constexpr int64_t kPixels = (int64_t)kW * kH;

// Random premultiplied images: every alpha value occurs, colours never exceed their alpha.
struct Images {
    CWceUi565Bitmap dst565, src565;
    CWceUi32Bitmap dst32, src32;
    std::vector<uint32_t> argb;  // pixman's premultiplied a8r8g8b8 source (top-down)
    std::vector<uint16_t> rgb16; // pixman's r5g6b5 destination
    std::vector<uint32_t> argbDst;

    Images() {
        std::mt19937 rng(800480);
        std::vector<WORD> p565((size_t)kPixels), s565((size_t)kPixels);
        std::vector<BYTE> plane((size_t)kPixels);
        std::vector<DWORD> p32((size_t)kPixels), s32((size_t)kPixels);
        argb.resize((size_t)kPixels);
        for (size_t i = 0; i < (size_t)kPixels; ++i) {
            p565[i] = (WORD)rng();
            const int a6 = (int)(rng() % 64);
            plane[i] = (BYTE)a6;
            s565[i] = (WORD)(((rng() % 32) * a6 / 63) << 11 | ((rng() % 64) * a6 / 63) << 5 |
                             (rng() % 32) * a6 / 63);
            const DWORD a8 = rng() % 256;
            s32[i] = a8 << 24 | ((rng() % 256) * a8 / 255) << 16 | ((rng() % 256) * a8 / 255) << 8 |
                     (rng() % 256) * a8 / 255;
            p32[i] = (DWORD)rng() | 0xFF000000u;
            argb[i] = s32[i];
        }
        dst565.CreateDIB565(kW, kH, p565.data());
        src565.CreateDIB565(kW, kH, s565.data(), plane.data());
        dst32.CreateDIB32(kW, kH, p32.data(), FALSE);
        src32.CreateDIB32(kW, kH, s32.data(), TRUE);
        rgb16.assign(p565.begin(), p565.end());
        argbDst.assign(p32.begin(), p32.end());
    }
};

Images& Data() {
    static Images images;
    return images;
}

void SetRate(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * kPixels);
}

void BM_Memcpy565(benchmark::State& state) {
    std::vector<uint16_t> a((size_t)kPixels, 1), b((size_t)kPixels, 2);
    for (auto _ : state) {
        memcpy(b.data(), a.data(), (size_t)kPixels * 2);
        benchmark::ClobberMemory();
    }
    SetRate(state);
}

void BM_Memcpy32(benchmark::State& state) {
    std::vector<uint32_t> a((size_t)kPixels, 1), b((size_t)kPixels, 2);
    for (auto _ : state) {
        memcpy(b.data(), a.data(), (size_t)kPixels * 4);
        benchmark::ClobberMemory();
    }
    SetRate(state);
}

void BM_PixmanOver565(benchmark::State& state) {
    Images& d = Data();
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, d.argb.data(), kW * 4);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_r5g6b5, kW, kH, (uint32_t*)d.rgb16.data(), kW * 2);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, NULL, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
    SetRate(state);
}

void BM_PixmanOver8888(benchmark::State& state) {
    Images& d = Data();
    pixman_image_t* src = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, d.argb.data(), kW * 4);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, d.argbDst.data(), kW * 4);
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, NULL, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    pixman_image_unref(dst);
    SetRate(state);
}

// range(0): constant alpha, or -1 for the source's own alpha; range(1): 1 forces the portable loops.
void BM_Blend565(benchmark::State& state) {
    Images& d = Data();
    FhPixUseWideVectors(state.range(1) == 0);
    const bool bPerPixel = state.range(0) < 0;
    const BLENDFUNCTION bf = {AC_SRC_OVER, 0, (BYTE)(bPerPixel ? 255 : state.range(0)),
                              (BYTE)(bPerPixel ? AC_SRC_ALPHA : 0)};
    for (auto _ : state) {
        d.dst565.AlphaBlend(0, 0, kW, kH, &d.src565, 0, 0, bf);
        benchmark::ClobberMemory();
    }
    FhPixUseWideVectors(TRUE);
    SetRate(state);
}

void BM_Blend32(benchmark::State& state) {
    Images& d = Data();
    FhPixUseWideVectors(state.range(1) == 0);
    const bool bPerPixel = state.range(0) < 0;
    const BLENDFUNCTION bf = {AC_SRC_OVER, 0, (BYTE)(bPerPixel ? 255 : state.range(0)),
                              (BYTE)(bPerPixel ? AC_SRC_ALPHA : 0)};
    for (auto _ : state) {
        d.dst32.AlphaBlend(0, 0, kW, kH, &d.src32, 0, 0, bf);
        benchmark::ClobberMemory();
    }
    FhPixUseWideVectors(TRUE);
    SetRate(state);
}

// range(0): alpha; range(1): 1 for a rectangle one pixel inside the edges (the row-by-row loop).
void BM_Mix565(benchmark::State& state) {
    Images& d = Data();
    const int nInset = (int)state.range(1);
    for (auto _ : state) {
        d.dst565.MixColor(nInset, nInset, kW - 2 * nInset, kH - 2 * nInset, 0x00336699, (int)state.range(0));
        benchmark::ClobberMemory();
    }
    SetRate(state);
}

void BM_Mix32(benchmark::State& state) {
    Images& d = Data();
    for (auto _ : state) {
        d.dst32.MixColor(0, 0, kW, kH, 0x00336699, (int)state.range(0));
        benchmark::ClobberMemory();
    }
    SetRate(state);
}

// Hue shifts on random pixels (the worst case: no two neighbours alike) and on a photo-like gradient.
void BM_Hue565(benchmark::State& state) {
    std::mt19937 rng(1);
    std::vector<WORD> pixels((size_t)kPixels);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const int x = (int)(i % kW), y = (int)(i / kW);
        pixels[i] = state.range(0) ? (WORD)rng() : (WORD)(((x * 31 / kW) << 11) | ((y * 63 / kH) << 5) | 12);
    }
    CWceUi565Bitmap bmp;
    bmp.CreateDIB565(kW, kH, pixels.data());
    int nOffset = 30;
    for (auto _ : state) {
        bmp.SetHSLOffsetHue(nOffset);
        nOffset = -nOffset;
        benchmark::ClobberMemory();
    }
    SetRate(state);
}

BENCHMARK(BM_Memcpy565);
BENCHMARK(BM_Memcpy32);
BENCHMARK(BM_PixmanOver565);
BENCHMARK(BM_PixmanOver8888);
BENCHMARK(BM_Blend565)
    ->Args({-1, 0})
    ->Args({64, 0})
    ->Args({128, 0})
    ->Args({192, 0})
    ->Args({250, 0})
    ->Args({100, 0});
BENCHMARK(BM_Blend565)->Args({-1, 1})->Args({100, 1})->Args({128, 1});
BENCHMARK(BM_Blend32)->Args({-1, 0})->Args({100, 0})->Args({250, 0})->Args({-1, 1});
BENCHMARK(BM_Mix565)->Args({100, 0})->Args({64, 0})->Args({128, 0})->Args({100, 1})->Args({128, 1});
BENCHMARK(BM_Mix32)->Arg(100);
BENCHMARK(BM_Hue565)->Arg(1)->Arg(0);

// Keeps every run's pixel rate for the comparison printed after the runs.
class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.iterations > 0 && run.real_accumulated_time > 0) {
                m_rates[run.benchmark_name()] =
                    (double)kPixels * (double)run.iterations / run.real_accumulated_time / 1e6;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double Rate(const std::string& name) const {
        auto it = m_rates.find(name);
        return it == m_rates.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> m_rates;
};

void PrintComparison(const RateReporter& r) {
    const double memcpy565 = r.Rate("BM_Memcpy565"), memcpy32 = r.Rate("BM_Memcpy32");
    const double pix565 = r.Rate("BM_PixmanOver565"), pix8888 = r.Rate("BM_PixmanOver8888");
    printf("\nPixel operations on 800 x 480 (Mpixel/s; loops: %s)\n", FhPixVectorName());
    printf("  baselines: memcpy 565 %.0f, memcpy 32-bit %.0f, pixman OVER 8888->565 %.0f, 8888->8888 %.0f\n",
           memcpy565, memcpy32, pix565, pix8888);
    printf("  %-38s %9s %12s %12s  %s\n", "operation", "Mpixel/s", "x pixman", "memcpy/op", "target");
    struct Row {
        const char* label;
        const char* name;
        double pixman;
        double memcpy;
        double target; // minimum pixman ratio, 0 for none
        double maxMemcpyRatio;
    };
    const Row rows[] = {
        {"565 per-pixel blend", "BM_Blend565/-1/0", pix565, memcpy565, 3, 0},
        {"565 constant blend, band 1 (64)", "BM_Blend565/64/0", pix565, memcpy565, 3, 0},
        {"565 constant blend, band 2 (128)", "BM_Blend565/128/0", pix565, memcpy565, 3, 0},
        {"565 constant blend, band 3 (192)", "BM_Blend565/192/0", pix565, memcpy565, 3, 0},
        {"565 constant blend, band 4 (250)", "BM_Blend565/250/0", pix565, memcpy565, 3, 2},
        {"565 constant blend, band 5 (100)", "BM_Blend565/100/0", pix565, memcpy565, 3, 0},
        {"565 MixColor band 5, whole", "BM_Mix565/100/0", pix565, memcpy565, 3, 0},
        {"565 MixColor band 1, whole", "BM_Mix565/64/0", pix565, memcpy565, 3, 0},
        {"565 MixColor band 2, whole", "BM_Mix565/128/0", pix565, memcpy565, 3, 0},
        {"565 MixColor band 5, rectangle", "BM_Mix565/100/1", pix565, memcpy565, 3, 0},
        {"565 MixColor band 2, rectangle", "BM_Mix565/128/1", pix565, memcpy565, 3, 0},
        {"565 hue shift, random pixels", "BM_Hue565/1", pix565, memcpy565, 0, 0},
        {"565 hue shift, gradient", "BM_Hue565/0", pix565, memcpy565, 0, 0},
        {"32-bit per-pixel blend (vs 8888 OVER)", "BM_Blend32/-1/0", pix8888, memcpy32, 2, 0},
        {"32-bit constant blend, band 5 (100)", "BM_Blend32/100/0", pix8888, memcpy32, 0, 0},
        {"32-bit constant blend, band 4 (250)", "BM_Blend32/250/0", pix8888, memcpy32, 0, 0},
        {"32-bit MixColor band 5", "BM_Mix32/100", pix8888, memcpy32, 0, 0},
        {"portable loops: 565 per-pixel blend", "BM_Blend565/-1/1", pix565, memcpy565, 0, 0},
        {"portable loops: 565 band 5", "BM_Blend565/100/1", pix565, memcpy565, 0, 0},
        {"portable loops: 565 band 2", "BM_Blend565/128/1", pix565, memcpy565, 0, 0},
        {"portable loops: 32-bit per-pixel blend", "BM_Blend32/-1/1", pix8888, memcpy32, 0, 0},
    };
    for (const Row& row : rows) {
        const double rate = r.Rate(row.name);
        if (rate <= 0) {
            continue;
        }
        const double xPixman = row.pixman > 0 ? rate / row.pixman : 0;
        const double memcpyRatio = rate > 0 ? row.memcpy / rate : 0;
        std::string target;
        if (row.target > 0) {
            target += std::string(xPixman >= row.target ? "met" : "MISSED") +
                      " (>= " + std::to_string((int)row.target) + "x pixman)";
        }
        if (row.maxMemcpyRatio > 0) {
            target += std::string(memcpyRatio <= row.maxMemcpyRatio ? "; met" : "; MISSED") + " (within " +
                      std::to_string((int)row.maxMemcpyRatio) + "x memcpy)";
        }
        printf("  %-38s %9.0f %11.2fx %11.2fx  %s\n", row.label, rate, xPixman, memcpyRatio, target.c_str());
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    Data();
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintComparison(reporter);
    benchmark::Shutdown();
    return 0;
}
