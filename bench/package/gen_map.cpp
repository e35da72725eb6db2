// Writes one large deterministic file for the package benchmarks, by default compressible like map
// data: blocks of short runs over a skewed alphabet (tiles) mixed with text blocks (names and
// indexes). KIND text gives plain text only, base64 base64 text of random bytes.
//
//     gen_map FILE [MB [SEED [KIND]]]     (KIND: map, text or base64)
#include "TreeData.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    const char* kind = argc > 4 ? argv[4] : "map";
    if (argc < 2 || (std::strcmp(kind, "map") && std::strcmp(kind, "text") && std::strcmp(kind, "base64"))) {
        std::fprintf(stderr, "usage: gen_map FILE [MB [SEED [map|text|base64]]]\n");
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
        if ('m' == kind[0])
            benchdata::Fill(rng, i % 3 == 2 ? 0 : 3, block, 1u << 20);
        else
            benchdata::Fill(rng, 't' == kind[0] ? 0 : 4, block, 1u << 20);
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
