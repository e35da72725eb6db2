// travlek-device: makes a device folder for the updater: its program folder with the skin, an old
// application in the resident flash, an update package on the SD card and the registry that says which
// application the unit runs.
#include "package/MskFormat.h"
#include "package/MskSignature.h"
#include "package/MskWriter.h"
#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "tools/common/ToolSupport.h"
#include "wceui/core/FhScramble.h"
#include "wceui/core/WceUiLog.h"
#include "wceui/res/FhPackFile.h"

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kUsage[] =
    "usage: travlek-device init DIR [--app gps|nvq] [--package FOLDER] [--screen WxH] [--pack FILE]\n"
    "                               [--sign-key SECRET.key]\n"
    "       travlek-device --help | --version\n";

const char kHelp[] =
    "\n"
    "init makes the device folder DIR (it must be missing or empty):\n"
    "  DIR/Program/travlek.pack         the updater's skin (--pack FILE, default: the travlek.pack\n"
    "                                   beside this program)\n"
    "  DIR/Residentflash2/app/          an old application, which the update replaces\n"
    "  DIR/SDMMC/gpsApp.msk             the update package made from FOLDER (default: the demo\n"
    "   or DIR/SDMMC/nvqApp.msk         application), under the password of the unit's kind\n"
    "  DIR/SDMMC/FactoryConfig.xml      the factory configuration the update copies\n"
    "  DIR/registry.reg                 HKEY_LOCAL_MACHINE\\OEM \"APP\": the configured application\n"
    "  DIR/SDMMC/gpsApp.msk.sig         with --sign-key: the package's signature, and the public key\n"
    "   or DIR/SDMMC/nvqApp.msk.sig     in HKEY_LOCAL_MACHINE\\OEM \"UpdateKey\"\n"
    "  DIR/device.ini                   the screen the device was made for (screen=WxH)\n"
    "\n"
    "  --app nvq      a unit whose application is the main navigation program\n"
    "                 (\\residentflash2\\app\\nvqmain.exe): the updater shows only the progress, then\n"
    "                 calibrates and resets the unit\n"
    "  --app gps      (default) a unit whose application is \\residentflash2\\app\\navi.exe: the full\n"
    "                 screen, and the application starts after the update\n"
    "  --screen WxH   800x480 (default), 480x272 or 320x240; the pack must hold that size's skin\n"
    "  --sign-key SECRET.key\n"
    "                 sign the package with this key (made by msktool keygen) and configure the\n"
    "                 unit with its public key\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

const char16_t kNvqApp[] = u"\\residentflash2\\app\\nvqmain.exe";
const char16_t kGpsApp[] = u"\\residentflash2\\app\\navi.exe";

int Usage(const char* why) {
    return tooling::UsageError("travlek-device", why ? why : "no command given");
}

int Fail(const std::string& why) {
    fprintf(stderr, "travlek-device: %s\n", why.c_str());
    return 1;
}

using tooling::WriteHostFile;

// Set by an interrupt; the packing stops at the next file and the half-made folder goes.
volatile std::sig_atomic_t s_interrupted = 0;

void OnInterrupt(int) {
    s_interrupted = 1;
}

// Removes what init made of the device folder unless it is kept: a failed or interrupted init leaves
// the folder as it found it (missing, or empty), so that the same command can simply be run again.
class HalfMadeFolder {
public:
    explicit HalfMadeFolder(const fs::path& dir) : m_dir(dir) {
        std::error_code ec;
        m_existed = fs::exists(dir, ec);
    }
    ~HalfMadeFolder() {
        if (m_keep) {
            return;
        }
        std::error_code ec;
        if (!m_existed) {
            fs::remove_all(m_dir, ec);
            return;
        }
        std::vector<fs::path> made;
        for (fs::directory_iterator it(m_dir, ec), end; !ec && it != end; it.increment(ec)) {
            made.push_back(it->path());
        }
        for (const fs::path& path : made) {
            fs::remove_all(path, ec);
        }
    }
    HalfMadeFolder(const HalfMadeFolder&) = delete;
    HalfMadeFolder& operator=(const HalfMadeFolder&) = delete;
    void Keep() { m_keep = true; }

private:
    fs::path m_dir;
    bool m_existed = false;
    bool m_keep = false;
};

// The packing's progress in bytes, as the writer reports it; an interrupt stops the packing.
struct PackProgress {
    tooling::ProgressBar bar{"packing", tooling::ProgressBar::Units::Bytes};

    static BOOL Step(LPVOID pContext, ULONGLONG done, ULONGLONG total, LPCWSTR) {
        static_cast<PackProgress*>(pContext)->bar.Show(done, total);
        return !s_interrupted;
    }
};

// The folder of this executable.
fs::path ProgramFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

struct Options {
    std::string dir;
    std::string app = "gps";
    std::string package;
    std::string screen = "800x480";
    std::string pack;
    std::string signKey;
};

// The skin folder the updater picks for a screen width.
std::u16string SkinFolder(int width) {
    if (480 == width) {
        return u"480X272";
    }
    if (800 == width) {
        return u"800x480";
    }
    return u"320X240";
}

// The pack must open with the framework's reader and hold the main dialog of the screen's size.
bool CheckPack(const fs::path& pack, int width, std::string* pWhy) {
    tooling::LogLines log;
    CFhPackFile file(tooling::DevicePath(fs::absolute(pack).string()).c_str());
    if (!file.Load(NULL)) {
        *pWhy = pack.string() + " is not a resource pack";
        for (const auto& line : log.Lines()) {
            *pWhy += "\n  " + WideToUtf8(line);
        }
        return false;
    }
    const std::u16string want = SkinFolder(width) + u"\\wnd\\ctravlekdlg.dlg.xml";
    for (int i = 0; i < file.GetItemCount(); ++i) {
        FhPackItemInfo info;
        file.GetItemInfo(i, &info);
        if (0 == WStrICmp(info.pPath, want.c_str())) {
            return true;
        }
    }
    *pWhy = pack.string() + " has no skin for the screen (no " + WideToUtf8(want) + ")";
    return false;
}

// Signs the package at a device path and writes the signature beside it.
bool SignPackage(const std::u16string& packagePath, const MskSecretKey& key, std::string* pWhy) {
    HANDLE hPackage =
        CreateFileW(packagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (INVALID_HANDLE_VALUE == hPackage) {
        *pWhy = "cannot open the package to sign it (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    std::string line;
    std::u16string error;
    const BOOL bSigned = MskSignPackage(hPackage, key, &line, &error);
    CloseHandle(hPackage);
    if (!bSigned) {
        *pWhy = "cannot sign the package: " + WideToUtf8(error);
        return false;
    }
    DWORD dwError = 0;
    if (!tooling::WriteWholeFile(MskSignaturePath(packagePath.c_str()), line.data(), line.size(), &dwError)) {
        *pWhy = "cannot write the package's signature (error " + std::to_string(dwError) + ")";
        return false;
    }
    return true;
}

int Init(const Options& opt) {
    int width = 0, height = 0;
    char x = 0;
    if (3 != sscanf(opt.screen.c_str(), "%d%c%d", &width, &x, &height) || ('x' != x && 'X' != x) ||
        !((800 == width && 480 == height) || (480 == width && 272 == height) ||
          (320 == width && 240 == height))) {
        return Usage("--screen is 800x480, 480x272 or 320x240");
    }
    if ("gps" != opt.app && "nvq" != opt.app) {
        return Usage("--app is gps or nvq");
    }
    const bool bNvq = "nvq" == opt.app;
    std::error_code ec;
    const fs::path dir = fs::absolute(opt.dir, ec);
    if (fs::exists(dir, ec) && (!fs::is_directory(dir, ec) || !fs::is_empty(dir, ec))) {
        return Fail(dir.string() + " exists and is not an empty folder");
    }
    const fs::path package = opt.package.empty() ? fs::path(TRAVLEK_DEMO_APP) : fs::absolute(opt.package, ec);
    if (!fs::is_directory(package, ec)) {
        return Fail(package.string() + " is not a folder");
    }
    const fs::path pack = opt.pack.empty() ? ProgramFolder() / "travlek.pack" : fs::absolute(opt.pack, ec);
    if (!fs::is_regular_file(pack, ec)) {
        return Fail("no resource pack at " + pack.string() + " (build it, or give --pack FILE)");
    }

    // The pack is read with host paths before the device root moves to DIR.
    tooling::UseHostFileSystem();
    std::string why;
    if (!CheckPack(pack, width, &why)) {
        return Fail(why);
    }
    MskSecretKey signKey;
    if (!opt.signKey.empty()) {
        std::string line;
        std::u16string error;
        if (!MskReadKeyFile(tooling::DevicePath(fs::absolute(opt.signKey, ec).string()).c_str(), &line,
                            &error) ||
            !MskParseSecretKey(line, &signKey, &error)) {
            return Fail(opt.signKey + ": " + WideToUtf8(error));
        }
    }

    // The whole tree is read, and its names checked, before anything of the device is made.
    CMskWriter writer;
    std::u16string error;
    if (!writer.AddHostTree(package.string(), error)) {
        return Fail("cannot build the package from " + package.string() + ": " + WideToUtf8(error));
    }
    const auto collisions = writer.FindCaseCollisions();
    if (!collisions.empty()) {
        std::string list;
        for (const auto& group : collisions) {
            list += "\n ";
            for (const std::u16string& path : group) {
                list += " '" + WideToUtf8(path) + "'";
            }
        }
        return Fail(package.string() + " holds " + std::to_string(collisions.size()) +
                    " set(s) of names that are the same place on the unit, which ignores case:" + list);
    }

    HalfMadeFolder made(dir);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    fs::create_directories(dir, ec);
    if (ec) {
        return Fail("cannot make " + dir.string() + ": " + ec.message());
    }
    fs::create_directories(dir / "Program", ec);
    fs::copy_file(pack, dir / "Program" / "travlek.pack", fs::copy_options::overwrite_existing, ec);
    if (ec) {
        return Fail("cannot copy the pack: " + ec.message());
    }

    // The application the unit runs now, which the update replaces.
    const std::string program = bNvq ? "nvqmain.exe" : "navi.exe";
    const fs::path old = dir / "Residentflash2" / "app";
    if (!WriteHostFile(old / program, "old application\n") ||
        !WriteHostFile(old / "version.txt", "old application, version 1.0\n") ||
        !WriteHostFile(old / "config" / "settings.ini", "[unit]\nversion=1.0\n")) {
        return Fail("cannot write the old application under " + old.string());
    }
    fs::create_directories(dir / "SDMMC", ec);
    if (!WriteHostFile(dir / "SDMMC" / "FactoryConfig.xml",
                       "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<FactoryConfig>\n  <Unit model=\"demo\" screen=\"" +
                           opt.screen + "\"/>\n</FactoryConfig>\n") ||
        !WriteHostFile(dir / "device.ini",
                       "screen=" + std::to_string(width) + "x" + std::to_string(height) + "\n")) {
        return Fail("cannot write into " + dir.string());
    }

    // Everything below goes through the platform, on the new device.
    PlatformSetDeviceRoot(dir.string());
    CWceUiLogFile::Instance().DisableFile();

    const std::u16string packagePath = bNvq ? u"\\SDMMC\\nvqApp.msk" : u"\\SDMMC\\gpsApp.msk";
    PackProgress progress;
    writer.SetProgressCallback(&PackProgress::Step, &progress);
    const BOOL bWritten = writer.Write(packagePath.c_str(), u"app",
                                       FhPasswordToKey(bNvq ? MSK_PASSWORD_NVQ : MSK_PASSWORD_GPS), error);
    progress.bar.Done();
    if (s_interrupted) {
        return Fail("interrupted; " + dir.string() + " is left as it was");
    }
    if (!bWritten) {
        return Fail("cannot build the package from " + package.string() + ": " + WideToUtf8(error));
    }
    if (!opt.signKey.empty() && !SignPackage(packagePath, signKey, &why)) {
        return Fail(why);
    }

    HKEY hKey = NULL;
    DWORD dwDisposition = 0;
    LONG lResult = RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, NULL, 0, 0, NULL, &hKey, &dwDisposition);
    if (ERROR_SUCCESS != lResult) {
        return Fail("cannot create HKEY_LOCAL_MACHINE\\OEM (error " + std::to_string(lResult) + ")");
    }
    const char16_t* pApp = bNvq ? kNvqApp : kGpsApp;
    const DWORD cbApp = static_cast<DWORD>((std::char_traits<char16_t>::length(pApp) + 1) * sizeof(char16_t));
    lResult = RegSetValueExW(hKey, u"APP", 0, REG_SZ, reinterpret_cast<const BYTE*>(pApp), cbApp);
    if (ERROR_SUCCESS == lResult && !opt.signKey.empty()) {
        // The value is the public key file's line, without its line end.
        std::string line = MskPublicKeyLine(signKey);
        line.pop_back();
        const std::u16string value = Utf8ToWide(line);
        lResult = RegSetValueExW(hKey, u"UpdateKey", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(char16_t)));
    }
    RegCloseKey(hKey);
    if (ERROR_SUCCESS != lResult) {
        return Fail("cannot set the values of HKEY_LOCAL_MACHINE\\OEM (error " + std::to_string(lResult) +
                    ")");
    }

    made.Keep();
    const MskWriterStats& stats = writer.GetStats();
    printf("%s: a %s unit, %s screen\n", dir.string().c_str(), opt.app.c_str(), opt.screen.c_str());
    printf("  Program/travlek.pack\n");
    printf("  Residentflash2/app/           the old application (%s)\n", program.c_str());
    printf("  SDMMC/%s             %u folders and %u files from %s\n", bNvq ? "nvqApp.msk" : "gpsApp.msk",
           stats.folders, stats.files, package.string().c_str());
    printf("  SDMMC/FactoryConfig.xml\n");
    if (!opt.signKey.empty()) {
        printf("  SDMMC/%s.sig         the package's signature\n", bNvq ? "nvqApp.msk" : "gpsApp.msk");
    }
    printf("  registry.reg                  HKEY_LOCAL_MACHINE\\OEM APP=%s%s\n", WideToUtf8(pApp).c_str(),
           opt.signKey.empty() ? "" : ", UpdateKey");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage(NULL);
    }
    const std::string command = argv[1];
    if ("--help" == command || "-h" == command || "help" == command) {
        fputs(kUsage, stdout);
        fputs(kHelp, stdout);
        return 0;
    }
    if ("--version" == command) {
        tooling::PrintVersion("travlek-device");
        return 0;
    }
    if ("init" != command) {
        return Usage(("unknown command " + command).c_str());
    }
    Options opt;
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        std::string* pValue = nullptr;
        if ("--help" == a || "-h" == a) {
            fputs(kUsage, stdout);
            fputs(kHelp, stdout);
            return 0;
        } else if ("--app" == a) {
            pValue = &opt.app;
        } else if ("--package" == a) {
            pValue = &opt.package;
        } else if ("--screen" == a) {
            pValue = &opt.screen;
        } else if ("--pack" == a) {
            pValue = &opt.pack;
        } else if ("--sign-key" == a) {
            pValue = &opt.signKey;
        } else if (a.size() > 1 && '-' == a[0]) {
            return Usage(("unknown option " + a).c_str());
        } else {
            args.push_back(a);
            continue;
        }
        if (i + 1 >= argc) {
            return Usage((a + " needs a value").c_str());
        }
        *pValue = argv[++i];
    }
    if (1 != args.size()) {
        return Usage("init takes DIR");
    }
    opt.dir = args[0];
    return Init(opt);
}
