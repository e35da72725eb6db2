#include "package/MskFormat.h"
#include "platform/DeviceNames.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

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
    struct Range {
        ULONGLONG start, end;
        size_t index;
    };
    std::vector<Range> ranges;
    for (size_t i = 0; i < entries.size(); ++i) {
        const MskEntry& e = entries[i];
        if (e.type != MSK_ENTRY_FILE || 0 == e.storedSize)
            continue;
        if (e.dataOffset < tableEnd)
            return BadData(detail, WFormat(u"entry '%s': its data overlaps the %s", e.path.c_str(),
                                           e.dataOffset < MSK_HEADER_SIZE ? u"header" : u"file table"));
        ranges.push_back({e.dataOffset, static_cast<ULONGLONG>(e.dataOffset) + e.storedSize, i});
    }
    std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) {
        return a.start != b.start ? a.start < b.start : a.index < b.index;
    });
    size_t furthest = 0;
    for (size_t k = 1; k < ranges.size(); ++k) {
        if (ranges[k].start < ranges[furthest].end) {
            // The entry later in the table is the one named first.
            size_t a = std::max(ranges[k].index, ranges[furthest].index);
            size_t b = std::min(ranges[k].index, ranges[furthest].index);
            return BadData(detail, WFormat(u"entry '%s': its data overlaps entry '%s'",
                                           entries[a].path.c_str(), entries[b].path.c_str()));
        }
        if (ranges[k].end > ranges[furthest].end)
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

std::u16string MskPathFoldKey(const std::u16string& path) {
    // Empty and "." components are passed over, so a\.\b and a\b are one place.
    std::u16string key;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsSeparator(path[i]))
            continue;
        std::u16string_view component(path.data() + start, i - start);
        if (!component.empty() && component != u".") {
            if (!key.empty())
                key.push_back(u'\\');
            for (WCHAR c : component)
                key.push_back(WCharLower(c));
        }
        start = i + 1;
    }
    return key;
}

MskTableResult MskParseTable(const BYTE* table, DWORD length, DWORD checkWord, ULONGLONG fileSize,
                             MskTable* out, std::u16string* detail, const char** reason) {
    MskTable parsed;
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
            static_cast<ULONGLONG>(entry.dataOffset) + entry.storedSize > fileSize)
            return Malformed(detail, WFormat(u"the data of entry %d lies outside the file", index));
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
    MskTableResult data =
        CheckDataRanges(parsed.entries, MSK_HEADER_SIZE + static_cast<ULONGLONG>(length), detail);
    if (MSK_TABLE_OK != data)
        return data;

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
    std::unordered_set<std::u16string> seen, files;
    seen.reserve(parsed.entries.size());
    std::vector<std::u16string> keys(parsed.entries.size());
    for (size_t i = 0; i < parsed.entries.size(); ++i) {
        const MskEntry& entry = parsed.entries[i];
        if (entry.type != MSK_ENTRY_FOLDER && entry.type != MSK_ENTRY_FILE)
            continue;
        if (const char* why =
                MskUnsafePathReason(entry.path, false, entry.type == MSK_ENTRY_FILE, rootLength))
            return unsafe(entry.path, why);
        keys[i] = MskPathFoldKey(entry.path);
        if (!seen.insert(keys[i]).second)
            return unsafe(entry.path, "names the same place as another entry");
        if (entry.type == MSK_ENTRY_FILE)
            files.insert(keys[i]);
    }
    if (!files.empty()) {
        for (size_t i = 0; i < parsed.entries.size(); ++i) {
            const std::u16string& key = keys[i];
            for (size_t cut = key.find(u'\\'); cut != std::u16string::npos; cut = key.find(u'\\', cut + 1)) {
                if (files.count(key.substr(0, cut)))
                    return unsafe(parsed.entries[i].path, "lies below a file entry");
            }
        }
    }
    if (out)
        *out = std::move(parsed);
    return MSK_TABLE_OK;
}
