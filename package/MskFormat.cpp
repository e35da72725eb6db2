#include "package/MskFormat.h"
#include "platform/DeviceNames.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <string_view>

namespace {

bool IsSeparator(WCHAR c) {
    return IsDeviceSeparator(c);
}

std::u16string Narrow(const char* text) {
    std::u16string out;
    for (const char* p = text; *p; ++p)
        out.push_back(static_cast<unsigned char>(*p));
    return out;
}

MskTableResult Malformed(std::u16string* detail, const std::u16string& text) {
    if (detail)
        *detail = text;
    return MSK_TABLE_MALFORMED;
}

MskTableResult BadData(std::u16string* detail, const std::u16string& text) {
    if (detail)
        *detail = text;
    return MSK_TABLE_BAD_DATA;
}

// Each file's stream lies after the table and shares no byte with another's. A table that points many
// entries at one dense stream would otherwise make a check of every stream take time in proportion to
// what the entries declare (terabytes) instead of to the package's size. An empty range holds nothing,
// so it overlaps nothing. Sorted by start, a range overlaps another exactly when it starts before the
// furthest end seen so far.
MskTableResult CheckDataRanges(const std::vector<MskEntry>& entries, ULONGLONG tableEnd,
                               std::u16string* detail) {
    // The entries with data, by index: a tenth of the memory of a list of ranges.
    std::vector<DWORD> ranges;
    size_t count = 0;
    for (const MskEntry& e : entries)
        count += e.type == MSK_ENTRY_FILE && 0 != e.storedSize;
    ranges.reserve(count);
    for (size_t i = 0; i < entries.size(); ++i) {
        const MskEntry& e = entries[i];
        if (e.type != MSK_ENTRY_FILE || 0 == e.storedSize)
            continue;
        if (e.dataOffset < tableEnd)
            return BadData(detail, WFormat(u"entry '%s': its data overlaps the %s", e.path.c_str(),
                                           e.dataOffset < MSK_HEADER_SIZE ? u"header" : u"file table"));
        ranges.push_back(static_cast<DWORD>(i));
    }
    auto end = [&](DWORD i) { return static_cast<ULONGLONG>(entries[i].dataOffset) + entries[i].storedSize; };
    std::sort(ranges.begin(), ranges.end(), [&](DWORD a, DWORD b) {
        return entries[a].dataOffset != entries[b].dataOffset ? entries[a].dataOffset < entries[b].dataOffset
                                                              : a < b;
    });
    size_t furthest = 0;
    for (size_t k = 1; k < ranges.size(); ++k) {
        if (entries[ranges[k]].dataOffset < end(ranges[furthest])) {
            // The entry later in the table is the one named first.
            size_t a = std::max(ranges[k], ranges[furthest]);
            size_t b = std::min(ranges[k], ranges[furthest]);
            return BadData(detail, WFormat(u"entry '%s': its data overlaps entry '%s'",
                                           entries[a].path.c_str(), entries[b].path.c_str()));
        }
        if (end(ranges[k]) > end(ranges[furthest]))
            furthest = k;
    }
    return MSK_TABLE_OK;
}

// A path of the table, copied out unit by unit (the table gives no alignment guarantee).
std::u16string ReadPath(const BYTE* p, size_t units) {
    std::u16string out;
    out.reserve(units);
    for (size_t i = 0; i < units; ++i)
        out.push_back(static_cast<WCHAR>(p[2 * i] | p[2 * i + 1] << 8));
    return out;
}

} // namespace

const char* MskUnsafePathReason(const std::u16string& path, bool isRootName, bool isFile, size_t rootLength) {
    if (isRootName) {
        // One plain component, below the destination: "\" + name + "\" must leave room for entries.
        if (path == u"." || path == u"..")
            return "dot component";
        if (const char* why = DeviceNameProblem(path))
            return why;
        return path.size() + 2 >= MAX_PATH ? "path too long" : NULL;
    }
    if (isFile && (path.empty() || IsDeviceSeparator(path.back())))
        return path.empty() ? "empty path" : "file path ends in a separator";
    // A file's own name must be a name: "a\." names the folder a.
    if (isFile && (path == u"." ||
                   (path.size() >= 2 && path.back() == u'.' && IsDeviceSeparator(path[path.size() - 2]))))
        return "file path names a folder";
    // The entry lands below "\" + root + "\" at best; a longer destination is checked by the unpack.
    return DeviceRelativePathProblem(path, rootLength + 2);
}

std::u16string MskTargetFolder(const std::u16string& destination, const std::u16string& rootName) {
    auto appendFolder = [](std::u16string& folder, const std::u16string& name) {
        if (!folder.empty() && IsSeparator(folder.back()))
            folder.pop_back();
        folder += u'\\';
        folder += name;
    };
    std::u16string target = destination;
    appendFolder(target, rootName);
    appendFolder(target, u"");
    return target;
}

namespace {

// Appends the fold key of path (see MskPathFoldKey) to out.
void AppendFoldKey(std::u16string& out, const std::u16string& path) {
    // Empty and "." components are passed over, so a\.\b and a\b are one place.
    const size_t keyStart = out.size();
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsSeparator(path[i]))
            continue;
        std::u16string_view component(path.data() + start, i - start);
        if (!component.empty() && component != u".") {
            if (out.size() > keyStart)
                out.push_back(u'\\');
            for (WCHAR c : component)
                out.push_back(WCharLower(c));
        }
        start = i + 1;
    }
}

// The fold keys of the folder and file entries, back to back in one buffer, with an open-addressing
// index of them: the path checks of a table of any size make a few allocations instead of several
// per entry, and each look-up is one hash and, mostly, one comparison.
class CFoldKeys {
public:
    // Indexes the keys of entries [0, count) that are folders or files, in table order, and stops at
    // the first key already indexed: that entry is Duplicate().
    CFoldKeys(const std::vector<MskEntry>& entries, size_t count) : m_entries(entries) {
        size_t units = 0, keys = 0;
        for (size_t i = 0; i < count; ++i) {
            units += entries[i].path.size();
            keys += entries[i].type == MSK_ENTRY_FOLDER || entries[i].type == MSK_ENTRY_FILE;
        }
        m_text.reserve(units);
        m_keys.resize(entries.size());
        size_t slots = 16;
        while (slots < 2 * keys)
            slots *= 2;
        m_slots.assign(slots, 0);
        for (size_t i = 0; i < count && SIZE_MAX == m_duplicate; ++i) {
            const MskEntry& e = entries[i];
            if (e.type != MSK_ENTRY_FOLDER && e.type != MSK_ENTRY_FILE)
                continue;
            const size_t start = m_text.size();
            AppendFoldKey(m_text, e.path);
            m_keys[i] = {static_cast<DWORD>(start), static_cast<DWORD>(m_text.size() - start)};
            DWORD& slot = Slot(Key(i));
            if (0 != slot)
                m_duplicate = i;
            else
                slot = static_cast<DWORD>(i + 1);
        }
    }

    // The first entry in table order that lands on the place of an entry before it, or SIZE_MAX.
    size_t Duplicate() const { return m_duplicate; }

    // The first entry in table order whose path lies below a file entry's, or SIZE_MAX. Only when
    // every key is indexed and none is a duplicate.
    size_t FirstBelowAFile() {
        for (size_t i = 0; i < m_entries.size(); ++i) {
            std::u16string_view key = Key(i);
            for (size_t cut = key.find(u'\\'); cut != std::u16string_view::npos;
                 cut = key.find(u'\\', cut + 1)) {
                DWORD slot = Slot(key.substr(0, cut));
                if (0 != slot && m_entries[slot - 1].type == MSK_ENTRY_FILE)
                    return i;
            }
        }
        return SIZE_MAX;
    }

private:
    struct Range {
        DWORD start = 0;
        DWORD length = 0;
    };

    std::u16string_view Key(size_t i) const {
        return std::u16string_view(m_text).substr(m_keys[i].start, m_keys[i].length);
    }

    // The slot that holds key (1 + its entry's index), or the empty one where it would go.
    DWORD& Slot(std::u16string_view key) {
        const size_t mask = m_slots.size() - 1;
        for (size_t h = std::hash<std::u16string_view>()(key) & mask;; h = (h + 1) & mask) {
            if (0 == m_slots[h] || Key(m_slots[h] - 1) == key)
                return m_slots[h];
        }
    }

    const std::vector<MskEntry>& m_entries;
    std::u16string m_text;
    std::vector<Range> m_keys; // per entry; empty for entries of other types
    std::vector<DWORD> m_slots;
    size_t m_duplicate = SIZE_MAX;
};

// How many entries the table's length fields chain together, for one allocation of the list.
size_t CountEntries(const BYTE* table, size_t pos, size_t length) {
    size_t count = 0;
    while (pos < length && length - pos >= MSK_ENTRY_HEADER_SIZE) {
        DWORD entryLength = FhReadLe32(table + pos);
        if (static_cast<LONG>(entryLength) <= 0 || entryLength > length - pos)
            break;
        pos += entryLength;
        ++count;
    }
    return count;
}

} // namespace

std::u16string MskPathFoldKey(const std::u16string& path) {
    std::u16string key;
    AppendFoldKey(key, path);
    return key;
}

MskTableResult MskParseTable(const BYTE* table, DWORD length, DWORD checkWord, ULONGLONG fileSize,
                             MskTable* out, std::u16string* detail, const char** reason) {
    MskTable parsed;
    MskTableResult result = MskReadTableEntries(table, length, checkWord, fileSize, &parsed, detail);
    if (MSK_TABLE_OK == result)
        result = MskCheckTablePaths(parsed, detail, reason);
    if (MSK_TABLE_OK == result && out)
        *out = std::move(parsed);
    return result;
}

MskTableResult MskReadTableEntries(const BYTE* table, DWORD length, DWORD checkWord, ULONGLONG fileSize,
                                   MskTable* out, std::u16string* detail, std::u16string* entryPath) {
    MskTable& parsed = *out;
    parsed = MskTable();
    // The check word comes first: a table too short for anything else still tells a wrong password.
    if (NULL != table && length >= 4 && FhReadLe32(table) != checkWord)
        return MSK_TABLE_CHECK_WORD;
    if (NULL == table || length < MSK_TABLE_NAME_OFFSET) {
        if (detail)
            *detail = WFormat(u"the table of %u bytes is too short", length);
        return MSK_TABLE_SHORT;
    }
    LONG n = static_cast<LONG>(FhReadLe32(table + MSK_TABLE_NAME_LENGTH_OFFSET));
    if (n >= MSK_MAX_NAME_LENGTH)
        return MSK_TABLE_BAD_NAME;
    if (n <= 0)
        return Malformed(detail, WFormat(u"root folder name length %d", n));
    size_t entriesStart = MSK_TABLE_NAME_OFFSET + 2 * static_cast<size_t>(n);
    if (entriesStart > length)
        return Malformed(detail, Narrow("the root folder name runs past the table end"));
    const BYTE* last = table + MSK_TABLE_NAME_OFFSET + 2 * static_cast<size_t>(n - 1);
    if (last[0] != 0 || last[1] != 0)
        return MSK_TABLE_BAD_NAME;
    parsed.nameLength = n;
    std::u16string name = ReadPath(table + MSK_TABLE_NAME_OFFSET, static_cast<size_t>(n - 1));
    parsed.rootName = name.substr(0, name.find(u'\0'));

    size_t pos = entriesStart;
    int index = 0;
    parsed.entries.reserve(CountEntries(table, pos, length));
    while (pos < length) {
        size_t remaining = length - pos;
        if (remaining < MSK_ENTRY_HEADER_SIZE)
            return Malformed(detail, WFormat(u"entry %d at offset %u is cut off by the table end", index,
                                             static_cast<DWORD>(pos)));
        const BYTE* e = table + pos;
        MskEntry entry;
        entry.tableOffset = static_cast<DWORD>(pos);
        entry.length = FhReadLe32(e);
        entry.type = FhReadLe32(e + 4);
        entry.unpackedSize = FhReadLe32(e + 8);
        entry.storedSize = FhReadLe32(e + 12);
        entry.dataOffset = FhReadLe32(e + 16);
        if (static_cast<LONG>(entry.length) <= 0)
            return Malformed(detail,
                             WFormat(u"entry %d has the length %d", index, static_cast<LONG>(entry.length)));
        if (entry.length > remaining)
            return Malformed(detail, WFormat(u"entry %d runs past the table end", index));
        // The path must end with a NUL unit inside the entry.
        size_t units = (entry.length - MSK_ENTRY_HEADER_SIZE) / 2;
        if (entry.length < MSK_ENTRY_HEADER_SIZE)
            units = 0;
        size_t nul = units;
        for (size_t i = 0; i < units; ++i) {
            if (e[MSK_ENTRY_HEADER_SIZE + 2 * i] == 0 && e[MSK_ENTRY_HEADER_SIZE + 2 * i + 1] == 0) {
                nul = i;
                break;
            }
        }
        if (nul == units)
            return Malformed(detail, WFormat(u"the path of entry %d is not terminated inside it", index));
        entry.path = ReadPath(e + MSK_ENTRY_HEADER_SIZE, nul);
        if (entry.type == MSK_ENTRY_FILE &&
            static_cast<ULONGLONG>(entry.dataOffset) + entry.storedSize > fileSize) {
            Malformed(detail, WFormat(u"the data of entry %d lies outside the file", index));
            if (entryPath)
                *entryPath = entry.path;
            return MSK_TABLE_CUT;
        }
        // A claim no stream of that length can meet is refused before anything is decoded for it.
        if (entry.type == MSK_ENTRY_FILE &&
            static_cast<ULONGLONG>(entry.unpackedSize) >
                static_cast<ULONGLONG>(entry.storedSize) * MSK_MAX_INFLATE_RATIO)
            return BadData(detail,
                           WFormat(u"entry '%s': declares %u bytes, more than its %u stored bytes can hold",
                                   entry.path.c_str(), entry.unpackedSize, entry.storedSize));
        parsed.entries.push_back(std::move(entry));
        pos += parsed.entries.back().length;
        ++index;
    }
    return CheckDataRanges(parsed.entries, MSK_HEADER_SIZE + static_cast<ULONGLONG>(length), detail);
}

MskTableResult MskCheckTablePaths(const MskTable& parsed, std::u16string* detail, const char** reason) {
    // Nothing may leave the target folder, be a name the device refuses, land twice on the same place
    // or lie below a file.
    auto unsafe = [&](const std::u16string& path, const char* why) {
        if (detail)
            *detail = path;
        if (reason)
            *reason = why;
        return MSK_TABLE_UNSAFE_PATH;
    };
    if (const char* why = MskUnsafePathReason(parsed.rootName, true))
        return unsafe(parsed.rootName, why);
    const size_t rootLength = parsed.rootName.size();
    // The first refusal in table order wins: an entry's own path is judged before its place among
    // the entries before it.
    size_t firstUnsafe = parsed.entries.size();
    const char* unsafeWhy = NULL;
    for (size_t i = 0; i < parsed.entries.size() && NULL == unsafeWhy; ++i) {
        const MskEntry& entry = parsed.entries[i];
        if (entry.type != MSK_ENTRY_FOLDER && entry.type != MSK_ENTRY_FILE)
            continue;
        unsafeWhy = MskUnsafePathReason(entry.path, false, entry.type == MSK_ENTRY_FILE, rootLength);
        if (NULL != unsafeWhy)
            firstUnsafe = i;
    }
    {
        CFoldKeys keys(parsed.entries, firstUnsafe);
        if (keys.Duplicate() < firstUnsafe)
            return unsafe(parsed.entries[keys.Duplicate()].path, "names the same place as another entry");
        if (NULL != unsafeWhy)
            return unsafe(parsed.entries[firstUnsafe].path, unsafeWhy);
        size_t below = keys.FirstBelowAFile();
        if (below != SIZE_MAX)
            return unsafe(parsed.entries[below].path, "lies below a file entry");
    }
    return MSK_TABLE_OK;
}
