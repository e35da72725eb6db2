// The decoders of package streams on the four kinds of sample content: zlib's uncompress, libdeflate
// alone, the walk that holds libdeflate to zlib's rules alone, and the two together (what the
// unpacker uses). Ratios against zlib are printed as counters.
#include "TreeData.h"
#include "bench/support/BenchReport.h"
#include "package/MskInflate.h"
#include "package/MskZlibCheck.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <libdeflate.h>
#include <vector>
#include <zlib.h>

namespace {

struct Corpus {
    std::vector<std::vector<BYTE>> streams;
    std::vector<size_t> sizes;
    size_t bytes = 0;
};

// About 8 MB of each kind in files of 4 to 256 KiB, compressed at level 9 as the writer does.
const Corpus& Sample(int kind) {
    static Corpus corpora[4];
    Corpus& c = corpora[kind];
    if (!c.streams.empty())
        return c;
    benchdata::Rng rng{0xC0FFEEu + static_cast<uint64_t>(kind)};
    std::string data;
    while (c.bytes < 8u << 20) {
        size_t size = 4096u << rng.Below(7);
        benchdata::Fill(rng, kind, data, size);
        uLongf n = compressBound(static_cast<uLong>(size));
        std::vector<BYTE> out(n);
        compress2(out.data(), &n, reinterpret_cast<const BYTE*>(data.data()), static_cast<uLong>(size), 9);
        out.resize(n);
        c.streams.push_back(std::move(out));
        c.sizes.push_back(size);
        c.bytes += size;
    }
    return c;
}

const char* const kKindNames[] = {"text", "code", "random", "semi"};

template <typename F> void Run(benchmark::State& state, F decode) {
    int kind = static_cast<int>(state.range(0));
    const Corpus& c = Sample(kind);
    std::vector<BYTE> out(256u << 10);
    for (auto _ : state) {
        for (size_t i = 0; i < c.streams.size(); ++i) {
            if (!decode(out.data(), c.sizes[i], c.streams[i].data(), c.streams[i].size()))
                state.SkipWithError("decode failed");
        }
    }
    state.SetLabel(kKindNames[kind]);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c.bytes));
}

void BM_Zlib(benchmark::State& state) {
    Run(state, [](BYTE* d, size_t dn, const BYTE* s, size_t sn) {
        return MskInflateWith(MSK_DECODER_ZLIB, d, dn, s, sn);
    });
}

void BM_LibdeflateAlone(benchmark::State& state) {
    libdeflate_decompressor* dec = libdeflate_alloc_decompressor();
    Run(state, [dec](BYTE* d, size_t dn, const BYTE* s, size_t sn) {
        size_t in = 0, out = 0;
        return libdeflate_zlib_decompress_ex(dec, s, sn, d, dn, &in, &out) == LIBDEFLATE_SUCCESS && out == dn;
    });
    libdeflate_free_decompressor(dec);
}

void BM_FormWalk(benchmark::State& state) {
    Run(state, [](BYTE*, size_t, const BYTE* s, size_t sn) { return MskZlibAcceptsDecodedStream(s, sn); });
}

void BM_Unpacker(benchmark::State& state) {
    Run(state, [](BYTE* d, size_t dn, const BYTE* s, size_t sn) {
        return MskInflateWith(MSK_DECODER_LIBDEFLATE, d, dn, s, sn);
    });
}

} // namespace

BENCHMARK(BM_Zlib)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibdeflateAlone)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormWalk)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Unpacker)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
namespace {

// Prints, after the usual table, each decoder's time as a ratio of zlib's on the same content.
void PrintRatios(const FastestReporter& r) {
    std::printf("\ndecoder time as a ratio of zlib's (CPU time):\n");
    for (int kind = 0; kind < 4; ++kind) {
        // Names are formatted, not concatenated: GCC 12 warns falsely about "literal" + string.
        auto cpu = [&](const char* name) {
            char full[64];
            std::snprintf(full, sizeof(full), "%s/%d", name, kind);
            return r.Seconds(full);
        };
        double zlib = cpu("BM_Zlib");
        if (zlib <= 0)
            continue;
        std::printf("  %-7s unpacker %.3f   libdeflate alone %.3f   zlib form walk %.3f\n", kKindNames[kind],
                    cpu("BM_Unpacker") / zlib, cpu("BM_LibdeflateAlone") / zlib, cpu("BM_FormWalk") / zlib);
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    FastestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    PrintRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
