// zlib's rules of form for a zlib stream, for the faster decoders that are more lenient than zlib's
// inflate in a few corners of the format: the header, each block header, and (for a decoder that
// decodes a whole stream in one call) a walk over the whole stream that finds every fault of form
// zlib would report, without producing any output.
#pragma once

#include "platform/WinCe.h"

#include <cstddef>

// True when the 2-byte zlib header is one zlib's inflate accepts: method, window size, check bits, no
// preset dictionary.
bool MskZlibHeaderOk(const BYTE* header);

// The most bytes a block header takes, counted from the byte that holds its first bit up to the
// first bit of its data: a dynamic header of 286 and 30 code lengths, each in 7 bits.
const size_t MSK_MAX_BLOCK_HEADER = 290;

struct MskBlockHeader {
    bool last = false;         // the block's final bit
    unsigned type = 0;         // 0 stored, 1 fixed codes, 2 dynamic codes
    size_t end = 0;            // where the block's data starts, in bits from the first byte
    unsigned storedLength = 0; // stored blocks: the bytes of data
};

// Judges the header of one deflate block as zlib's inflate does: the block type, a stored block's
// lengths, a dynamic block's counts, precode, code lengths and repeats, its end-of-block code, and
// codes that are complete or one of the incomplete ones zlib allows (a single one-bit code, no
// distance codes). The header starts firstBit (0 to 7) bits into data, which holds at least
// MSK_MAX_BLOCK_HEADER bytes or all that is left of the stream. False when zlib would refuse the
// header or the stream ends inside it.
bool MskZlibAcceptsBlockHeader(const BYTE* data, size_t length, unsigned firstBit, MskBlockHeader* header);

// For a zlib stream that libdeflate has just decoded successfully into the expected number of bytes:
// true when zlib's inflate would accept it too. libdeflate checks what needs the output (distances,
// length, Adler-32) as zlib does, and produces the same output for every stream zlib accepts; but it
// is more lenient about the form of a few streams zlib refuses. This walk applies zlib's rules of
// form: the header, the block types, the lengths of stored blocks, the Huffman code descriptions,
// every code read while decoding (including the reserved length and distance symbols), and a stream
// that ends, with its 4-byte trailer, inside the input. Bytes after the trailer are ignored, as zlib
// ignores them.
//
// The walk produces no output. It skips the symbols of a last block whose codes are complete: every
// pattern there is a valid symbol, and libdeflate has already found the block's end where zlib would.
bool MskZlibAcceptsDecodedStream(const BYTE* src, size_t length);
