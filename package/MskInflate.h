// Decompression of the zlib streams of an update package.
#pragma once

#include "platform/WinCe.h"

#include <cstddef>

enum MskDecoder {
    MSK_DECODER_ZLIB = 0,       // zlib's one-call uncompress
    MSK_DECODER_LIBDEFLATE = 1, // libdeflate, held to zlib's rules by MskZlibStreamFormOk
};

// True when the build has libdeflate.
bool MskHaveLibdeflate();
// The decoder MskInflate uses (libdeflate when the build has it). Tests and benchmarks switch it.
MskDecoder MskGetDecoder();
void MskSetDecoder(MskDecoder decoder);

// Decompresses the zlib stream src into exactly dstLength bytes. Succeeds exactly when zlib's
// uncompress, given dstLength bytes of room, succeeds and reports dstLength bytes; the output is then
// the same. (Given no room at all, uncompress also reports success, with 0 bytes, for a stream of a
// single byte; so does this.) On failure the contents of dst are undefined.
bool MskInflate(BYTE* dst, size_t dstLength, const BYTE* src, size_t srcLength);
bool MskInflateWith(MskDecoder decoder, BYTE* dst, size_t dstLength, const BYTE* src, size_t srcLength);
