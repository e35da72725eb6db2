// bmptool: looks into skin bitmaps, converts them between PNG and the BMP forms the framework loads,
// and runs the framework's own blend, colour mix, hue shift and rotation on BMP files.
#include "PngFile.h"
#include "TextCommand.h"

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
                      "       bmptool --help\n";
// The text command's own lines follow the others in the usage and the help.

const char kHelp[] =
    "\n"
    "The framework draws skin images from uncompressed BMP files: 16-bit RGB565, optionally with an\n"
    "\".alpha\" file beside it (one byte per pixel, 0..63, colours premultiplied), or 32-bit with a\n"
    "premultiplied alpha byte. Rows are stored bottom-up, 565 rows padded to an even width.\n"
    "\n"
    "  info FILE.bmp        header fields, the alpha plane beside the file, and whether the framework\n"
    "                       loads it\n"
    "  convert IN OUT       between PNG and BMP by the files' extensions (.png, .bmp). To BMP:\n"
    "                         565a  565 pixels premultiplied by a 6-bit alpha, plane in OUT's .alpha\n"
    "                         565   565 pixels, alpha dropped\n"
    "                         32    32-bit pixels premultiplied by their alpha byte\n"
    "                       The default is 565a for images with transparency, else 565. To PNG: RGBA\n"
    "                       (straight alpha) when the BMP has alpha, else RGB\n"
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
    if (!why.empty()) {
        fprintf(stderr, "bmptool: %s\n", why.c_str());
    }
    fputs(kUsage, stderr);
    fputs(kTextUsage, stderr);
    return 2;
}

int Fail(const std::string& why) {
    fprintf(stderr, "bmptool: %s\n", why.c_str());
    return 1;
}

// The framework's messages while it lives, printed when an operation fails.
class LogLines : public tooling::LogLines {
public:
    int Fail(const std::string& why) const {
        fprintf(stderr, "bmptool: %s\n", why.c_str());
        Print("  ");
        return 1;
    }
};

using tooling::DevicePath;

bool EndsWith(const std::string& s, const char* pTail) {
    const size_t n = strlen(pTail);
    if (s.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (tolower((unsigned char)s[s.size() - n + i]) != pTail[i]) {
            return false;
        }
    }
    return true;
}

std::string AlphaPathOf(const std::string& bmpPath) {
    return bmpPath.substr(0, bmpPath.size() - 4) + ".alpha";
}

bool ParseInt(const std::string& s, long lMin, long lMax, int* pOut) {
    if (s.empty()) {
        return false;
    }
    char* pEnd = nullptr;
    const long l = strtol(s.c_str(), &pEnd, 10);
    if (*pEnd || l < lMin || l > lMax) {
        return false;
    }
    *pOut = (int)l;
    return true;
}

bool ParseInts(const std::string& s, size_t nCount, std::vector<int>* pOut) {
    std::stringstream in(s);
    std::string part;
    pOut->clear();
    while (std::getline(in, part, ',')) {
        int n;
        if (!ParseInt(part, -1000000, 1000000, &n)) {
            return false;
        }
        pOut->push_back(n);
    }
    return pOut->size() == nCount;
}

// ---- loading and saving BMP files the framework's way ----

// Loads a BMP with the framework's loader: a 565 file has per-pixel alpha exactly when its ".alpha"
// stands beside it; a 32-bit file always has.
std::unique_ptr<CWceUiGenericBitmap> LoadBmp(const std::string& hostPath, const LogLines& log, int* pExit) {
    *pExit = 0;
    if (!EndsWith(hostPath, ".bmp")) {
        *pExit = Fail(hostPath + ": not a .bmp file");
        return nullptr;
    }
    const std::u16string dev = DevicePath(hostPath);
    if (dev.empty()) {
        *pExit = Fail(hostPath + ": cannot be reached");
        return nullptr;
    }
    const std::string alphaHost = AlphaPathOf(hostPath);
    const bool bPlane = fs::is_regular_file(alphaHost);
    const std::u16string alphaDev = DevicePath(alphaHost);
    std::unique_ptr<CWceUiGenericBitmap> pBmp(
        WceUiLoadBmpFromFile(dev.c_str(), bPlane ? TRUE : FALSE, bPlane ? alphaDev.c_str() : NULL));
    if (!pBmp) {
        *pExit = log.Fail("cannot load " + hostPath);
        return nullptr;
    }
    if (32 == pBmp->GetBitsPixel()) {
        pBmp->SetPerPixelAlpha(TRUE);
    }
    return pBmp;
}

bool WriteHostBytes(const std::string& hostPath, const void* p, size_t n) {
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(p), (std::streamsize)n);
    return (bool)out;
}

// Saves with the bitmap's own SaveFile; a 565 bitmap's plane goes beside the file, and a plane left
// there from before is removed when the result has none, so that the pair always loads as written.
int SaveBmp(CWceUiGenericBitmap& bmp, const std::string& hostPath, const LogLines& log) {
    if (!EndsWith(hostPath, ".bmp")) {
        return Fail(hostPath + ": the output must be a .bmp file");
    }
    const std::u16string dev = DevicePath(hostPath);
    if (dev.empty() || !bmp.SaveFile(dev.c_str())) {
        return log.Fail("cannot write " + hostPath);
    }
    const std::string alphaHost = AlphaPathOf(hostPath);
    const BYTE* pPlane =
        16 == bmp.GetBitsPixel() ? static_cast<CWceUi565Bitmap&>(bmp).GetAlphaPlane() : nullptr;
    if (pPlane && bmp.HasPerPixelAlpha()) {
        if (!WriteHostBytes(alphaHost, pPlane, FhGetAlphaPlaneLen(bmp.GetWidth(), bmp.GetHeight()))) {
            return Fail("cannot write " + alphaHost);
        }
    } else if (fs::exists(alphaHost)) {
        std::error_code ec;
        fs::remove(alphaHost, ec);
        fprintf(stderr, "bmptool: removed %s: the result has no alpha plane\n", alphaHost.c_str());
    }
    return 0;
}

// ---- conversions between straight RGBA and the framework's bitmaps ----

uint8_t Widen5(int v) {
    return (uint8_t)((v << 3) | (v >> 2));
}
uint8_t Widen6(int v) {
    return (uint8_t)((v << 2) | (v >> 4));
}

// Undoes the premultiplication of a 32-bit pixel's channel (rounded both ways).
int Unpremultiply32(int c, int nAlpha) {
    if (0 == nAlpha) {
        return 0;
    }
    const int v = (c * 255 + nAlpha / 2) / nAlpha;
    return v > 255 ? 255 : v;
}

// The same for a 565 channel against a 6-bit alpha. The premultiplication below rounds down, so the
// smallest value that premultiplies back to c is taken: converting back and forth changes nothing.
int Unpremultiply565(int c, int nAlpha, int nMax) {
    if (0 == nAlpha) {
        return 0;
    }
    const int v = (c * 63 + nAlpha - 1) / nAlpha;
    return v > nMax ? nMax : v;
}

RgbaImage ToRgba(const CWceUiGenericBitmap& bmp) {
    RgbaImage image;
    image.width = bmp.GetWidth();
    image.height = bmp.GetHeight();
    image.pixels.assign((size_t)image.width * image.height * 4, 0);
    if (16 == bmp.GetBitsPixel()) {
        const WORD* pBits = static_cast<const WORD*>(bmp.GetPixelData());
        const BYTE* pPlane =
            bmp.HasPerPixelAlpha() ? static_cast<const CWceUi565Bitmap&>(bmp).GetAlphaPlane() : nullptr;
        const int nStride = (image.width + 1) & ~1;
        image.hasAlpha = nullptr != pPlane;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const size_t k = (size_t)(image.height - 1 - y) * nStride + x;
                const WORD w = pBits[k];
                int r = w >> 11, g = (w >> 5) & 63, b = w & 31;
                int a = 63;
                if (pPlane) {
                    a = pPlane[k] > 63 ? 63 : pPlane[k];
                    r = Unpremultiply565(r, a, 31);
                    g = Unpremultiply565(g, a, 63);
                    b = Unpremultiply565(b, a, 31);
                }
                uint8_t* p = image.At(x, y);
                p[0] = Widen5(r), p[1] = Widen6(g), p[2] = Widen5(b), p[3] = Widen6(a);
            }
        }
    } else {
        const DWORD* pBits = static_cast<const DWORD*>(bmp.GetPixelData());
        image.hasAlpha = true;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const DWORD d = pBits[(size_t)(image.height - 1 - y) * image.width + x];
                const int a = (int)(d >> 24);
                uint8_t* p = image.At(x, y);
                p[0] = (uint8_t)Unpremultiply32((int)((d >> 16) & 255), a);
                p[1] = (uint8_t)Unpremultiply32((int)((d >> 8) & 255), a);
                p[2] = (uint8_t)Unpremultiply32((int)(d & 255), a);
                p[3] = (uint8_t)a;
            }
        }
    }
    return image;
}

// 565 channels are narrowed by dropping low bits, as the platform converts. With a plane the 6-bit alpha
// is the top of the 8-bit one and each channel is premultiplied by it, rounding down, so that a blend
// never carries out of a channel.
std::unique_ptr<CWceUiGenericBitmap> FromRgba(const RgbaImage& image, const std::string& format) {
    if ("32" == format) {
        std::vector<DWORD> pixels((size_t)image.width * image.height);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                const uint8_t* p = image.At(x, y);
                const DWORD a = p[3];
                auto pre = [&](int c) { return (DWORD)((c * a + 127) / 255); };
                pixels[(size_t)(image.height - 1 - y) * image.width + x] =
                    (a << 24) | (pre(p[0]) << 16) | (pre(p[1]) << 8) | pre(p[2]);
            }
        }
        auto pBmp = std::make_unique<CWceUi32Bitmap>();
        if (!pBmp->CreateDIB32(image.width, image.height, pixels.data(), TRUE)) {
            return nullptr;
        }
        return pBmp;
    }
    const bool bPlane = "565a" == format;
    const int nStride = (image.width + 1) & ~1;
    std::vector<WORD> pixels((size_t)nStride * image.height, 0);
    std::vector<BYTE> plane(pixels.size(), 0);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.At(x, y);
            int r = p[0] >> 3, g = p[1] >> 2, b = p[2] >> 3;
            const size_t k = (size_t)(image.height - 1 - y) * nStride + x;
            if (bPlane) {
                const int a = p[3] >> 2;
                r = r * a / 63, g = g * a / 63, b = b * a / 63;
                plane[k] = (BYTE)a;
            }
            pixels[k] = (WORD)((r << 11) | (g << 5) | b);
        }
    }
    auto pBmp = std::make_unique<CWceUi565Bitmap>();
    if (!pBmp->CreateDIB565(image.width, image.height, pixels.data(), bPlane ? plane.data() : NULL)) {
        return nullptr;
    }
    return pBmp;
}

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
    auto le32 = [&](size_t off) -> long {
        if (off + 4 > bytes.size()) {
            return 0;
        }
        const uint32_t v = (uint32_t)(uint8_t)bytes[off] | (uint32_t)(uint8_t)bytes[off + 1] << 8 |
                           (uint32_t)(uint8_t)bytes[off + 2] << 16 | (uint32_t)(uint8_t)bytes[off + 3] << 24;
        return (long)(int32_t)v;
    };
    printf("file: %s (%zu bytes)\n", path.c_str(), bytes.size());
    if (bytes.size() < 58 || bytes[0] != 'B' || bytes[1] != 'M') {
        printf("not a BMP file the framework reads (it needs \"BM\" and 58 bytes of headers)\n");
        return 1;
    }
    const long w = le32(18), h = le32(22), bits = le32(28) & 0xFFFF, comp = le32(30), off = le32(10);
    printf("size: %ld x %ld, %ld bits per pixel, %s\n", w, h, bits, h < 0 ? "top-down" : "bottom-up");
    printf("compression: %ld%s\n", comp, 3 == comp ? " (bit fields)" : 0 == comp ? " (none)" : "");
    if (3 == comp) {
        const bool b565 = le32(54) == 0xF800 && le32(58) == 0x07E0 && le32(62) == 0x001F;
        printf("masks: red 0x%04lX green 0x%04lX blue 0x%04lX%s\n", le32(54), le32(58), le32(62),
               16 == bits && !b565 ? " (not RGB565; the framework reads the pixels as RGB565)" : "");
    }
    if (w > 0 && h > 0 && bits > 0) {
        printf("pixel data: offset %ld, %u bytes needed, %ld present\n", off,
               (unsigned)FhGetBitmapDataLen((int)w, (int)h, (int)bits), (long)bytes.size() - off);
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
        int nExit = 0;
        auto pBmp = LoadBmp(in, log, &nExit);
        if (!pBmp) {
            return nExit;
        }
        image = ToRgba(*pBmp);
    }
    if (bOutPng) {
        std::string error;
        if (!WritePng(out, image, &error)) {
            return Fail("cannot write " + out + ": " + error);
        }
        return 0;
    }
    const std::string format = !opt.format.empty() ? opt.format : (image.hasAlpha ? "565a" : "565");
    auto pBmp = FromRgba(image, format);
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
            return c.run(opt);
        }
    }
    return Usage("unknown command " + cmd);
}
