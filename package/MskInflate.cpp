#include "package/MskInflate.h"
#include "package/MskFormat.h"
#include "package/MskZlibCheck.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <zlib.h>
#include <isa-l/igzip_lib.h>

#if MSK_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

// No stream can grow by more than the deflate limit; such a claim could only fail after the
// allocation or the whole decode, so it is refused first.
bool BeyondDeflateLimit(size_t dstLength, size_t srcLength) {
    return srcLength < SIZE_MAX / MSK_MAX_INFLATE_RATIO && dstLength > srcLength * MSK_MAX_INFLATE_RATIO;
}

bool ZlibInflate(BYTE* dst, size_t dstLength, const BYTE* src, size_t srcLength) {
    uLongf length = static_cast<uLongf>(dstLength);
    BYTE dummy = 0;
    if (uncompress(dst ? dst : &dummy, &length, src ? src : &dummy, static_cast<uLong>(srcLength)) != Z_OK)
        return false;
    return length == dstLength;
}

#if MSK_HAVE_LIBDEFLATE
struct Decompressor {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Decompressor() {
        if (d)
            libdeflate_free_decompressor(d);
    }
};

// libdeflate accepts a few streams that zlib refuses: the reserved length symbols 286 and 287 and
// distance symbols 30 and 31, more than 286 length or 30 distance codes, a single-codeword code read
// with its unused bit pattern, a match in a block without distance codes, and code length repeats
// that run past the end. For everything else the two agree, so libdeflate decodes and the walk over
// the stream's form supplies zlib's verdict on those corners. Both see trailing bytes after the
// stream the same way: they are ignored.
bool LibdeflateInflate(BYTE* dst, size_t dstLength, const BYTE* src, size_t srcLength) {
    thread_local Decompressor decompressor;
    if (!decompressor.d || !src)
        return false;
    // zlib's uncompress given no room decodes into a one-byte buffer of its own, and reports success
    // with a length of 0 for a stream of one byte as well as for an empty one.
    BYTE scratch = 0;
    const bool noRoom = dstLength == 0;
    size_t consumed = 0, produced = 0;
    libdeflate_result r =
        libdeflate_zlib_decompress_ex(decompressor.d, src, srcLength, noRoom ? &scratch : dst,
                                      noRoom ? 1 : dstLength, &consumed, &produced);
    if (r != LIBDEFLATE_SUCCESS || (noRoom ? produced > 1 : produced != dstLength))
        return false;
    return MskZlibAcceptsDecodedStream(src, srcLength);
}
#endif

} // namespace

bool MskHaveLibdeflate() {
#if MSK_HAVE_LIBDEFLATE
    return true;
#else
    return false;
#endif
}

bool MskInflateWith(MskDecoder decoder, BYTE* dst, size_t dstLength, const BYTE* src, size_t srcLength) {
    if (BeyondDeflateLimit(dstLength, srcLength))
        return false;
#if MSK_HAVE_LIBDEFLATE
    if (decoder == MSK_DECODER_LIBDEFLATE)
        return LibdeflateInflate(dst, dstLength, src, srcLength);
#else
    (void)decoder;
#endif
    return ZlibInflate(dst, dstLength, src, srcLength);
}

namespace {

// The history a block's matches may reach back into.
const size_t kHistory = 32768;
// Bytes kept before a new piece of input: ISA-L may hold that many of the previous piece in its bit
// buffer when a block ends, and the next block starts there.
const size_t kCarry = 8;

} // namespace

struct CMskStreamInflater::State {
    bool isal = false;
    size_t pieceSize = 0;
    size_t inCapacity = 0;
    size_t outCapacity = 0;
    std::unique_ptr<BYTE[]> in;
    std::unique_ptr<BYTE[]> out;
    std::unique_ptr<inflate_state> is;
    z_stream z = {};
    bool initialised = false;
    ~State() {
        if (initialised)
            inflateEnd(&z);
    }
};

CMskStreamInflater::CMskStreamInflater(size_t pieceSize, bool isal) : m_state(new State) {
    State& s = *m_state;
    s.isal = isal;
    s.pieceSize = std::max<size_t>(pieceSize, 16);
    // ISA-L's input holds a block header whole besides a piece; its output keeps the history before
    // the piece being decoded.
    s.inCapacity = isal ? kCarry + MSK_MAX_BLOCK_HEADER + s.pieceSize : s.pieceSize;
    s.outCapacity = isal ? kHistory + std::max(s.pieceSize, kHistory) : s.pieceSize;
}

CMskStreamInflater::~CMskStreamInflater() = default;

size_t CMskStreamInflater::MemoryBytes() const {
    // The two buffers, ISA-L's state, and zlib's with its 32 KB window once it has been set up.
    const State& s = *m_state;
    return (s.in ? s.inCapacity + s.outCapacity : 0) + (s.is ? sizeof(inflate_state) : 0) +
           (s.initialised ? sizeof(z_stream) + 40960 : 0);
}

MskStreamResult CMskStreamInflater::Inflate(size_t storedLength, size_t unpackedLength, IMskStreamIo& io) {
    State& s = *m_state;
    if (BeyondDeflateLimit(unpackedLength, storedLength))
        return MSK_STREAM_BAD;
    if (!s.in) {
        s.in.reset(new (std::nothrow) BYTE[s.inCapacity]);
        s.out.reset(new (std::nothrow) BYTE[s.outCapacity]);
        if (s.isal)
            s.is.reset(new (std::nothrow) inflate_state);
        if (!s.in || !s.out || (s.isal && !s.is)) {
            s.in.reset();
            s.out.reset();
            s.is.reset();
            return MSK_STREAM_BAD;
        }
    }
    if (s.isal)
        return InflateWithIsal(storedLength, unpackedLength, io);
    if (!s.initialised) {
        s.z = z_stream();
        if (inflateInit(&s.z) != Z_OK)
            return MSK_STREAM_BAD;
        s.initialised = true;
    } else if (inflateReset(&s.z) != Z_OK) {
        return MSK_STREAM_BAD;
    }
    // uncompress given no room decodes into a byte of its own and still succeeds, reporting 0 bytes,
    // when the stream holds one byte; so up to one byte of output is taken (and dropped) then.
    const size_t room = unpackedLength ? unpackedLength : 1;
    size_t unread = storedLength;
    size_t produced = 0;
    s.z.next_in = s.in.get();
    s.z.avail_in = 0;
    for (;;) {
        if (0 == s.z.avail_in && unread > 0) {
            size_t n = std::min(unread, s.pieceSize);
            if (!io.Read(s.in.get(), n))
                return MSK_STREAM_READ_FAILED;
            unread -= n;
            s.z.next_in = s.in.get();
            s.z.avail_in = static_cast<uInt>(n);
        }
        s.z.next_out = s.out.get();
        s.z.avail_out = static_cast<uInt>(s.pieceSize);
        int ret = inflate(&s.z, Z_NO_FLUSH);
        size_t got = s.pieceSize - s.z.avail_out;
        // Output beyond the room: uncompress would run out of it before the stream ends.
        if (got > room - produced)
            return MSK_STREAM_BAD;
        produced += got;
        if (got > 0 && unpackedLength > 0 && !io.Write(s.out.get(), got))
            return MSK_STREAM_WRITE_FAILED;
        if (Z_STREAM_END == ret)
            return produced == unpackedLength || 0 == unpackedLength ? MSK_STREAM_OK : MSK_STREAM_BAD;
        if (Z_BUF_ERROR == ret) {
            // No progress was possible: the stream wants more than its stored bytes.
            if (0 == s.z.avail_in && 0 == unread)
                return MSK_STREAM_BAD;
            continue;
        }
        if (Z_OK != ret)
            return MSK_STREAM_BAD;
    }
}

namespace {

// One stream decoded by ISA-L block by block. Each block header is judged by zlib's rules first, then
// ISA-L decodes the block with its final bit set, so that it stops at the block's end, where the next
// header is judged; the history before the block is handed to it as a dictionary. Stored blocks are
// copied here. Inside a block ISA-L refuses exactly what zlib refuses (reserved symbols, bit patterns
// no code has, distances before the start of the output); only some headers it takes are refused by
// zlib (incomplete codes). The differential tests hold it to that.
class CIsalBlocks {
public:
    CIsalBlocks(inflate_state& is, BYTE* in, size_t inCapacity, BYTE* out, size_t outCapacity,
                size_t pieceSize, size_t stored, size_t unpacked, IMskStreamIo& io)
        : m_is(is), m_in(in), m_inEnd(in), m_inCapacity(inCapacity), m_out(out), m_outCapacity(outCapacity),
          m_pieceSize(pieceSize), m_unread(stored), m_unpacked(unpacked), m_room(unpacked ? unpacked : 1),
          m_io(io) {}

    MskStreamResult Run() {
        const BYTE* p = m_in;
        if (!Gather(p, 2))
            return m_result;
        if (m_inEnd - p < 2 || !MskZlibHeaderOk(p))
            return MSK_STREAM_BAD;
        p += 2;
        unsigned bit = 0;
        MskBlockHeader header;
        while (!header.last) {
            if (!Gather(p, MSK_MAX_BLOCK_HEADER))
                return m_result;
            if (!MskZlibAcceptsBlockHeader(p, static_cast<size_t>(m_inEnd - p), bit, &header))
                return MSK_STREAM_BAD;
            if (0 == header.type) {
                // Stored bytes are copied here: ISA-L would copy them twice, through its own buffer.
                p += header.end / 8;
                bit = 0;
                if (!CopyStored(p, header.storedLength))
                    return m_result;
                continue;
            }
            if (!DecodeBlock(p, bit))
                return m_result;
            // The next block starts where ISA-L's bit buffer does (at most 8 bytes before its input).
            int64_t at = static_cast<int64_t>(m_is.next_in - m_in) * 8 - m_is.read_in_length;
            if (at < 0)
                return MSK_STREAM_BAD;
            p = m_in + at / 8;
            bit = static_cast<unsigned>(at % 8);
        }
        // The Adler-32 of the output follows on the next byte boundary.
        if (bit)
            ++p;
        if (!Gather(p, 4) || !Flush())
            return m_result;
        if (m_inEnd - p < 4)
            return MSK_STREAM_BAD;
        uint32_t check = static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
                         static_cast<uint32_t>(p[2]) << 8 | p[3];
        if (check != m_adler)
            return MSK_STREAM_BAD;
        return m_produced == m_unpacked || 0 == m_unpacked ? MSK_STREAM_OK : MSK_STREAM_BAD;
    }

private:
    // Makes at least `need` bytes from p on available (fewer only at the end of the stream), moving
    // them to the front of the buffer first when they run short; p follows them.
    bool Gather(const BYTE*& p, size_t need) {
        size_t have = static_cast<size_t>(m_inEnd - p);
        if (have >= need || 0 == m_unread)
            return true;
        memmove(m_in, p, have);
        p = m_in;
        m_inEnd = m_in + have;
        while (have < need && m_unread > 0) {
            if (!ReadPiece(m_inCapacity - have))
                return false;
            have = static_cast<size_t>(m_inEnd - m_in);
        }
        return true;
    }
    // Reads the next piece of the stream to the end of the buffer's data.
    bool ReadPiece(size_t room) {
        size_t n = std::min(std::min(m_unread, m_pieceSize), room);
        if (!m_io.Read(m_inEnd, n))
            return Fail(MSK_STREAM_READ_FAILED);
        m_unread -= n;
        m_inEnd += n;
        return true;
    }
    // ISA-L has taken all the input it was given: the next piece, behind the last few bytes.
    bool Feed() {
        if (0 == m_unread)
            return Fail(MSK_STREAM_BAD); // the stream ends inside the block
        size_t keep = std::min(kCarry, static_cast<size_t>(m_inEnd - m_in));
        memmove(m_in, m_inEnd - keep, keep);
        m_inEnd = m_in + keep;
        if (!ReadPiece(m_pieceSize))
            return false;
        m_is.next_in = m_in + keep;
        m_is.avail_in = static_cast<uint32_t>(m_inEnd - m_in - keep);
        return true;
    }

    // The data of a stored block, from p on; p follows it.
    bool CopyStored(const BYTE*& p, size_t length) {
        while (length > 0) {
            if (p == m_inEnd) {
                if (0 == m_unread)
                    return Fail(MSK_STREAM_BAD); // the stream ends inside the block
                p = m_inEnd = m_in;
                if (!ReadPiece(m_inCapacity))
                    return false;
            }
            if (m_fill == m_outCapacity && !MakeRoom())
                return false;
            size_t n = std::min(std::min(length, static_cast<size_t>(m_inEnd - p)), m_outCapacity - m_fill);
            // Output beyond the room: uncompress would run out of it before the stream ends.
            if (n > m_room - m_produced)
                return Fail(MSK_STREAM_BAD);
            memcpy(m_out + m_fill, p, n);
            p += n;
            length -= n;
            m_fill += n;
            m_produced += n;
        }
        return true;
    }

    bool DecodeBlock(const BYTE* p, unsigned bit) {
        isal_inflate_reset(&m_is);
        m_is.crc_flag = ISAL_DEFLATE;
        // Matches may reach back to the start of the output, no further (the dictionary counts as
        // output ISA-L may reach), and never more than 32 KB.
        size_t history = std::min(m_produced, kHistory);
        if (history &&
            COMP_OK != isal_inflate_set_dict(&m_is, m_out + m_fill - history, static_cast<uint32_t>(history)))
            return Fail(MSK_STREAM_BAD);
        m_is.read_in = (*p >> bit) | 1u; // the final bit: ISA-L stops at the block's end
        m_is.read_in_length = static_cast<int32_t>(8 - bit);
        m_is.next_in = const_cast<BYTE*>(p + 1);
        m_is.avail_in = static_cast<uint32_t>(m_inEnd - p - 1);
        for (;;) {
            if (m_fill == m_outCapacity && !MakeRoom())
                return false;
            size_t space = std::min(m_outCapacity - m_fill, m_room + 1 - m_produced);
            BYTE* at = m_out + m_fill;
            uint32_t availIn = m_is.avail_in;
            m_is.next_out = at;
            m_is.avail_out = static_cast<uint32_t>(space);
            int ret = isal_inflate(&m_is);
            size_t got = static_cast<size_t>(m_is.next_out - at);
            m_fill += got;
            m_produced += got;
            // Output beyond the room: uncompress would run out of it before the stream ends.
            if (ret < 0 || m_produced > m_room)
                return Fail(MSK_STREAM_BAD);
            if (ISAL_BLOCK_FINISH == m_is.block_state)
                return true;
            if (got == space)
                continue;
            if (0 == m_is.avail_in) {
                if (!Feed())
                    return false;
            } else if (0 == got && m_is.avail_in == availIn) {
                return Fail(MSK_STREAM_BAD); // no progress at all
            }
        }
    }

    // Hands on the output not yet handed on, in pieces.
    bool Flush() {
        for (size_t n; m_flushed < m_fill; m_flushed += n) {
            n = std::min(m_fill - m_flushed, m_pieceSize);
            m_adler = isal_adler32(m_adler, m_out + m_flushed, n);
            if (m_unpacked > 0 && !m_io.Write(m_out + m_flushed, n))
                return Fail(MSK_STREAM_WRITE_FAILED);
        }
        return true;
    }
    // The output buffer is full: hand it on, and keep only the history.
    bool MakeRoom() {
        if (!Flush())
            return false;
        memmove(m_out, m_out + m_fill - kHistory, kHistory);
        m_fill = m_flushed = kHistory;
        return true;
    }
    bool Fail(MskStreamResult r) {
        m_result = r;
        return false;
    }

    inflate_state& m_is;
    BYTE* m_in;
    BYTE* m_inEnd;
    size_t m_inCapacity;
    BYTE* m_out;
    size_t m_outCapacity;
    size_t m_fill = 0;    // bytes in the output buffer
    size_t m_flushed = 0; // of them, handed on
    size_t m_pieceSize;
    size_t m_unread;
    size_t m_unpacked;
    size_t m_room;
    size_t m_produced = 0;
    uint32_t m_adler = 1;
    IMskStreamIo& m_io;
    MskStreamResult m_result = MSK_STREAM_OK;
};

} // namespace

MskStreamResult CMskStreamInflater::InflateWithIsal(size_t storedLength, size_t unpackedLength,
                                                    IMskStreamIo& io) {
    State& s = *m_state;
    isal_inflate_init(s.is.get());
    CIsalBlocks blocks(*s.is, s.in.get(), s.inCapacity, s.out.get(), s.outCapacity, s.pieceSize, storedLength,
                       unpackedLength, io);
    return blocks.Run();
}
