// travlek: runs the updater on a device folder, as the unit would run it, on the headless or SDL
// display. The screen comes from --screen, else from the device folder's device.ini, else 800x480.
// The exit status says how the run ended, so that scripts can act on it; --result writes the same
// as JSON.
#include "app/TravlekApp.h"
#include "app/TravlekRunReport.h"
#include "platform/Platform.h"
#include "platform/display/Display.h"
#include "tools/common/DisplayProgram.h"
#include "tools/common/JsonWriter.h"
#include "tools/common/ToolSupport.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

int s_instance;

// The exit statuses; 2 is a usage error, as in every tool.
enum Status { kUpdated = 0, kProgramError = 1, kUsageError = 2, kUpdateFailed = 3, kNothingToDo = 4 };

void Usage(FILE* out) {
    std::fprintf(out,
                 "usage: travlek --device DIR [options]\n"
                 "Runs the updater on the device folder DIR (default: $WINCE_DEVICE_ROOT, else the\n"
                 "current folder when it holds a device.ini). The screen size is --screen, else the\n"
                 "\"screen=WxH\" line of DIR/device.ini, else 800x480; the depth is 16 bits unless --bpp\n"
                 "32. A \"flash=SIZE\" line there (bytes, or with K, M or G) makes \\Residentflash2 a\n"
                 "flash of that size; without it the flash has the host's free space.\n"
                 "%s"
                 "  --init                  make DIR as travlek-device init would when it is missing\n"
                 "                          or empty (with --screen's size)\n"
                 "  --result FILE.json      write the outcome, the message, the files written and the\n"
                 "                          journal lines of the run as JSON\n"
                 "  --shots DIR             save DIR/start.png when an update starts, DIR/progress.png\n"
                 "                          half way and DIR/end.png when it ends\n"
                 "  --hold                  keep the last screen up until the window is closed\n"
                 "  --help                  this text\n"
                 "Exit status: 0 updated, 3 the update failed, 4 nothing to do (no package, cancelled,\n"
                 "or another updater runs), 1 program error (no skin, a file that cannot be written),\n"
                 "2 usage error (also a missing device folder).\n",
                 PlatformDisplayOptionsUsage());
}

// What travlek takes besides the display options.
struct RunOptions {
    bool init = false;
    bool hold = false;
    bool deviceGiven = false;
    std::string resultPath;
    std::string shotsDir;
    std::string screen; // --screen as given, for --init
};

// Takes travlek's own options out of argv (the rest are display options). False with a message for
// an option without its value.
bool TakeRunOptions(int* argc, char** argv, RunOptions* run, std::string* why) {
    int kept = 1;
    for (int i = 1; i < *argc; ++i) {
        const std::string a = argv[i];
        std::string* pValue = nullptr;
        if ("--init" == a) {
            run->init = true;
            continue;
        }
        if ("--hold" == a) {
            run->hold = true;
            continue;
        }
        if ("--result" == a) {
            pValue = &run->resultPath;
        } else if ("--shots" == a) {
            pValue = &run->shotsDir;
        } else {
            if (("--device" == a || "--screen" == a) && i + 1 < *argc) {
                run->deviceGiven = run->deviceGiven || "--device" == a;
                if ("--screen" == a) {
                    run->screen = argv[i + 1];
                }
                argv[kept++] = argv[i++];
            }
            argv[kept++] = argv[i];
            continue;
        }
        if (i + 1 >= *argc || 0 == argv[i + 1][0]) {
            *why = a + " needs a value";
            return false;
        }
        *pValue = argv[++i];
    }
    *argc = kept;
    argv[kept] = nullptr;
    return true;
}

// Whether a file can be made at the path: its folder exists and may be written. Otherwise the reason
// in words.
bool CanWriteFile(const std::string& path, std::string* why) {
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) {
        *why = std::strerror(std::filesystem::exists(folder, ec) ? ENOTDIR : ENOENT);
        return false;
    }
    if (0 != access(folder.c_str(), W_OK)) {
        *why = std::strerror(errno);
        return false;
    }
    return true;
}

// The folder of this executable.
std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

// Makes the device folder with travlek-device (beside this program), as a person would. Returns its
// exit status; its messages are its own.
int InitDevice(const std::string& root, const std::string& screen) {
    const std::string tool = (ProgramFolder() / "travlek-device").string();
    std::vector<std::string> args = {tool, "init", root};
    if (!screen.empty()) {
        args.insert(args.end(), {"--screen", screen});
    }
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, tool.c_str(), nullptr, nullptr, argv.data(), environ);
    if (0 != spawned) {
        std::fprintf(stderr, "travlek: cannot run %s: %s\n", tool.c_str(), std::strerror(spawned));
        return kProgramError;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && EINTR == errno) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : kProgramError;
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

// The journal's lines from a byte offset on: what this run added.
std::vector<std::string> JournalLinesFrom(const std::string& path, std::uintmax_t offset) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return lines;
    }
    in.seekg(static_cast<std::streamoff>(offset));
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::uintmax_t FileSizeOrZero(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

// How the run ended, in the words of the result file and the last line of output.
struct Outcome {
    int status = kNothingToDo;
    const char* name = "nothing-to-do";
    std::string reason; // for nothing to do and program errors
};

Outcome OutcomeOfRecord(const TravlekRunRecord& record) {
    Outcome o;
    if (0 == record.nFinished) {
        o.reason = "no update ran (no package the unit expects, or nobody started one)";
    } else if (record.bLastSucceeded) {
        o.status = kUpdated;
        o.name = "updated";
    } else if (u"user_cancel" == record.errorKey) {
        o.reason = "the update was cancelled";
    } else {
        o.status = kUpdateFailed;
        o.name = "update-failed";
    }
    return o;
}

void WriteResult(tooling::JsonWriter& json, const Outcome& outcome, const TravlekRunRecord& record,
                 const std::vector<std::string>& files, const std::vector<std::string>& unwritten,
                 const std::vector<std::string>& journal) {
    json.BeginObject();
    json.Member("outcome", outcome.name);
    json.Member("exit_status", outcome.status);
    json.Member("reason", outcome.reason);
    json.Member("updates_run", record.nFinished);
    json.Member("package", record.package);
    json.Key("message_key");
    if (record.errorKey.empty()) {
        json.Null();
    } else {
        json.String(record.errorKey);
    }
    json.Key("message");
    if (record.message.empty()) {
        json.Null();
    } else {
        json.String(record.message);
    }
    json.Key("files").BeginArray();
    for (const std::string& f : files) {
        json.String(f);
    }
    json.EndArray();
    json.Key("unwritten").BeginArray();
    for (const std::string& f : unwritten) {
        json.String(f);
    }
    json.EndArray();
    json.Key("journal").BeginArray();
    for (const std::string& line : journal) {
        json.String(line);
    }
    json.EndArray();
    json.EndObject();
}

LRESULT HoldWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
        case WM_PAINT: {
            // The window keeps whatever the updater left on the screen.
            PAINTSTRUCT ps;
            BeginPaint(hWnd, &ps);
            EndPaint(hWnd, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hWnd, uMsg, wParam, lParam);
    }
}

// Keeps the last screen up until the person closes the window (headless: until the script ends).
void HoldLastScreen(int width, int height) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HoldWndProc;
    wc.hInstance = reinterpret_cast<HINSTANCE>(&s_instance);
    wc.lpszClassName = u"TravlekHold";
    RegisterClassW(&wc);
    HWND hWnd = CreateWindowExW(0, u"TravlekHold", u"travlek", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                NULL, NULL, wc.hInstance, NULL);
    if (NULL == hWnd) {
        return;
    }
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Saves a screenshot of the moments of an update run into the --shots folder.
void SaveRunShots(const std::string& folder) {
    TravlekSetRunListener([folder, halfWay = false](TravlekRunEvent event, int nPercent) mutable {
        const char* name = nullptr;
        if (TravlekRunEvent::UpdateStarted == event) {
            name = "start.png";
            halfWay = false;
        } else if (TravlekRunEvent::Progress == event && nPercent >= 50 && !halfWay) {
            name = "progress.png";
            halfWay = true;
        } else if (TravlekRunEvent::UpdateFinished == event) {
            name = "end.png";
        }
        std::string why;
        if (nullptr != name && !PlatformSaveScreenshot(folder + "/" + name, &why)) {
            std::fprintf(stderr, "travlek: %s\n", why.c_str());
        }
    });
}

} // namespace

int main(int argc, char** argv) {
    RunOptions run;
    std::string why;
    if (!TakeRunOptions(&argc, argv, &run, &why)) {
        return tooling::UsageError("travlek", why);
    }
    PlatformDisplayOptions options;
    bool screenGiven = false;
    const int parsed = tooling::ParseDisplayArgs("travlek", argc, argv, &options, Usage, &screenGiven);
    if (parsed >= 0) {
        return parsed;
    }
    const std::string root = PlatformGetDeviceRoot();
    std::error_code ec;
    const char* envRoot = std::getenv("WINCE_DEVICE_ROOT");
    if (!run.deviceGiven && (nullptr == envRoot || 0 == *envRoot) && !HasDeviceIni(root)) {
        // The current folder is only taken when it is a device: nothing is written where nobody asked.
        std::fprintf(stderr, "travlek: no device folder given (--device DIR), and %s holds no device.ini\n",
                     root.c_str());
        return kUsageError;
    }
    // A picture or a result that cannot be written is found before the update runs, not after.
    std::vector<std::string> outputs = {options.exitShot, run.resultPath};
    if (!run.shotsDir.empty()) {
        std::filesystem::create_directories(run.shotsDir, ec);
        outputs.push_back(run.shotsDir + "/start.png");
    }
    for (const std::string& path : outputs) {
        if (!path.empty() && !CanWriteFile(path, &why)) {
            std::fprintf(stderr, "travlek: cannot write %s: %s\n", path.c_str(), why.c_str());
            return kUsageError;
        }
    }
    const bool empty = std::filesystem::is_directory(root, ec) && std::filesystem::is_empty(root, ec);
    if (run.init && (!std::filesystem::exists(root, ec) || empty)) {
        const int made = InitDevice(root, run.screen);
        if (0 != made) {
            return kProgramError;
        }
    } else if (!std::filesystem::is_directory(root, ec)) {
        std::fprintf(stderr, "travlek: %s: %s (make it with --init, or travlek-device init)\n", root.c_str(),
                     std::strerror(std::filesystem::exists(root, ec) ? ENOTDIR : ENOENT));
        return kUsageError;
    }
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

    // travlek takes the exit picture itself, so that one it cannot write makes the run fail.
    const std::string exitShot = options.exitShot;
    options.exitShot.clear();
    std::string error;
    int started = PlatformStartDisplay(options, &error);
    if (started != 0) {
        std::fprintf(stderr, "travlek: %s\n", error.c_str());
        return started;
    }
    // Asked only now: the journal's folder is made on the way, and a refused start touches nothing.
    const std::string journalPath = PlatformJournalPath();
    const std::uintmax_t journalStart = FileSizeOrZero(journalPath);
    TravlekResetRunRecord();
    if (!run.shotsDir.empty()) {
        SaveRunShots(run.shotsDir);
    }
    Outcome outcome;
    {
        CTravlekApp app(reinterpret_cast<HINSTANCE>(&s_instance));
        app.InitInstance();
        if (app.FoundOtherInstance()) {
            outcome.reason = "an updater is already running on this device";
        } else if (0 != app.GetGuardError()) {
            std::fprintf(stderr,
                         "travlek: the single-instance mutex could not be made (error %u); is %s/.wince a "
                         "writable folder?\n",
                         static_cast<unsigned>(app.GetGuardError()), root.c_str());
            outcome = {kProgramError, "error", "the single-instance mutex could not be made"};
        } else if (!app.RanMainDialog()) {
            // The unit would just end here; on the simulator say why.
            std::fprintf(
                stderr,
                "travlek: the main dialog could not be made (is the skin travlek.pack in %s/Program or "
                "beside travlek?); the log beside the pack says more\n",
                root.c_str());
            outcome = {kProgramError, "error", "the main dialog could not be made"};
        } else {
            outcome = OutcomeOfRecord(TravlekGetRunRecord());
        }
    }
    TravlekSetRunListener(nullptr);
    if (run.hold) {
        HoldLastScreen(options.width, options.height);
    }
    if (!exitShot.empty() && !PlatformSaveScreenshot(exitShot, &error)) {
        std::fprintf(stderr, "travlek: %s\n", error.c_str());
    }
    const std::vector<std::string> files = PlatformDisplayFilesWritten();
    const std::vector<std::string> unwritten = PlatformDisplayWriteFailures();
    PlatformStopDisplay();
    if (!unwritten.empty() && kProgramError != outcome.status) {
        outcome = {kProgramError, "error", "a screenshot or dump could not be written"};
    }

    const TravlekRunRecord& record = TravlekGetRunRecord();
    if (kUpdated == outcome.status) {
        std::printf("travlek: updated from %s\n", WideToUtf8(record.package).c_str());
    } else if (kUpdateFailed == outcome.status) {
        std::printf("travlek: the update from %s failed: %s (%s)\n", WideToUtf8(record.package).c_str(),
                    WideToUtf8(record.message).c_str(), WideToUtf8(record.errorKey).c_str());
    } else if (kNothingToDo == outcome.status) {
        std::printf("travlek: nothing to do: %s\n", outcome.reason.c_str());
    }
    if (!run.resultPath.empty()) {
        tooling::JsonWriter json;
        WriteResult(json, outcome, record, files, unwritten, JournalLinesFrom(journalPath, journalStart));
        std::ofstream out(run.resultPath, std::ios::binary | std::ios::trunc);
        out << json.Text();
        out.close();
        if (out.fail()) {
            std::fprintf(stderr, "travlek: cannot write %s: %s\n", run.resultPath.c_str(),
                         std::strerror(errno));
            return kProgramError;
        }
    }
    return outcome.status;
}
