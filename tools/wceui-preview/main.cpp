// wceui-preview: draws one dialog of a skin, as a program would show it as its only dialog, into a PNG
// file; optionally writes the layer-tree dump beside it. Layer and dialog classes that are not part
// of this program draw as plain layers. A skin in the source form is compiled first, in a temporary
// folder, with skinc's own code; --watch draws again whenever a file of the skin changes.
#include "app/MsgBoxDlg.h"
#include "platform/Platform.h"
#include "platform/WinString.h"
#include "tools/common/ToolSupport.h"
#include "tools/imaging/PngFile.h"
#include "tools/imaging/RgbaBitmaps.h"
#include "tools/skinc/SkinCompiler.h"
#include "tools/skinc/SourceSnapshot.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/FhLanguage.h"
#include "wceui/style/WceUiBgItem.h"
#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/ui/WceUiDlg.h"
#include "wceui/ui/WceUiLayer.h"
#include "wceui/ui/WceUiLayerCtrl.h"
#include "wceui/ui/WceUiLayerDump.h"
#include "wceui/ui/WceUiWindowlessHost.h"
// The widgets register their classes where their headers are seen, so that dialogs draw them.
#include "wceui/widgets/WceUiButton.h"
#include "wceui/widgets/WceUiListBox.h"
#include "wceui/widgets/WceUiScrollLayer.h"
#include "wceui/widgets/WceUiSlider.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: wceui-preview SKIN DIALOG OUT.png [--screen WxH] [--bpp 16|32] [--lang FILE] [--dump FILE]\n"
    "                     [--watch]\n"
    "       wceui-preview SKIN [DIALOG] OUT.png --msgbox TYPE TEXT [options]\n"
    "\n"
    "Draws one dialog of a skin into a PNG image of the screen.\n"
    "  SKIN           a size folder of a skin holding wnd/, res/ and language/english.ini, either as the\n"
    "                 skin's sources (UTF-8 text, PNG images: compiled first as skinc compiles them, and\n"
    "                 their problems reported against the source files) or in the framework's form; or\n"
    "                 a resource pack with its size folder (travlek.pack/800x480; a backslash works too)\n"
    "  DIALOG         the dialog's class or file name (CMsgBoxDlg)\n"
    "  --screen WxH   the screen size (default 800x480)\n"
    "  --bpp 16|32    the window bitmap's depth: RGB 565 or 32-bit (default 16)\n"
    "  --lang FILE    the language file (default SKIN/language/english.ini when it exists)\n"
    "  --dump FILE    also write the layer-tree dump\n"
    "  --msgbox TYPE TEXT\n"
    "                 shows the updater's message box (DIALOG defaults to CMsgBoxDlg) as the updater\n"
    "                 opens it with TEXT: TYPE is error or info (the kinds the updater shows), warning,\n"
    "                 question (with yes and no), or the message-box flags as a number (0x24)\n"
    "  --watch        draws again whenever a file of SKIN (or --lang) changes, until Ctrl-C\n"
    "Exit status: 0 drawn; 1 the dialog or its files have errors (the framework's lines are printed;\n"
    "the image is still written when the dialog opened); 2 bad arguments. With --watch: 0 after Ctrl-C.\n";

int Usage(const char* why) {
    return tooling::UsageError("wceui-preview", why);
}

// While one lives, the framework's lines are not the user's business (probes whose failure is
// expected and reported in the tool's own words).
int g_nQuiet = 0;
struct QuietLog {
    QuietLog() { ++g_nQuiet; }
    ~QuietLog() { --g_nQuiet; }
    QuietLog(const QuietLog&) = delete;
    QuietLog& operator=(const QuietLog&) = delete;
};

CWceUiObject* NewPlainLayer() {
    return new (std::nothrow) CWceUiLayer;
}
CWceUiObject* NewPlainDlg() {
    return new (std::nothrow) CWceUiDlg;
}

// The class names stay alive as long as the registry that keeps pointers to them.
std::list<std::u16string>& StandInNames() {
    static std::list<std::u16string> names;
    return names;
}

bool IsCreatable(const std::u16string& className) {
    // Asking the registry is creating an object; its complaint about an unknown class is not the
    // user's business here.
    QuietLog quiet;
    std::unique_ptr<CWceUiObject> p(WceUiCreateObject(className.c_str()));
    return p != nullptr;
}

void StandIn(const std::u16string& className, bool bDialog) {
    std::list<std::u16string>& names = StandInNames();
    names.push_back(className);
    const std::u16string& name = names.back();
    names.push_back(bDialog ? u"CWceUiDlg" : u"CWceUiLayer");
    WceUiRegisterClass(name.c_str(), names.back().c_str(), bDialog ? &NewPlainDlg : &NewPlainLayer);
    std::fprintf(stderr, "wceui-preview: %s is not part of this program; it draws as a plain %s\n",
                 WideToUtf8(className).c_str(), bDialog ? "CWceUiDlg" : "CWceUiLayer");
}

// Lets every class the dialog file names be created, as itself when linked in, else as a plain layer.
void PrepareClasses(const std::u16string& dlgFile, const std::u16string& dlgClass) {
    if (!IsCreatable(dlgClass)) {
        StandIn(dlgClass, true);
    }
    CWceUiXmlDoc doc;
    {
        QuietLog quiet; // a file that does not load says so again when the dialog is made
        if (!doc.LoadXmlFile(dlgFile.c_str())) {
            return;
        }
    }
    std::set<std::u16string> seen;
    for (CWceUiXmlNode* p = doc.GetFirstNode(); p; p = doc.GetNextNode(p)) {
        if (WCEUI_XML_ELEMENT != p->nKind) {
            continue;
        }
        LPCWSTR pType = doc.GetAttrValue(p, u"type");
        if (NULL == pType || 0 == *pType || !seen.insert(pType).second) {
            continue;
        }
        if (!IsCreatable(pType)) {
            StandIn(pType, false);
        }
    }
}

// The device folder of SKIN: a host folder, or "<file>.pack" followed by the folder inside it. pHost
// is the host folder, or the pack file.
bool SkinFolder(std::string skin, std::u16string* pDevice, std::string* pHost, std::string* pError) {
    for (char& c : skin) {
        if ('\\' == c) {
            c = '/';
        }
    }
    while (skin.size() > 1 && '/' == skin.back()) {
        skin.pop_back();
    }
    std::error_code ec;
    if (fs::is_directory(skin, ec)) {
        *pDevice = tooling::DevicePath(skin) + u"\\";
        *pHost = skin;
        return true;
    }
    // The longest leading part that is a pack file; the rest is a folder inside the pack.
    fs::path path(skin), prefix;
    for (auto it = path.begin(); it != path.end(); ++it) {
        prefix /= *it;
        const std::string name = it->string();
        if (name.size() > 5 && 0 == name.compare(name.size() - 5, 5, ".pack") &&
            fs::is_regular_file(prefix, ec)) {
            std::u16string device = tooling::DevicePath(prefix.string());
            for (auto rest = std::next(it); rest != path.end(); ++rest) {
                device += u"\\" + Utf8ToWide(rest->string());
            }
            *pDevice = device + u"\\";
            *pHost = prefix.string();
            return true;
        }
    }
    *pError = skin + " is neither a skin folder nor a resource pack with its size folder";
    return false;
}

// Images a layer's style names that do not load, or that the window bitmap cannot blend, draw as
// nothing; a skin author wants to hear of them by name.
int ReportMissingImages(const CWceUiLayer* pRoot, int nScreenBits) {
    int nMissing = 0;
    std::vector<const CWceUiLayer*> stack = {pRoot};
    while (!stack.empty()) {
        const CWceUiLayer* p = stack.back();
        stack.pop_back();
        CWceUiStyle* pStyle = p->GetStyle();
        CWceUiBgItemCtrl* pItems = pStyle ? pStyle->GetBgItemCtrl() : NULL;
        for (CWceUiBgItem* pItem = pItems ? pItems->GetHead() : NULL; pItem; pItem = pItems->GetNext(pItem)) {
            CWceUiLoadBitmap* pLoad = pItem->GetLoadBitmap();
            LPCWSTR pId = pLoad ? pLoad->GetBitmapID() : NULL;
            CWceUiGenericBitmap* pBmp = pItem->GetBitmap();
            if (pId && *pId && (NULL == pBmp || !pBmp->IsLoaded())) {
                std::fprintf(stderr, "wceui-preview: layer \"%s\": the image %s does not load\n",
                             WideToUtf8(p->GetName()).c_str(), WideToUtf8(pId).c_str());
                ++nMissing;
            } else if (int nAlpha = 0; pId && *pId && pBmp->GetBitsPixel() != nScreenBits &&
                                       (pBmp->HasPerPixelAlpha() || pBmp->GetConstantAlpha(&nAlpha))) {
                // The framework blends only bitmaps of the window bitmap's own depth.
                std::fprintf(stderr,
                             "wceui-preview: layer \"%s\": the image %s has alpha in %d bits and is not "
                             "blended onto the %d-bit screen\n",
                             WideToUtf8(p->GetName()).c_str(), WideToUtf8(pId).c_str(), pBmp->GetBitsPixel(),
                             nScreenBits);
            }
        }
        for (CWceUiLayer* c = p->GetFirstChild(); c; c = p->NextChild(c)) {
            stack.push_back(c);
        }
    }
    return nMissing;
}

bool ParseScreen(const std::string& s, int* pW, int* pH) {
    char x = 0;
    char extra = 0;
    return 3 == std::sscanf(s.c_str(), "%d%c%d%c", pW, &x, pH, &extra) && ('x' == x || 'X' == x) && *pW > 0 &&
           *pH > 0 && *pW <= 4096 && *pH <= 4096;
}

struct Options {
    std::vector<std::string> args;
    int width = 800, height = 480, bpp = 16;
    std::string lang, dump;
    bool msgbox = false;
    UINT msgboxFlags = 0;
    std::string msgboxText;
    bool watch = false;
};

// The message-box kinds by name: the updater's error and info boxes, and the platform's other two.
bool ParseMsgBoxType(const std::string& type, UINT* pFlags) {
    if ("error" == type) {
        *pFlags = MB_ICONERROR;
    } else if ("info" == type) {
        *pFlags = MB_ICONINFORMATION;
    } else if ("warning" == type) {
        *pFlags = MB_ICONWARNING;
    } else if ("question" == type) {
        *pFlags = MB_ICONQUESTION | MB_YESNO;
    } else {
        char* pEnd = NULL;
        errno = 0;
        const unsigned long v = std::strtoul(type.c_str(), &pEnd, 0);
        if (type.empty() || *pEnd || 0 != errno || v > 0xFFFFFFFFul) {
            return false;
        }
        *pFlags = static_cast<UINT>(v);
    }
    return true;
}

// Removes a temporary folder when the run ends.
struct TempFolder {
    std::string path;
    ~TempFolder() {
        std::error_code ec;
        if (!path.empty()) {
            fs::remove_all(path, ec);
        }
    }
};

// Framework lines name the compiled copy of a source skin; the author reads the source's name.
std::vector<tooling::TypedPath> g_typedPaths;

// Draws once; the exit status of the run.
int Draw(const Options& opt) {
    const std::vector<std::string>& args = opt.args;
    const int width = opt.width, height = opt.height, bpp = opt.bpp;
    const std::string& lang = opt.lang;
    const std::string& dump = opt.dump;
    const std::string& outPng = args.back();
    tooling::UseHostFileSystem();
    // The framework reads the screen's size and depth from the platform (skin images are loaded in
    // the screen's depth), so the platform's screen is the one drawn here.
    PlatformSetScreen(width, height, bpp);
    int nErrors = 0;
    std::u16string skin;
    std::string error, skinHost;
    if (!SkinFolder(args[0], &skin, &skinHost, &error)) {
        std::fprintf(stderr, "wceui-preview: %s\n", error.c_str());
        return 1;
    }
    TempFolder compiled;
    std::error_code ec;
    if (fs::is_directory(skinHost, ec) && IsSkinSourceFolder(skinHost)) {
        std::string tmpl = (fs::temp_directory_path(ec) / "wceui-preview.XXXXXX").string();
        if (NULL == mkdtemp(tmpl.data())) {
            std::fprintf(stderr, "wceui-preview: cannot make a temporary folder for the compiled skin\n");
            return 1;
        }
        compiled.path = tmpl;
        // Compiled and checked as skinc would, so that problems name the author's files and lines.
        CSkinCompiler compiler(skinHost, args[0], compiled.path);
        compiler.Compile();
        compiler.Check();
        for (const SkinProblem& problem : compiler.Problems()) {
            std::fputs(problem.Text().c_str(), stderr);
        }
        nErrors += static_cast<int>(compiler.Problems().size());
        skin = tooling::DevicePath(compiled.path) + u"\\";
        std::string typed = args[0];
        while (typed.size() > 1 && '/' == typed.back()) {
            typed.pop_back();
        }
        g_typedPaths = {{tooling::DevicePath(compiled.path), typed + "/"}};
    }
    // Every framework line goes to stderr as it comes; an error among them fails the run.
    CWceUiLogFile::Instance().SetHook([&nErrors](int level, const std::u16string& m) {
        if (g_nQuiet > 0) {
            return;
        }
        std::fprintf(stderr, "%s\n", WideToUtf8(tooling::HostPathsInMessage(m, g_typedPaths)).c_str());
        nErrors += level >= WCEUI_LOG_ERROR;
    });
    if (!CFhGlobalData::Instance().SetWndDir((skin + u"wnd\\").c_str()) ||
        !CFhGlobalData::Instance().SetResDir((skin + u"res\\").c_str())) {
        std::fprintf(stderr, "wceui-preview: the skin's folders cannot be used\n");
        return 1;
    }
    if (lang.empty()) {
        // The skin's own texts when it has them; a skin without a language file still draws.
        const std::u16string langFile = skin + u"language\\english.ini";
        BOOL bLoaded = FALSE;
        {
            QuietLog quiet;
            bLoaded = WceUiSetLanguage(langFile.c_str(), FALSE);
        }
        if (!bLoaded) {
            std::fprintf(stderr, "wceui-preview: no language file %s; layers show no resource texts\n",
                         WideToUtf8(tooling::HostPathsInMessage(langFile, g_typedPaths)).c_str());
        }
    } else if (!WceUiSetLanguage(tooling::DevicePath(lang).c_str(), FALSE)) {
        std::fprintf(stderr, "wceui-preview: the language file %s does not load\n", lang.c_str());
        return 1;
    }

    std::u16string dialog = Utf8ToWide(3 == args.size() ? args[1] : std::string("CMsgBoxDlg"));
    const std::u16string suffix = u".dlg.xml";
    if (dialog.size() > suffix.size() &&
        0 == dialog.compare(dialog.size() - suffix.size(), suffix.size(), suffix)) {
        dialog.resize(dialog.size() - suffix.size());
    }
    PrepareClasses(skin + u"wnd\\" + dialog + suffix, CWceUiLayerCtrl::GetDlgLayerClassName(dialog.c_str()));
    const std::string dialogName = WideToUtf8(dialog);

    // A window that never shows anything: the dialog runs without a message loop, so timers, messages
    // and animations have nowhere to go.
    CWceUiWindowlessHost host;
    int status = 0;
    {
        CWceUiLayerCtrl ctrl;
        ctrl.SetWindow(&host);
        CWceUiDlg* pDlg = ctrl.CreateDlg(dialog.c_str());
        if (NULL == pDlg) {
            std::fprintf(stderr, "wceui-preview: the dialog %s cannot be made\n", dialogName.c_str());
            return 1;
        }
        if (pDlg->IsKindOf(WCEUI_CLASS_NAME(CMsgBoxDlg))) {
            // The box opens as the updater opens it: text, icon and buttons set before it starts.
            static_cast<CMsgBoxDlg*>(pDlg)->SetMessage(Utf8ToWide(opt.msgboxText).c_str(), 0,
                                                       opt.msgboxFlags);
            if (!opt.msgbox) {
                std::fprintf(
                    stderr,
                    "wceui-preview: %s is the updater's message box, drawn with no text and no icon; "
                    "--msgbox error \"TEXT\" shows it as the updater does\n",
                    dialogName.c_str());
            }
        } else if (opt.msgbox) {
            ctrl.DeleteLayer(pDlg);
            std::fprintf(stderr, "wceui-preview: %s is not the updater's message box; --msgbox needs one\n",
                         dialogName.c_str());
            return 1;
        }
        if (!pDlg->RunModeless()) {
            ctrl.DeleteLayer(pDlg);
            std::fprintf(stderr, "wceui-preview: the dialog %s does not run\n", dialogName.c_str());
            return 1;
        }
        // The layers draw into the window, which the dialog's window rectangle places on the screen.
        RECT rcWnd = {0, 0, width, height};
        RECT rcDlgWnd;
        if (pDlg->GetDlgWindowRect(&rcDlgWnd) && !IsRectEmpty(&rcDlgWnd) &&
            rcDlgWnd.right - rcDlgWnd.left <= 4096 && rcDlgWnd.bottom - rcDlgWnd.top <= 4096) {
            rcWnd = rcDlgWnd;
        }
        const int nWndW = rcWnd.right - rcWnd.left, nWndH = rcWnd.bottom - rcWnd.top;
        std::unique_ptr<CWceUiGenericBitmap> pWnd(WceUiCreateBitmapObject(bpp));
        std::unique_ptr<CWceUiGenericBitmap> pScreen(WceUiCreateBitmapObject(bpp));
        if (!pWnd || !pScreen || !pWnd->CreateDIB(nWndW, nWndH) || !pScreen->CreateDIB(width, height)) {
            std::fprintf(stderr, "wceui-preview: no bitmap of %dx%d\n", nWndW, nWndH);
            pDlg->EndModeless();
            ctrl.DeleteLayer(pDlg);
            return 1;
        }
        pWnd->FillColor(RGB(0, 0, 0));
        pScreen->FillColor(RGB(0, 0, 0));
        const RECT rcAll = {0, 0, nWndW, nWndH};
        ctrl.Draw(pWnd.get(), &rcAll);
        pScreen->BitBlt(rcWnd.left, rcWnd.top, nWndW, nWndH, pWnd.get(), 0, 0, SRCCOPY);
        nErrors += ReportMissingImages(ctrl.RootLayer(), bpp);
        if (!dump.empty()) {
            std::ofstream out(dump, std::ios::binary);
            out << WceUiDumpLayerTree(&ctrl);
            if (!out.flush()) {
                std::fprintf(stderr, "wceui-preview: cannot write %s\n", dump.c_str());
                status = 1;
            }
        }
        if (!WritePng(outPng, imaging::RgbaFromBitmap(*pScreen), &error)) {
            std::fprintf(stderr, "wceui-preview: %s\n", error.c_str());
            status = 1;
        }
        pDlg->EndModeless();
        ctrl.DeleteLayer(pDlg);
    }
    CWceUiLogFile::Instance().SetHook(nullptr);
    if (nErrors > 0) {
        std::fprintf(stderr, "wceui-preview: %d error%s in the dialog or its files\n", nErrors,
                     1 == nErrors ? "" : "s");
        status = 1;
    }
    return status;
}

volatile std::sig_atomic_t g_stop = 0;
void OnInterrupt(int) {
    g_stop = 1;
}

// Draws in a child process each time (the framework's state starts afresh, and a crash of one
// drawing does not end the watch), then polls the skin's files until one changes or Ctrl-C comes.
int Watch(const Options& opt) {
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, NULL); // no SA_RESTART: the wait between polls ends at once
    sigaction(SIGTERM, &action, NULL);
    std::u16string device;
    std::string host, error;
    if (!SkinFolder(opt.args[0], &device, &host, &error)) {
        std::fprintf(stderr, "wceui-preview: %s\n", error.c_str());
        return 1;
    }
    std::vector<fs::path> watched = {host};
    if (!opt.lang.empty()) {
        watched.push_back(opt.lang);
    }
    auto take = [&]() {
        std::vector<CSourceSnapshot> all;
        for (const fs::path& p : watched) {
            all.push_back(CSourceSnapshot::Take(p));
        }
        return all;
    };
    std::vector<CSourceSnapshot> last = take();
    while (!g_stop) {
        std::fflush(NULL);
        const pid_t pid = fork();
        if (pid < 0) {
            std::fprintf(stderr, "wceui-preview: cannot start a drawing: %s\n", std::strerror(errno));
            return 1;
        }
        if (0 == pid) {
            // The drawing finishes and cleans up after itself even when Ctrl-C comes meanwhile.
            signal(SIGINT, SIG_IGN);
            signal(SIGTERM, SIG_IGN);
            std::fflush(NULL);
            _exit(Draw(opt));
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && EINTR == errno) {
        }
        std::fprintf(stderr, "wceui-preview: %s %s; watching %s for changes (Ctrl-C ends)\n",
                     opt.args.back().c_str(),
                     WIFEXITED(status) && 0 == WEXITSTATUS(status) ? "drawn" : "drawn with errors",
                     opt.args[0].c_str());
        for (;;) {
            const timespec pause = {0, 250 * 1000 * 1000};
            nanosleep(&pause, NULL);
            if (g_stop) {
                break;
            }
            std::vector<CSourceSnapshot> now = take();
            std::vector<std::string> changes;
            for (size_t i = 0; i < now.size(); ++i) {
                for (const std::string& c : last[i].ChangesTo(now[i])) {
                    changes.push_back(c);
                }
            }
            last = std::move(now);
            if (!changes.empty()) {
                std::fprintf(stderr, "wceui-preview: %s changed\n", changes.front().c_str());
                break;
            }
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // The updater's message box draws as itself; the updater's other dialogs are not linked in.
    TravlekRegisterMessageBox();
    Options opt;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ("--help" == a || "-h" == a) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if ("--version" == a) {
            tooling::PrintVersion("wceui-preview");
            return 0;
        }
        const bool takesValue = "--screen" == a || "--bpp" == a || "--lang" == a || "--dump" == a;
        if (takesValue && i + 1 >= argc) {
            return Usage((a + " needs a value").c_str());
        }
        if ("--screen" == a) {
            if (!ParseScreen(argv[++i], &opt.width, &opt.height)) {
                return Usage("--screen takes WxH, for example 800x480");
            }
        } else if ("--bpp" == a) {
            const std::string v = argv[++i];
            if ("16" != v && "32" != v) {
                return Usage("--bpp takes 16 or 32");
            }
            opt.bpp = std::stoi(v);
        } else if ("--lang" == a) {
            opt.lang = argv[++i];
        } else if ("--dump" == a) {
            opt.dump = argv[++i];
        } else if ("--msgbox" == a) {
            if (i + 2 >= argc) {
                return Usage("--msgbox needs TYPE and TEXT");
            }
            if (!ParseMsgBoxType(argv[++i], &opt.msgboxFlags)) {
                return Usage("--msgbox takes error, info, warning, question or a number as TYPE");
            }
            opt.msgboxText = argv[++i];
            opt.msgbox = true;
        } else if ("--watch" == a) {
            opt.watch = true;
        } else if (a.size() > 1 && '-' == a[0]) {
            return Usage(("unknown option " + a).c_str());
        } else {
            opt.args.push_back(a);
        }
    }
    if (3 != opt.args.size() && !(opt.msgbox && 2 == opt.args.size())) {
        return Usage("wceui-preview takes SKIN, DIALOG and OUT.png");
    }
    return opt.watch ? Watch(opt) : Draw(opt);
}
