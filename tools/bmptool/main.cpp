// bmptool: looks into skin bitmaps, converts them between PNG and the BMP forms the framework loads,
// and runs the framework's own blend, colour mix, hue shift and rotation on BMP files.
#include "AnimateCommand.h"
#include "BmpToolFiles.h"
#include "BmpInput.h"
#include "TextCommand.h"
#include "tools/imaging/PngFile.h"
#include "tools/imaging/RgbaBitmaps.h"

#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "wceui/bitmap/FhBmp.h"
#include "wceui/bitmap/WceUi32Bitmap.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/bitmap/WceUiBitmapFile.h"
#include "tools/common/ToolSupport.h"
#include "wceui/core/WceUiLog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kUsage[] = "usage: bmptool info FILE.bmp\n"
                      "       bmptool convert IN OUT [--format 565a|565|32]\n"
                      "       bmptool blend DST SRC OUT (--alpha N | --per-pixel) [--at X,Y]\n"
                      "       bmptool mix IN OUT --color RRGGBB --alpha N [--rect X,Y,W,H]\n"
                      "       bmptool hue IN OUT --offset DEG\n"
                      "       bmptool rotate IN OUT --angle 1|2|3\n"
                      "       bmptool animate FROM TO OUT --type CLASS --frame J ... (see animate --help)\n"
                      "       bmptool --help\n";
// The text command's own lines follow the others in the usage and the help.

const char kHelp[] =
    "\n"
    "The framework draws skin images from uncompressed BMP files: 16-bit RGB565, optionally with an\n"
    "\".alpha\" file beside it (one byte per pixel, 0..63, colours premultiplied), or 32-bit with a\n"
    "premultiplied alpha byte. Rows are stored bottom-up, 565 rows padded to an even width.\n"
    "\n"
    "  info FILE.bmp        header fields, the alpha plane beside the file, how convert reads it, and\n"
    "                       whether the framework loads it as written, misreads it (warnings) or\n"
    "                       refuses it\n"
    "  convert IN OUT       between PNG and BMP by the files' extensions (.png, .bmp). To BMP:\n"
    "                         565a  565 pixels premultiplied by a 6-bit alpha, plane in OUT's .alpha\n"
    "                         565   565 pixels, alpha dropped\n"
    "                         32    32-bit pixels premultiplied by their alpha byte\n"
    "                       The default is 565a for images with transparency, else 565. To PNG: RGBA\n"
    "                       (straight alpha) when the BMP has alpha, else RGB\n"
    "                       PNG input: the values as stored, no gamma or colour-space conversion is\n"
    "                       applied (a gAMA chunk changes nothing); 16-bit samples are scaled to 8\n"
    "                       bits; interlaced or not alike\n"
    "                       BMP input: every uncompressed layout (1/4/8-bit palettes, 16-bit with any\n"
    "                       masks, 24-bit, 32-bit with or without alpha or masks, top-down or\n"
    "                       bottom-up); a 32-bit file whose alpha is 0 everywhere is opaque. A 32-bit\n"
    "                       file with a plain 40-byte header is the framework's form: its colours are\n"
    "                       taken as premultiplied unless one exceeds its alpha; other 32-bit files\n"
    "                       have straight alpha. A 16-bit file with an \".alpha\" beside it is taken\n"
    "                       as premultiplied by that plane. RLE and embedded JPEG/PNG are refused\n"
    "                       Images are at most 16384 pixels a side and 16777216 pixels in all\n"
    "  blend DST SRC OUT    blends all of SRC onto DST at X,Y (--at, default 0,0) with the constant\n"
    "                       alpha N (0..255, --alpha) or with SRC's own alpha (--per-pixel)\n"
    "  mix IN OUT           tints the rectangle (--rect, default the whole bitmap) towards the colour\n"
    "                       RRGGBB (hexadecimal; 000000 darkens) by N (0..255)\n"
    "  hue IN OUT           rotates the hue of every pixel by DEG (-180..180)\n"
    "  rotate IN OUT        1: a quarter turn clockwise, 2: a half turn, 3: a quarter turn\n"
    "                       counter-clockwise\n"
    "\n"
    "blend, mix, hue and rotate load BMP files as the framework does: a 565 file has per-pixel alpha\n"
    "exactly when an \".alpha\" file stands beside it, a 32-bit file always has. The result is written\n"
    "as BMP; a 565 result that carries a plane gets it written beside OUT (rotation drops the plane).\n"
    "\n"
    "Paths are host paths. Exit status: 0 success, 1 failure (an operation the framework refuses\n"
    "prints the framework's message), 2 usage error.\n";

int Usage(const std::string& why) {
    return tooling::UsageError("bmptool", why);
}

using namespace bmptool;

// ---- commands ----

struct Options {
    std::vector<std::string> args;
    std::string format, alpha, at, color, rect, offset, angle;
    bool perPixel = false;
    bool help = false;
};

std::string ParseOptions(int argc, char** argv, Options* opt) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        std::string* pValue = nullptr;
        if ("--help" == a || "-h" == a) {
            opt->help = true;
            continue;
        }
        if ("--per-pixel" == a) {
            opt->perPixel = true;
            continue;
        }
        if ("--format" == a) {
            pValue = &opt->format;
        } else if ("--alpha" == a) {
            pValue = &opt->alpha;
        } else if ("--at" == a) {
            pValue = &opt->at;
        } else if ("--color" == a) {
            pValue = &opt->color;
        } else if ("--rect" == a) {
            pValue = &opt->rect;
        } else if ("--offset" == a) {
            pValue = &opt->offset;
        } else if ("--angle" == a) {
            pValue = &opt->angle;
        } else if (a.size() > 1 && '-' == a[0]) {
            return "unknown option " + a;
        } else {
            opt->args.push_back(a);
            continue;
        }
        if (i + 1 >= argc) {
            return a + " needs a value";
        }
        *pValue = argv[++i];
    }
    return std::string();
}

std::string ReadHostFile(const std::string& path, bool* pOk) {
    std::ifstream in(path, std::ios::binary);
    *pOk = (bool)in;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int CmdInfo(const Options& opt) {
    const std::string& path = opt.args[1];
    bool bOk = false;
    const std::string bytes = ReadHostFile(path, &bOk);
    if (!bOk) {
        return Fail("cannot read " + path);
    }
    auto le32 = [&](size_t off) -> uint32_t {
        if (off + 4 > bytes.size()) {
            return 0;
        }
        return (uint32_t)(uint8_t)bytes[off] | (uint32_t)(uint8_t)bytes[off + 1] << 8 |
               (uint32_t)(uint8_t)bytes[off + 2] << 16 | (uint32_t)(uint8_t)bytes[off + 3] << 24;
    };
    printf("file: %s (%zu bytes)\n", path.c_str(), bytes.size());
    if (bytes.size() < 30 || bytes[0] != 'B' || bytes[1] != 'M') {
        printf("not a BMP file (it needs \"BM\" and its headers)\n");
        return 1;
    }
    const long w = (int32_t)le32(18), h = (int32_t)le32(22), bits = le32(28) & 0xFFFF;
    const uint32_t comp = le32(30), off = le32(10);
    const char* pCompName = 0 == comp   ? " (none)"
                            : 1 == comp ? " (RLE8)"
                            : 2 == comp ? " (RLE4)"
                            : 3 == comp ? " (bit fields)"
                            : 4 == comp ? " (JPEG)"
                            : 5 == comp ? " (PNG)"
                            : 6 == comp ? " (alpha bit fields)"
                                        : "";
    printf("header: %u bytes\n", le32(14));
    printf("size: %ld x %ld, %ld bits per pixel, %s\n", w, h, bits, h < 0 ? "top-down" : "bottom-up");
    printf("compression: %u%s\n", comp, pCompName);
    BmpLayout layout;
    std::string error;
    const bool bParsed = ParseBmp(bytes, &layout, &error);
    if (bParsed && layout.hasMasks) {
        printf("masks: red 0x%04X green 0x%04X blue 0x%04X", layout.masks[0], layout.masks[1],
               layout.masks[2]);
        if (0 != layout.masks[3]) {
            printf(" alpha 0x%04X", layout.masks[3]);
        }
        printf("\n");
    }
    if (bParsed && layout.paletteSize > 0) {
        printf("palette: %u colours\n", layout.paletteSize);
    }
    if (w > 0 && h > 0 && bits > 0) {
        printf("pixel data: offset %u, %u bytes needed, %ld present\n", off,
               (unsigned)FhGetBitmapDataLen((int)w, (int)h, (int)bits), (long)bytes.size() - (long)off);
    }
    if (bParsed) {
        const std::string alpha = DescribeAlphaReading(bytes, layout);
        printf("convert reads it as: %s%s%s\n", DescribeLayout(layout).c_str(), alpha.empty() ? "" : "; ",
               alpha.c_str());
    } else {
        printf("convert refuses it: %s\n", error.c_str());
    }
    const bool bBmpName = EndsWith(path, ".bmp");
    const std::string alphaPath = bBmpName ? AlphaPathOf(path) : std::string();
    if (bBmpName && fs::is_regular_file(alphaPath)) {
        const std::string plane = ReadHostFile(alphaPath, &bOk);
        int nMin = 255, nMax = 0;
        for (unsigned char c : plane) {
            nMin = c < nMin ? c : nMin;
            nMax = c > nMax ? c : nMax;
        }
        printf("alpha plane: %s, %zu bytes", alphaPath.c_str(), plane.size());
        if (16 == bits && w > 0 && h > 0) {
            printf(" (%u needed), values %d..%d%s", (unsigned)FhGetAlphaPlaneLen((int)w, (int)h),
                   plane.empty() ? 0 : nMin, nMax,
                   nMax > 63 ? " (above 63 is outside 0..63: drawn opaque)" : "");
        } else {
            printf(" (only 16-bit files use one)");
        }
        printf("\n");
    } else {
        printf("alpha plane: none\n");
    }
    LogLines log;
    int nExit = 0;
    auto pBmp = LoadBmp(path, log, &nExit);
    if (!pBmp) {
        return nExit;
    }
    printf("framework: loads as %s%s\n", WideToUtf8(pBmp->GetClassName()).c_str(),
           pBmp->HasPerPixelAlpha() ? " with per-pixel alpha" : "");
    if (bParsed) {
        for (const std::string& line : FrameworkMisreadings(bytes, layout)) {
            printf("framework: WARNING: misreads it: %s\n", line.c_str());
        }
    }
    return 0;
}

int CmdConvert(const Options& opt) {
    const std::string& in = opt.args[1];
    const std::string& out = opt.args[2];
    const bool bInPng = EndsWith(in, ".png"), bOutPng = EndsWith(out, ".png");
    if (!bInPng && !EndsWith(in, ".bmp")) {
        return Usage("IN must end in .png or .bmp");
    }
    if (!bOutPng && !EndsWith(out, ".bmp")) {
        return Usage("OUT must end in .png or .bmp");
    }
    if (!opt.format.empty() && "565a" != opt.format && "565" != opt.format && "32" != opt.format) {
        return Usage("--format is 565a, 565 or 32");
    }
    LogLines log;
    RgbaImage image;
    if (bInPng) {
        std::string error;
        if (!ReadPng(in, &image, &error)) {
            return Fail("cannot read " + in + ": " + error);
        }
    } else {
        bool bOk = false;
        const std::string bytes = ReadHostFile(in, &bOk);
        if (!bOk) {
            return Fail("cannot read " + in);
        }
        // A 16-bit file's plane beside it holds its transparency, as the framework loads the pair.
        const std::string alphaPath = AlphaPathOf(in);
        std::string plane;
        const bool bPlane = fs::is_regular_file(alphaPath);
        if (bPlane) {
            plane = ReadHostFile(alphaPath, &bOk);
        }
        std::string error;
        if (!ReadBmp(bytes, bPlane ? &plane : nullptr, &image, &error)) {
            return Fail("cannot read " + in + ": " + error);
        }
    }
    if (bOutPng) {
        std::string error;
        if (!WritePng(out, image, &error)) {
            return Fail("cannot write " + out + ": " + error);
        }
        return 0;
    }
    const std::string format = !opt.format.empty() ? opt.format : (image.hasAlpha ? "565a" : "565");
    auto pBmp = imaging::BitmapFromRgba(image, format);
    if (!pBmp) {
        return log.Fail("cannot make a bitmap of " + std::to_string(image.width) + " x " +
                        std::to_string(image.height));
    }
    return SaveBmp(*pBmp, out, log);
}

int CmdBlend(const Options& opt) {
    int nAlpha = 0;
    if (opt.perPixel == !opt.alpha.empty()) {
        return Usage("blend needs either --alpha N or --per-pixel");
    }
    if (!opt.perPixel && !ParseInt(opt.alpha, 0, 255, &nAlpha)) {
        return Usage("--alpha is 0..255");
    }
    std::vector<int> at = {0, 0};
    if (!opt.at.empty() && !ParseInts(opt.at, 2, &at)) {
        return Usage("--at is X,Y");
    }
    LogLines log;
    int nExit = 0;
    auto pDst = LoadBmp(opt.args[1], log, &nExit);
    if (!pDst) {
        return nExit;
    }
    auto pSrc = LoadBmp(opt.args[2], log, &nExit);
    if (!pSrc) {
        return nExit;
    }
    const BLENDFUNCTION bf = {AC_SRC_OVER, 0, (BYTE)nAlpha, (BYTE)(opt.perPixel ? AC_SRC_ALPHA : 0)};
    if (!pDst->AlphaBlend(at[0], at[1], pSrc->GetWidth(), pSrc->GetHeight(), pSrc.get(), 0, 0, bf)) {
        return log.Fail("the blend was refused");
    }
    return SaveBmp(*pDst, opt.args[3], log);
}

int CmdMix(const Options& opt) {
    const std::string hex = opt.color.size() == 7 && '#' == opt.color[0] ? opt.color.substr(1) : opt.color;
    if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        return Usage("mix needs --color RRGGBB in hexadecimal");
    }
    int nAlpha = 0;
    if (!ParseInt(opt.alpha, -100000, 100000, &nAlpha)) {
        return Usage("mix needs --alpha N");
    }
    const unsigned long ulRgb = strtoul(hex.c_str(), nullptr, 16);
    const COLORREF cr = RGB((ulRgb >> 16) & 255, (ulRgb >> 8) & 255, ulRgb & 255);
    std::vector<int> rect;
    if (!opt.rect.empty() && !ParseInts(opt.rect, 4, &rect)) {
        return Usage("--rect is X,Y,W,H");
    }
    LogLines log;
    int nExit = 0;
    auto pBmp = LoadBmp(opt.args[1], log, &nExit);
    if (!pBmp) {
        return nExit;
    }
    if (rect.empty()) {
        rect = {0, 0, pBmp->GetWidth(), pBmp->GetHeight()};
    }
    if (!pBmp->MixColor(rect[0], rect[1], rect[2], rect[3], cr, nAlpha)) {
        return log.Fail("the colour mix was refused");
    }
    return SaveBmp(*pBmp, opt.args[2], log);
}

int CmdHue(const Options& opt) {
    int nOffset = 0;
    if (!ParseInt(opt.offset, -100000, 100000, &nOffset)) {
        return Usage("hue needs --offset DEG");
    }
    LogLines log;
    int nExit = 0;
    auto pBmp = LoadBmp(opt.args[1], log, &nExit);
    if (!pBmp) {
        return nExit;
    }
    if (!pBmp->SetHSLOffsetHue(nOffset)) {
        return log.Fail("the hue shift was refused");
    }
    return SaveBmp(*pBmp, opt.args[2], log);
}

int CmdRotate(const Options& opt) {
    int nAngle = 0;
    if (!ParseInt(opt.angle, -100000, 100000, &nAngle)) {
        return Usage("rotate needs --angle 1|2|3");
    }
    LogLines log;
    int nExit = 0;
    auto pBmp = LoadBmp(opt.args[1], log, &nExit);
    if (!pBmp) {
        return nExit;
    }
    CWceUiGenericBitmap* pRotated = nullptr;
    if (!pBmp->Rotate(nAngle, &pRotated) || !pRotated) {
        return log.Fail("the rotation was refused");
    }
    std::unique_ptr<CWceUiGenericBitmap> rotated(pRotated);
    if (16 == pBmp->GetBitsPixel() && pBmp->HasPerPixelAlpha()) {
        fprintf(stderr, "bmptool: note: the rotated bitmap has no alpha plane\n");
    }
    return SaveBmp(*rotated, opt.args[2], log);
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && 0 == strcmp(argv[1], "--version")) {
        tooling::PrintVersion("bmptool");
        return 0;
    }
    if (argc > 1 && 0 == strcmp(argv[1], "animate")) {
        tooling::UseHostFileSystem();
        return bmptool::RunAnimate(argc, argv);
    }
    if (argc >= 2 && std::string(argv[1]) == "text") {
        return RunTextCommand(argc - 2, argv + 2);
    }
    Options opt;
    const std::string error = ParseOptions(argc, argv, &opt);
    if (opt.help) {
        fputs(kUsage, stdout);
        fputs(kTextUsage, stdout);
        fputs(kHelp, stdout);
        fputs(kTextHelp, stdout);
        return 0;
    }
    if (!error.empty()) {
        return Usage(error);
    }
    if (opt.args.empty()) {
        return Usage("no command");
    }
    tooling::UseHostFileSystem();
    const std::string& cmd = opt.args[0];
    const struct {
        const char* name;
        size_t nArgs;
        int (*run)(const Options&);
    } commands[] = {{"info", 2, CmdInfo}, {"convert", 3, CmdConvert}, {"blend", 4, CmdBlend},
                    {"mix", 3, CmdMix},   {"hue", 3, CmdHue},         {"rotate", 3, CmdRotate}};
    for (const auto& c : commands) {
        if (cmd == c.name) {
            if (opt.args.size() != c.nArgs) {
                return Usage(cmd + " takes " + std::to_string(c.nArgs - 1) + " file argument" +
                             (c.nArgs > 2 ? "s" : ""));
            }
            // Every size is checked before it is allocated; memory can still run out under a limit.
            try {
                return c.run(opt);
            } catch (const std::bad_alloc&) {
                return Fail("out of memory");
            }
        }
    }
    return Usage("unknown command " + cmd);
}
