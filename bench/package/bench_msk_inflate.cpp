// The decoders of package streams on five kinds of sample content, in memory: the unpacker's default
// (ISA-L block by block in pieces, each block header judged by zlib's rules), ISA-L's streaming
// inflate alone (what igzip runs: the limit), zlib's uncompress, libdeflate alone, libdeflate held to
// zlib's rules by the walk over the stream's form (msktool --decoder libdeflate, files up to 1 MB)
// and that walk alone. Ratios of processor time are printed after the table, with the verdict on the
// default decoder: within 1.15 x of ISA-L alone on every kind.
#include "TreeData.h"
#include "bench/support/BenchReport.h"
#include "package/MskInflate.h"
#include "package/MskZlibCheck.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

const int kKinds = 5;
const char* const kKindNames[kKinds] = {"text", "code", "random", "semi", "base64"};
const double kTarget = 1.15;

struct Corpus {
    std::vector<std::vector<BYTE>> streams;
    std::vector<size_t> sizes;
    size_t bytes = 0;
};

// About 8 MB of each kind in files of 4 KiB to 4 MiB, compressed at level 9 as the writer does.
const Corpus& Sample(int kind) {
    static Corpus corpora[kKinds];
    Corpus& c = corpora[kind];
    if (!c.streams.empty())
        return c;
    benchdata::Rng rng{0xC0FFEEu + static_cast<uint64_t>(kind)};
    std::string data;
    while (c.bytes < 8u << 20) {
        size_t size = 4096u << rng.Below(11);
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

template <typename F> void Run(benchmark::State& state, F decode) {
    int kind = static_cast<int>(state.range(0));
    const Corpus& c = Sample(kind);
    std::vector<BYTE> out(*std::max_element(c.sizes.begin(), c.sizes.end()));
    for (auto _ : state) {
        for (size_t i = 0; i < c.streams.size(); ++i) {
            if (!decode(out.data(), c.sizes[i], c.streams[i].data(), c.streams[i].size()))
                state.SkipWithError("decode failed");
        }
    }
    state.SetLabel(kKindNames[kind]);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(c.bytes));
}

// The stream read from memory in pieces as the unpacker reads a package; the output is dropped, as
// ISA-L alone below drops it.
class CMemoryIo : public IMskStreamIo {
public:
    CMemoryIo(const BYTE* stream, size_t length) : m_next(stream), m_end(stream + length) {}
    bool Read(BYTE* buffer, size_t length) override {
        if (length > static_cast<size_t>(m_end - m_next))
            return false;
        memcpy(buffer, m_next, length);
        m_next += length;
        return true;
    }
    bool Write(const BYTE*, size_t) override { return true; }

private:
    const BYTE* m_next;
    const BYTE* m_end;
};

void BM_Unpacker(benchmark::State& state) {
    CMskStreamInflater inflater;
    Run(state, [&](BYTE*, size_t dn, const BYTE* s, size_t sn) {
        CMemoryIo io(s, sn);
        return inflater.Inflate(sn, dn, io) == MSK_STREAM_OK;
    });
}

// ISA-L's streaming inflate with the zlib wrapper, in the unpacker's pieces, without zlib's rules.
void BM_IsalAlone(benchmark::State& state) {
    const size_t piece = MskDecodeOptions().pieceSize;
    std::vector<BYTE> in(piece), out(piece);
    inflate_state is;
    Run(state, [&](BYTE*, size_t dn, const BYTE* s, size_t sn) {
        isal_inflate_init(&is);
        is.crc_flag = ISAL_ZLIB;
        size_t unread = sn, produced = 0;
        while (ISAL_BLOCK_FINISH != is.block_state) {
            if (0 == is.avail_in) {
                if (0 == unread)
                    return false;
                size_t n = std::min(unread, piece);
                memcpy(in.data(), s + (sn - unread), n);
                unread -= n;
                is.next_in = in.data();
                is.avail_in = static_cast<uint32_t>(n);
            }
            is.next_out = out.data();
            is.avail_out = static_cast<uint32_t>(piece);
            if (isal_inflate(&is) < 0)
                return false;
            produced += piece - is.avail_out;
        }
        return produced == dn;
    });
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

void BM_LibdeflateAndWalk(benchmark::State& state) {
    Run(state, [](BYTE* d, size_t dn, const BYTE* s, size_t sn) {
        return MskInflateWith(MSK_DECODER_LIBDEFLATE, d, dn, s, sn);
    });
}

void BM_FormWalk(benchmark::State& state) {
    Run(state, [](BYTE*, size_t, const BYTE* s, size_t sn) { return MskZlibAcceptsDecodedStream(s, sn); });
}

} // namespace

BENCHMARK(BM_Unpacker)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsalAlone)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Zlib)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibdeflateAlone)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibdeflateAndWalk)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FormWalk)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMillisecond);

namespace {

// Prints, after the usual table, each decoder's time as a ratio of ISA-L alone on the same content,
// and the verdict on the default decoder.
int PrintRatios(const FastestReporter& r) {
    std::printf(
        "\nprocessor time as a ratio of ISA-L alone (the fastest run of each); target: the unpacker's\n"
        "default decoder within %.2f x on every kind\n\n",
        kTarget);
    std::printf("  %-7s %9s %7s %11s %12s %6s\n", "", "unpacker", "zlib", "libdeflate", "+form walk", "walk");
    int nMissed = 0;
    for (int kind = 0; kind < kKinds; ++kind) {
        // Names are formatted, not concatenated: GCC 12 warns falsely about "literal" + string.
        auto cpu = [&](const char* name) {
            char full[64];
            std::snprintf(full, sizeof(full), "%s/%d", name, kind);
            return r.Seconds(full);
        };
        const double isal = cpu("BM_IsalAlone");
        const double unpacker = Ratio(cpu("BM_Unpacker"), isal);
        const bool met = unpacker > 0 && unpacker <= kTarget;
        nMissed += met ? 0 : 1;
        std::printf("  %-7s %8.3f%s %7.3f %11.3f %12.3f %6.3f\n", kKindNames[kind], unpacker, Mark(met),
                    Ratio(cpu("BM_Zlib"), isal), Ratio(cpu("BM_LibdeflateAlone"), isal),
                    Ratio(cpu("BM_LibdeflateAndWalk"), isal), Ratio(cpu("BM_FormWalk"), isal));
    }
    PrintVerdict(nMissed);
    return nMissed;
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
