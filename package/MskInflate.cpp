#include "package/MskInflate.h"
#include "package/MskFormat.h"
#include "package/MskZlibCheck.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>
#include <cstdint>
#include <new>
#include <zlib.h>
#include <isa-l/igzip_lib.h>

#if MSK_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

// Streams from this long are walked beside the decode (see WalkBeside), with this many pieces.
const size_t kWalkBesideFrom = 4u << 20;
const int kPiecesInFlight = 4;

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

struct CMskStreamInflater::State {
    bool isal = false;
    inflate_state is;
    z_stream z = {};
    bool initialised = false;
    size_t pieceSize = 0;
    std::unique_ptr<BYTE[]> in;
    std::unique_ptr<BYTE[]> out;
    std::unique_ptr<BYTE[]> ring; // pieces shared with the walk beside the decode
    ~State() {
        if (initialised)
            inflateEnd(&z);
    }
};

CMskStreamInflater::CMskStreamInflater(size_t pieceSize, bool isal) : m_state(new State) {
    m_state->isal = isal;
    m_state->pieceSize = std::max<size_t>(pieceSize, 16);
}

CMskStreamInflater::~CMskStreamInflater() = default;

size_t CMskStreamInflater::MemoryBytes() const {
    // Two pieces, and zlib's state with its 32 KB window once it has been set up.
    return (m_state->in ? 2 * m_state->pieceSize : 0) +
           (m_state->ring ? kPiecesInFlight * m_state->pieceSize : 0) +
           (m_state->initialised ? sizeof(z_stream) + 40960 : 0);
}

MskStreamResult CMskStreamInflater::Inflate(size_t storedLength, size_t unpackedLength, IMskStreamIo& io) {
    State& s = *m_state;
    if (BeyondDeflateLimit(unpackedLength, storedLength))
        return MSK_STREAM_BAD;
    if (!s.in) {
        s.in.reset(new (std::nothrow) BYTE[s.pieceSize]);
        s.out.reset(new (std::nothrow) BYTE[s.pieceSize]);
        if (!s.in || !s.out) {
            s.in.reset();
            s.out.reset();
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

// Reads the stream piece by piece for the walk over its form, and decodes each piece with ISA-L
// before handing it on, so that the package is read once.
class CIsalSource : public IMskStreamSource {
public:
    CIsalSource(inflate_state& state, BYTE* in, BYTE* out, size_t pieceSize, size_t stored, size_t unpacked,
                IMskStreamIo& io)
        : m_state(state), m_in(in), m_out(out), m_pieceSize(pieceSize), m_unread(stored),
          m_unpacked(unpacked), m_room(unpacked ? unpacked : 1), m_io(io) {}

    bool Next(const BYTE** data, size_t* length) override {
        if (!ReadPiece(m_in, length))
            return false;
        *data = m_in;
        return true;
    }
    // Reads the next piece into buffer and decodes it (until the stream has ended); false at the end
    // of the stored bytes or after a failure.
    bool ReadPiece(BYTE* buffer, size_t* length) {
        if (MSK_STREAM_OK != result || 0 == m_unread)
            return false;
        size_t n = std::min(m_unread, m_pieceSize);
        if (!m_io.Read(buffer, n)) {
            result = MSK_STREAM_READ_FAILED;
            return false;
        }
        m_unread -= n;
        if (!finished && !Decode(buffer, n))
            return false;
        *length = n;
        return true;
    }
    // Reads and decodes what is left of the stream after the walk has done.
    void Drain() {
        const BYTE* p;
        size_t n;
        while (!finished && Next(&p, &n)) {
        }
    }

    size_t PieceSize() const { return m_pieceSize; }

    MskStreamResult result = MSK_STREAM_OK;
    bool finished = false;
    size_t produced = 0;

private:
    bool Decode(BYTE* data, size_t n) {
        m_state.next_in = data;
        m_state.avail_in = static_cast<uint32_t>(n);
        for (;;) {
            m_state.next_out = m_out;
            m_state.avail_out = static_cast<uint32_t>(m_pieceSize);
            int ret = isal_inflate(&m_state);
            size_t got = m_pieceSize - m_state.avail_out;
            // Output beyond the room: uncompress would run out of it before the stream ends.
            if (got > m_room - produced)
                return Fail(MSK_STREAM_BAD);
            produced += got;
            if (got > 0 && m_unpacked > 0 && !m_io.Write(m_out, got))
                return Fail(MSK_STREAM_WRITE_FAILED);
            if (ret < 0 || ISAL_NEED_DICT == ret)
                return Fail(MSK_STREAM_BAD);
            if (ISAL_BLOCK_FINISH == m_state.block_state) {
                finished = true;
                return true;
            }
            if (0 == m_state.avail_in && got < m_pieceSize)
                return true; // wants the next piece
        }
    }
    bool Fail(MskStreamResult r) {
        result = r;
        return false;
    }

    inflate_state& m_state;
    BYTE* m_in;
    BYTE* m_out;
    size_t m_pieceSize;
    size_t m_unread;
    size_t m_unpacked;
    size_t m_room;
    IMskStreamIo& m_io;
};

// Long streams: the walk runs on a thread of its own over the pieces the decode has read, so the two
// overlap. A few pieces circulate between them; the caller's thread reads, decodes and writes.

class CHandedPieces : public IMskStreamSource {
public:
    // The walk's side: waits for the next piece, giving back the one it had.
    bool Next(const BYTE** data, size_t* length) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        GiveBack();
        m_changed.wait(lock, [&] { return !m_ready.empty() || m_noMore; });
        if (m_ready.empty())
            return false;
        m_held = m_ready.front().first;
        *data = m_held;
        *length = m_ready.front().second;
        m_ready.pop_front();
        return true;
    }
    void WalkDone() {
        std::lock_guard<std::mutex> lock(m_mutex);
        GiveBack();
        m_walkDone = true;
        m_changed.notify_all();
    }
    // The decode's side.
    void AddFree(BYTE* buffer) { m_free.push_back(buffer); }
    // A buffer for the next piece, or NULL once the walk has stopped reading.
    BYTE* TakeFree() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_free.empty() || m_walkDone; });
        if (m_walkDone)
            return NULL;
        BYTE* buffer = m_free.back();
        m_free.pop_back();
        return buffer;
    }
    void Hand(BYTE* buffer, size_t length) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_walkDone)
            m_free.push_back(buffer);
        else
            m_ready.emplace_back(buffer, length);
        m_changed.notify_all();
    }
    void Return(BYTE* buffer) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_free.push_back(buffer);
        m_changed.notify_all();
    }
    void NoMore() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_noMore = true;
        m_changed.notify_all();
    }

private:
    void GiveBack() {
        if (m_held) {
            m_free.push_back(m_held);
            m_held = NULL;
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::pair<BYTE*, size_t>> m_ready;
    std::vector<BYTE*> m_free;
    BYTE* m_held = NULL;
    bool m_noMore = false;
    bool m_walkDone = false;
};

bool WalkBeside(CIsalSource& decode, size_t storedLength, BYTE* buffers) {
    CHandedPieces pieces;
    for (int i = 0; i < kPiecesInFlight; ++i)
        pieces.AddFree(buffers + static_cast<size_t>(i) * decode.PieceSize());
    bool formOk = false;
    std::thread walk([&] {
        formOk = MskZlibAcceptsStreamPieces(pieces, storedLength);
        pieces.WalkDone();
    });
    // Hand every piece on until the walk stops reading (the decode then finishes alone, in Drain).
    while (BYTE* buffer = pieces.TakeFree()) {
        size_t n = 0;
        if (!decode.ReadPiece(buffer, &n)) {
            pieces.Return(buffer);
            break;
        }
        pieces.Hand(buffer, n);
    }
    pieces.NoMore();
    walk.join();
    return formOk;
}

} // namespace

// ISA-L decodes what zlib decodes and checks distances and the Adler-32 as zlib does, but it takes
// some code descriptions zlib refuses (an incomplete distance code, for one). So, as with libdeflate,
// the walk over the stream's form gives zlib's verdict on those; it reads the same pieces.
MskStreamResult CMskStreamInflater::InflateWithIsal(size_t storedLength, size_t unpackedLength,
                                                    IMskStreamIo& io) {
    State& s = *m_state;
    isal_inflate_init(&s.is);
    s.is.crc_flag = ISAL_ZLIB;
    CIsalSource source(s.is, s.in.get(), s.out.get(), s.pieceSize, storedLength, unpackedLength, io);
    bool formOk;
    if (storedLength >= kWalkBesideFrom && !s.ring)
        s.ring.reset(new (std::nothrow) BYTE[kPiecesInFlight * s.pieceSize]);
    if (storedLength >= kWalkBesideFrom && s.ring)
        formOk = WalkBeside(source, storedLength, s.ring.get());
    else
        formOk = MskZlibAcceptsStreamPieces(source, storedLength);
    if (formOk)
        source.Drain();
    if (MSK_STREAM_OK != source.result)
        return source.result;
    if (!formOk || !source.finished)
        return MSK_STREAM_BAD;
    return source.produced == unpackedLength || 0 == unpackedLength ? MSK_STREAM_OK : MSK_STREAM_BAD;
}
