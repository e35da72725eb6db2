// Helpers of the package tests: packages built byte by byte (so that any field can be wrong), a
// recorder for the progress callback, and a deflate bit writer for hand-made streams.
#pragma once

#include "package/MskUnpacker.h"
#include "platform/WinCe.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace msktest {

std::string Compress(const std::string& data, int level = 9);

struct RawEntry {
    DWORD type = MSK_ENTRY_FILE;
    std::u16string path;
    std::string content; // files: what the stream decompresses to
    // Overrides of what the builder would write.
    std::optional<std::string> stream; // the stored bytes instead of Compress(content)
    std::optional<DWORD> unpackedSize;
    std::optional<DWORD> storedSize;
    std::optional<DWORD> dataOffset;
    std::optional<DWORD> length;
    // Files: no stream of its own, but the offset and stored size of an earlier entry's stream.
    std::optional<size_t> sameDataAs;
};

struct RawPackage {
    std::u16string root = u"app";
    DWORD key = 0;
    std::vector<RawEntry> entries; // in table order
    std::optional<LONG> nameLength;
    std::optional<DWORD> headerCheckWord;
    std::optional<DWORD> tableCheckWord;
    std::optional<DWORD> tableEnd;
    std::string tableTail; // bytes appended to the table (inside it, scrambled with it)
};

// Header, scrambled table, then the streams of the file entries in table order.
std::string Build(const RawPackage& package);

// The shape of table that once kept a check busy for hours: count files, each declaring
// unpackedSize bytes, all pointing at one stream of storedSize bytes (not a real stream: a table check
// must refuse it before anything is decoded).
RawPackage SharedStreamPackage(int count, DWORD storedSize, DWORD unpackedSize);

// Entries of a small tree: folders and text files.
RawEntry Folder(const std::u16string& path);
RawEntry File(const std::u16string& path, const std::string& content);

struct CallbackRecord {
    LONG index;
    std::u16string path;
    LONG total;
};

class CProgressRecorder {
public:
    // Cancels (returns FALSE) at the call with this index, if set.
    explicit CProgressRecorder(LONG cancelAt = -1) : m_cancelAt(cancelAt) {}
    static BOOL Callback(LPVOID context, LONG index, LPCWSTR path, LONG total);
    const std::vector<CallbackRecord>& Calls() const { return m_calls; }

private:
    LONG m_cancelAt;
    std::vector<CallbackRecord> m_calls;
};

// Writes deflate bits least significant first, as the format stores them.
class CBitWriter {
public:
    void Bits(uint32_t value, unsigned count);
    // A Huffman code: its bits go most significant first.
    void Code(uint32_t code, unsigned length);
    // Pads to a byte boundary with zero bits.
    void Align();
    const std::vector<BYTE>& Bytes() const { return m_bytes; }

private:
    std::vector<BYTE> m_bytes;
    unsigned m_bitCount = 0;
};

// The canonical codes of a list of code lengths (0: unused).
std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths);

// Wraps a raw deflate stream in a zlib header and the Adler-32 of the given output.
std::string ZlibWrap(const std::vector<BYTE>& deflate, const std::string& output);

// size bytes that do not compress, the same for the same seed.
std::string RandomBytes(size_t size, unsigned seed);

} // namespace msktest
