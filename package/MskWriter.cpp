#include "package/MskWriter.h"
#include "wceui/core/FhScramble.h"
#include "package/MskFormat.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <unordered_map>
#include <zlib.h>

namespace {

std::u16string Normalise(const std::u16string& path) {
    std::u16string out = path;
    for (auto& c : out) {
        if (u'/' == c)
            c = u'\\';
    }
    return out;
}

// FNV-1a: a fixed function of the table's content, so that equal trees give equal check words.
DWORD HashBytes(const BYTE* p, size_t n) {
    DWORD h = 2166136261u;
    for (size_t i = 0; i < n; ++i) {
        h ^= p[i];
        h *= 16777619u;
    }
    return h;
}

// The package being written: deleted again unless it was finished.
class COutFile {
public:
    explicit COutFile(LPCWSTR pPath)
        : m_path(pPath),
          m_file(CreateFileW(pPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL)) {}
    ~COutFile() {
        if (m_file.IsValid()) {
            m_file.Close();
            DeleteFileW(m_path.c_str());
        }
    }
    bool IsValid() const { return m_file.IsValid(); }
    bool Write(const void* p, size_t n) {
        DWORD written = 0;
        return WriteFile(m_file.Get(), p, static_cast<DWORD>(n), &written, NULL) && written == n;
    }
    bool Rewind() { return 0 == SetFilePointer(m_file.Get(), 0, NULL, FILE_BEGIN); }
    bool Finish() { return m_file.Close(); }

private:
    std::u16string m_path;
    CFhFileHandle m_file;
};

} // namespace

void CMskWriter::AddFolder(const std::u16string& path) {
    std::u16string normalised = Normalise(path);
    AddParents(normalised);
    // A folder that is already there (named, or implied by an entry inside it) is not added again.
    if (!m_folderKeys.insert(MskPathFoldKey(normalised)).second)
        return;
    Item item;
    item.folder = true;
    item.path = std::move(normalised);
    m_items.push_back(std::move(item));
}

void CMskWriter::AddFile(const std::u16string& path, std::vector<BYTE> data) {
    Item item;
    item.path = Normalise(path);
    item.data = std::move(data);
    AddParents(item.path);
    m_items.push_back(std::move(item));
}

void CMskWriter::AddHostFile(const std::u16string& path, const std::string& hostPath) {
    Item item;
    item.path = Normalise(path);
    item.hostPath = hostPath;
    AddParents(item.path);
    m_items.push_back(std::move(item));
}

// Extracting a file creates no folders, so every folder on the way to an entry gets an entry too.
void CMskWriter::AddParents(const std::u16string& path) {
    for (size_t i = path.find(u'\\'); i != std::u16string::npos; i = path.find(u'\\', i + 1)) {
        std::u16string parent = path.substr(0, i);
        // An unsafe path is refused by Write under its own name, not through a folder made up for it.
        if (MskUnsafePathReason(parent, false))
            return;
        if (parent.empty() || !m_folderKeys.insert(MskPathFoldKey(parent)).second)
            continue;
        Item item;
        item.folder = true;
        item.path = std::move(parent);
        m_items.push_back(std::move(item));
    }
}

BOOL CMskWriter::AddHostTree(const std::string& hostFolder, std::u16string& errorOut,
                             bool followOutsideLinks) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!fs::is_directory(hostFolder, ec)) {
        errorOut = u"not a folder: " + Utf8ToWide(hostFolder);
        return FALSE;
    }
    const fs::path realFolder = fs::canonical(hostFolder, ec);
    if (ec) {
        errorOut = u"cannot read " + Utf8ToWide(hostFolder) + u": " + Utf8ToWide(ec.message());
        return FALSE;
    }
    fs::recursive_directory_iterator it(hostFolder, fs::directory_options::none, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        std::u16string relative = Utf8ToWide(p.lexically_relative(hostFolder).generic_string());
        fs::file_status status = it->symlink_status(ec);
        if (ec)
            break;
        if (fs::is_directory(status)) {
            AddFolder(relative);
        } else if (fs::is_regular_file(status) || (fs::is_symlink(status) && fs::is_regular_file(p, ec))) {
            // A link to a file elsewhere would put that file (any file of the host) into the package.
            if (fs::is_symlink(status) && !followOutsideLinks) {
                fs::path target = fs::canonical(p, ec);
                fs::path inside = target.lexically_relative(realFolder);
                if (ec || inside.empty() || *inside.begin() == "..") {
                    errorOut = u"the link " + Utf8ToWide(p.string()) + u" points outside the folder, to " +
                               Utf8ToWide(target.string()) + u" (--follow-outside-links packs it)";
                    return FALSE;
                }
            }
            AddHostFile(relative, p.string());
        } else {
            errorOut = u"neither a folder nor a file: " + Utf8ToWide(p.string());
            return FALSE;
        }
    }
    if (ec) {
        errorOut = u"cannot read " + Utf8ToWide(hostFolder) + u": " + Utf8ToWide(ec.message());
        return FALSE;
    }
    return TRUE;
}

std::vector<std::vector<std::u16string>> CMskWriter::FindCaseCollisions() const {
    std::vector<std::vector<std::u16string>> groups;
    std::unordered_map<std::u16string, size_t> groupOfKey;
    for (const Item& item : m_items) {
        auto inserted = groupOfKey.emplace(MskPathFoldKey(item.path), groups.size());
        if (inserted.second) {
            groups.push_back({});
        }
        groups[inserted.first->second].push_back(item.path);
    }
    groups.erase(std::remove_if(groups.begin(), groups.end(),
                                [](const std::vector<std::u16string>& g) { return g.size() < 2; }),
                 groups.end());
    return groups;
}

void CMskWriter::SetProgressCallback(MskWriterProgress pCallback, LPVOID pContext) {
    m_pCallback = pCallback;
    m_pContext = pContext;
}

BOOL CMskWriter::LoadContent(const Item& item, std::vector<BYTE>& content, std::u16string& errorOut) const {
    if (item.hostPath.empty()) {
        content = item.data;
        return TRUE;
    }
    FILE* f = std::fopen(item.hostPath.c_str(), "rb");
    bool ok = f != NULL;
    content.clear();
    if (ok) {
        std::error_code ec;
        uintmax_t size = std::filesystem::file_size(item.hostPath, ec);
        content.reserve(ec || size > 0xFFFFFFFFull ? 0 : static_cast<size_t>(size));
        BYTE buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0) {
            content.insert(content.end(), buffer, buffer + n);
            if (content.size() > 0xFFFFFFFFull)
                break;
        }
        ok = !std::ferror(f);
        std::fclose(f);
    }
    if (!ok) {
        errorOut = u"cannot read " + Utf8ToWide(item.hostPath);
        return FALSE;
    }
    return TRUE;
}

BOOL CMskWriter::Write(LPCWSTR pPackagePath, const std::u16string& rootName, DWORD dwKey,
                       std::u16string& errorOut) {
    m_stats = MskWriterStats();
    if (NULL == pPackagePath) {
        errorOut = u"no package path";
        return FALSE;
    }
    if (const char* why = MskUnsafePathReason(rootName, true)) {
        errorOut = u"invalid root folder name '" + rootName + u"': " + Utf8ToWide(why);
        return FALSE;
    }
    if (rootName.size() + 1 >= MSK_MAX_NAME_LENGTH) {
        errorOut = u"the root folder name is too long";
        return FALSE;
    }

    // Folders first, then files, each in case-insensitive order (exact order breaks ties, which can
    // only be refused duplicates anyway).
    std::vector<const Item*> order;
    order.reserve(m_items.size());
    for (const Item& item : m_items)
        order.push_back(&item);
    std::vector<std::u16string> keys(m_items.size());
    for (size_t i = 0; i < m_items.size(); ++i)
        keys[i] = MskPathFoldKey(m_items[i].path);
    auto keyOf = [&](const Item* item) -> const std::u16string& {
        return keys[static_cast<size_t>(item - m_items.data())];
    };
    std::sort(order.begin(), order.end(), [&](const Item* a, const Item* b) {
        if (a->folder != b->folder)
            return a->folder;
        int c = keyOf(a).compare(keyOf(b));
        return c != 0 ? c < 0 : a->path < b->path;
    });

    std::unordered_map<std::u16string, const Item*> seen;
    size_t tableLength = MSK_TABLE_NAME_OFFSET + 2 * (rootName.size() + 1);
    DWORD nFiles = 0;
    const std::u16string target =
        m_installFolder.empty() ? std::u16string() : MskTargetFolder(m_installFolder, rootName);
    for (const Item* item : order) {
        if (const char* why = MskUnsafePathReason(item->path, false, !item->folder, rootName.size())) {
            errorOut = u"invalid entry path '" + item->path + u"': " + Utf8ToWide(why);
            return FALSE;
        }
        if (item->path.size() >= MAX_PATH) {
            errorOut = u"entry path too long: " + item->path;
            return FALSE;
        }
        if (!target.empty() && target.size() + item->path.size() >= MAX_PATH) {
            errorOut = WFormat(u"entry path too long to install below %s: '%s' is %u units, %u in all; the "
                               u"device allows %u",
                               target.c_str(), item->path.c_str(), static_cast<DWORD>(item->path.size()),
                               static_cast<DWORD>(target.size() + item->path.size()),
                               static_cast<DWORD>(MAX_PATH - 1));
            return FALSE;
        }
        auto inserted = seen.emplace(keyOf(item), item);
        if (!inserted.second) {
            errorOut = u"entry paths name the same place: '" + inserted.first->second->path + u"' and '" +
                       item->path + u"'";
            return FALSE;
        }
        tableLength += MSK_ENTRY_HEADER_SIZE + 2 * (item->path.size() + 1);
        if (!item->folder)
            ++nFiles;
    }
    if (MSK_HEADER_SIZE + tableLength > 0xFFFFFFFFull) {
        errorOut = u"the file table is too large";
        return FALSE;
    }

    COutFile out(pPackagePath);
    if (!out.IsValid()) {
        errorOut = WFormat(u"CreateFile %s failed, GetLastError is %d", pPackagePath,
                           static_cast<int>(GetLastError()));
        return FALSE;
    }
    const DWORD tableEnd = static_cast<DWORD>(MSK_HEADER_SIZE + tableLength);
    std::vector<BYTE> head(tableEnd, 0);
    if (!out.Write(head.data(), head.size())) {
        errorOut = WFormat(u"WriteFile %s failed, GetLastError is %d", pPackagePath,
                           static_cast<int>(GetLastError()));
        return FALSE;
    }

    // The streams, in table order; their offsets and sizes go into the table afterwards.
    struct Placed {
        DWORD unpacked = 0, stored = 0, offset = 0;
    };
    std::vector<Placed> placed(order.size());
    ULONGLONG offset = tableEnd;
    std::vector<BYTE> content, packed;
    LONG fileIndex = 0;
    for (size_t i = 0; i < order.size(); ++i) {
        const Item* item = order[i];
        if (item->folder) {
            ++m_stats.folders;
            continue;
        }
        if (!LoadContent(*item, content, errorOut))
            return FALSE;
        if (content.size() > 0xFFFFFFFFull) {
            errorOut = u"file too large for a package: " + item->path;
            return FALSE;
        }
        uLongf packedLength = compressBound(static_cast<uLong>(content.size()));
        packed.resize(packedLength);
        if (compress2(packed.data(), &packedLength, content.data(), static_cast<uLong>(content.size()),
                      m_level) != Z_OK) {
            errorOut = u"compression failed for " + item->path;
            return FALSE;
        }
        if (offset + packedLength > 0xFFFFFFFFull) {
            errorOut = u"the package would grow beyond 4 GiB";
            return FALSE;
        }
        if (!out.Write(packed.data(), packedLength)) {
            DWORD error = GetLastError();
            errorOut = ERROR_DISK_FULL == error ? std::u16string(u"error_disk_full")
                                                : WFormat(u"WriteFile %s failed, GetLastError is %d",
                                                          pPackagePath, static_cast<int>(error));
            return FALSE;
        }
        placed[i] = Placed{static_cast<DWORD>(content.size()), static_cast<DWORD>(packedLength),
                           static_cast<DWORD>(offset)};
        offset += packedLength;
        ++m_stats.files;
        m_stats.unpackedTotal += content.size();
        m_stats.storedTotal += packedLength;
        if (m_pCallback &&
            !m_pCallback(m_pContext, fileIndex, item->path.c_str(), static_cast<LONG>(nFiles))) {
            errorOut = u"user_cancel";
            return FALSE;
        }
        ++fileIndex;
    }

    // The table: check word, entry count, a reserved word, the root name, the entries.
    BYTE* table = head.data() + MSK_HEADER_SIZE;
    FhWriteLe32(table + 4, static_cast<DWORD>(order.size()));
    FhWriteLe32(table + MSK_TABLE_NAME_LENGTH_OFFSET, static_cast<DWORD>(rootName.size() + 1));
    size_t pos = MSK_TABLE_NAME_OFFSET;
    auto putText = [&](const std::u16string& text) {
        for (WCHAR c : text) {
            table[pos++] = static_cast<BYTE>(c);
            table[pos++] = static_cast<BYTE>(c >> 8);
        }
        pos += 2; // the NUL (the buffer is zeroed)
    };
    putText(rootName);
    for (size_t i = 0; i < order.size(); ++i) {
        const Item* item = order[i];
        BYTE* e = table + pos;
        FhWriteLe32(e, static_cast<DWORD>(MSK_ENTRY_HEADER_SIZE + 2 * (item->path.size() + 1)));
        FhWriteLe32(e + 4, item->folder ? MSK_ENTRY_FOLDER : MSK_ENTRY_FILE);
        FhWriteLe32(e + 8, placed[i].unpacked);
        FhWriteLe32(e + 12, placed[i].stored);
        FhWriteLe32(e + 16, placed[i].offset);
        pos += MSK_ENTRY_HEADER_SIZE;
        putText(item->path);
    }
    DWORD checkWord = HashBytes(table + 4, tableLength - 4);
    FhWriteLe32(table, checkWord);
    FhScrambleWords(table, static_cast<DWORD>(tableLength), dwKey);

    BYTE* header = head.data();
    header[0] = static_cast<BYTE>(MSK_MAGIC);
    header[1] = static_cast<BYTE>(MSK_MAGIC >> 8);
    FhWriteLe32(header + MSK_TABLE_END_OFFSET, tableEnd);
    FhWriteLe32(header + MSK_CHECK_WORD_OFFSET, checkWord);
    if (!out.Rewind() || !out.Write(head.data(), head.size()) || !out.Finish()) {
        errorOut = WFormat(u"WriteFile %s failed, GetLastError is %d", pPackagePath,
                           static_cast<int>(GetLastError()));
        return FALSE;
    }
    m_stats.packageSize = offset;
    errorOut.clear();
    return TRUE;
}
