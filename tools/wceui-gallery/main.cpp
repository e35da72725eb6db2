// wceui-gallery: every widget of the framework on one screen, drawn from the gallery's own skin
// (wceui-gallery.pack beside the program), so that people and tests can see and drive each of them
// on the headless or SDL display.
#include "platform/Platform.h"
#include "platform/display/Display.h"
#include "tools/common/ToolSupport.h"
#include "tools/common/DisplayProgram.h"
#include "tools/wceui-gallery/GalleryHostWnd.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/ui/WceUiInit.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int s_instance;

struct GallerySkinDirs {
    LPCWSTR pWndDir;
    LPCWSTR pResDir;
    LPCWSTR pLangFile;
};

// The skin has a large and a small layout; screens narrower than 800 pixels take the small one.
const GallerySkinDirs& SkinDirsForWidth(int nWidth) {
    static const GallerySkinDirs kLarge = {u"wceui-gallery.pack\\800x480\\wnd",
                                           u"wceui-gallery.pack\\800x480\\res",
                                           u"wceui-gallery.pack\\800x480\\language\\english.ini"};
    static const GallerySkinDirs kSmall = {u"wceui-gallery.pack\\480x272\\wnd",
                                           u"wceui-gallery.pack\\480x272\\res",
                                           u"wceui-gallery.pack\\480x272\\language\\english.ini"};
    return nWidth >= 800 ? kLarge : kSmall;
}

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: wceui-gallery [options]\n"
                 "Shows a button (it opens a message box), a slider, a single-line and a multi-line edit\n"
                 "box and a list box on one screen, from the skin wceui-gallery.pack beside the program.\n"
                 "The screen is 800x480 unless --screen says otherwise (below 800 pixels wide the\n"
                 "small layout is used). Escape or closing the window ends it. Without --device its\n"
                 "runtime state is kept in $XDG_STATE_HOME/wceui-gallery (~/.local/state/wceui-gallery).\n"
                 "Without a display it needs --backend headless.\n"
                 "%s  --help                  this text\n"
                 "  --version               the program's version\n",
                 PlatformDisplayOptionsUsage());
}

} // namespace

int main(int argc, char** argv) {
    PlatformDisplayOptions options;
    const int parsed = tooling::ParseDisplayArgs("wceui-gallery", argc, argv, &options, Usage);
    if (parsed >= 0) {
        return parsed;
    }
    const int prepared = tooling::PrepareDisplayProgram("wceui-gallery", argc, argv, options);
    if (prepared >= 0) {
        return prepared;
    }
    // The framework's log stays out of the device folder: its lines go to stderr.
    CWceUiLogFile::Instance().DisableFile();
    CWceUiLogFile::Instance().SetHook([](int level, const std::u16string& message) {
        std::fprintf(stderr, "wceui-gallery: %s%s\n", level == WCEUI_LOG_ERROR ? "error: " : "",
                     WideToUtf8(message).c_str());
    });

    std::string error;
    const int started = PlatformStartDisplay(options, &error);
    if (started != 0) {
        std::fprintf(stderr, "wceui-gallery: %s\n", error.c_str());
        return started;
    }
    int status = 0;
    {
        CFhGlobalData& global = CFhGlobalData::Instance();
        const int nWidth = global.GetScreenWidth();
        const int nHeight = global.GetScreenHeight();
        const GallerySkinDirs& dirs = SkinDirsForWidth(nWidth);
        // A missing language file is logged and leaves the texts empty; the missing dialog below says
        // more.
        WceUiInit(reinterpret_cast<HINSTANCE>(&s_instance), dirs.pWndDir, dirs.pResDir, dirs.pLangFile, 0);
        CGalleryHostWnd host;
        RECT rc = {0, 0, nWidth, nHeight};
        host.DoModal(WS_POPUP | WS_VISIBLE, &rc, NULL);
        if (!host.RanGallery()) {
            std::fprintf(stderr, "wceui-gallery: the gallery could not be made from its skin (is "
                                 "wceui-gallery.pack beside the program?)\n");
            status = 1;
        }
    }
    PlatformStopDisplay();
    CWceUiLogFile::Instance().SetHook(nullptr);
    return status;
}
