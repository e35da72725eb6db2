// The unpacker's decoder against zlib's uncompress. The input is a claimed output size (2 bytes,
// little-endian, in units of 16 bytes plus the low bits of the third byte) and then a zlib stream.
// Any difference in the verdict or the output stops the fuzzer.
#include "package/MskInflate.h"
#include "package/MskZlibCheck.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <zlib.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    size_t claimed = (static_cast<size_t>(data[0] | data[1] << 8) << 4) | (data[2] & 15);
    const uint8_t* stream = data + 3;
    size_t streamSize = size - 3;

    // The walk is only asked about streams libdeflate has decoded, which few random inputs are; it
    // must still stay inside any input it is given.
    (void)MskZlibAcceptsDecodedStream(stream, streamSize);

    std::vector<uint8_t> expected(claimed + 1), got(claimed + 1);
    uLongf n = static_cast<uLongf>(claimed);
    bool zlibOk =
        uncompress(expected.data(), &n, stream, static_cast<uLong>(streamSize)) == Z_OK && n == claimed;
    for (MskDecoder d : {MSK_DECODER_ZLIB, MSK_DECODER_LIBDEFLATE}) {
        bool ok = MskInflateWith(d, claimed ? got.data() : nullptr, claimed, stream, streamSize);
        if (ok != zlibOk)
            abort();
        if (ok && std::memcmp(got.data(), expected.data(), claimed) != 0)
            abort();
    }
    return 0;
}
