// Parse speed of CWceUiXmlDoc against pugixml on the same UTF-16LE document bytes (a 20 KB and a
// 1 MB skin-like dialog), measured in one run (interleaved repetitions) and printed as MB/s with
// ratios and the verdict on the target.
//
// Both sides start from the file's bytes in memory and pay for one copy: our document copies the
// text into its own buffer and parses it in place; pugixml parses a fresh copy "in place" too, which
// for UTF-16 input in its (default) UTF-8 build also means converting the text first. pugixml is
// measured with parse_default and with parse_minimal (no escapes, no end-of-line normalisation: the
// closest to ours, which has neither), and with load_buffer (its own copy, no memcpy on our side).
#include "bench/support/BenchReport.h"
#include "wceui/res/WceUiXmlDoc.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// A dialog of nested layers and buttons with the attributes a skin uses, until it has `bytes` bytes.
std::vector<BYTE> MakeDocument(size_t bytes) {
    std::u16string text =
        u"\xFEFF<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<!-- generated dialog -->\r\n"
        u"<CTravlekDlg name=\"main\" rect=\"0,0,800,480\" style=\"dlg_main\" ani=\"come\">\r\n";
    const std::u16string close = u"</CTravlekDlg>\r\n";
    for (int panel = 0;; ++panel) {
        std::u16string block = u"  <CWceUiLayer name=\"panel" + std::u16string(1, u'a' + panel % 26) +
                               u"\" rect=\"10,20,300,200\" style='panel' visible=\"true\">\r\n";
        for (int i = 0; i < 6; ++i) {
            const std::u16string n(1, u'0' + i);
            block += u"    <!-- button " + n + u" -->\r\n";
            block += u"    <CWceUiButton name=\"btn_" + n +
                     u"\" rect=\"12,40,120,36\" style=\"btn_normal\" "
                     u"text=\"IDS_UPDATE_" +
                     n + u"\" bitmap=\"btn/normal.bmp\" down=\"btn/down.bmp\"/>\r\n";
        }
        block += u"    <CWceUiListBox name=\"files\" rect=\"0,0,400,300\" item_height=\"40\">\r\n"
                 u"      <item text=\"SDMMC\" icon=\"icon/folder.bmp\"/>\r\n"
                 u"    </CWceUiListBox>\r\n  </CWceUiLayer>\r\n";
        if ((text.size() + block.size() + close.size()) * 2 > bytes) {
            break;
        }
        text += block;
    }
    text += close;
    std::vector<BYTE> out(text.size() * 2);
    for (size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = static_cast<BYTE>(text[i]);
        out[2 * i + 1] = static_cast<BYTE>(text[i] >> 8);
    }
    return out;
}

const std::vector<BYTE>& Document(int64_t kb) {
    static std::map<int64_t, std::vector<BYTE>> docs;
    auto it = docs.find(kb);
    if (it == docs.end()) {
        it = docs.emplace(kb, MakeDocument(static_cast<size_t>(kb) * 1024)).first;
    }
    return it->second;
}

void BM_WceUiXmlDoc(benchmark::State& state) {
    const std::vector<BYTE>& bytes = Document(state.range(0));
    CWceUiXmlDoc doc;
    for (auto _ : state) {
        if (!doc.LoadXmlBuffer(u"\\bench.xml", bytes.data(), static_cast<DWORD>(bytes.size()))) {
            state.SkipWithError("CWceUiXmlDoc failed");
            break;
        }
        benchmark::DoNotOptimize(doc.GetRootElem());
        doc.Clean();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void PugiInPlace(benchmark::State& state, unsigned int options) {
    const std::vector<BYTE>& bytes = Document(state.range(0));
    std::vector<BYTE> scratch(bytes.size());
    pugi::xml_document doc;
    for (auto _ : state) {
        std::memcpy(scratch.data(), bytes.data(), bytes.size());
        pugi::xml_parse_result result =
            doc.load_buffer_inplace(scratch.data(), scratch.size(), options, pugi::encoding_utf16_le);
        if (!result) {
            state.SkipWithError("pugixml failed");
            break;
        }
        benchmark::DoNotOptimize(doc.first_child());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void BM_PugiDefault(benchmark::State& state) {
    PugiInPlace(state, pugi::parse_default);
}
void BM_PugiMinimal(benchmark::State& state) {
    PugiInPlace(state, pugi::parse_minimal);
}

void BM_PugiMinimalCopy(benchmark::State& state) {
    const std::vector<BYTE>& bytes = Document(state.range(0));
    pugi::xml_document doc;
    for (auto _ : state) {
        pugi::xml_parse_result result =
            doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_minimal, pugi::encoding_utf16_le);
        if (!result) {
            state.SkipWithError("pugixml failed");
            break;
        }
        benchmark::DoNotOptimize(doc.first_child());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

BENCHMARK(BM_WceUiXmlDoc)->Arg(20)->Arg(1024);
BENCHMARK(BM_PugiDefault)->Arg(20)->Arg(1024);
BENCHMARK(BM_PugiMinimal)->Arg(20)->Arg(1024);
BENCHMARK(BM_PugiMinimalCopy)->Arg(20)->Arg(1024);

// MB/s (10^6 bytes of input per second of processor time) of the fastest and the median repetition.
struct Rate {
    double best = 0;
    double median = 0;
};

Rate RateOf(const FastestReporter& r, const std::string& name, int kb) {
    const double mb = static_cast<double>(Document(kb).size()) / 1e6;
    return {Ratio(mb, r.Seconds(name)), Ratio(mb, r.MedianSeconds(name))};
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    FastestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    int status = 0;
    int nMissed = 0;
    printf("\nXML parse throughput on UTF-16LE bytes (MB/s = 10^6 bytes of input per second of processor\n"
           "time; fastest / median repetition). Target: CWceUiXmlDoc at least 1.5 x the fastest pugixml.\n");
    for (int kb : {20, 1024}) {
        // Names are formatted, not concatenated: GCC 12 warns falsely about "literal" + string.
        auto rate = [&](const char* name) {
            char full[64];
            snprintf(full, sizeof(full), "%s/%d", name, kb);
            return RateOf(reporter, full, kb);
        };
        const Rate ours = rate("BM_WceUiXmlDoc");
        const Rate def = rate("BM_PugiDefault");
        const Rate min = rate("BM_PugiMinimal");
        const Rate copy = rate("BM_PugiMinimalCopy");
        if (ours.best <= 0 || def.best <= 0 || min.best <= 0 || copy.best <= 0) {
            printf("%5d KB: missing results\n", kb);
            status = 1;
            ++nMissed;
            continue;
        }
        const Rate best = {std::max({def.best, min.best, copy.best}),
                           std::max({def.median, min.median, copy.median})};
        const Rate ratio = {ours.best / best.best, ours.median / best.median};
        printf("%5d KB: CWceUiXmlDoc %.1f / %.1f MB/s | pugixml default %.1f / %.1f, minimal %.1f / %.1f, "
               "minimal+own copy %.1f / %.1f\n",
               kb, ours.best, ours.median, def.best, def.median, min.best, min.median, copy.best,
               copy.median);
        // Judged on the fastest repetitions: the work is fixed, other load on the machine only adds.
        const bool bMet = ratio.best >= 1.5;
        nMissed += bMet ? 0 : 1;
        printf("          ratio vs the fastest pugixml %.2f x (median %.2f x); target at least 1.5 x: %s\n",
               ratio.best, ratio.median, bMet ? "met" : "MISSED");
    }
    printf("\n  %s\n",
           0 == nMissed ? "every target met" : (std::to_string(nMissed) + " target(s) missed").c_str());
    return status;
}
