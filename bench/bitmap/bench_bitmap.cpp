// Speed of the framework's pixel operations on a whole 800 x 480 bitmap, next to memcpy of the same
// bytes and pixman doing the same operation on the same pixel formats, all measured in one run and
// printed as Mpixel/s with ratios. Every figure is the processor time of the fastest repetition
// (run.sh asks for several, interleaved), the median beside it.
//
// pixman's counterparts: the 32-bit per-pixel blend is premultiplied a8r8g8b8 OVER a8r8g8b8; a
// constant blend is the source without its alpha (r5g6b5, x8r8g8b8) OVER the destination through a
// solid mask of that alpha; MixColor is a solid premultiplied colour OVER the destination; the 565
// per-pixel blend is the r5g6b5 source through an a8 mask (its alpha plane scaled to 8 bits) OVER
// r5g6b5, pixman's nearest form of a 565 picture with its own alpha. The hue shift has no counterpart.
//
// The framework's operations run through the bitmap objects (CWceUi565Bitmap, CWceUi32Bitmap), as the
// window drawing and the transitions call them; the loops they pick are named in the report ("avx2"
// on a processor that has it, else "generic"), and the portable loops are measured as well.
#include "wceui/bitmap/WceUi32Bitmap.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/bitmap/WceUiPixelLoopSet.h"
#include "wceui/bitmap/WceUiPixelOps.h"

#include "bench/support/BenchReport.h"

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
    std::vector<uint16_t> src16; // the 565 source's colours and its alpha plane for pixman
    std::vector<uint8_t> mask8;

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
        src16.assign(s565.begin(), s565.end());
        mask8.resize((size_t)kPixels);
        for (size_t i = 0; i < mask8.size(); ++i) {
            mask8[i] = (uint8_t)(plane[i] * 255 / 63);
        }
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

// One pixman composite: source (with its format), optional mask, destination (with its format).
void PixmanComposite(benchmark::State& state, pixman_image_t* src, pixman_image_t* mask,
                     pixman_image_t* dst) {
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, src, mask, dst, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(src);
    if (mask) {
        pixman_image_unref(mask);
    }
    pixman_image_unref(dst);
    SetRate(state);
}

pixman_image_t* Dst565() {
    return pixman_image_create_bits(PIXMAN_r5g6b5, kW, kH, (uint32_t*)Data().rgb16.data(), kW * 2);
}

pixman_image_t* Dst8888() {
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, Data().argbDst.data(), kW * 4);
}

pixman_image_t* SolidAlpha(int nAlpha) {
    const pixman_color_t c = {0, 0, 0, (uint16_t)(nAlpha * 257)};
    return pixman_image_create_solid_fill(&c);
}

// MixColor's colour 0x00336699 (platform order: blue 0x33, green 0x66, red 0x99) at an alpha,
// premultiplied as pixman takes it.
pixman_image_t* SolidColor(int nAlpha) {
    auto channel = [nAlpha](int v) { return (uint16_t)(v * 257 * nAlpha / 255); };
    const pixman_color_t c = {channel(0x99), channel(0x66), channel(0x33), (uint16_t)(nAlpha * 257)};
    return pixman_image_create_solid_fill(&c);
}

void BM_PixmanPerPixel565(benchmark::State& state) {
    Images& d = Data();
    PixmanComposite(state, pixman_image_create_bits(PIXMAN_r5g6b5, kW, kH, (uint32_t*)d.src16.data(), kW * 2),
                    pixman_image_create_bits(PIXMAN_a8, kW, kH, (uint32_t*)d.mask8.data(), kW), Dst565());
}

void BM_PixmanPerPixel8888(benchmark::State& state) {
    PixmanComposite(state, pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH, Data().argb.data(), kW * 4),
                    NULL, Dst8888());
}

// range(0): the constant alpha.
void BM_PixmanConstant565(benchmark::State& state) {
    PixmanComposite(state,
                    pixman_image_create_bits(PIXMAN_r5g6b5, kW, kH, (uint32_t*)Data().src16.data(), kW * 2),
                    SolidAlpha((int)state.range(0)), Dst565());
}

void BM_PixmanConstant8888(benchmark::State& state) {
    PixmanComposite(state, pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, Data().argb.data(), kW * 4),
                    SolidAlpha((int)state.range(0)), Dst8888());
}

void BM_PixmanMix565(benchmark::State& state) {
    PixmanComposite(state, SolidColor((int)state.range(0)), NULL, Dst565());
}

void BM_PixmanMix8888(benchmark::State& state) {
    PixmanComposite(state, SolidColor((int)state.range(0)), NULL, Dst8888());
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
BENCHMARK(BM_PixmanPerPixel565);
BENCHMARK(BM_PixmanPerPixel8888);
BENCHMARK(BM_PixmanConstant565)->Arg(64)->Arg(128)->Arg(192)->Arg(250)->Arg(100);
BENCHMARK(BM_PixmanConstant8888)->Arg(100)->Arg(250);
BENCHMARK(BM_PixmanMix565)->Arg(100)->Arg(64)->Arg(128);
BENCHMARK(BM_PixmanMix8888)->Arg(100);
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

// Mpixel/s of the fastest and of the median repetition.
struct Rate {
    double best = 0;
    double median = 0;
};

Rate RateOf(const FastestReporter& r, const std::string& name) {
    Rate rate;
    rate.best = Ratio((double)kPixels / 1e6, r.Seconds(name));
    rate.median = Ratio((double)kPixels / 1e6, r.MedianSeconds(name));
    return rate;
}

void PrintComparison(const FastestReporter& r) {
    const Rate memcpy565 = RateOf(r, "BM_Memcpy565"), memcpy32 = RateOf(r, "BM_Memcpy32");
    printf("\nPixel operations on 800 x 480 (Mpixel/s of processor time, fastest / median repetition; "
           "loops: %s)\n",
           FhPixVectorName());
    printf("  baselines: memcpy 565 %.0f / %.0f, memcpy 32-bit %.0f / %.0f; pixman: the same operation and "
           "formats\n",
           memcpy565.best, memcpy565.median, memcpy32.best, memcpy32.median);
    printf("  %-38s %13s %13s %13s %13s  %s\n", "operation", "Mpixel/s", "pixman", "x pixman", "memcpy/op",
           "target");
    struct Row {
        const char* label;
        const char* name;
        const char* pixman; // the counterpart, or null when pixman has none
        bool b565;
        double target; // minimum pixman ratio, 0 for none
        double maxMemcpyRatio;
    };
    const Row rows[] = {
        {"565 per-pixel blend", "BM_Blend565/-1/0", "BM_PixmanPerPixel565", true, 3, 0},
        {"565 constant blend, band 1 (64)", "BM_Blend565/64/0", "BM_PixmanConstant565/64", true, 3, 0},
        {"565 constant blend, band 2 (128)", "BM_Blend565/128/0", "BM_PixmanConstant565/128", true, 3, 0},
        {"565 constant blend, band 3 (192)", "BM_Blend565/192/0", "BM_PixmanConstant565/192", true, 3, 0},
        {"565 constant blend, band 4 (250)", "BM_Blend565/250/0", "BM_PixmanConstant565/250", true, 3, 2},
        {"565 constant blend, band 5 (100)", "BM_Blend565/100/0", "BM_PixmanConstant565/100", true, 3, 0},
        {"565 MixColor band 5, whole", "BM_Mix565/100/0", "BM_PixmanMix565/100", true, 3, 0},
        {"565 MixColor band 1, whole", "BM_Mix565/64/0", "BM_PixmanMix565/64", true, 3, 0},
        {"565 MixColor band 2, whole", "BM_Mix565/128/0", "BM_PixmanMix565/128", true, 3, 0},
        {"565 MixColor band 5, rectangle", "BM_Mix565/100/1", "BM_PixmanMix565/100", true, 3, 0},
        {"565 MixColor band 2, rectangle", "BM_Mix565/128/1", "BM_PixmanMix565/128", true, 3, 0},
        {"565 hue shift, random pixels", "BM_Hue565/1", NULL, true, 0, 0},
        {"565 hue shift, gradient", "BM_Hue565/0", NULL, true, 0, 0},
        {"32-bit per-pixel blend", "BM_Blend32/-1/0", "BM_PixmanPerPixel8888", false, 2, 0},
        {"32-bit constant blend, band 5 (100)", "BM_Blend32/100/0", "BM_PixmanConstant8888/100", false, 0, 0},
        {"32-bit constant blend, band 4 (250)", "BM_Blend32/250/0", "BM_PixmanConstant8888/250", false, 0, 0},
        {"32-bit MixColor band 5", "BM_Mix32/100", "BM_PixmanMix8888/100", false, 0, 0},
        {"portable loops: 565 per-pixel blend", "BM_Blend565/-1/1", "BM_PixmanPerPixel565", true, 0, 0},
        {"portable loops: 565 band 5", "BM_Blend565/100/1", "BM_PixmanConstant565/100", true, 0, 0},
        {"portable loops: 565 band 2", "BM_Blend565/128/1", "BM_PixmanConstant565/128", true, 0, 0},
        {"portable loops: 32-bit per-pixel blend", "BM_Blend32/-1/1", "BM_PixmanPerPixel8888", false, 0, 0},
    };
    int nMissed = 0;
    for (const Row& row : rows) {
        const Rate rate = RateOf(r, row.name);
        if (rate.best <= 0) {
            continue;
        }
        const Rate pixman = row.pixman ? RateOf(r, row.pixman) : Rate();
        const Rate copy = row.b565 ? memcpy565 : memcpy32;
        const Rate xPixman = {Ratio(rate.best, pixman.best), Ratio(rate.median, pixman.median)};
        const Rate memcpyRatio = {Ratio(copy.best, rate.best), Ratio(copy.median, rate.median)};
        // Judged on the fastest repetitions: the work is fixed, other load only adds to it.
        std::string target;
        if (row.target > 0) {
            const bool bMet = xPixman.best >= row.target;
            nMissed += bMet ? 0 : 1;
            target += std::string(bMet ? "met" : "MISSED") + " (>= " + std::to_string((int)row.target) +
                      "x pixman)";
        }
        if (row.maxMemcpyRatio > 0) {
            const bool bMet = memcpyRatio.best <= row.maxMemcpyRatio;
            nMissed += bMet ? 0 : 1;
            target += std::string(bMet ? "; met" : "; MISSED") + " (within " +
                      std::to_string((int)row.maxMemcpyRatio) + "x memcpy)";
        }
        char pixmanText[32] = "-", xText[32] = "-";
        if (pixman.best > 0) {
            snprintf(pixmanText, sizeof(pixmanText), "%.0f / %.0f", pixman.best, pixman.median);
            snprintf(xText, sizeof(xText), "%.2f / %.2f", xPixman.best, xPixman.median);
        }
        printf("  %-38s %6.0f / %4.0f %13s %13s %6.2f / %4.2f  %s\n", row.label, rate.best, rate.median,
               pixmanText, xText, memcpyRatio.best, memcpyRatio.median, target.c_str());
    }
    printf("\n  %s\n",
           0 == nMissed ? "every target met" : (std::to_string(nMissed) + " target(s) missed").c_str());
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    Data();
    FastestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintComparison(reporter);
    benchmark::Shutdown();
    return 0;
}
