// Pack files with damaged headers and directories. The input is a pack whose directory is given
// unscrambled (the harness scrambles it, so that the fuzzer works on the directory's own fields);
// its first byte chooses whether the directory's check word is made to match the header's.
#include "FuzzDevice.h"
#include "wceui/core/FhScramble.h"
#include "wceui/res/FhPackFile.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool fixCheckWord = (data[0] & 1) != 0;
    std::vector<uint8_t> pack(data + 1, data + size);
    if (pack.size() >= 12) {
        uint32_t dirEnd = 0;
        std::memcpy(&dirEnd, pack.data() + 4, 4);
        if (dirEnd >= 12 && dirEnd <= pack.size()) {
            if (fixCheckWord && dirEnd >= 16) {
                std::memcpy(pack.data() + 12, pack.data() + 8, 4);
            }
            FhScrambleWords(pack.data() + 12, dirEnd - 12, FhPasswordToKey(nullptr));
        }
    }
    FuzzWriteFile("p.pack", pack.data(), pack.size());

    CFhPackFile file(u"\\p.pack");
    if (!file.Load(nullptr)) {
        return 0;
    }
    for (int i = 0; i < file.GetItemCount(); ++i) {
        FhPackItemInfo info;
        if (!file.GetItemInfo(i, &info) || file.FindItem(info.pPath) != i) {
            abort(); // every entry of an accepted directory must be found by its own path
        }
        if (info.dwUnpackedSize <= (1u << 20)) {
            DWORD length = 0;
            std::unique_ptr<BYTE[]> item(file.ReadItem(info.pPath, nullptr, &length));
            if (item && length != info.dwUnpackedSize) {
                abort();
            }
        }
    }
    return 0;
}
