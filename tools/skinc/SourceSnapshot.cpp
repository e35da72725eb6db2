#include "tools/skinc/SourceSnapshot.h"

#include <system_error>

namespace fs = std::filesystem;

CSourceSnapshot CSourceSnapshot::Take(const fs::path& path) {
    CSourceSnapshot snapshot;
    std::error_code ec;
    auto add = [&](const fs::path& file, const std::string& name) {
        State state;
        std::error_code e;
        state.size = fs::file_size(file, e);
        state.written = fs::last_write_time(file, e);
        if (!e) {
            snapshot.m_files[name] = state;
        }
    };
    if (fs::is_regular_file(path, ec)) {
        add(path, path.filename().string());
        return snapshot;
    }
    // A file that goes while the folder is walked is simply not in this snapshot.
    for (auto it = fs::recursive_directory_iterator(path, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code e;
        if (it->is_regular_file(e)) {
            add(it->path(), it->path().lexically_relative(path).generic_string());
        }
    }
    return snapshot;
}

std::vector<std::string> CSourceSnapshot::ChangesTo(const CSourceSnapshot& later) const {
    std::vector<std::string> changes;
    auto a = m_files.begin();
    auto b = later.m_files.begin();
    while (a != m_files.end() || b != later.m_files.end()) {
        if (b == later.m_files.end() || (a != m_files.end() && a->first < b->first)) {
            changes.push_back(a->first); // removed
            ++a;
        } else if (a == m_files.end() || b->first < a->first) {
            changes.push_back(b->first); // added
            ++b;
        } else {
            if (!(a->second == b->second)) {
                changes.push_back(a->first);
            }
            ++a;
            ++b;
        }
    }
    return changes;
}
