// Writes a deterministic tree of mixed files for the package benchmarks: plain text, source-like
// text, random binary data and semi-compressible binary data, in nested folders.
//
//     gen_tree DIR [FILES [TOTAL_MB [SEED]]]
#include "TreeData.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gen_tree DIR [FILES [TOTAL_MB [SEED]]]\n");
        return 2;
    }
    std::filesystem::path root = argv[1];
    int files = argc > 2 ? std::atoi(argv[2]) : 3000;
    double totalMb = argc > 3 ? std::atof(argv[3]) : 50.0;
    benchdata::Rng rng{argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 0x5EED1234ull};

    // Folders: a few top-level ones with nested children.
    std::vector<std::filesystem::path> dirs{root};
    for (int i = 0; i < 120; ++i) {
        const auto& parent = dirs[rng.Below(static_cast<uint32_t>(dirs.size()))];
        dirs.push_back(parent / ("dir" + std::to_string(i)));
    }
    for (const auto& d : dirs)
        std::filesystem::create_directories(d);

    // Sizes: log-uniform from 64 bytes to 256 KiB, then scaled to the requested total.
    std::vector<double> sizes(static_cast<size_t>(files));
    double sum = 0;
    for (auto& s : sizes) {
        s = 64.0 * std::exp2(static_cast<double>(rng.Below(1 << 16)) / 65536.0 * 12.0);
        sum += s;
    }
    double scale = totalMb * 1024 * 1024 / sum;
    static const char* const kExt[] = {".txt", ".cpp", ".bin", ".dat"};
    std::string data;
    for (int i = 0; i < files; ++i) {
        size_t size = static_cast<size_t>(sizes[static_cast<size_t>(i)] * scale);
        int kind = static_cast<int>(rng.Below(4));
        benchdata::Fill(rng, kind, data, size);
        const auto& d = dirs[rng.Below(static_cast<uint32_t>(dirs.size()))];
        auto path = d / ("file" + std::to_string(i) + kExt[kind]);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f || std::fwrite(data.data(), 1, data.size(), f) != data.size() || std::fclose(f) != 0) {
            std::perror(path.c_str());
            return 1;
        }
    }
    return 0;
}
