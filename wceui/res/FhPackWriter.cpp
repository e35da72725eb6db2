#include "wceui/res/FhPackWriter.h"
#include "platform/DeviceNames.h"
#include "wceui/core/FhFileHandle.h"

#include "wceui/core/FhScramble.h"
#include "wceui/res/FhPackFile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

void PutLe32(std::vector<BYTE>& out, DWORD v) {
    out.resize(out.size() + 4);
    FhWriteLe32(&out[out.size() - 4], v);
}

void SetLe32(std::vector<BYTE>& out, size_t offset, DWORD v) {
    FhWriteLe32(&out[offset], v);
}

void PutWide(std::vector<BYTE>& out, const std::u16string& s) {
    for (char16_t c : s) {
        out.push_back(static_cast<BYTE>(c));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

// "Reserved" word at the start of the file: our packs carry "FHPK" there.
const DWORD kPackTag = 0x4B504846;

} // namespace

CFhPackWriter::CFhPackWriter() : m_bHasPassword(false), m_dwCheckWord(0), m_bHasCheckWord(false) {}

void CFhPackWriter::SetPassword(LPCWSTR pPassword) {
    m_bHasPassword = NULL != pPassword;
    m_password = pPassword ? pPassword : u"";
}

BOOL CFhPackWriter::SetPackName(LPCWSTR pName) {
    std::u16string name = pName ? pName : u"";
    if (name.size() + 1 > FH_PACK_MAX_NAME) {
        return FALSE;
    }
    m_name = name;
    return TRUE;
}

void CFhPackWriter::SetCheckWord(DWORD dwCheckWord) {
    m_dwCheckWord = dwCheckWord;
    m_bHasCheckWord = true;
}

std::u16string CFhPackWriter::NormalizeItemPath(LPCWSTR pPath) {
    std::u16string path = pPath ? pPath : u"";
    for (char16_t& c : path) {
        c = (u'/' == c) ? u'\\' : WCharLower(c);
    }
    return path;
}

BOOL CFhPackWriter::AddItem(LPCWSTR pPath, const void* pData, size_t nLength, std::string* pError) {
    const std::u16string path = NormalizeItemPath(pPath);
    const std::string shown = WideToUtf8(pPath ? pPath : u"");
    auto fail = [&](const char* why) {
        if (pError) {
            *pError = "item \"" + shown + "\" " + why;
        }
        return FALSE;
    };
    if (path.empty()) {
        return fail("has an empty path");
    }
    if (path.size() >= MAX_PATH - 1) {
        return fail("has a path of 259 units or more");
    }
    // Items are read back through device paths (and packtool extracts them to files), so each
    // component must be a name the device takes; empty, "." and ".." components would name another
    // item than the one stored.
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (std::u16string::npos == end) {
            end = path.size();
        }
        const std::u16string_view comp = std::u16string_view(path).substr(start, end - start);
        if (0 == start && comp.empty()) {
            return fail("has an absolute path");
        }
        if (comp.empty() || u"." == comp || u".." == comp) {
            return fail("has an empty, \".\" or \"..\" component");
        }
        if (const char* why = DeviceNameProblem(comp)) {
            return fail((std::string("has a name the device refuses: ") + why).c_str());
        }
        start = end + 1;
    }
    if (nLength > 0xFFFFFFFFu) {
        return fail("is larger than 4 GB");
    }
    if (!m_paths.insert(path).second) {
        return fail("is already in the pack (paths are stored in lower case)");
    }
    Item item;
    item.path = path;
    const BYTE* p = static_cast<const BYTE*>(pData);
    item.data.assign(p, p + nLength);
    m_items.push_back(std::move(item));
    return TRUE;
}

BOOL CFhPackWriter::Build(std::vector<BYTE>* pOut, std::string* pError, const Progress& progress) {
    auto fail = [&](const std::string& why) {
        if (pError) {
            *pError = why;
        }
        return FALSE;
    };
    std::vector<const Item*> items;
    for (const Item& item : m_items) {
        items.push_back(&item);
    }
    // The reader's binary search compares paths as unsigned 16-bit units, as std::u16string does.
    std::sort(items.begin(), items.end(), [](const Item* a, const Item* b) { return a->path < b->path; });

    std::vector<std::vector<BYTE>> streams(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        const std::vector<BYTE>& data = items[i]->data;
        uLongf nBound = compressBound(static_cast<uLong>(data.size()));
        streams[i].resize(nBound);
        if (Z_OK != compress2(streams[i].data(), &nBound, data.data(), static_cast<uLong>(data.size()),
                              Z_BEST_COMPRESSION)) {
            return fail("compressing " + WideToUtf8(items[i]->path) + " failed");
        }
        streams[i].resize(nBound);
        if (progress) {
            progress(i + 1, items.size());
        }
    }

    // The directory, with the data offsets filled in once its length is known.
    std::vector<BYTE> dir;
    PutLe32(dir, 0); // check word, set below
    PutLe32(dir, static_cast<DWORD>(items.size()));
    PutLe32(dir, 0);
    PutLe32(dir, m_name.empty() ? 0 : static_cast<DWORD>(m_name.size() + 1));
    if (!m_name.empty()) {
        PutWide(dir, m_name);
    }
    std::vector<size_t> offsetFields;
    for (size_t i = 0; i < items.size(); ++i) {
        const size_t start = dir.size();
        // Entries stay 4-byte aligned: fixed part, path with NUL, padding.
        const size_t length = (FH_PACK_ENTRY_FIXED_SIZE + 2 * (items[i]->path.size() + 1) + 3) & ~size_t(3);
        PutLe32(dir, static_cast<DWORD>(length));
        PutLe32(dir, 0);
        PutLe32(dir, static_cast<DWORD>(items[i]->data.size()));
        PutLe32(dir, static_cast<DWORD>(streams[i].size()));
        offsetFields.push_back(dir.size());
        PutLe32(dir, 0);
        PutLe32(dir, 0);
        PutLe32(dir, 0);
        PutWide(dir, items[i]->path);
        dir.resize(start + length, 0);
    }
    ULONGLONG nOffset = FH_PACK_HEADER_SIZE + dir.size();
    for (size_t i = 0; i < items.size(); ++i) {
        if (nOffset + streams[i].size() > 0xFFFFFFFFull) {
            return fail("the pack would be larger than 4 GB");
        }
        SetLe32(dir, offsetFields[i], static_cast<DWORD>(nOffset));
        nOffset += streams[i].size();
    }

    DWORD dwCheckWord = m_dwCheckWord;
    if (!m_bHasCheckWord) {
        uLong crc = crc32(0L, Z_NULL, 0);
        crc = crc32(crc, dir.data() + 4, static_cast<uInt>(dir.size() - 4));
        for (const auto& s : streams) {
            crc = crc32(crc, s.data(), static_cast<uInt>(s.size()));
        }
        dwCheckWord = static_cast<DWORD>(crc);
    }
    SetLe32(dir, 0, dwCheckWord);
    FhScrambleWords(dir.data(), static_cast<DWORD>(dir.size()),
                    FhPasswordToKey(m_bHasPassword ? m_password.c_str() : NULL));

    std::vector<BYTE>& out = *pOut;
    out.clear();
    out.reserve(static_cast<size_t>(nOffset));
    PutLe32(out, kPackTag);
    PutLe32(out, static_cast<DWORD>(FH_PACK_HEADER_SIZE + dir.size()));
    PutLe32(out, dwCheckWord);
    out.insert(out.end(), dir.begin(), dir.end());
    for (const auto& s : streams) {
        out.insert(out.end(), s.begin(), s.end());
    }
    return TRUE;
}
