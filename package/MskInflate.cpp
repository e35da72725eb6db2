#include "package/MskInflate.h"
#include "package/MskFormat.h"
#include "package/MskZlibCheck.h"

#include <cstdint>
#include <zlib.h>

#if MSK_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace {

MskDecoder g_decoder = MskHaveLibdeflate() ? MSK_DECODER_LIBDEFLATE : MSK_DECODER_ZLIB;

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

MskDecoder MskGetDecoder() {
    return g_decoder;
}

void MskSetDecoder(MskDecoder decoder) {
    g_decoder = (decoder == MSK_DECODER_LIBDEFLATE && !MskHaveLibdeflate()) ? MSK_DECODER_ZLIB : decoder;
}

bool MskInflate(BYTE* dst, size_t dstLength, const BYTE* src, size_t srcLength) {
    return MskInflateWith(g_decoder, dst, dstLength, src, srcLength);
}

bool MskInflateWith(MskDecoder decoder, BYTE* dst, size_t dstLength, const BYTE* src, size_t srcLength) {
    // No stream can grow by more than the deflate limit; such a claim would only fail after the
    // allocation, so it is refused before.
    if (srcLength < SIZE_MAX / MSK_MAX_INFLATE_RATIO && dstLength > srcLength * MSK_MAX_INFLATE_RATIO)
        return false;
#if MSK_HAVE_LIBDEFLATE
    if (decoder == MSK_DECODER_LIBDEFLATE)
        return LibdeflateInflate(dst, dstLength, src, srcLength);
#else
    (void)decoder;
#endif
    return ZlibInflate(dst, dstLength, src, srcLength);
}
