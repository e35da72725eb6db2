#include "package/MskZlibCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

// The rules here are those of zlib's inflate (inflate.c and inftrees.c), which decide what the
// unpacker accepts; a faster decoder that is more lenient in some corners of the format is only used
// together with these checks (see MskInflate.cpp): the block header judge for ISA-L, which decodes
// block by block, and the walk over the whole stream for libdeflate. The walk never produces output,
// so it only needs to know where each code ends and what kind of symbol it stands for.

namespace {

const unsigned kMaxBits = 15;
const unsigned kLitLenBits = 11; // first-level table of the literal/length code
const unsigned kDistBits = 8;    // and of the distance code
const unsigned kNumLitLen = 288;
const unsigned kNumDist = 32;

const BYTE kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                               2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const BYTE kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const BYTE kPrecodeOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// A first-level table entry: the bits to drop (the code, its extra bits, and for literals possibly a
// second literal's code), the kind, and the symbol.
enum : uint32_t {
    KIND_LITERAL = 0u << 8,
    KIND_MATCH = 1u << 8, // a length (a distance follows) or a distance
    KIND_END = 2u << 8,
    KIND_SPECIAL = 3u << 8, // no code of the table's length starts here
    KIND_MASK = 3u << 8,
    FLAG_INVALID = 1u << 10, // special: no code at all (zlib reports an invalid code)
};

inline uint32_t Entry(unsigned drop, uint32_t kind, unsigned symbol) {
    return drop | kind | static_cast<uint32_t>(symbol) << 16;
}

enum CodeKind { CODE_PRECODE, CODE_LITLEN, CODE_DIST };

template <unsigned TableBits> struct Code {
    uint32_t table[1u << TableBits];
    uint16_t count[kMaxBits + 1];
    uint16_t symbol[kNumLitLen];
};
typedef Code<kLitLenBits> LitLenCode;
typedef Code<kDistBits> DistCode;
typedef Code<7> Precode;

unsigned Reverse(unsigned code, unsigned length) {
    unsigned r = 0;
    for (unsigned i = 0; i < length; ++i, code >>= 1)
        r = (r << 1) | (code & 1);
    return r;
}

// What a symbol of a code stands for, and the bits it takes with its extra bits.
uint32_t SymbolEntry(CodeKind kind, unsigned symbol, unsigned length) {
    if (kind == CODE_LITLEN) {
        if (symbol < 256)
            return Entry(length, KIND_LITERAL, symbol);
        if (symbol == 256)
            return Entry(length, KIND_END, symbol);
        if (symbol < 286)
            return Entry(length + kLengthExtra[symbol - 257], KIND_MATCH, symbol);
        return Entry(0, KIND_SPECIAL | FLAG_INVALID, symbol); // 286 and 287: zlib refuses them
    }
    if (kind == CODE_DIST) {
        if (symbol < 30)
            return Entry(length + kDistExtra[symbol], KIND_MATCH, symbol);
        return Entry(0, KIND_SPECIAL | FLAG_INVALID, symbol); // 30 and 31 likewise
    }
    return Entry(length, KIND_LITERAL, symbol);
}

// Judges a code's lengths as inftrees.c does: over-subscribed codes fail; an incomplete code is
// accepted only for literal/length and distance codes that have a single code of one bit (the other
// one-bit pattern is then invalid); an empty code is accepted for distances (every pattern invalid).
// An empty precode is refused here: zlib accepts it, but it can only describe lengths that lack an
// end-of-block code, which zlib refuses a moment later. Fills count[] for Fill.
bool Judge(uint16_t* count, const BYTE* lengths, unsigned n, CodeKind kind, bool* complete) {
    memset(count, 0, sizeof(uint16_t) * (kMaxBits + 1));
    for (unsigned s = 0; s < n; ++s)
        ++count[lengths[s]];
    count[0] = 0;
    unsigned max = kMaxBits;
    while (max >= 1 && count[max] == 0)
        --max;
    if (max == 0) {
        *complete = false;
        return kind == CODE_DIST;
    }
    int left = 1;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        left <<= 1;
        left -= count[len];
        if (left < 0)
            return false;
    }
    *complete = left == 0;
    return *complete || (kind != CODE_PRECODE && max == 1);
}

// Fills the decode table of a code Judge accepted.
template <unsigned TableBits>
void Fill(Code<TableBits>& h, const BYTE* lengths, unsigned n, CodeKind kind, bool complete) {
    const unsigned size = 1u << TableBits;
    uint16_t offsets[kMaxBits + 2];
    offsets[1] = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len)
        offsets[len + 1] = static_cast<uint16_t>(offsets[len] + h.count[len]);
    for (unsigned s = 0; s < n; ++s) {
        if (lengths[s] != 0)
            h.symbol[offsets[lengths[s]]++] = static_cast<uint16_t>(s);
    }

    // Patterns not filled below start a longer code (complete codes) or no code (incomplete ones).
    uint32_t fill = complete ? Entry(0, KIND_SPECIAL, 0) : Entry(0, KIND_SPECIAL | FLAG_INVALID, 0);
    for (unsigned i = 0; i < size; ++i)
        h.table[i] = fill;
    unsigned code = 0, index = 0;
    for (unsigned len = 1; len <= TableBits; ++len) {
        for (unsigned k = 0; k < h.count[len]; ++k, ++code, ++index) {
            uint32_t entry = SymbolEntry(kind, h.symbol[index], len);
            for (unsigned i = Reverse(code, len); i < size; i += 1u << len)
                h.table[i] = entry;
        }
        code <<= 1;
    }
}

// Lets one table step take several symbols: a length followed by its distance, and then any two such
// steps in a row, whenever all their bits (extra bits included) lie inside the table's window. An
// entry of kind KIND_LITERAL then means "complete symbols zlib accepts; a literal/length code follows".
void CombineSteps(LitLenCode& litlen, const DistCode& dist) {
    const unsigned size = 1u << kLitLenBits;
    for (unsigned i = 0; i < size; ++i) {
        uint32_t e = litlen.table[i];
        unsigned used = e & 0xFF;
        if ((e & KIND_MASK) != KIND_MATCH || used >= kLitLenBits)
            continue;
        uint32_t d = dist.table[(i >> used) & ((1u << kDistBits) - 1)];
        if ((d & KIND_MASK) == KIND_MATCH && used + (d & 0xFF) <= kLitLenBits)
            litlen.table[i] = Entry(used + (d & 0xFF), KIND_LITERAL, e >> 16);
    }
    uint32_t single[1u << kLitLenBits];
    memcpy(single, litlen.table, sizeof(single));
    for (unsigned i = 0; i < size; ++i) {
        uint32_t first = single[i];
        unsigned used = first & 0xFF;
        if ((first & KIND_MASK) != KIND_LITERAL || used >= kLitLenBits)
            continue;
        uint32_t second = single[i >> used];
        if ((second & KIND_MASK) == KIND_LITERAL && used + (second & 0xFF) <= kLitLenBits)
            litlen.table[i] = Entry(used + (second & 0xFF), KIND_LITERAL, first >> 16);
    }
}

// Reads a stream's bits least significant first from one buffer. Bytes past its end read as zero and
// are counted.
class BitReader {
public:
    BitReader(const BYTE* start, size_t length) : m_start(start), m_next(start), m_end(start + length) {}

    // At least 56 bits in the buffer afterwards. False once padding must have been consumed: the
    // stream is cut short.
    bool Refill() {
        if (m_end - m_next >= 8) {
            uint64_t word;
            memcpy(&word, m_next, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
            word = __builtin_bswap64(word);
#endif
            unsigned bytes = (63 - m_count) >> 3;
            word &= (uint64_t(1) << (bytes * 8)) - 1;
            m_bits |= word << m_count;
            m_next += bytes;
            m_count += bytes * 8;
            return true;
        }
        while (m_count < 56) {
            if (m_next < m_end)
                m_bits |= uint64_t(*m_next++) << m_count;
            else
                ++m_overread;
            m_count += 8;
        }
        // The buffer holds at most 8 bytes, so more padding than that has been used up.
        return m_overread <= 8;
    }
    unsigned Count() const {
        return m_count;
    }
    unsigned Peek(unsigned n) const {
        return static_cast<unsigned>(m_bits & ((uint64_t(1) << n) - 1));
    }
    void Drop(unsigned n) {
        m_bits >>= n;
        m_count -= n;
    }
    unsigned Take(unsigned n) {
        unsigned v = Peek(n);
        Drop(n);
        return v;
    }
    uint64_t ConsumedBits() const {
        return static_cast<uint64_t>(static_cast<size_t>(m_next - m_start) + m_overread) * 8 - m_count;
    }
    // False when the bits consumed so far run past the buffer's end.
    bool Inside() const {
        return ConsumedBits() <= static_cast<uint64_t>(m_end - m_start) * 8;
    }
    size_t Length() const {
        return static_cast<size_t>(m_end - m_start);
    }
    // A stored block after its 3 header bits: the byte-aligned lengths, checked; then, when the block
    // lies in the buffer, its bytes are passed over.
    bool StoredHeader(unsigned* length) {
        Drop(m_count % 8);
        if (!Refill())
            return false;
        unsigned len = Take(16);
        unsigned nlen = Take(16);
        *length = len;
        return len == (~nlen & 0xFFFFu) && Inside();
    }
    bool StoredBlock() {
        unsigned len = 0;
        if (!StoredHeader(&len) || (ConsumedBits() / 8) + len > Length())
            return false;
        unsigned buffered = std::min(len, m_count / 8);
        Drop(buffered * 8);
        m_next += len - buffered;
        return true;
    }

private:
    const BYTE* m_start;
    const BYTE* m_next;
    const BYTE* m_end;
    uint64_t m_bits = 0;
    unsigned m_count = 0;
    size_t m_overread = 0;
};

// Canonical decoding one bit at a time, for codes longer than the first-level table. -1 when no code
// matches (only possible for a code that is not complete).
template <unsigned TableBits> int DecodeSlow(const Code<TableBits>& h, BitReader& in) {
    int code = 0, first = 0, index = 0;
    for (unsigned len = 1; len <= kMaxBits; ++len) {
        code |= static_cast<int>(in.Take(1));
        int count = h.count[len];
        if (code - count < first)
            return h.symbol[index + (code - first)];
        index += count;
        first += count;
        first <<= 1;
        code <<= 1;
    }
    return -1;
}

// The symbols of one Huffman block up to its end-of-block code. Each step starts with at least 48 bits
// in the buffer: enough for the longest length code with its extra bits and the longest distance code
// with its extra bits.
bool WalkCodes(const LitLenCode& litlen, const DistCode& dist, BitReader& reader) {
    // A local copy keeps the bit buffer in registers; it goes back only at the block's end (after a
    // failure nothing reads it).
    BitReader in = reader;
    for (;;) {
        if (in.Count() < 48 && !in.Refill())
            return false;
        uint32_t e = litlen.table[in.Peek(kLitLenBits)];
        if (e & (2u << 8)) { // the end of the block, or a code the table does not hold
            if ((e & KIND_MASK) == KIND_END) {
                in.Drop(e & 0xFF);
                reader = in;
                return true;
            }
            if (e & FLAG_INVALID)
                return false;
            int sym = DecodeSlow(litlen, in);
            if (sym < 0 || sym >= 286)
                return false;
            if (sym == 256) {
                reader = in;
                return true;
            }
            if (sym < 256)
                continue;
            in.Drop(kLengthExtra[sym - 257]);
            uint32_t d = dist.table[in.Peek(kDistBits)];
            if ((d & KIND_MASK) == KIND_SPECIAL) {
                if (d & FLAG_INVALID)
                    return false;
                int dsym = DecodeSlow(dist, in);
                if (dsym < 0 || dsym >= 30)
                    return false;
                in.Drop(kDistExtra[dsym]);
            } else {
                in.Drop(d & 0xFF);
            }
            continue;
        }
        // Literals and whole matches (kind 0) and lengths whose distance follows (kind 1) take the
        // same path; the distance step counts only for the latter. Which one comes next is as good
        // as random in compressed data, so a branch on it would mostly be mispredicted.
        in.Drop(e & 0xFF);
        uint32_t isMatch = (e >> 8) & 1;
        uint32_t d = dist.table[in.Peek(kDistBits)];
        if (d & (isMatch << 9)) { // a distance code the table does not hold
            if (d & FLAG_INVALID)
                return false;
            int dsym = DecodeSlow(dist, in);
            if (dsym < 0 || dsym >= 30)
                return false;
            in.Drop(kDistExtra[dsym]);
            continue;
        }
        in.Drop((d & 0xFF) & (0u - isMatch));
    }
}

// The code lengths of a dynamic block header, read and judged as zlib's inflate does.
struct DynamicLengths {
    BYTE lengths[kNumLitLen + kNumDist];
    unsigned nlen = 0, ndist = 0;
    uint16_t litlenCount[kMaxBits + 1], distCount[kMaxBits + 1];
    bool litlenComplete = false, distComplete = false;
};

bool ReadDynamicCodes(BitReader& in, DynamicLengths& d) {
    if (!in.Refill())
        return false;
    d.nlen = in.Take(5) + 257;
    d.ndist = in.Take(5) + 1;
    unsigned ncode = in.Take(4) + 4;
    if (d.nlen > 286 || d.ndist > 30)
        return false;
    BYTE* lengths = d.lengths;
    memset(lengths, 0, 19);
    for (unsigned i = 0; i < ncode; ++i) {
        if (i % 16 == 0 && !in.Refill())
            return false;
        lengths[kPrecodeOrder[i]] = static_cast<BYTE>(in.Take(3));
    }
    Precode precode;
    bool complete = false;
    if (!Judge(precode.count, lengths, 19, CODE_PRECODE, &complete))
        return false;
    Fill(precode, lengths, 19, CODE_PRECODE, complete);
    const unsigned total = d.nlen + d.ndist;
    unsigned have = 0;
    while (have < total) {
        if (!in.Refill())
            return false;
        // The precode is complete and at most 7 bits long, so every pattern is in the table.
        uint32_t e = precode.table[in.Peek(7)];
        in.Drop(e & 0xFF);
        unsigned sym = e >> 16;
        if (sym < 16) {
            lengths[have++] = static_cast<BYTE>(sym);
            continue;
        }
        BYTE value = 0;
        unsigned copy;
        if (sym == 16) {
            if (have == 0)
                return false;
            value = lengths[have - 1];
            copy = 3 + in.Take(2);
        } else if (sym == 17) {
            copy = 3 + in.Take(3);
        } else {
            copy = 11 + in.Take(7);
        }
        if (have + copy > total)
            return false;
        while (copy--)
            lengths[have++] = value;
    }
    if (lengths[256] == 0)
        return false;
    return Judge(d.distCount, lengths + d.nlen, d.ndist, CODE_DIST, &d.distComplete) &&
           Judge(d.litlenCount, lengths, d.nlen, CODE_LITLEN, &d.litlenComplete);
}

struct FixedCodes {
    LitLenCode litlen;
    DistCode dist;
    FixedCodes() {
        BYTE lengths[kNumLitLen];
        unsigned s = 0;
        for (; s < 144; ++s)
            lengths[s] = 8;
        for (; s < 256; ++s)
            lengths[s] = 9;
        for (; s < 280; ++s)
            lengths[s] = 7;
        for (; s < 288; ++s)
            lengths[s] = 8;
        bool complete = false;
        Judge(litlen.count, lengths, kNumLitLen, CODE_LITLEN, &complete);
        Fill(litlen, lengths, kNumLitLen, CODE_LITLEN, complete);
        BYTE distLengths[kNumDist];
        memset(distLengths, 5, sizeof(distLengths));
        Judge(dist.count, distLengths, kNumDist, CODE_DIST, &complete);
        Fill(dist, distLengths, kNumDist, CODE_DIST, complete);
        CombineSteps(litlen, dist);
    }
};

const FixedCodes& Fixed() {
    static const FixedCodes codes;
    return codes;
}

} // namespace

namespace {

// The blocks after the 2-byte header, and the trailer's place inside the stream.
bool WalkBlocks(BitReader& in) {
    LitLenCode litlen;
    DistCode dist;
    DynamicLengths d;
    bool last = false;
    while (!last) {
        if (!in.Refill())
            return false;
        last = in.Take(1) != 0;
        unsigned type = in.Take(2);
        if (type == 0) {
            if (!in.StoredBlock())
                return false;
        } else if (type == 1) {
            if (!WalkCodes(Fixed().litlen, Fixed().dist, in))
                return false;
        } else if (type == 2) {
            if (!ReadDynamicCodes(in, d))
                return false;
            // With complete codes every bit pattern is a symbol zlib accepts, so only the position
            // of the block's end matters, and after the last block nothing does: its tables are not
            // even needed.
            if (last && d.litlenComplete && d.distComplete)
                break;
            memcpy(dist.count, d.distCount, sizeof(dist.count));
            memcpy(litlen.count, d.litlenCount, sizeof(litlen.count));
            Fill(dist, d.lengths + d.nlen, d.ndist, CODE_DIST, d.distComplete);
            Fill(litlen, d.lengths, d.nlen, CODE_LITLEN, d.litlenComplete);
            CombineSteps(litlen, dist);
            if (!WalkCodes(litlen, dist, in))
                return false;
        } else {
            return false;
        }
    }
    if (!in.Inside())
        return false;
    return (in.ConsumedBits() + 7) / 8 + 4 <= in.Length();
}

} // namespace

bool MskZlibHeaderOk(const BYTE* header) {
    unsigned cmf = header[0], flg = header[1];
    return (cmf * 256 + flg) % 31 == 0 && (cmf & 15) == 8 && (cmf >> 4) <= 7 && (flg & 0x20) == 0;
}

bool MskZlibAcceptsBlockHeader(const BYTE* data, size_t length, unsigned firstBit, MskBlockHeader* header) {
    BitReader in(data, length);
    if (firstBit > 7 || !in.Refill())
        return false;
    in.Drop(firstBit);
    header->last = in.Take(1) != 0;
    header->type = in.Take(2);
    header->storedLength = 0;
    bool ok = false;
    if (0 == header->type) {
        ok = in.StoredHeader(&header->storedLength);
    } else if (1 == header->type) {
        ok = in.Inside();
    } else if (2 == header->type) {
        DynamicLengths d;
        ok = ReadDynamicCodes(in, d) && in.Inside();
    }
    header->end = static_cast<size_t>(in.ConsumedBits());
    return ok;
}

bool MskZlibAcceptsDecodedStream(const BYTE* src, size_t length) {
    if (NULL == src || length < 2 || !MskZlibHeaderOk(src))
        return false;
    BitReader in(src + 2, length - 2);
    return WalkBlocks(in);
}
