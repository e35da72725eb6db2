// bmptool reading images as skin authors have them: PNG files of every kind (interlaced, 16-bit, with a
// gamma chunk, hostile sizes), and BMP files as other programs write them.
#include "BitmapTestUtil.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <filesystem>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

using namespace bmptest;

namespace {

// A PNG written with libpng. Samples are 16-bit values, channel by channel (palette images take
// indices); an 8-bit image keeps each sample's low byte.
struct PngImage {
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
bool WritePngTo(png_structp png, png_infop info, FILE* f, const PngImage* pImage, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, pImage->width, pImage->height, pImage->depth, pImage->colorType,
                 pImage->interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (pImage->gamma > 0) {
        png_set_gAMA(png, info, pImage->gamma);
    }
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, NULL);
    return true;
}

bool WritePngFile(const std::string& path, const PngImage& img) {
    const int nChannels = Channels(img.colorType);
    const int nBytes = 16 == img.depth ? 2 : 1;
    std::vector<png_byte> data((size_t)img.width * img.height * nChannels * nBytes);
    for (size_t i = 0; i < img.samples.size() && i * nBytes < data.size(); ++i) {
        if (2 == nBytes) {
            data[2 * i] = (png_byte)(img.samples[i] >> 8);
            data[2 * i + 1] = (png_byte)img.samples[i];
        } else {
            data[i] = (png_byte)img.samples[i];
        }
    }
    std::vector<png_bytep> rows(img.height);
    for (int y = 0; y < img.height; ++y) {
        rows[y] = data.data() + (size_t)y * img.width * nChannels * nBytes;
    }
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, NULL, NULL);
    png_infop info = png_create_info_struct(png);
    const bool bOk = WritePngTo(png, info, f, &img, rows.data());
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
        PngImage img;
        img.width = 13;
        img.height = 11;
        img.colorType = colorType;
        // Multiples of 257 scale to 8 bits exactly: the 16-bit files must match the 8-bit one.
        std::vector<uint16_t> bytes((size_t)13 * 11 * Channels(colorType));
        for (auto& v : bytes) {
            v = (uint16_t)(m_rng() % 256);
        }
        img.samples = bytes;
        ASSERT_TRUE(WritePngFile(Host("p8.png"), img));
        img.depth = 16;
        for (auto& v : img.samples) {
            v = (uint16_t)(v * 257);
        }
        ASSERT_TRUE(WritePngFile(Host("p16.png"), img));
        img.interlaced = true;
        ASSERT_TRUE(WritePngFile(Host("i16.png"), img));
        // Any 16-bit values: interlaced and plain agree.
        for (auto& v : img.samples) {
            v = (uint16_t)m_rng();
        }
        ASSERT_TRUE(WritePngFile(Host("ri16.png"), img));
        img.interlaced = false;
        ASSERT_TRUE(WritePngFile(Host("rp16.png"), img));
        for (const char* name : {"p8", "p16", "i16", "ri16", "rp16"}) {
            ASSERT_EQ(0, Run("convert " + Host(std::string(name) + ".png") + " " +
                             Host(std::string(name) + ".bmp") + " --format 32"))
                << name << ": " << m_stderr;
        }
        EXPECT_TRUE(Bytes("p8.bmp") == Bytes("p16.bmp")) << "p8 and p16 differ";
        EXPECT_TRUE(Bytes("p8.bmp") == Bytes("i16.bmp")) << "p8 and i16 differ";
        EXPECT_TRUE(Bytes("rp16.bmp") == Bytes("ri16.bmp")) << "rp16 and ri16 differ";
        // The 8-bit interlaced file agrees too.
        img.depth = 8;
        img.interlaced = true;
        img.samples = bytes;
        ASSERT_TRUE(WritePngFile(Host("i8.png"), img));
        ASSERT_EQ(0, Run("convert " + Host("i8.png") + " " + Host("i8.bmp") + " --format 32")) << m_stderr;
        EXPECT_TRUE(Bytes("p8.bmp") == Bytes("i8.bmp")) << "p8 and i8 differ";
    }
}

TEST_F(BmptoolInputTest, PngValuesAreTakenAsStoredWhateverGammaTheFileDeclares) {
    for (const double gamma : {1.0, 0.2, 0.45455}) {
        PngImage img;
        img.width = 2;
        img.samples = {100, 150, 200, 7, 128, 250};
        img.gamma = gamma;
        ASSERT_TRUE(WritePngFile(Host("g.png"), img));
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

namespace {

// A BMP put together byte by byte, as other programs write them. Pixels are given top row first: a
// palette index, the raw 16 or 32-bit value, or 0xRRGGBB for 24 bits.
struct BmpFile {
    uint32_t headerSize = 40;
    int32_t width = 0;
    int32_t height = 0; // negative: rows stored top-down
    int bits = 24;
    uint32_t compression = 0;
    std::vector<uint32_t> masks;   // after a 40-byte header, or inside a longer one
    std::vector<uint32_t> palette; // 0xRRGGBB
    std::vector<uint32_t> pixels;
};

BmpFile File(uint32_t headerSize, int32_t width, int32_t height, int bits, uint32_t compression = 0,
             std::vector<uint32_t> masks = {}, std::vector<uint32_t> palette = {},
             std::vector<uint32_t> pixels = {}) {
    BmpFile img;
    img.headerSize = headerSize, img.width = width, img.height = height, img.bits = bits;
    img.compression = compression, img.masks = std::move(masks), img.palette = std::move(palette);
    img.pixels = std::move(pixels);
    return img;
}

void Put(std::string& s, uint32_t v, int nBytes) {
    for (int i = 0; i < nBytes; ++i) {
        s.push_back((char)(v >> (8 * i)));
    }
}

std::string MakeBmp(const BmpFile& img) {
    std::string info;
    if (12 == img.headerSize) {
        Put(info, 12, 4), Put(info, (uint32_t)img.width, 2), Put(info, (uint32_t)img.height, 2);
        Put(info, 1, 2), Put(info, (uint32_t)img.bits, 2);
    } else {
        Put(info, img.headerSize, 4), Put(info, (uint32_t)img.width, 4), Put(info, (uint32_t)img.height, 4);
        Put(info, 1, 2), Put(info, (uint32_t)img.bits, 2), Put(info, img.compression, 4);
        Put(info, 0, 4), Put(info, 2835, 4), Put(info, 2835, 4), Put(info, (uint32_t)img.palette.size(), 4);
        Put(info, 0, 4);
        for (size_t i = 0; i < img.masks.size() && info.size() < img.headerSize; ++i) {
            Put(info, img.masks[i], 4);
        }
        info.resize(img.headerSize, '\0');
        if (40 == img.headerSize) {
            for (uint32_t m : img.masks) {
                Put(info, m, 4);
            }
        }
    }
    for (uint32_t c : img.palette) {
        Put(info, c, 12 == img.headerSize ? 3 : 4); // blue, green, red(, 0)
    }
    std::string data;
    const int h = img.height < 0 ? -img.height : img.height;
    const size_t nRowBytes = ((size_t)img.width * img.bits + 31) / 32 * 4;
    for (int r = 0; r < h; ++r) {
        const int y = img.height < 0 ? r : h - 1 - r;
        std::string row;
        uint32_t acc = 0;
        int nAcc = 0;
        for (int x = 0; x < img.width; ++x) {
            const uint32_t v = img.pixels[(size_t)y * img.width + x];
            if (img.bits <= 8) {
                acc = (acc << img.bits) | v;
                nAcc += img.bits;
                if (8 == nAcc) {
                    row.push_back((char)acc), acc = 0, nAcc = 0;
                }
            } else {
                Put(row, v, img.bits / 8);
            }
        }
        if (nAcc > 0) {
            row.push_back((char)(acc << (8 - nAcc)));
        }
        row.resize(nRowBytes, '\0');
        data += row;
    }
    std::string file = "BM";
    Put(file, (uint32_t)(14 + info.size() + data.size()), 4), Put(file, 0, 4);
    Put(file, (uint32_t)(14 + info.size()), 4);
    return file + info + data;
}

// Bit replication, as a channel of n bits is widened to 8.
uint32_t Widen(uint32_t v, int n) {
    uint32_t r = 0;
    int have = 0;
    while (have < 8) {
        r = (r << n) | v, have += n;
    }
    return (r >> (have - 8)) & 255;
}

// The 32-bit framework pixel (premultiplied) of a straight colour and alpha.
uint32_t Framework32(uint32_t rgb, uint32_t a) {
    auto pre = [&](uint32_t c) { return (c * a + 127) / 255; };
    return a << 24 | pre((rgb >> 16) & 255) << 16 | pre((rgb >> 8) & 255) << 8 | pre(rgb & 255);
}

const uint32_t kColours[15] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x123456, 0x89ABCD, 0xFEDCBA,
                               0x808080, 0x010203, 0xC0FFEE, 0x0F0F0F, 0xF0F0F0, 0x7F7F7F, 0x3C5A78};

} // namespace

TEST_F(BmptoolInputTest, ConvertTakesEveryUncompressedBmpLayoutOtherProgramsWrite) {
    struct Layout {
        const char* name;
        BmpFile img;
        std::function<uint32_t(uint32_t rgb, int i)> encode; // the stored value of colour i
        std::function<uint32_t(uint32_t rgb, int i)> expect; // the framework's 32-bit pixel after convert
    };
    auto same = [](uint32_t rgb, int) { return Framework32(rgb, 255); };
    auto to555 = [](uint32_t c, int) {
        return ((c >> 19) & 31) << 10 | ((c >> 11) & 31) << 5 | ((c >> 3) & 31);
    };
    auto from555 = [](uint32_t c, int) {
        return Framework32(
            Widen((c >> 19) & 31, 5) << 16 | Widen((c >> 11) & 31, 5) << 8 | Widen((c >> 3) & 31, 5), 255);
    };
    auto to565 = [](uint32_t c, int) {
        return ((c >> 19) & 31) << 11 | ((c >> 10) & 63) << 5 | ((c >> 3) & 31);
    };
    auto from565 = [](uint32_t c, int) {
        return Framework32(
            Widen((c >> 19) & 31, 5) << 16 | Widen((c >> 10) & 63, 6) << 8 | Widen((c >> 3) & 31, 5), 255);
    };
    // ARGB4444 with straight alpha that varies by pixel.
    auto alpha4 = [](int i) { return (uint32_t)(i % 16); };
    auto to4444 = [&](uint32_t c, int i) {
        return alpha4(i) << 12 | ((c >> 20) & 15) << 8 | ((c >> 12) & 15) << 4 | ((c >> 4) & 15);
    };
    auto from4444 = [&](uint32_t c, int i) {
        return Framework32(Widen((c >> 20) & 15, 4) << 16 | Widen((c >> 12) & 15, 4) << 8 |
                               Widen((c >> 4) & 15, 4),
                           Widen(alpha4(i), 4));
    };
    auto alpha8 = [](int i) { return (uint32_t)(i * 17 + 3) & 255; };
    auto argbStraight = [&](uint32_t c, int i) { return alpha8(i) << 24 | c; };
    auto fromStraight = [&](uint32_t c, int i) { return Framework32(c, alpha8(i)); };
    auto rgbaOrder = [&](uint32_t c, int i) { return c << 8 | alpha8(i); };
    auto index = [](uint32_t, int i) { return (uint32_t)i; };
    const std::vector<uint32_t> palette(std::begin(kColours), std::end(kColours));

    std::vector<Layout> layouts = {
        {"24-bit", File(40, 5, 3, 24), [](uint32_t c, int) { return c; }, same},
        {"24-bit top-down", File(40, 5, -3, 24), [](uint32_t c, int) { return c; }, same},
        {"24-bit OS/2 header", File(12, 5, 3, 24), [](uint32_t c, int) { return c; }, same},
        {"8-bit palette", File(40, 5, 3, 8, 0, {}, palette), index, same},
        {"8-bit palette, OS/2 header", File(12, 5, 3, 8, 0, {}, palette), index, same},
        {"4-bit palette", File(40, 5, 3, 4, 0, {}, palette), index, same},
        {"16-bit plain (555)", File(40, 5, 3, 16), to555, from555},
        {"16-bit 555 bit fields", File(40, 5, 3, 16, 3, {0x7C00, 0x03E0, 0x001F}), to555, from555},
        {"16-bit 565 bit fields", File(40, 5, 3, 16, 3, {0xF800, 0x07E0, 0x001F}), to565, from565},
        {"16-bit 565, V5 header", File(124, 5, 3, 16, 3, {0xF800, 0x07E0, 0x001F, 0}), to565, from565},
        {"16-bit 4444, V5 header", File(124, 5, 3, 16, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}), to4444,
         from4444},
        {"16-bit 1555 with no alpha set", File(56, 5, 3, 16, 3, {0x7C00, 0x03E0, 0x001F, 0x8000}), to555,
         from555},
        {"32-bit plain, alpha 0 everywhere", File(40, 5, 3, 32), [](uint32_t c, int) { return c; }, same},
        {"32-bit plain, straight alpha", File(40, 5, 3, 32), argbStraight, fromStraight},
        {"32-bit XRGB bit fields, V4 header", File(108, 5, 3, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0}),
         [](uint32_t c, int i) { return (uint32_t)i << 24 | c; }, same},
        {"32-bit ARGB bit fields, V5 header", File(124, 5, 3, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}),
         argbStraight, fromStraight},
        {"32-bit RGBA order, alpha bit fields", File(40, 5, 3, 32, 6, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}),
         rgbaOrder, fromStraight},
    };
    for (Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        for (int i = 0; i < 15; ++i) {
            layout.img.pixels.push_back(layout.encode(kColours[i], i));
        }
        testsupport::WriteHostFile(Host("in.bmp"), MakeBmp(layout.img));
        ASSERT_EQ(0, Run("convert " + Host("in.bmp") + " " + Host("out.bmp") + " --format 32")) << m_stderr;
        std::unique_ptr<CWceUiGenericBitmap> pOut(WceUiLoadBmpFromFile(u"\\out.bmp", TRUE, NULL));
        ASSERT_TRUE(pOut);
        ASSERT_EQ(5, pOut->GetWidth());
        ASSERT_EQ(3, pOut->GetHeight());
        for (int i = 0; i < 15; ++i) {
            EXPECT_EQ(layout.expect(kColours[i], i), At32(*pOut, i % 5, i / 5)) << "pixel " << i;
        }
    }
    // 1 bit: two colours.
    BmpFile mono = File(40, 9, 2, 1, 0, {}, {0x000000, 0xFFFFFF},
                        {1, 0, 1, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 1, 1, 1, 0});
    testsupport::WriteHostFile(Host("mono.bmp"), MakeBmp(mono));
    ASSERT_EQ(0, Run("convert " + Host("mono.bmp") + " " + Host("mono32.bmp") + " --format 32")) << m_stderr;
    std::unique_ptr<CWceUiGenericBitmap> pMono(WceUiLoadBmpFromFile(u"\\mono32.bmp", TRUE, NULL));
    ASSERT_TRUE(pMono);
    for (int i = 0; i < 18; ++i) {
        EXPECT_EQ(mono.pixels[i] ? 0xFFFFFFFFu : 0xFF000000u, At32(*pMono, i % 9, i / 9)) << i;
    }
    // Without --format an opaque input becomes plain 565, and an input with alpha a 565 pair.
    testsupport::WriteHostFile(Host("in.bmp"), MakeBmp(layouts[12].img));
    ASSERT_EQ(0, Run("convert " + Host("in.bmp") + " " + Host("def.bmp"))) << m_stderr;
    EXPECT_FALSE(std::filesystem::exists(Host("def.alpha")));
    testsupport::WriteHostFile(Host("in.bmp"), MakeBmp(layouts[13].img));
    ASSERT_EQ(0, Run("convert " + Host("in.bmp") + " " + Host("def.bmp"))) << m_stderr;
    EXPECT_TRUE(std::filesystem::exists(Host("def.alpha")));
}

TEST_F(BmptoolInputTest, CompressedAndBrokenBmpsAreRefusedWithTheReason) {
    BmpFile good = File(40, 2, 2, 8, 0, {}, {0, 0xFFFFFF}, {0, 1, 1, 0});
    const struct {
        const char* name;
        std::function<void(BmpFile&)> change;
        const char* reason;
    } cases[] = {
        {"RLE8", [](BmpFile& s) { s.compression = 1; }, "run-length compressed (RLE8)"},
        {"RLE4", [](BmpFile& s) { s.compression = 2, s.bits = 4; }, "run-length compressed (RLE4)"},
        {"JPEG", [](BmpFile& s) { s.compression = 4, s.bits = 0; }, "holds a JPEG image"},
        {"PNG", [](BmpFile& s) { s.compression = 5, s.bits = 0; }, "holds a PNG image"},
        {"mask with a gap",
         [](BmpFile& s) {
             s.bits = 32, s.compression = 3, s.masks = {0xF0F000, 0xF00, 0xFF};
         },
         "is not a run of bits"},
        {"overlapping masks",
         [](BmpFile& s) {
             s.bits = 16, s.compression = 3, s.masks = {0xF800, 0x0FE0, 0x1F};
         },
         "overlap"},
        {"index past the palette", [](BmpFile& s) { s.pixels[3] = 7; }, "names colour 7 of a palette of 2"},
        {"2 bits", [](BmpFile& s) { s.bits = 2; }, "2 bits per pixel is not supported"},
        {"too wide", [](BmpFile& s) { s.width = 20000, s.bits = 1; }, "larger than bmptool takes"},
    };
    for (const auto& c : cases) {
        BmpFile img = good;
        c.change(img);
        img.pixels.resize((size_t)img.width * 2, 0);
        testsupport::WriteHostFile(Host("bad.bmp"), MakeBmp(img));
        EXPECT_EQ(1, Run("convert " + Host("bad.bmp") + " " + Host("bad.png"))) << c.name;
        EXPECT_NE(std::string::npos, m_stderr.find(c.reason)) << c.name << ": " << m_stderr;
    }
    // Pixel data cut short.
    std::string cut = MakeBmp(good);
    cut.resize(cut.size() - 1);
    testsupport::WriteHostFile(Host("cut.bmp"), cut);
    EXPECT_EQ(1, Run("convert " + Host("cut.bmp") + " " + Host("cut.png")));
    EXPECT_NE(std::string::npos, m_stderr.find("the pixel data is cut short")) << m_stderr;
}

TEST_F(BmptoolInputTest, InfoSaysWhereTheFrameworkMisreadsAFile) {
    auto info = [&](const BmpFile& img) {
        testsupport::WriteHostFile(Host("i.bmp"), MakeBmp(img));
        return Run("info " + Host("i.bmp"));
    };
    const std::vector<uint32_t> pixels = {0x1234, 0x5678, 0x9ABC, 0xDEF0};
    // 555 without masks: the framework takes it as 565.
    EXPECT_EQ(0, info(File(40, 2, 2, 16, 0, {}, {}, pixels))) << m_stderr;
    EXPECT_NE(std::string::npos,
              m_stdout.find("framework: WARNING: misreads it: the framework reads every 16-bit "
                            "file as RGB565, but this one is 16-bit 555"))
        << m_stdout;
    // 565 bit fields: read as written, no warning.
    EXPECT_EQ(0, info(File(40, 2, 2, 16, 3, {0xF800, 0x07E0, 0x001F}, {}, pixels)));
    EXPECT_EQ(std::string::npos, m_stdout.find("WARNING")) << m_stdout;
    EXPECT_NE(std::string::npos, m_stdout.find("masks: red 0xF800 green 0x07E0 blue 0x001F\n")) << m_stdout;
    // 32-bit with alpha 0 everywhere; the alpha mask prints unsigned.
    EXPECT_EQ(0, info(File(124, 2, 2, 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, {}, {1, 2, 3, 4})));
    EXPECT_NE(std::string::npos, m_stdout.find("alpha 0xFF000000\n")) << m_stdout;
    EXPECT_NE(std::string::npos, m_stdout.find("alpha bytes are 0 everywhere")) << m_stdout;
    EXPECT_NE(std::string::npos, m_stdout.find("; alpha 0 everywhere: opaque\n")) << m_stdout;
    // Straight alpha: colours above their alpha.
    EXPECT_EQ(0, info(File(40, 2, 2, 32, 0, {}, {}, {0x80FFFFFF, 0xFF000000, 0xFF102030, 0x10101010})));
    EXPECT_NE(std::string::npos, m_stdout.find("some colours exceed their alpha")) << m_stdout;
    // Other masks: wrong colours.
    EXPECT_EQ(
        0, info(File(40, 2, 2, 32, 6, {0xFF000000, 0xFF0000, 0xFF00, 0xFF}, {}, {0xFF, 0xFF, 0xFF, 0xFF})));
    EXPECT_NE(std::string::npos, m_stdout.find("its colours come out wrong")) << m_stdout;
    // The framework's own forms pass without a warning.
    EXPECT_EQ(0, info(File(40, 2, 2, 32, 0, {}, {}, {0xFF102030, 0x80404040, 0, 0x10101010})));
    EXPECT_EQ(std::string::npos, m_stdout.find("WARNING")) << m_stdout;
    // The framework's loader keeps its rules: a 24-bit file is refused, and info says so with exit 1.
    EXPECT_EQ(1, info(File(40, 2, 2, 24, 0, {}, {}, {1, 2, 3, 4})));
    EXPECT_NE(std::string::npos, m_stdout.find("convert reads it as: 24-bit blue, green, red")) << m_stdout;
    EXPECT_NE(std::string::npos, m_stderr.find("is neither  16 nor 32 bitmap")) << m_stderr;
    // RLE: info names it, convert refuses it.
    BmpFile rle = File(40, 2, 2, 8, 1, {}, {0, 0xFFFFFF}, {0, 1, 1, 0});
    info(rle);
    EXPECT_NE(std::string::npos, m_stdout.find("compression: 1 (RLE8)")) << m_stdout;
    EXPECT_NE(std::string::npos, m_stdout.find("convert refuses it: it is run-length compressed"))
        << m_stdout;
}
