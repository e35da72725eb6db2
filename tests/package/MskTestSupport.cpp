#include "MskTestSupport.h"
#include "wceui/core/FhScramble.h"
#include "package/MskFormat.h"

#include <zlib.h>

#include <random>

namespace msktest {

std::string Compress(const std::string& data, int level) {
    uLongf n = compressBound(static_cast<uLong>(data.size()));
    std::string out(n, '\0');
    compress2(reinterpret_cast<Bytef*>(&out[0]), &n, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), level);
    out.resize(n);
    return out;
}

namespace {

void Put32(std::string& s, size_t at, DWORD v) {
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

void Append32(std::string& s, DWORD v) {
    s.append(4, '\0');
    Put32(s, s.size() - 4, v);
}

void AppendText(std::string& s, const std::u16string& text) {
    for (char16_t c : text) {
        s.push_back(static_cast<char>(c & 0xFF));
        s.push_back(static_cast<char>(c >> 8));
    }
    s.append(2, '\0');
}

} // namespace

std::string Build(const RawPackage& p) {
    std::vector<std::string> streams;
    for (const RawEntry& e : p.entries)
        streams.push_back(e.type == MSK_ENTRY_FILE && !e.sameDataAs
                              ? (e.stream ? *e.stream : Compress(e.content))
                              : std::string());

    std::string table;
    Append32(table, 0); // check word, set below
    Append32(table, static_cast<DWORD>(p.entries.size()));
    Append32(table, 0);
    Append32(table, static_cast<DWORD>(p.nameLength ? *p.nameLength : static_cast<LONG>(p.root.size() + 1)));
    AppendText(table, p.root);
    std::vector<size_t> entryStarts;
    for (const RawEntry& e : p.entries) {
        entryStarts.push_back(table.size());
        std::string entry;
        Append32(entry, 0);
        Append32(entry, e.type);
        Append32(entry, 0);
        Append32(entry, 0);
        Append32(entry, 0);
        Append32(entry, 0);
        Append32(entry, 0);
        AppendText(entry, e.path);
        Put32(entry, 0, e.length ? *e.length : static_cast<DWORD>(entry.size()));
        table += entry;
    }
    table += p.tableTail;

    const DWORD tableEnd = static_cast<DWORD>(MSK_HEADER_SIZE + table.size());
    DWORD offset = tableEnd;
    std::vector<DWORD> offsets;
    for (size_t i = 0; i < p.entries.size(); ++i) {
        const RawEntry& e = p.entries[i];
        size_t at = entryStarts[i];
        const size_t source = e.sameDataAs ? *e.sameDataAs : i;
        offsets.push_back(e.sameDataAs ? offsets[source] : offset);
        Put32(table, at + 8, e.unpackedSize ? *e.unpackedSize : static_cast<DWORD>(e.content.size()));
        Put32(table, at + 12, e.storedSize ? *e.storedSize : static_cast<DWORD>(streams[source].size()));
        Put32(table, at + 16, e.dataOffset ? *e.dataOffset : offsets[i]);
        offset += static_cast<DWORD>(streams[i].size());
    }
    const DWORD check = 0x12345678;
    Put32(table, 0, p.tableCheckWord ? *p.tableCheckWord : check);
    FhScrambleWords(&table[0], static_cast<DWORD>(table.size()), p.key);

    std::string out(MSK_HEADER_SIZE, '\0');
    out[0] = static_cast<char>(0x45);
    out[1] = static_cast<char>(0xFA);
    Put32(out, MSK_TABLE_END_OFFSET, p.tableEnd ? *p.tableEnd : tableEnd);
    Put32(out, MSK_CHECK_WORD_OFFSET, p.headerCheckWord ? *p.headerCheckWord : check);
    out += table;
    for (const std::string& s : streams)
        out += s;
    return out;
}

RawPackage SharedStreamPackage(int count, DWORD storedSize, DWORD unpackedSize) {
    RawPackage p;
    for (int i = 0; i < count; ++i) {
        RawEntry e = File(WFormat(u"f%04d.bin", i), "");
        e.unpackedSize = unpackedSize;
        if (i == 0)
            e.stream = std::string(storedSize, '\x5A');
        else
            e.sameDataAs = 0;
        p.entries.push_back(std::move(e));
    }
    return p;
}

RawEntry Folder(const std::u16string& path) {
    RawEntry e;
    e.type = MSK_ENTRY_FOLDER;
    e.path = path;
    return e;
}

RawEntry File(const std::u16string& path, const std::string& content) {
    RawEntry e;
    e.path = path;
    e.content = content;
    return e;
}

BOOL CProgressRecorder::Callback(LPVOID context, LONG index, LPCWSTR path, LONG total) {
    auto* self = static_cast<CProgressRecorder*>(context);
    self->m_calls.push_back(CallbackRecord{index, path, total});
    return index == self->m_cancelAt ? FALSE : TRUE;
}

void CBitWriter::Bits(uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        if (m_bitCount % 8 == 0)
            m_bytes.push_back(0);
        if ((value >> i) & 1)
            m_bytes.back() |= static_cast<BYTE>(1u << (m_bitCount % 8));
        ++m_bitCount;
    }
}

void CBitWriter::Code(uint32_t code, unsigned length) {
    for (unsigned i = length; i > 0; --i)
        Bits((code >> (i - 1)) & 1, 1);
}

void CBitWriter::Align() {
    m_bitCount = static_cast<unsigned>(m_bytes.size() * 8);
}

std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
    int count[16] = {};
    for (int l : lengths)
        ++count[l];
    count[0] = 0;
    uint32_t next[16] = {};
    uint32_t code = 0;
    for (int bits = 1; bits < 16; ++bits) {
        code = (code + static_cast<uint32_t>(count[bits - 1])) << 1;
        next[bits] = code;
    }
    std::vector<uint32_t> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); ++s) {
        if (lengths[s] != 0)
            codes[s] = next[lengths[s]]++;
    }
    return codes;
}

std::string ZlibWrap(const std::vector<BYTE>& deflate, const std::string& output) {
    std::string out;
    out.push_back(static_cast<char>(0x78));
    out.push_back(static_cast<char>(0x9C)); // (0x78 * 256 + 0x9C) % 31 == 0
    out.append(reinterpret_cast<const char*>(deflate.data()), deflate.size());
    uLong a = adler32(0L, Z_NULL, 0);
    a = adler32(a, reinterpret_cast<const Bytef*>(output.data()), static_cast<uInt>(output.size()));
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<char>((a >> (8 * i)) & 0xFF));
    return out;
}

std::string RandomBytes(size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(rng());
    return bytes;
}

} // namespace msktest
