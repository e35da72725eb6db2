#include "package/MskWriter.h"
#include "wceui/core/FhScramble.h"
#include "package/MskDeflatePool.h"
#include "package/MskFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <thread>
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

} // namespace

// The package being written: deleted again unless it was finished.
class CMskWriter::COutFile {
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

// The walk below a host folder. Links are followed as the user sees the tree: a link to a folder is
// that folder, a link to a file that file; a link out of the tree only when asked, and never one that
// leads back into a folder on its own way down (the walk would not end).
namespace {

class CTreeWalk {
public:
    CTreeWalk(CMskWriter& writer, const std::filesystem::path& realRoot, bool followOutsideLinks)
        : m_writer(writer), m_realRoot(realRoot), m_followOutside(followOutsideLinks) {}

    // hostFolder's entries go below relative (empty: the root); trail holds the real paths of the
    // folders from the root down to hostFolder.
    BOOL Walk(const std::filesystem::path& hostFolder, const std::u16string& relative,
              std::vector<std::filesystem::path>& trail, std::u16string& errorOut) {
        namespace fs = std::filesystem;
        std::error_code ec;
        // In name order, so that of two faults the same one is named on every run.
        std::vector<fs::directory_entry> entries;
        for (fs::directory_iterator it(hostFolder, ec); !ec && it != fs::directory_iterator();
             it.increment(ec))
            entries.push_back(*it);
        std::sort(entries.begin(), entries.end());
        for (size_t i = 0; !ec && i < entries.size(); ++i) {
            const fs::path& p = entries[i].path();
            std::u16string entry = relative.empty() ? Utf8ToWide(p.filename().string())
                                                    : relative + u"\\" + Utf8ToWide(p.filename().string());
            fs::file_status own = entries[i].symlink_status(ec);
            if (ec)
                break;
            if (fs::is_directory(own)) {
                const fs::path real = fs::canonical(p, ec);
                if (ec)
                    break;
                if (!Folder(p, real, entry, trail, errorOut))
                    return FALSE;
            } else if (fs::is_regular_file(own)) {
                m_writer.AddHostFile(entry, p.string());
            } else if (fs::is_symlink(own)) {
                if (!Link(p, entry, trail, errorOut))
                    return FALSE;
            } else {
                errorOut = u"neither a folder nor a file: " + Utf8ToWide(p.string());
                return FALSE;
            }
        }
        if (ec) {
            errorOut = u"cannot read " + Utf8ToWide(hostFolder.string()) + u": " + Utf8ToWide(ec.message());
            return FALSE;
        }
        return TRUE;
    }

private:
    BOOL Folder(const std::filesystem::path& p, const std::filesystem::path& real,
                const std::u16string& entry, std::vector<std::filesystem::path>& trail,
                std::u16string& errorOut) {
        m_writer.AddFolder(entry);
        trail.push_back(real);
        BOOL ok = Walk(p, entry, trail, errorOut);
        trail.pop_back();
        return ok;
    }

    BOOL Link(const std::filesystem::path& p, const std::u16string& entry,
              std::vector<std::filesystem::path>& trail, std::u16string& errorOut) {
        namespace fs = std::filesystem;
        std::error_code ec;
        const std::u16string name = Utf8ToWide(p.string());
        const std::u16string to = Utf8ToWide(fs::read_symlink(p, ec).string());
        fs::file_status status = fs::status(p, ec);
        if (ec || !fs::exists(status)) {
            errorOut =
                ec == std::errc::too_many_symbolic_link_levels
                    ? u"the link " + name + u" cannot be followed: it leads back to itself (" + to + u")"
                    : u"broken link: " + name + u" points to " + to + u", which does not exist";
            return FALSE;
        }
        const fs::path target = fs::canonical(p, ec);
        if (ec) {
            errorOut = u"cannot follow the link " + name + u": " + Utf8ToWide(ec.message());
            return FALSE;
        }
        const bool isFolder = fs::is_directory(status);
        if (!isFolder && !fs::is_regular_file(status)) {
            errorOut = u"neither a folder nor a file: " + name + u" (a link to " + to + u")";
            return FALSE;
        }
        // A link to something elsewhere would put that (any file of the host) into the package.
        fs::path inside = target.lexically_relative(m_realRoot);
        if (!m_followOutside && (inside.empty() || *inside.begin() == "..")) {
            errorOut = u"the link " + name + u" points outside the folder, to " +
                       Utf8ToWide(target.string()) + u" (--follow-outside-links packs it)";
            return FALSE;
        }
        if (!isFolder) {
            m_writer.AddHostFile(entry, p.string());
            return TRUE;
        }
        for (const fs::path& above : trail) {
            if (above == target) {
                errorOut = u"link loop: " + name + u" points to " + Utf8ToWide(target.string()) +
                           u", a folder that holds the link";
                return FALSE;
            }
        }
        return Folder(p, target, entry, trail, errorOut);
    }

    CMskWriter& m_writer;
    const std::filesystem::path m_realRoot;
    const bool m_followOutside;
};

} // namespace

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
    std::vector<fs::path> trail{realFolder};
    return CTreeWalk(*this, realFolder, followOutsideLinks)
        .Walk(hostFolder, std::u16string(), trail, errorOut);
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

// Folders first, then files, each in case-insensitive order (exact order breaks ties, which can only
// be refused duplicates anyway).
std::vector<CMskWriter::Item*> CMskWriter::TableOrder() {
    std::vector<std::pair<std::u16string, Item*>> keyed;
    keyed.reserve(m_items.size());
    for (Item& item : m_items)
        keyed.emplace_back(MskPathFoldKey(item.path), &item);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        if (a.second->folder != b.second->folder)
            return a.second->folder;
        int c = a.first.compare(b.first);
        return c != 0 ? c < 0 : a.second->path < b.second->path;
    });
    std::vector<Item*> order;
    order.reserve(keyed.size());
    for (auto& k : keyed)
        order.push_back(k.second);
    return order;
}

// Refuses what the unpacker would refuse, before anything is written; tableLength is the table's.
BOOL CMskWriter::CheckEntries(const std::vector<Item*>& order, const std::u16string& rootName,
                              const std::u16string& installFolder, size_t& tableLength,
                              std::u16string& errorOut) {
    if (const char* why = MskUnsafePathReason(rootName, true)) {
        errorOut = u"invalid root folder name '" + rootName + u"': " + Utf8ToWide(why);
        return FALSE;
    }
    if (rootName.size() + 1 >= MSK_MAX_NAME_LENGTH) {
        errorOut = u"the root folder name is too long";
        return FALSE;
    }
    std::unordered_map<std::u16string, const Item*> seen;
    tableLength = MSK_TABLE_NAME_OFFSET + 2 * (rootName.size() + 1);
    const std::u16string target =
        installFolder.empty() ? std::u16string() : MskTargetFolder(installFolder, rootName);
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
        auto inserted = seen.emplace(MskPathFoldKey(item->path), item);
        if (!inserted.second) {
            errorOut = u"entry paths name the same place: '" + inserted.first->second->path + u"' and '" +
                       item->path + u"'";
            return FALSE;
        }
        tableLength += MSK_ENTRY_HEADER_SIZE + 2 * (item->path.size() + 1);
    }
    if (MSK_HEADER_SIZE + tableLength > 0xFFFFFFFFull) {
        errorOut = u"the file table is too large";
        return FALSE;
    }
    return TRUE;
}

// Each file's size, taken before any is read: the total the progress counts towards, and no file
// that the format's 32-bit sizes cannot hold.
BOOL CMskWriter::MeasureFiles(const std::vector<Item*>& order, ULONGLONG& total, std::u16string& errorOut) {
    total = 0;
    for (Item* item : order) {
        if (item->folder)
            continue;
        item->size = item->data.size();
        if (!item->hostPath.empty()) {
            std::error_code ec;
            item->size = std::filesystem::file_size(item->hostPath, ec);
            if (ec) {
                errorOut = u"cannot read " + Utf8ToWide(item->hostPath) + u": " + Utf8ToWide(ec.message());
                return FALSE;
            }
        }
        if (item->size > 0xFFFFFFFFull) {
            errorOut = u"file too large for a package: " + item->path;
            return FALSE;
        }
        total += item->size;
    }
    return TRUE;
}

// The header and the scrambled table, once every stream's place is known: check word, entry count,
// a reserved word, the root name, the entries.
std::vector<BYTE> CMskWriter::HeadBytes(const std::vector<Item*>& order, const std::vector<Placed>& placed,
                                        const std::u16string& rootName, size_t tableLength, DWORD dwKey) {
    const DWORD tableEnd = static_cast<DWORD>(MSK_HEADER_SIZE + tableLength);
    std::vector<BYTE> head(tableEnd, 0);
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
    return head;
}

// The streams of the files, in table order, read and compressed piece by piece: while the pool
// compresses the pieces read so far, this thread reads the next ones and writes the finished ones.
// The pieces waiting at any time hold a bounded amount of input, whatever the file sizes.
class CMskWriter::CStreamWriter {
public:
    CStreamWriter(const CMskWriter& writer, COutFile& out, LPCWSTR pPackagePath)
        : m_writer(writer), m_out(out), m_package(pPackagePath),
          m_threads(writer.m_threads ? writer.m_threads : std::max(1u, std::thread::hardware_concurrency())),
          m_pool(writer.m_level, m_threads),
          m_budget(std::max<size_t>(writer.m_pieceSize, 1u << 16) * (2 * m_threads + 2)) {}

    BOOL Run(const std::vector<Item*>& order, ULONGLONG total, DWORD tableEnd, std::vector<Placed>& placed,
             MskWriterStats& stats, std::u16string& errorOut) {
        m_total = total;
        m_offset = tableEnd;
        for (size_t i = 0; i < order.size(); ++i) {
            if (order[i]->folder) {
                ++stats.folders;
                continue;
            }
            if (!ReadFile(order, i, placed, stats, errorOut))
                return FALSE;
        }
        while (!m_pending.empty()) {
            if (!WriteNext(order, placed, stats, errorOut))
                return FALSE;
        }
        return TRUE;
    }

    ULONGLONG End() const { return m_offset; }

private:
    // What the pool does not know of a piece it compresses.
    struct Pending {
        size_t index = 0; // into the table order
        size_t length = 0;
        bool last = false;
    };

    // Cuts file i into pieces and hands them to the pool, writing finished pieces while too much
    // input waits.
    BOOL ReadFile(const std::vector<Item*>& order, size_t i, std::vector<Placed>& placed,
                  MskWriterStats& stats, std::u16string& errorOut) {
        const Item& item = *order[i];
        FILE* f = NULL;
        if (!item.hostPath.empty() && NULL == (f = std::fopen(item.hostPath.c_str(), "rb"))) {
            errorOut = u"cannot read " + Utf8ToWide(item.hostPath) + u": " + Utf8ToWide(std::strerror(errno));
            return FALSE;
        }
        auto close = [](FILE* open) { std::fclose(open); };
        std::unique_ptr<FILE, decltype(close)> closer(f, close);
        std::vector<BYTE> before; // the window of input before the next piece
        ULONGLONG at = 0;
        do {
            const size_t length =
                static_cast<size_t>(std::min<ULONGLONG>(m_writer.m_pieceSize, item.size - at));
            auto piece = std::make_unique<MskDeflatePiece>();
            piece->first = 0 == at;
            piece->last = at + length == item.size;
            piece->dictionary = before.size();
            piece->input.resize(before.size() + length);
            std::copy(before.begin(), before.end(), piece->input.begin());
            BYTE* data = piece->input.data() + before.size();
            if (f ? std::fread(data, 1, length, f) != length
                  : (std::copy_n(item.data.data() + at, length, data), false)) {
                errorOut = u"cannot read " + Utf8ToWide(item.hostPath) +
                           (std::ferror(f) ? u"" : u": it became shorter while it was packed");
                return FALSE;
            }
            if (f && piece->last && std::fgetc(f) != EOF) {
                errorOut = u"cannot read " + Utf8ToWide(item.hostPath) + u": it grew while it was packed";
                return FALSE;
            }
            const size_t keep = std::min<size_t>(MSK_DEFLATE_WINDOW, piece->input.size());
            before.assign(piece->input.end() - static_cast<std::ptrdiff_t>(keep), piece->input.end());
            while (!m_pending.empty() &&
                   (m_waiting + length > m_budget || m_pending.size() >= 64 * m_threads)) {
                if (!WriteNext(order, placed, stats, errorOut))
                    return FALSE;
            }
            m_pending.push_back(Pending{i, length, piece->last});
            m_waiting += length;
            m_pool.Submit(std::move(piece));
            at += length;
        } while (at < item.size);
        return TRUE;
    }

    // Writes the oldest piece once it is compressed; after a file's last piece, its check value.
    BOOL WriteNext(const std::vector<Item*>& order, std::vector<Placed>& placed, MskWriterStats& stats,
                   std::u16string& errorOut) {
        std::unique_ptr<MskDeflatePiece> piece = m_pool.Next();
        const Pending p = m_pending.front();
        m_pending.pop_front();
        m_waiting -= p.length;
        const Item& item = *order[p.index];
        if (!piece->ok) {
            errorOut = u"compression failed for " + item.path;
            return FALSE;
        }
        if (piece->first) {
            m_adler = piece->adler;
            m_stored = 0;
        } else {
            m_adler = adler32_combine(m_adler, piece->adler, static_cast<z_off_t>(p.length));
        }
        if (p.last) {
            for (int shift = 24; shift >= 0; shift -= 8)
                piece->output.push_back(static_cast<BYTE>(m_adler >> shift));
        }
        if (m_offset + m_stored + piece->output.size() > 0xFFFFFFFFull) {
            errorOut = u"the package would grow beyond 4 GiB";
            return FALSE;
        }
        if (!m_out.Write(piece->output.data(), piece->output.size())) {
            DWORD error = GetLastError();
            errorOut = ERROR_DISK_FULL == error ? std::u16string(u"error_disk_full")
                                                : WFormat(u"WriteFile %s failed, GetLastError is %d",
                                                          m_package, static_cast<int>(error));
            return FALSE;
        }
        m_stored += piece->output.size();
        m_done += p.length;
        if (p.last) {
            placed[p.index] = Placed{static_cast<DWORD>(item.size), static_cast<DWORD>(m_stored),
                                     static_cast<DWORD>(m_offset)};
            m_offset += m_stored;
            ++stats.files;
            stats.unpackedTotal += item.size;
            stats.storedTotal += m_stored;
        }
        if (m_writer.m_pCallback &&
            !m_writer.m_pCallback(m_writer.m_pContext, m_done, m_total, item.path.c_str())) {
            errorOut = u"user_cancel";
            return FALSE;
        }
        return TRUE;
    }

    const CMskWriter& m_writer;
    COutFile& m_out;
    LPCWSTR m_package;
    const unsigned m_threads;
    CMskDeflatePool m_pool;
    const size_t m_budget; // of input handed to the pool and not yet written
    std::deque<Pending> m_pending;
    size_t m_waiting = 0;
    ULONGLONG m_total = 0, m_done = 0;
    ULONGLONG m_offset = 0; // where the next file's stream starts
    ULONGLONG m_stored = 0; // of the current file's stream so far
    uLong m_adler = 1;      // of the current file's input so far
};

BOOL CMskWriter::Write(LPCWSTR pPackagePath, const std::u16string& rootName, DWORD dwKey,
                       std::u16string& errorOut) {
    m_stats = MskWriterStats();
    if (NULL == pPackagePath) {
        errorOut = u"no package path";
        return FALSE;
    }
    const std::vector<Item*> order = TableOrder();
    size_t tableLength = 0;
    ULONGLONG total = 0;
    if (!CheckEntries(order, rootName, m_installFolder, tableLength, errorOut) ||
        !MeasureFiles(order, total, errorOut))
        return FALSE;

    // The header and table are written zeroed first and filled in once the streams are placed.
    COutFile out(pPackagePath);
    if (!out.IsValid()) {
        errorOut = WFormat(u"CreateFile %s failed, GetLastError is %d", pPackagePath,
                           static_cast<int>(GetLastError()));
        return FALSE;
    }
    const DWORD tableEnd = static_cast<DWORD>(MSK_HEADER_SIZE + tableLength);
    if (!out.Write(std::vector<BYTE>(tableEnd, 0).data(), tableEnd)) {
        errorOut = WFormat(u"WriteFile %s failed, GetLastError is %d", pPackagePath,
                           static_cast<int>(GetLastError()));
        return FALSE;
    }
    std::vector<Placed> placed(order.size());
    ULONGLONG end = 0;
    {
        CStreamWriter streams(*this, out, pPackagePath);
        if (!streams.Run(order, total, tableEnd, placed, m_stats, errorOut))
            return FALSE;
        end = streams.End();
    }
    const std::vector<BYTE> head = HeadBytes(order, placed, rootName, tableLength, dwKey);
    if (!out.Rewind() || !out.Write(head.data(), head.size()) || !out.Finish()) {
        errorOut = WFormat(u"WriteFile %s failed, GetLastError is %d", pPackagePath,
                           static_cast<int>(GetLastError()));
        return FALSE;
    }
    m_stats.packageSize = end;
    errorOut.clear();
    return TRUE;
}
