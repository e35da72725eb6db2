// bmptool animate: one frame, or every frame, of a window animation between two BMP files, made by
// the framework's own animation objects as the host window plays them.
#include "AnimateCommand.h"

#include "BmpToolFiles.h"

#include "platform/WinCe.h"
#include "tools/common/ToolSupport.h"
#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/res/WceUiXmlDoc.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace bmptool {
namespace {

const char kAnimateUsage[] =
    "usage: bmptool animate FROM.bmp TO.bmp OUT.bmp --type CLASS --frame J [options]\n"
    "       bmptool animate FROM.bmp TO.bmp --type CLASS --all-frames OUTDIR [options]\n"
    "options: [--direction WORD] [--frame-count N] [--frame-length MS] [--rect X,Y,W,H]\n";

const char kAnimateHelp[] =
    "\n"
    "Composes frame J (0 .. frame count - 1) of the window animation CLASS from the picture FROM to the\n"
    "picture TO, the way the framework plays it: the options become the attributes of an \"animate\"\n"
    "item of a style file, the animation object is made by its class name and initialised from it, and\n"
    "the frame is drawn into a copy of FROM (the host window starts each run from the old picture).\n"
    "The result has FROM's form: 565 with FROM's \".alpha\" plane beside it when FROM has one, or 32-bit.\n"
    "\n"
    "  --type CLASS        CWceUiBarnAni (reveal), CWceUiBlendAni (cross-fade), CWceUiSliderAni (push),\n"
    "                      CWceUiComeAni (come in) or CWceUiGoAni (go away)\n"
    "  --direction WORD    left, right, up, down; the reveal also lr-mid, mid-lr, ud-mid, mid-ud, the\n"
    "                      come-in lr-mid, ud-mid and the go-away mid-lr, mid-ud (default right)\n"
    "  --frame-count N     frames of the run (default 12)\n"
    "  --frame-length MS   milliseconds per frame (default 33; printed, not waited for)\n"
    "  --rect X,Y,W,H      the animated part (default the whole picture)\n"
    "  --frame J           the frame to write to OUT.bmp\n"
    "  --all-frames OUTDIR every frame, in order, as OUTDIR/frame-00.bmp, frame-01.bmp, ...\n"
    "\n"
    "FROM and TO must have the same size and depth. Exit status: 0 success, 1 when the framework refuses\n"
    "(its messages follow), 2 usage error.\n";

int AnimateUsage(const std::string& why) {
    return tooling::UsageError("bmptool animate", why);
}

struct AnimateOptions {
    std::vector<std::string> files;
    std::string type, direction, frameCount, frameLength, rect, frame, allFrames;
    bool help = false;
};

std::string ParseAnimateOptions(int argc, char** argv, AnimateOptions* opt) {
    const struct {
        const char* name;
        std::string AnimateOptions::*value;
    } valued[] = {{"--type", &AnimateOptions::type},
                  {"--direction", &AnimateOptions::direction},
                  {"--frame-count", &AnimateOptions::frameCount},
                  {"--frame-length", &AnimateOptions::frameLength},
                  {"--rect", &AnimateOptions::rect},
                  {"--frame", &AnimateOptions::frame},
                  {"--all-frames", &AnimateOptions::allFrames}};
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if ("--help" == a || "-h" == a) {
            opt->help = true;
            continue;
        }
        bool bKnown = false;
        for (const auto& v : valued) {
            if (a == v.name) {
                if (i + 1 >= argc) {
                    return a + " needs a value";
                }
                opt->*v.value = argv[++i];
                bKnown = true;
                break;
            }
        }
        if (bKnown) {
            continue;
        }
        if (a.size() > 1 && '-' == a[0]) {
            return "unknown option " + a;
        }
        opt->files.push_back(a);
    }
    return std::string();
}

// An attribute of the element; the value is written as given, for the framework to judge.
std::u16string Attribute(const char* pName, const std::string& value) {
    if (value.empty()) {
        return std::u16string();
    }
    std::u16string out(1, u' ');
    out.append(Utf8ToWide(pName)).append(u"=\"").append(Utf8ToWide(value)).append(1, u'"');
    return out;
}

// Writes the mixed bitmap after the frame, or prints the framework's messages when it refuses.
int PlayFrame(CWceUiWndAnimate& animate, CWceUiGenericBitmap& mixed, CWceUiGenericBitmap& from,
              CWceUiGenericBitmap& to, int nFrame, const std::string& outPath, const LogLines& log) {
    int nFrameLength = 0;
    if (!animate.Play(&mixed, &from, &to, nFrame, &nFrameLength)) {
        return log.Fail("frame " + std::to_string(nFrame) + " was refused");
    }
    const int nExit = SaveBmp(mixed, outPath, log);
    if (0 == nExit) {
        printf("%s: frame %d of %d, %d ms\n", outPath.c_str(), nFrame, animate.GetFrameCount(), nFrameLength);
    }
    return nExit;
}

} // namespace

int RunAnimate(int argc, char** argv) {
    AnimateOptions opt;
    const std::string error = ParseAnimateOptions(argc, argv, &opt);
    if (opt.help) {
        fputs(kAnimateUsage, stdout);
        fputs(kAnimateHelp, stdout);
        return 0;
    }
    if (!error.empty()) {
        return AnimateUsage(error);
    }
    const bool bAll = !opt.allFrames.empty();
    if (opt.type.empty()) {
        return AnimateUsage("animate needs --type CLASS");
    }
    if (bAll == !opt.frame.empty()) {
        return AnimateUsage("animate needs either --frame J or --all-frames OUTDIR");
    }
    if (opt.files.size() != (bAll ? 2u : 3u)) {
        return AnimateUsage(bAll ? "animate --all-frames takes FROM.bmp and TO.bmp"
                                 : "animate takes FROM.bmp, TO.bmp and OUT.bmp");
    }
    int nFrame = 0;
    if (!bAll && !ParseInt(opt.frame, -1000000, 1000000, &nFrame)) {
        return AnimateUsage("--frame is a frame number");
    }
    for (const std::string* pValue : {&opt.direction, &opt.frameCount, &opt.frameLength, &opt.rect}) {
        if (pValue->find_first_of("\"<>&") != std::string::npos) {
            return AnimateUsage("option values cannot hold \" < > or &");
        }
    }

    LogLines log;
    int nExit = 0;
    auto pFrom = LoadBmp(opt.files[0], log, &nExit);
    if (!pFrom) {
        return nExit;
    }
    auto pTo = LoadBmp(opt.files[1], log, &nExit);
    if (!pTo) {
        return nExit;
    }
    if (pFrom->GetBitsPixel() != pTo->GetBitsPixel()) {
        return Fail("FROM has " + std::to_string(pFrom->GetBitsPixel()) + " bits per pixel and TO " +
                    std::to_string(pTo->GetBitsPixel()) + ": a window's pictures have one depth");
    }

    // The animation as a style file makes it: by class name, checked to be an animation, then Init.
    const std::u16string type = Utf8ToWide(opt.type);
    std::unique_ptr<CWceUiObject> pObject(WceUiCreateObject(type.c_str()));
    if (!pObject) {
        return log.Fail("cannot create " + opt.type);
    }
    if (!pObject->IsKindOf(u"CWceUiWndAnimate")) {
        return Fail(opt.type + " is not a kind of CWceUiWndAnimate");
    }
    CWceUiWndAnimate& animate = static_cast<CWceUiWndAnimate&>(*pObject);
    const std::u16string xml =
        u"\xFEFF<animate type=\"" + type + u"\"" + Attribute("direction", opt.direction) +
        Attribute("frame-count", opt.frameCount) + Attribute("frame-length", opt.frameLength) +
        Attribute("rect", opt.rect) + u"/>";
    std::string bytes;
    for (char16_t c : xml) {
        bytes += (char)(c & 0xFF);
        bytes += (char)(c >> 8);
    }
    CWceUiXmlDoc doc;
    if (!doc.LoadXmlBuffer(u"\\bmptool.style.xml", (const BYTE*)bytes.data(), (DWORD)bytes.size())) {
        return log.Fail("the options do not make an \"animate\" element");
    }
    if (!animate.Init(doc.GetRootElem())) {
        return log.Fail(opt.type + " refused the options");
    }

    // The host window's frame buffer starts as the old picture; Play changes only the animated part.
    CWceUiGenericBitmap* pMixedRaw = nullptr;
    pFrom->MakeACopy(&pMixedRaw);
    std::unique_ptr<CWceUiGenericBitmap> pMixed(pMixedRaw);
    if (!pMixed) {
        return log.Fail("cannot make the frame buffer");
    }
    if (!animate.ReStart(pMixed.get(), pFrom.get(), pTo.get())) {
        return log.Fail("the animation cannot start");
    }
    if (!bAll) {
        return PlayFrame(animate, *pMixed, *pFrom, *pTo, nFrame, opt.files[2], log);
    }
    std::error_code ec;
    fs::create_directories(opt.allFrames, ec);
    if (!fs::is_directory(opt.allFrames)) {
        return Fail("cannot make the folder " + opt.allFrames);
    }
    const int nCount = animate.GetFrameCount();
    const int nDigits = std::max(2, (int)std::to_string(nCount - 1).size());
    for (int j = 0; j < nCount; ++j) {
        std::string number = std::to_string(j);
        number.insert(0, (size_t)(nDigits - (int)number.size()), '0');
        nExit = PlayFrame(animate, *pMixed, *pFrom, *pTo, j,
                          (fs::path(opt.allFrames) / ("frame-" + number + ".bmp")).string(), log);
        if (0 != nExit) {
            return nExit;
        }
    }
    animate.Finish();
    return 0;
}

} // namespace bmptool
