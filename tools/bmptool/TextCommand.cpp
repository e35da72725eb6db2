// bmptool text: DrawTextW onto a plain background, saved as PNG.
#include "TextCommand.h"

#include "platform/WinCe.h"
#include "platform/text/TextHost.h"
#include "tools/common/ToolSupport.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <vector>

const char kTextUsage[] =
    "       bmptool text OUT.png TEXT --font FACE --height H [--bold] [--italic] [--color RRGGBB]\n"
    "                    [--background RRGGBB] [--rect W,H] [--flags NAME,...] [--bpp 16|32]\n";

const char kTextHelp[] =
    "  text OUT.png TEXT    draws TEXT (UTF-8) with the platform's DrawTextW into a 16-bit (565,\n"
    "                       default) or 32-bit bitmap filled with the background colour (default\n"
    "                       FFFFFF) and saves it as PNG. --height is the font record's height:\n"
    "                       negative for the character height, positive for the cell height. The\n"
    "                       text colour defaults to 000000. --rect sizes the bitmap and the text\n"
    "                       rectangle; without it the bitmap is the text's own size. --flags takes\n"
    "                       left, center, right, top, vcenter, bottom, single, wordbreak,\n"
    "                       end-ellipsis, word-ellipsis, noclip, or a number. A face that is not\n"
    "                       installed is replaced by fontconfig's best match (a note on stderr).\n";

namespace {

struct FlagName {
    const char* name;
    unsigned value;
};
const FlagName kFlags[] = {{"left", DT_LEFT},
                           {"center", DT_CENTER},
                           {"right", DT_RIGHT},
                           {"top", DT_TOP},
                           {"vcenter", DT_VCENTER},
                           {"bottom", DT_BOTTOM},
                           {"single", DT_SINGLELINE},
                           {"wordbreak", DT_WORDBREAK},
                           {"end-ellipsis", DT_END_ELLIPSIS},
                           {"word-ellipsis", DT_WORD_ELLIPSIS},
                           {"noclip", DT_NOCLIP}};

COLORREF ColorOf(uint32_t rrggbb) {
    return RGB((rrggbb >> 16) & 0xFF, (rrggbb >> 8) & 0xFF, rrggbb & 0xFF);
}

HBITMAP MakeSection(int width, int height, int bpp) {
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{};
    info.h.biSize = sizeof(BITMAPINFOHEADER);
    info.h.biWidth = width;
    info.h.biHeight = height; // bottom-up, as the framework's bitmaps
    info.h.biPlanes = 1;
    info.h.biBitCount = static_cast<WORD>(bpp);
    info.h.biCompression = bpp == 16 ? BI_BITFIELDS : BI_RGB;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
}

void ReadPixels(HBITMAP section, RgbaImage* image) {
    DIBSECTION ds{};
    GetObjectW(section, sizeof(ds), &ds);
    const int w = ds.dsBm.bmWidth, h = ds.dsBm.bmHeight;
    image->width = w;
    image->height = h;
    image->hasAlpha = false;
    image->pixels.assign(static_cast<size_t>(w) * h * 4, 255);
    for (int y = 0; y < h; y++) {
        const BYTE* row =
            static_cast<const BYTE*>(ds.dsBm.bmBits) + static_cast<size_t>(h - 1 - y) * ds.dsBm.bmWidthBytes;
        for (int x = 0; x < w; x++) {
            uint8_t* out = image->At(x, y);
            if (ds.dsBm.bmBitsPixel == 16) {
                uint16_t p;
                std::memcpy(&p, row + 2 * x, 2);
                unsigned r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
                out[0] = static_cast<uint8_t>((r << 3) | (r >> 2));
                out[1] = static_cast<uint8_t>((g << 2) | (g >> 4));
                out[2] = static_cast<uint8_t>((b << 3) | (b >> 2));
            } else {
                out[0] = row[4 * x + 2];
                out[1] = row[4 * x + 1];
                out[2] = row[4 * x];
            }
        }
    }
}

bool ParseHex(const std::string& s, uint32_t* out) {
    if (s.size() != 6)
        return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 16);
    if (*end)
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

bool ParseNumber(const std::string& s, long lo, long hi, int* out) {
    if (s.empty())
        return false;
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (*end || v < lo || v > hi)
        return false;
    *out = static_cast<int>(v);
    return true;
}

// The platform's notes about fonts, printed as the tool's own.
void PrintNote(const char* line) {
    std::fprintf(stderr, "bmptool: note: %s\n", line);
}

int TextUsage(const std::string& why) {
    return tooling::UsageError("bmptool text", why);
}

} // namespace

bool ParseTextFlags(const std::string& list, unsigned* flags) {
    *flags = 0;
    std::stringstream in(list);
    std::string part;
    while (std::getline(in, part, ',')) {
        if (part.empty())
            continue;
        bool known = false;
        for (const FlagName& f : kFlags) {
            if (part == f.name) {
                *flags |= f.value;
                known = true;
            }
        }
        if (!known) {
            char* end = nullptr;
            unsigned long v = std::strtoul(part.c_str(), &end, 0);
            if (*end || !std::isdigit(static_cast<unsigned char>(part[0])))
                return false;
            *flags |= static_cast<unsigned>(v);
        }
    }
    return true;
}

bool RenderTextImage(const TextImageOptions& o, RgbaImage* image, std::string* error) {
    LOGFONTW lf{};
    lf.lfHeight = o.height;
    lf.lfWeight = o.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = o.italic ? 1 : 0;
    lf.lfQuality = ANTIALIASED_QUALITY;
    WStrCpyN(lf.lfFaceName, LF_FACESIZE, o.face.c_str());
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) {
        *error = "the font was refused";
        return false;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = SelectObject(dc, font);
    const int count = static_cast<int>(o.text.size());
    RECT rect{0, 0, o.width, o.rectHeight};
    if (o.width <= 0 && o.rectHeight <= 0) {
        // The text's own size; word breaks have the whole width there is.
        RECT calc{0, 0, (o.flags & DT_WORDBREAK) ? 0x100000 : 0, 0};
        DrawTextW(dc, o.text.c_str(), count, &calc, o.flags | DT_CALCRECT);
        rect.right = calc.right > 0 ? calc.right : 1;
        rect.bottom = calc.bottom > 0 ? calc.bottom : 1;
    }
    bool ok = false;
    HBITMAP section = MakeSection(rect.right, rect.bottom, o.bpp);
    if (!section) {
        *error = "the bitmap cannot be made";
    } else {
        HGDIOBJ oldBitmap = SelectObject(dc, section);
        HBRUSH brush = CreateSolidBrush(ColorOf(o.background));
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
        SetTextColor(dc, ColorOf(o.color));
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, o.text.c_str(), count, &rect, o.flags);
        SelectObject(dc, oldBitmap);
        ReadPixels(section, image);
        DeleteObject(section);
        ok = true;
    }
    SelectObject(dc, oldFont);
    DeleteDC(dc);
    DeleteObject(font);
    return ok;
}

int RunTextCommand(int argc, char** argv) {
    TextImageOptions o;
    std::vector<std::string> args;
    bool haveFont = false, haveHeight = false;
    for (int i = 0; i < argc; i++) {
        const std::string a = argv[i];
        auto value = [&](std::string* out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::fputs("usage:", stdout);
            std::fputs(kTextUsage + 6, stdout);
            std::fputs("\n", stdout);
            std::fputs(kTextHelp, stdout);
            return 0;
        } else if (a == "--bold") {
            o.bold = true;
        } else if (a == "--italic") {
            o.italic = true;
        } else if (a == "--font") {
            if (!value(&v) || v.empty() || v.size() >= LF_FACESIZE)
                return TextUsage("--font takes a face name of 1 to 31 characters");
            o.face = Utf8ToWide(v);
            haveFont = true;
        } else if (a == "--height") {
            if (!value(&v) || !ParseNumber(v, -100000, 100000, &o.height))
                return TextUsage("--height takes a number of pixels");
            haveHeight = true;
        } else if (a == "--color" || a == "--background") {
            if (!value(&v) || !ParseHex(v, a == "--color" ? &o.color : &o.background))
                return TextUsage(a + " takes RRGGBB");
        } else if (a == "--rect") {
            size_t comma = std::string::npos;
            if (!value(&v) || (comma = v.find(',')) == std::string::npos ||
                !ParseNumber(v.substr(0, comma), 1, 4096, &o.width) ||
                !ParseNumber(v.substr(comma + 1), 1, 4096, &o.rectHeight))
                return TextUsage("--rect takes W,H (1 to 4096 each)");
        } else if (a == "--flags") {
            if (!value(&v) || !ParseTextFlags(v, &o.flags))
                return TextUsage(
                    "--flags takes names from left, center, right, top, vcenter, bottom, single, "
                    "wordbreak, end-ellipsis, word-ellipsis, noclip");
        } else if (a == "--bpp") {
            if (!value(&v) || (v != "16" && v != "32"))
                return TextUsage("--bpp takes 16 or 32");
            o.bpp = std::atoi(v.c_str());
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return TextUsage("unknown option " + a);
        } else {
            args.push_back(a);
        }
    }
    if (args.size() != 2)
        return TextUsage("text takes OUT.png and TEXT");
    if (!haveFont || !haveHeight)
        return TextUsage("text needs --font and --height");
    o.text = Utf8ToWide(args[1]);
    PlatformSetTextLogSink(PrintNote);
    RgbaImage image;
    std::string error;
    if (!RenderTextImage(o, &image, &error)) {
        std::fprintf(stderr, "bmptool: %s\n", error.c_str());
        return 1;
    }
    if (!WritePng(args[0], image, &error)) {
        std::fprintf(stderr, "bmptool: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
