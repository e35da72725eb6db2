// Helpers of the resource tests: packs built in memory, raw edits of their directories, UTF-16 files.
#pragma once

#include "wceui/core/FhScramble.h"
#include "support/TestSupport.h"
#include "wceui/res/FhPackWriter.h"

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace restest {

using Items = std::vector<std::pair<std::u16string, std::string>>;

inline std::string MakePack(const Items& items, LPCWSTR password = nullptr,
                            std::optional<DWORD> checkWord = std::nullopt, LPCWSTR name = u"test.pack") {
    CFhPackWriter writer;
    writer.SetPassword(password);
    writer.SetPackName(name);
    if (checkWord) {
        writer.SetCheckWord(*checkWord);
    }
    for (const auto& item : items) {
        std::string error;
        EXPECT_TRUE(writer.AddItem(item.first.c_str(), item.second.data(), item.second.size(), &error))
            << error;
    }
    std::vector<BYTE> out;
    std::string error;
    EXPECT_TRUE(writer.Build(&out, &error)) << error;
    return std::string(out.begin(), out.end());
}

inline DWORD Get32(const std::string& s, size_t at) {
    DWORD v = 0;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

inline void Put32(std::string& s, size_t at, DWORD v) {
    std::memcpy(&s[at], &v, 4);
}

// Unscrambles the directory, lets edit change it (offsets from the directory's start), scrambles again.
inline std::string EditDirectory(std::string pack, LPCWSTR password,
                                 const std::function<void(std::string&)>& edit) {
    const DWORD end = Get32(pack, 4);
    std::string dir = pack.substr(12, end - 12);
    FhScrambleWords(&dir[0], static_cast<DWORD>(dir.size()), FhPasswordToKey(password));
    edit(dir);
    FhScrambleWords(&dir[0], static_cast<DWORD>(dir.size()), FhPasswordToKey(password));
    return pack.substr(0, 12) + dir + pack.substr(end);
}

// The directory offset of the first entry of a pack built by MakePack.
inline size_t FirstEntry(const std::string& dir) {
    return 16 + 2 * Get32(dir, 12);
}

// A UTF-16LE file with its byte order mark.
inline std::string Unicode(const std::u16string& text) {
    return "\xFF\xFE" + testsupport::Utf16Bytes(text);
}

} // namespace restest
