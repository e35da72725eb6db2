#include "platform/display/Display.h"
#include "platform/GdiHost.h"
#include "platform/Platform.h"
#include "platform/WinSystem.h"
#include "platform/display/headless/HeadlessBackend.h"
#include "platform/display/sdl/SdlBackend.h"
#include "platform/windows/WindowManager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <png.h>
#include <vector>

namespace {

struct DisplayState {
    std::string exitShot;
    bool atExitRegistered = false;
    PlatformDumpHook dumpHook;
    std::vector<std::string> written;
    std::vector<std::string> failed;
};

DisplayState& D() {
    static DisplayState* d = new DisplayState;
    return *d;
}

bool ParsePositive(const char* text, int maxValue, int* out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!end || *end || v <= 0 || v > maxValue)
        return false;
    *out = static_cast<int>(v);
    return true;
}

// Keeps the outcome of a requested write for PlatformDisplayFilesWritten.
bool NoteWrite(const std::string& hostPath, bool ok) {
    (ok ? D().written : D().failed).push_back(hostPath);
    return ok;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

int PlatformStartDisplay(const PlatformDisplayOptions& options, std::string* error) {
    if (options.bitsPerPixel != 16 && options.bitsPerPixel != 32) {
        if (error)
            *error = "the screen depth is 16 or 32 bits";
        return 2;
    }
    if (options.width <= 0 || options.height <= 0 || options.width > 8192 || options.height > 8192) {
        if (error)
            *error = "bad screen size";
        return 2;
    }
    std::vector<ScriptStep> steps;
    if (!options.scriptPath.empty() || !options.scriptText.empty()) {
        std::string text = options.scriptText;
        std::string base;
        if (!options.scriptPath.empty()) {
            if (!ReadEventScriptFile(options.scriptPath, &text, error))
                return 2;
            base = FolderOf(options.scriptPath);
        }
        std::string why;
        if (!ParseEventScript(text, base, &steps, &why)) {
            if (error)
                *error =
                    (options.scriptPath.empty() ? std::string("script") : options.scriptPath) + ": " + why;
            return 2;
        }
    }
    std::string backend = options.backend;
    if (backend.empty()) {
        const char* display = std::getenv("DISPLAY");
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        backend = (display && *display) || (wayland && *wayland) ? "sdl" : "headless";
    }
    if (backend != "headless" && backend != "sdl") {
        if (error)
            *error = "unknown backend '" + backend + "' (headless or sdl)";
        return 2;
    }
    PlatformStopDisplay();
    PlatformSetScreen(options.width, options.height, options.bitsPerPixel);
    std::unique_ptr<DisplayBackend> b;
    if (backend == "sdl") {
        std::string why;
        b = CreateSdlBackend(std::move(steps), options.zoom, &why);
        if (!b) {
            if (error)
                *error = "cannot open the SDL display: " + why;
            return 1;
        }
    } else {
        b = CreateHeadlessBackend(std::move(steps), options.realClock);
    }
    D().exitShot = options.exitShot;
    D().written.clear();
    D().failed.clear();
    if (!options.exitShot.empty() && !D().atExitRegistered) {
        // A program that exits without stopping the display still leaves its last picture.
        PlatformGetScreenBitmap();
        std::atexit([] {
            if (!D().exitShot.empty() && WindowManagerBackend()) {
                std::string why;
                if (!PlatformSaveScreenshot(D().exitShot, &why))
                    std::fprintf(stderr, "%s\n", why.c_str());
                D().exitShot.clear();
            }
        });
        D().atExitRegistered = true;
    }
    WindowManagerSetBackend(std::move(b));
    return 0;
}

void PlatformStopDisplay() {
    DisplayState& d = D();
    if (!d.exitShot.empty() && WindowManagerBackend()) {
        std::string error;
        if (!PlatformSaveScreenshot(d.exitShot, &error))
            std::fprintf(stderr, "%s\n", error.c_str());
    }
    d.exitShot.clear();
    WindowManagerReset();
}

std::string PlatformDisplayBackendName() {
    DisplayBackend* b = WindowManagerBackend();
    return b ? b->Name() : "";
}

int PlatformParseDisplayOption(int argc, char** argv, int* index, PlatformDisplayOptions* options,
                               std::string* error) {
    std::string opt = argv[*index];
    static const char* const withValue[] = {"--backend", "--screen", "--bpp",   "--script",
                                            "--zoom",    "--shot",   "--device"};
    bool known = opt == "--realtime";
    for (const char* o : withValue)
        known = known || opt == o;
    if (!known)
        return 0;
    if (opt == "--realtime") {
        options->realClock = true;
        return 1;
    }
    if (*index + 1 >= argc) {
        *error = opt + " needs a value";
        return -1;
    }
    const char* value = argv[++*index];
    if (opt == "--backend") {
        options->backend = value;
        if (options->backend != "headless" && options->backend != "sdl") {
            *error = "unknown backend '" + options->backend + "' (headless or sdl)";
            return -1;
        }
    } else if (opt == "--screen") {
        int w = 0, h = 0;
        std::string v = value;
        size_t x = v.find_first_of("xX");
        if (x == std::string::npos || !ParsePositive(v.substr(0, x).c_str(), 8192, &w) ||
            !ParsePositive(v.substr(x + 1).c_str(), 8192, &h)) {
            *error = "--screen takes WIDTHxHEIGHT, such as 800x480";
            return -1;
        }
        options->width = w;
        options->height = h;
    } else if (opt == "--bpp") {
        int bpp = 0;
        if (!ParsePositive(value, 32, &bpp) || (bpp != 16 && bpp != 32)) {
            *error = "--bpp takes 16 or 32";
            return -1;
        }
        options->bitsPerPixel = bpp;
    } else if (opt == "--zoom") {
        if (!ParsePositive(value, 16, &options->zoom)) {
            *error = "--zoom takes 1 to 16";
            return -1;
        }
    } else if (opt == "--script") {
        options->scriptPath = value;
    } else if (opt == "--shot") {
        options->exitShot = value;
    } else if (opt == "--device") {
        PlatformSetDeviceRoot(value);
    }
    return 1;
}

const char* PlatformDisplayOptionsUsage() {
    return "  --backend headless|sdl  display (default: sdl when a display is set, else headless)\n"
           "  --screen WxH            screen size (default 800x480)\n"
           "  --bpp 16|32             screen depth (default 16)\n"
           "  --script FILE           event script (headless: virtual time; sdl: real time)\n"
           "  --zoom N                sdl: window pixels per screen pixel\n"
           "  --shot FILE.png         screenshot at exit\n"
           "  --realtime              headless: real time instead of the virtual clock\n"
           "  --device DIR            the device root folder\n";
}

bool PlatformScreenRgb(std::vector<unsigned char>* rgb, int* width, int* height) {
    HBITMAP screen = PlatformGetScreenBitmap();
    DIBSECTION ds{};
    if (!screen || GetObjectW(screen, sizeof ds, &ds) != sizeof ds || !ds.dsBm.bmBits)
        return false;
    int w = ds.dsBm.bmWidth;
    int h = ds.dsBm.bmHeight;
    int bpp = ds.dsBm.bmBitsPixel;
    const BYTE* bits = static_cast<const BYTE*>(ds.dsBm.bmBits);
    int stride = ds.dsBm.bmWidthBytes;
    bool bottomUp = ds.dsBmih.biHeight > 0;
    rgb->assign(static_cast<size_t>(w) * h * 3, 0);
    for (int y = 0; y < h; y++) {
        const BYTE* row = bits + static_cast<size_t>(bottomUp ? h - 1 - y : y) * stride;
        BYTE* out = &(*rgb)[static_cast<size_t>(y) * w * 3];
        for (int x = 0; x < w; x++) {
            if (bpp == 16) {
                unsigned p = row[x * 2] | (row[x * 2 + 1] << 8);
                unsigned r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
                out[x * 3] = static_cast<BYTE>(r << 3 | r >> 2);
                out[x * 3 + 1] = static_cast<BYTE>(g << 2 | g >> 4);
                out[x * 3 + 2] = static_cast<BYTE>(b << 3 | b >> 2);
            } else {
                out[x * 3] = row[x * 4 + 2];
                out[x * 3 + 1] = row[x * 4 + 1];
                out[x * 3 + 2] = row[x * 4];
            }
        }
    }
    // Inverting every bit of a 565 pixel inverts its widened channels too, so both depths agree.
    RECT caret;
    if (WindowManagerCaretOnScreen(GetTickCount(), &caret)) {
        for (int y = std::max<int>(0, caret.top); y < std::min<int>(h, caret.bottom); y++)
            for (int x = std::max<int>(0, caret.left); x < std::min<int>(w, caret.right); x++)
                for (int c = 0; c < 3; c++) {
                    BYTE& v = (*rgb)[(static_cast<size_t>(y) * w + x) * 3 + c];
                    v = static_cast<BYTE>(255 - v);
                }
    }
    *width = w;
    *height = h;
    return true;
}

namespace {

bool WriteScreenshot(const std::string& hostPath, std::string* error) {
    std::vector<BYTE> rgb;
    int w = 0;
    int h = 0;
    if (!PlatformScreenRgb(&rgb, &w, &h)) {
        if (error)
            *error = "no screen surface";
        return false;
    }
    FILE* f = std::fopen(hostPath.c_str(), "wb");
    if (!f) {
        if (error)
            *error = "cannot write " + hostPath + ": " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        if (error)
            *error = "cannot write " + hostPath;
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; y++)
        png_write_row(png, &rgb[static_cast<size_t>(y) * w * 3]);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    bool ok = std::fclose(f) == 0;
    if (!ok && error)
        *error = "cannot write " + hostPath;
    return ok;
}

} // namespace

bool PlatformSaveScreenshot(const std::string& hostPath, std::string* error) {
    return NoteWrite(hostPath, WriteScreenshot(hostPath, error));
}

const std::vector<std::string>& PlatformDisplayFilesWritten() {
    return D().written;
}

const std::vector<std::string>& PlatformDisplayWriteFailures() {
    return D().failed;
}

void PlatformSetDumpHook(PlatformDumpHook hook) {
    D().dumpHook = std::move(hook);
}

bool PlatformWriteDump(const std::string& hostPath, std::string* error) {
    const std::string text = D().dumpHook ? D().dumpHook() : PlatformWindowListText();
    FILE* f = std::fopen(hostPath.c_str(), "wb");
    if (!f) {
        if (error)
            *error = "cannot write " + hostPath + ": " + std::strerror(errno);
        return NoteWrite(hostPath, false);
    }
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok && error)
        *error = "cannot write " + hostPath;
    return NoteWrite(hostPath, ok);
}
