// bmptool reading images as skin authors have them: PNG files of every kind (interlaced, 16-bit, with a
// gamma chunk, hostile sizes), and BMP files as other programs write them.
#include "BitmapTestUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

using namespace bmptest;

namespace {

// A PNG written with libpng. Samples are 16-bit values, channel by channel (palette images take
// indices); an 8-bit image keeps each sample's low byte.
struct PngSpec {
    int width = 1;
    int height = 1;
    int depth = 8;
    int colorType = PNG_COLOR_TYPE_RGB;
    bool interlaced = false;
    double gamma = 0; // written as a gAMA chunk when not 0
    std::vector<uint16_t> samples;
};

int Channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        default:
            return 4;
    }
}

// Only trivially destructible locals here: an error leaves by longjmp.
bool WritePngTo(png_structp png, png_infop info, FILE* f, const PngSpec* pSpec, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, pSpec->width, pSpec->height, pSpec->depth, pSpec->colorType,
                 pSpec->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (pSpec->gamma > 0) {
        png_set_gAMA(png, info, pSpec->gamma);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, NULL);
    return true;
}

bool WritePngFile(const std::string& path, const PngSpec& spec) {
    const int nChannels = Channels(spec.colorType);
    const int nBytes = 16 == spec.depth ? 2 : 1;
    std::vector<png_byte> data((size_t)spec.width * spec.height * nChannels * nBytes);
    for (size_t i = 0; i < spec.samples.size() && i * nBytes < data.size(); ++i) {
        if (2 == nBytes) {
            data[2 * i] = (png_byte)(spec.samples[i] >> 8);
            data[2 * i + 1] = (png_byte)spec.samples[i];
        } else {
            data[i] = (png_byte)spec.samples[i];
        }
    }
    std::vector<png_bytep> rows(spec.height);
    for (int y = 0; y < spec.height; ++y) {
        rows[y] = data.data() + (size_t)y * spec.width * nChannels * nBytes;
    }
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
    png_infop info = png_create_info_struct(png);
    const bool bOk = WritePngTo(png, info, f, &spec, rows.data());
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return bOk;
}

// A PNG of the given header and a token image stream, put together by hand: enough for a reader to
// take the size from, whatever the size says.
std::string PngWithHeader(uint32_t width, uint32_t height) {
    auto be32 = [](uint32_t v) {
        return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v};
    };
    auto chunk = [&](const char* type, const std::string& body) {
        const std::string typed = std::string(type, 4) + body;
        const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), (uInt)typed.size());
        return be32((uint32_t)body.size()) + typed + be32((uint32_t)crc);
    };
    const std::string ihdr = be32(width) + be32(height) + std::string("\x08\x02\x00\x00\x00", 5);
    Bytef stream[32];
    uLongf nStream = sizeof(stream);
    const Bytef row[4] = {0, 0, 0, 0};
    compress(stream, &nStream, row, sizeof(row));
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) +
           chunk("IDAT", std::string(reinterpret_cast<const char*>(stream), nStream)) + chunk("IEND", "");
}

bool UnderSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

class BmptoolInputTest : public DeviceFolderTest {
protected:
    // Runs bmptool (under an address-space limit in KB when given); returns its exit status.
    int Run(const std::string& args, long nLimitKb = 0) {
        const std::string errPath = Root() + "/stderr.txt";
        const std::string outPath = Root() + "/stdout.txt";
        std::string cmd = std::string(BMPTOOL_PATH) + " " + args + " >" + outPath + " 2>" + errPath;
        if (nLimitKb > 0) {
            cmd = "ulimit -v " + std::to_string(nLimitKb) + "; " + cmd;
        }
        const int status = std::system(cmd.c_str());
        m_stdout = testsupport::ReadHostFile(outPath);
        m_stderr = testsupport::ReadHostFile(errPath);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Host(const std::string& name) { return Root() + "/" + name; }
    std::string Bytes(const std::string& name) { return testsupport::ReadHostFile(Host(name)); }

    std::string m_stdout;
    std::string m_stderr;
    std::mt19937 m_rng{5};
};

} // namespace

TEST_F(BmptoolInputTest, InterlacedAndSixteenBitPngsGiveTheSamePixelsAsTheirPlainTwins) {
    for (const int colorType :
         {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB_ALPHA}) {
        SCOPED_TRACE(colorType);
        PngSpec spec;
        spec.width = 13;
        spec.height = 11;
        spec.colorType = colorType;
        // Multiples of 257 scale to 8 bits exactly: the 16-bit files must match the 8-bit one.
        std::vector<uint16_t> bytes((size_t)13 * 11 * Channels(colorType));
        for (auto& v : bytes) {
            v = (uint16_t)(m_rng() % 256);
        }
        spec.samples = bytes;
        ASSERT_TRUE(WritePngFile(Host("p8.png"), spec));
        spec.depth = 16;
        for (auto& v : spec.samples) {
            v = (uint16_t)(v * 257);
        }
        ASSERT_TRUE(WritePngFile(Host("p16.png"), spec));
        spec.interlaced = true;
        ASSERT_TRUE(WritePngFile(Host("i16.png"), spec));
        // Any 16-bit values: interlaced and plain agree.
        for (auto& v : spec.samples) {
            v = (uint16_t)m_rng();
        }
        ASSERT_TRUE(WritePngFile(Host("ri16.png"), spec));
        spec.interlaced = false;
        ASSERT_TRUE(WritePngFile(Host("rp16.png"), spec));
        for (const char* name : {"p8", "p16", "i16", "ri16", "rp16"}) {
            ASSERT_EQ(0, Run("convert " + Host(std::string(name) + ".png") + " " +
                             Host(std::string(name) + ".bmp") + " --format 32"))
                << name << ": " << m_stderr;
        }
        EXPECT_TRUE(Bytes("p8.bmp") == Bytes("p16.bmp")) << "p8 and p16 differ";
        EXPECT_TRUE(Bytes("p8.bmp") == Bytes("i16.bmp")) << "p8 and i16 differ";
        EXPECT_TRUE(Bytes("rp16.bmp") == Bytes("ri16.bmp")) << "rp16 and ri16 differ";
        // The 8-bit interlaced file agrees too.
        spec.depth = 8;
        spec.interlaced = true;
        spec.samples = bytes;
        ASSERT_TRUE(WritePngFile(Host("i8.png"), spec));
        ASSERT_EQ(0, Run("convert " + Host("i8.png") + " " + Host("i8.bmp") + " --format 32")) << m_stderr;
        EXPECT_TRUE(Bytes("p8.bmp") == Bytes("i8.bmp")) << "p8 and i8 differ";
    }
}

TEST_F(BmptoolInputTest, PngValuesAreTakenAsStoredWhateverGammaTheFileDeclares) {
    for (const double gamma : {1.0, 0.2, 0.45455}) {
        PngSpec spec;
        spec.width = 2;
        spec.samples = {100, 150, 200, 7, 128, 250};
        spec.gamma = gamma;
        ASSERT_TRUE(WritePngFile(Host("g.png"), spec));
        ASSERT_EQ(0, Run("convert " + Host("g.png") + " " + Host("g.bmp") + " --format 32")) << m_stderr;
        std::unique_ptr<CWceUiGenericBitmap> pBmp(WceUiLoadBmpFromFile(u"\\g.bmp", FALSE, NULL));
        ASSERT_TRUE(pBmp);
        EXPECT_EQ(0xFF6496C8u, At32(*pBmp, 0, 0)) << gamma;
        EXPECT_EQ(0xFF0780FAu, At32(*pBmp, 1, 0)) << gamma;
    }
    ASSERT_EQ(0, Run("--help"));
    EXPECT_NE(std::string::npos, m_stdout.find("no gamma"));
}

TEST_F(BmptoolInputTest, PngSizesAreCheckedBeforeAnyPixelMemoryIsTaken) {
    // Hostile headers: each is refused from its size alone, with the cap named. Under an address-space
    // limit the tool used to die of an uncaught allocation failure instead.
    const long nLimitKb = UnderSanitizer() ? 0 : 1024 * 1024;
    const struct {
        uint32_t w, h;
    } sizes[] = {{65535, 65535}, {16385, 1}, {1, 16385}, {16384, 1025}, {1000000, 1000000}};
    for (const auto& s : sizes) {
        testsupport::WriteHostFile(Host("big.png"), PngWithHeader(s.w, s.h));
        EXPECT_EQ(1, Run("convert " + Host("big.png") + " " + Host("big.bmp"), nLimitKb))
            << s.w << "x" << s.h;
        EXPECT_NE(std::string::npos, m_stderr.find("larger than bmptool takes")) << m_stderr;
    }
    // Beyond what libpng itself accepts: refused by libpng, still exit 1.
    testsupport::WriteHostFile(Host("huge.png"), PngWithHeader(0x7FFFFFFF, 1));
    EXPECT_EQ(1, Run("convert " + Host("huge.png") + " " + Host("huge.bmp"), nLimitKb)) << m_stderr;
    // At the cap the size passes (the token stream then runs short).
    testsupport::WriteHostFile(Host("edge.png"), PngWithHeader(16384, 1024));
    EXPECT_EQ(1, Run("convert " + Host("edge.png") + " " + Host("edge.bmp")));
    EXPECT_EQ(std::string::npos, m_stderr.find("larger than")) << m_stderr;
    if (!UnderSanitizer()) {
        // Within the cap, with too little memory for the pixels: a message and exit 1, not a crash.
        EXPECT_EQ(1, Run("convert " + Host("edge.png") + " " + Host("edge.bmp"), 48 * 1024)) << m_stderr;
        EXPECT_NE(std::string::npos, m_stderr.find("out of memory")) << m_stderr;
    }
}
