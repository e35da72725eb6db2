// Writes one large deterministic file for the package benchmarks, compressible like map data: blocks
// of short runs over a skewed alphabet (tiles) mixed with text blocks (names and indexes).
//
//     gen_map FILE [MB [SEED]]
#include "TreeData.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: gen_map FILE [MB [SEED]]\n");
        return 2;
    }
    const long megabytes = argc > 2 ? std::atol(argv[2]) : 300;
    benchdata::Rng rng{argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 0x3A9D00ull};
    FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    std::string block;
    for (long i = 0; i < megabytes; ++i) {
        benchdata::Fill(rng, i % 3 == 2 ? 0 : 3, block, 1u << 20);
        if (std::fwrite(block.data(), 1, block.size(), f) != block.size()) {
            std::perror(argv[1]);
            return 1;
        }
    }
    if (std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
