// travlek: runs the updater on a device folder, as the unit would run it, on the headless or SDL
// display. The screen comes from --screen, else from the device folder's device.ini, else 800x480.
#include "app/TravlekApp.h"
#include "platform/Platform.h"
#include "platform/display/Display.h"
#include "tools/common/ToolSupport.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

int s_instance;

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: travlek [--device DIR] [options]\n"
                 "Runs the updater on the device folder DIR (default: $WINCE_DEVICE_ROOT, else the\n"
                 "current folder). The screen size is --screen, else the \"screen=WxH\" line of\n"
                 "DIR/device.ini, else 800x480; the depth is 16 bits unless --bpp 32. A\n"
                 "\"flash=SIZE\" line there (bytes, or with K, M or G) makes \\Residentflash2 a flash of\n"
                 "that size; without it the flash has the host's free space.\n"
                 "%s  --help                  this text\n"
                 "  --version               the program's version\n",
                 PlatformDisplayOptionsUsage());
}

// Whether device.ini is there as a plain file: a pipe in its place would block the read forever.
bool HasDeviceIni(const std::string& root) {
    std::error_code ec;
    return std::filesystem::is_regular_file(root + "/device.ini", ec);
}

// "screen=WxH" of device.ini; false when the file or the line is missing or malformed.
bool ReadDeviceScreen(const std::string& root, int* pWidth, int* pHeight) {
    if (!HasDeviceIni(root)) {
        return false;
    }
    std::ifstream in(root + "/device.ini");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("screen=", 0) != 0) {
            continue;
        }
        int w = 0;
        int h = 0;
        char x = 0;
        char rest = 0;
        if (std::sscanf(line.c_str() + 7, "%d%c%d%c", &w, &x, &h, &rest) == 3 && (x == 'x' || x == 'X') &&
            w > 0 && h > 0 && w <= 4096 && h <= 4096) {
            *pWidth = w;
            *pHeight = h;
            return true;
        }
        return false;
    }
    return false;
}

// "flash=SIZE" of device.ini: the resident flash's size in bytes, with an optional K, M or G. 0 when
// the line is missing; -1 when it is malformed.
long long ReadDeviceFlash(const std::string& root) {
    if (!HasDeviceIni(root)) {
        return 0;
    }
    std::ifstream in(root + "/device.ini");
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind("flash=", 0) != 0) {
            continue;
        }
        unsigned long long size = 0;
        char unit = 0;
        char rest = 0;
        const int fields = std::sscanf(line.c_str() + 6, "%llu%c%c", &size, &unit, &rest);
        const unsigned long long scale = 1 == fields   ? 1
                                         : 'K' == unit ? 1ull << 10
                                         : 'M' == unit ? 1ull << 20
                                         : 'G' == unit ? 1ull << 30
                                                       : 0;
        if (fields < 1 || fields > 2 || 0 == scale || 0 == size || size > (1ull << 50) / scale) {
            return -1;
        }
        return static_cast<long long>(size * scale);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    PlatformDisplayOptions options;
    bool screenGiven = false;
    const int parsed = tooling::ParseDisplayArgs("travlek", argc, argv, &options, Usage, &screenGiven);
    if (parsed >= 0) {
        return parsed;
    }
    const std::string root = PlatformGetDeviceRoot();
    if (!screenGiven) {
        int w = 0;
        int h = 0;
        if (ReadDeviceScreen(root, &w, &h)) {
            options.width = w;
            options.height = h;
        } else if (std::error_code ec; std::filesystem::exists(root + "/device.ini", ec)) {
            std::fprintf(stderr, "travlek: %s/device.ini has no valid screen=WxH line; using %dx%d\n",
                         root.c_str(), options.width, options.height);
        }
    }

    const long long flash = ReadDeviceFlash(root);
    if (flash < 0) {
        std::fprintf(stderr, "travlek: %s/device.ini has a malformed flash=SIZE line\n", root.c_str());
        return 2;
    }
    if (flash > 0) {
        PlatformSetVolumeCapacity(u"\\Residentflash2", static_cast<ULONGLONG>(flash));
    }

    std::string error;
    int started = PlatformStartDisplay(options, &error);
    if (started != 0) {
        std::fprintf(stderr, "travlek: %s\n", error.c_str());
        return started;
    }
    int status = 0;
    {
        CTravlekApp app(reinterpret_cast<HINSTANCE>(&s_instance));
        app.InitInstance();
        if (app.FoundOtherInstance()) {
            std::printf("travlek: an updater is already running on this device\n");
        } else if (0 != app.GetGuardError()) {
            std::fprintf(stderr,
                         "travlek: the single-instance mutex could not be made (error %u); is %s/.wince a "
                         "writable folder?\n",
                         static_cast<unsigned>(app.GetGuardError()), root.c_str());
            status = 1;
        } else if (!app.RanMainDialog()) {
            // The unit would just end here; on the simulator say why.
            std::fprintf(
                stderr,
                "travlek: the main dialog could not be made (is the skin travlek.pack in %s/Program or "
                "beside travlek?); the log beside the pack says more\n",
                root.c_str());
            status = 1;
        }
    }
    PlatformStopDisplay();
    return status;
}
