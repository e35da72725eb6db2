// Parse speed of CWceUiXmlDoc against pugixml on the same UTF-16LE document bytes (a 20 KB and a
// 1 MB skin-like dialog), measured in one run and printed as MB/s with ratios.
//
// Both sides start from the file's bytes in memory and pay for one copy: our document copies the
// text into its own buffer and parses it in place; pugixml parses a fresh copy "in place" too, which
// for UTF-16 input in its (default) UTF-8 build also means converting the text first. pugixml is
// measured with parse_default and with parse_minimal (no escapes, no end-of-line normalisation: the
// closest to ours, which has neither), and with load_buffer (its own copy, no memcpy on our side).
#include "wceui/res/WceUiXmlDoc.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

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

// Keeps each run's throughput for the summary.
class Collector : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) {
                rates[run.benchmark_name()] = it->second.value / 1e6;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    int status = 0;
    printf("\nXML parse throughput on UTF-16LE bytes (MB/s = 10^6 bytes of input per second)\n");
    for (int kb : {20, 1024}) {
        std::string arg = std::to_string(kb);
        arg.insert(arg.begin(), '/');
        const double ours = collector.rates["BM_WceUiXmlDoc" + arg];
        const double def = collector.rates["BM_PugiDefault" + arg];
        const double min = collector.rates["BM_PugiMinimal" + arg];
        const double copy = collector.rates["BM_PugiMinimalCopy" + arg];
        double best = def > min ? def : min;
        best = best > copy ? best : copy;
        if (ours <= 0 || best <= 0) {
            printf("%5d KB: missing results\n", kb);
            status = 1;
            continue;
        }
        printf("%5d KB: CWceUiXmlDoc %8.1f MB/s | pugixml default %8.1f, minimal %8.1f, minimal+own copy "
               "%8.1f MB/s\n",
               kb, ours, def, min, copy);
        printf("          ratio vs parse_default %.2fx, vs parse_minimal %.2fx, vs fastest pugixml %.2fx "
               "(target >= 1.5x)\n",
               ours / def, ours / min, ours / best);
    }
    return status;
}
