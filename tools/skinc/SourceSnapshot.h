// What a skin author's files look like at one moment: every file under a folder (or the one file
// given) with its size and modification time. Two snapshots differ when a file was written, added or
// removed, which is what a preview that redraws on change polls for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

class CSourceSnapshot {
public:
    static CSourceSnapshot Take(const std::filesystem::path& path);

    // The files written, added or removed since this snapshot, by their paths below the one taken.
    std::vector<std::string> ChangesTo(const CSourceSnapshot& later) const;
    size_t FileCount() const { return m_files.size(); }

private:
    struct State {
        std::uintmax_t size = 0;
        std::filesystem::file_time_type written;
        bool operator==(const State& other) const { return size == other.size && written == other.written; }
    };
    std::map<std::string, State> m_files;
};
