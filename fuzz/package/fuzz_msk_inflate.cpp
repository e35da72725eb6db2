// The unpacker's decoders against zlib's uncompress: the one-call decoders and the piecewise one. The
// input is a claimed output size (2 bytes, little-endian, in units of 16 bytes plus the low bits of
// the third byte; the high bits of the third byte choose the piece size) and then a zlib stream.
// Any difference in the verdict or the output stops the fuzzer.
#include "package/MskInflate.h"
#include "package/MskZlibCheck.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

namespace {

// Reads the stream and collects the output, checking that no read goes past the stored bytes.
class CBufferIo : public IMskStreamIo {
public:
    CBufferIo(const uint8_t* stream, size_t size) : m_stream(stream), m_size(size) {}
    bool Read(BYTE* buffer, size_t length) override {
        if (length > m_size - m_read)
            abort();
        memcpy(buffer, m_stream + m_read, length);
        m_read += length;
        return true;
    }
    bool Write(const BYTE* data, size_t length) override {
        out.insert(out.end(), data, data + length);
        return true;
    }
    std::vector<uint8_t> out;

private:
    const uint8_t* m_stream;
    size_t m_size;
    size_t m_read = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    size_t claimed = (static_cast<size_t>(data[0] | data[1] << 8) << 4) | (data[2] & 15);
    const size_t pieceSize = size_t(16) << (data[2] >> 4 & 7); // 16 bytes to 2 KB
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
    // In pieces, with zlib and with ISA-L: the same verdict, the same bytes, never more than the
    // claimed size handed on.
    for (bool isal : {false, true}) {
        CMskStreamInflater inflater(pieceSize, isal);
        CBufferIo io(stream, streamSize);
        MskStreamResult result = inflater.Inflate(streamSize, claimed, io);
        if ((result == MSK_STREAM_OK) != zlibOk || result == MSK_STREAM_READ_FAILED ||
            io.out.size() > claimed)
            abort();
        if (zlibOk && (io.out.size() != claimed || std::memcmp(io.out.data(), expected.data(), claimed) != 0))
            abort();
    }
    return 0;
}
