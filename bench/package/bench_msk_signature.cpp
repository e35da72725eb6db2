// Times one signature check of a file against a public key, as the updater runs it: the file read once
// in pieces and hashed. With --crc, every piece also goes through zlib's CRC-32 in the same pass, as a
// caller computing its own digest of the bytes would.
//
//     bench_msk_signature FILE PUBLIC.key [--crc]
//
// The signature is FILE.sig. Prints the check's wall time in microseconds (and the CRC-32 with --crc);
// exit 1 when the check does not pass.
#include "package/MskSignature.h"
#include "platform/Platform.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3 || (argc == 4 && std::strcmp(argv[3], "--crc") != 0) || argc > 4) {
        std::fprintf(stderr, "usage: bench_msk_signature FILE PUBLIC.key [--crc]\n");
        return 2;
    }
    PlatformUseHostRoot();
    auto device = [](const char* host) {
        return PlatformDevicePath(std::filesystem::absolute(host).string());
    };
    const std::u16string file = device(argv[1]);
    std::string publicLine, signatureLine;
    std::u16string why;
    if (!MskReadKeyFile(device(argv[2]).c_str(), &publicLine, &why) ||
        !MskReadKeyFile(MskSignaturePath(file.c_str()).c_str(), &signatureLine, &why)) {
        std::fprintf(stderr, "bench_msk_signature: %s\n", WideToUtf8(why).c_str());
        return 1;
    }
    uLong crc = crc32(0, Z_NULL, 0);
    MskPackageBytesFn onBytes;
    if (argc == 4)
        onBytes = [&](ULONGLONG, const BYTE* data, size_t size) {
            crc = crc32(crc, data, static_cast<uInt>(size));
        };
    const auto start = std::chrono::steady_clock::now();
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    const MskSignatureCheck verdict = MskCheckPackageSignature(h, signatureLine, publicLine, onBytes, &why);
    CloseHandle(h);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start)
            .count();
    if (MSK_SIGNATURE_OK != verdict) {
        std::fprintf(stderr, "bench_msk_signature: %s\n", WideToUtf8(why).c_str());
        return 1;
    }
    if (onBytes)
        std::printf("%lld crc32=%08lx\n", static_cast<long long>(micros), crc);
    else
        std::printf("%lld\n", static_cast<long long>(micros));
    return 0;
}
