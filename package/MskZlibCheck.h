// A walk over a zlib stream that finds every fault of form zlib's inflate would report, without
// producing any output.
#pragma once

#include "platform/WinCe.h"

#include <cstddef>

// For a zlib stream that libdeflate (or, in pieces, ISA-L) has just decoded successfully into the
// expected number of bytes: true when zlib's inflate would accept it too. libdeflate checks what needs the
// output (distances, length, Adler-32) as zlib does, and produces the same output for every stream zlib
// accepts; but it is more lenient about the form of a few streams zlib refuses. This walk applies zlib's
// rules of form: the header (method, window size, checksum, no preset dictionary), the block types, the
// lengths of stored blocks, the Huffman code descriptions (counts, complete or single-codeword codes,
// repeats, an end-of-block code), every code read while decoding (including the reserved length and distance
// symbols), and a stream that ends, with its 4-byte trailer, inside the input. Bytes after the trailer
// are ignored, as zlib ignores them.
//
// The walk produces no output. It skips the symbols of a last block whose codes are complete: every
// pattern there is a valid symbol, and libdeflate has already found the block's end where zlib would.
bool MskZlibAcceptsDecodedStream(const BYTE* src, size_t length);

// Hands on a stream piece by piece; false when there is no more (or reading failed).
class IMskStreamSource {
public:
    virtual ~IMskStreamSource() = default;
    virtual bool Next(const BYTE** data, size_t* length) = 0;
};

// The same walk over a stream of totalLength bytes that comes in pieces (each piece is used up before
// the next is asked for; pieces after the first may be of any size, the first holds at least the
// 2-byte header): for a stream another decoder has decoded, in pieces, into the expected size.
bool MskZlibAcceptsStreamPieces(IMskStreamSource& source, size_t totalLength);
