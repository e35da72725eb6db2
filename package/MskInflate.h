// Decompression of the zlib streams of an update package: in one call for streams that fit in memory,
// in bounded pieces for streams of any size. Both give exactly the verdict and the output of zlib's
// uncompress given the claimed unpacked size as its room.
#pragma once

#include "platform/WinCe.h"

#include <cstddef>
#include <memory>

enum MskDecoder {
    MSK_DECODER_ZLIB = 0,       // zlib's one-call uncompress
    MSK_DECODER_LIBDEFLATE = 1, // libdeflate, held to zlib's rules by MskZlibAcceptsDecodedStream
};

// True when the build has libdeflate.
bool MskHaveLibdeflate();

// How the unpacker decodes. The defaults are what the unit runs; tests and benchmarks change them to
// compare the decoders or to push small files through the piecewise path.
struct MskDecodeOptions {
    // The decoder of the one-call path (libdeflate when the build has it).
    MskDecoder decoder = MskHaveLibdeflate() ? MSK_DECODER_LIBDEFLATE : MSK_DECODER_ZLIB;
    // Streams whose stored and unpacked sizes are both at most this are decoded in one call from
    // memory; longer ones are read, decoded and written in pieces. None by default: ISA-L in pieces
    // beats the one-call decoders even on small files (a tree of 3,000 files unpacks in about two
    // thirds of the time).
    size_t wholeFileLimit = 0;
    // The size of each piece read from the package and of each piece of output.
    size_t pieceSize = 256u << 10;
    // The piecewise path decodes with ISA-L's inflate block by block, each block header judged by
    // zlib's rules first, or with zlib's inflate when false. Judging reads only the headers (a few
    // hundred bytes per block of tens of kilobytes): bench_msk_inflate measures 0.98 to 1.14 times the
    // processor time of ISA-L alone on each of its five kinds of content (text the highest), where
    // the per-symbol walk the libdeflate path needs costs about 2.7 times by itself (on base64 text).
    bool isal = true;
};

// Decompresses the zlib stream src into exactly dstLength bytes. Succeeds exactly when zlib's
// uncompress, given dstLength bytes of room, succeeds and reports dstLength bytes; the output is then
// the same. (Given no room at all, uncompress also reports success, with 0 bytes, for a stream of a
// single byte; so does this.) On failure the contents of dst are undefined.
bool MskInflateWith(MskDecoder decoder, BYTE* dst, size_t dstLength, const BYTE* src, size_t srcLength);

// Where a piecewise decode reads its stream and puts its output.
class IMskStreamIo {
public:
    virtual ~IMskStreamIo() = default;
    // Reads exactly length bytes of the stream, in order.
    virtual bool Read(BYTE* buffer, size_t length) = 0;
    // Takes the next length bytes of output.
    virtual bool Write(const BYTE* data, size_t length) = 0;
};

enum MskStreamResult {
    MSK_STREAM_OK = 0,
    MSK_STREAM_BAD,          // zlib would refuse the stream or report another size
    MSK_STREAM_READ_FAILED,  // IMskStreamIo::Read failed
    MSK_STREAM_WRITE_FAILED, // IMskStreamIo::Write failed
};

// Decodes streams of any size in pieces with ISA-L's or zlib's streaming inflate, in memory that does
// not grow with the stream: the verdict and output are those of MskInflateWith. The stream is read in
// pieces up to its end (bytes after it are not needed: zlib ignores them); output goes out as it is
// produced, and decoding stops at the first byte beyond unpackedLength. One inflater serves any
// number of streams.
//
// ISA-L takes some block headers zlib refuses (incomplete codes); inside a block the two refuse the
// same things. So ISA-L decodes one block at a time, told that each is the last so that it stops at
// the block's end, and each header is judged by zlib's rules before ISA-L reads it; the output
// before the block is its dictionary, and the Adler-32 is checked here.
class CMskStreamInflater {
public:
    explicit CMskStreamInflater(size_t pieceSize = MskDecodeOptions().pieceSize, bool isal = true);
    ~CMskStreamInflater();
    CMskStreamInflater(const CMskStreamInflater&) = delete;
    CMskStreamInflater& operator=(const CMskStreamInflater&) = delete;

    MskStreamResult Inflate(size_t storedLength, size_t unpackedLength, IMskStreamIo& io);
    // Bytes of buffers and decoder state it holds.
    size_t MemoryBytes() const;

private:
    MskStreamResult InflateWithIsal(size_t storedLength, size_t unpackedLength, IMskStreamIo& io);

    struct State;
    std::unique_ptr<State> m_state;
};
