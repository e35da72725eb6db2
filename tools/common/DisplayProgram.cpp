#include "tools/common/DisplayProgram.h"
#include "platform/Platform.h"
#include "tools/common/ToolSupport.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace tooling {

namespace {

bool HasValue(const char* name) {
    const char* value = std::getenv(name);
    return nullptr != value && 0 != *value;
}

} // namespace

int ParseDisplayArgs(const char* program, int argc, char** argv, PlatformDisplayOptions* options,
                     void (*usage)(FILE* out), bool* pScreenGiven) {
    for (int i = 1; i < argc; i++) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        }
        if (arg == "--version") {
            PrintVersion(program);
            return 0;
        }
        if (pScreenGiven && arg == "--screen")
            *pScreenGiven = true;
        std::string error;
        const int r = PlatformParseDisplayOption(argc, argv, &i, options, &error);
        if (r < 0)
            return UsageError(program, error);
        if (r == 0)
            return UsageError(program, "unknown option " + arg);
    }
    return -1;
}

int PrepareDisplayProgram(const char* program, int argc, char** argv, const PlatformDisplayOptions& options) {
    if (options.backend.empty() && !HasValue("DISPLAY") && !HasValue("WAYLAND_DISPLAY")) {
        std::fprintf(stderr,
                     "%s: no display to show the window on ($DISPLAY and $WAYLAND_DISPLAY are not set); "
                     "run it with --backend headless for a run without one\n",
                     program);
        return 1;
    }
    bool deviceGiven = HasValue("WINCE_DEVICE_ROOT");
    for (int i = 1; i < argc && !deviceGiven; ++i) {
        deviceGiven = 0 == std::strcmp(argv[i], "--device");
    }
    if (deviceGiven) {
        return -1;
    }
    std::filesystem::path state;
    if (HasValue("XDG_STATE_HOME")) {
        state = std::getenv("XDG_STATE_HOME");
    } else if (HasValue("HOME")) {
        state = std::filesystem::path(std::getenv("HOME")) / ".local" / "state";
    } else {
        std::fprintf(stderr,
                     "%s: no --device DIR, and neither $XDG_STATE_HOME nor $HOME says where to keep "
                     "its state\n",
                     program);
        return 1;
    }
    const std::filesystem::path device = state / program;
    std::error_code ec;
    std::filesystem::create_directories(device, ec);
    if (ec) {
        std::fprintf(stderr, "%s: cannot make its state folder %s: %s\n", program, device.c_str(),
                     ec.message().c_str());
        return 1;
    }
    PlatformSetDeviceRoot(device.string());
    return -1;
}

} // namespace tooling
