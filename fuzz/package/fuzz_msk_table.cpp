// Update packages with damaged headers and tables. The input is a package whose file table is given
// unscrambled (the harness scrambles it with the password's key, so that the fuzzer works on the
// table's own fields); bit 0 of the first byte makes the table's check word match the header's.
#include "wceui/core/FhScramble.h"
#include "package/MskFormat.h"
#include "package/MskUnpacker.h"
#include "platform/Platform.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string& DeviceRoot() {
    static const std::string root = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "msk-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            abort();
        PlatformSetDeviceRoot(pattern);
        // No program folder: the framework's log stays closed instead of growing with every input.
        PlatformMount(u"\\Program", pattern + "/no-program-folder");
        return pattern;
    }();
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const DWORD key = FhPasswordToKey(MSK_PASSWORD_GPS);
    const bool fixCheckWord = (data[0] & 1) != 0;
    std::vector<uint8_t> package(data + 1, data + size);
    if (package.size() >= MSK_HEADER_SIZE) {
        DWORD tableEnd = FhReadLe32(package.data() + MSK_TABLE_END_OFFSET);
        if (tableEnd >= MSK_HEADER_SIZE && tableEnd <= package.size()) {
            if (fixCheckWord && tableEnd >= MSK_HEADER_SIZE + 4)
                std::memcpy(package.data() + MSK_HEADER_SIZE, package.data() + MSK_CHECK_WORD_OFFSET, 4);
            FhScrambleWords(package.data() + MSK_HEADER_SIZE, tableEnd - MSK_HEADER_SIZE, key);
        }
    }
    {
        std::ofstream out(DeviceRoot() + "/p.msk", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(package.data()),
                  static_cast<std::streamsize>(package.size()));
    }

    CMskUnpacker unpacker;
    std::u16string openError, tableError, verifyError;
    BOOL opened = unpacker.Open(u"\\p.msk", key, openError);
    BOOL loaded = unpacker.ReadTable(u"\\p.msk", key, tableError);
    // Open refuses at least everything the table load refuses, so that the caller can trust it
    // before clearing the old tree.
    if (opened && !loaded)
        abort();
    if (loaded) {
        for (int i = 0; i < unpacker.GetEntryCount(); ++i) {
            const MskEntry* e = unpacker.GetEntry(i);
            if (e->type == MSK_ENTRY_FILE &&
                static_cast<uint64_t>(e->dataOffset) + e->storedSize > package.size())
                abort();
            // No claim beyond deflate's densest, and no stored byte shared (the inputs are small).
            if (e->type == MSK_ENTRY_FILE && static_cast<uint64_t>(e->unpackedSize) >
                                                 static_cast<uint64_t>(e->storedSize) * MSK_MAX_INFLATE_RATIO)
                abort();
            for (int j = 0; j < i && e->type == MSK_ENTRY_FILE && e->storedSize > 0; ++j) {
                const MskEntry* o = unpacker.GetEntry(j);
                if (o->type == MSK_ENTRY_FILE && o->storedSize > 0 &&
                    e->dataOffset < static_cast<uint64_t>(o->dataOffset) + o->storedSize &&
                    o->dataOffset < static_cast<uint64_t>(e->dataOffset) + e->storedSize)
                    abort();
            }
            if ((e->type == MSK_ENTRY_FILE || e->type == MSK_ENTRY_FOLDER) &&
                MskUnsafePathReason(e->path, false))
                abort();
        }
    }
    BOOL verified = unpacker.Verify(u"\\p.msk", key, verifyError);
    if (verified && !loaded)
        abort();
    return 0;
}
