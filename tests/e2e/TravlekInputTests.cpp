// The real travlek, headless, given inputs on the device folder that are too large or no file at
// all: a registry.reg over its limit, event scripts with an oversized line, a pipe or a folder as
// the script. Each run ends in its message with nothing of the device changed, and the registry
// costs no memory for the bytes it refuses.
#include "TravlekRun.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct MeasuredRun {
    int exitCode = -1; // -1 when killed (a hang)
    std::string out;   // stdout and stderr together
    long peakKb = 0;   // the child's peak resident memory
};

// Runs travlek with the arguments, its output into outFile, and measures its peak memory through
// wait4. A run still going after 60 s is killed.
MeasuredRun RunTravlek(const std::vector<std::string>& args, const std::string& outFile) {
    MeasuredRun r;
    std::vector<std::string> argv = {TRAVLEK_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargs;
    for (std::string& a : argv) {
        cargs.push_back(a.data());
    }
    cargs.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, TRAVLEK_PATH, &actions, nullptr, cargs.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (0 != spawned) {
        ADD_FAILURE() << "cannot start " << TRAVLEK_PATH;
        return r;
    }
    int status = 0;
    struct rusage usage {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (0 == wait4(pid, &status, WNOHANG, &usage)) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peakKb = usage.ru_maxrss;
    r.out = testsupport::ReadHostFile(outFile);
    return r;
}

class TravlekInputTest : public e2e::TravlekDeviceTest {
protected:
    MeasuredRun Run(const std::string& script) {
        return RunTravlek({"--backend", "headless", "--device", Dev(), "--script", script}, File("out.txt"));
    }
    // Every entry under the device folder: folders by name, files with their bytes.
    std::string Snapshot() const {
        std::vector<std::string> lines;
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(Dev(), ec); it != fs::recursive_directory_iterator();
             it.increment(ec)) {
            const std::string name = fs::relative(it->path(), Dev()).string();
            if (it->is_directory()) {
                lines.push_back(name + "/");
            } else {
                const std::string bytes = testsupport::ReadHostFile(it->path().string());
                lines.push_back(name + " " + std::to_string(bytes.size()) + " " +
                                std::to_string(std::hash<std::string>()(bytes)));
            }
        }
        std::sort(lines.begin(), lines.end());
        std::string text;
        for (const std::string& line : lines) {
            text += line + "\n";
        }
        return text;
    }
};

// A registry file just over the limit names a main-navigation application and a key the update
// deletes. Read, it would make the run a main-navigation one and be rewritten without that key;
// refused, the run is the one of an empty registry (the update without a launch), the file stays
// byte for byte, and the run takes no more memory than the same run on the device's own registry.
TEST_F(TravlekInputTest, ARegistryOverTheLimitIsNotReadAndStaysAsItWas) {
    const std::string quit = File("quit.txt");
    testsupport::WriteHostFile(quit, "wait 1000\nquit\n");
    Init();
    const MeasuredRun normal = Run(quit);
    ASSERT_EQ(0, normal.exitCode) << normal.out;
    ASSERT_NE(Journal().find("CreateProcessW"), std::string::npos) << Journal();

    fs::remove_all(Dev());
    Init();
    std::string registry = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\OEM]\n"
                           "\"APP\"=\"\\\\residentflash2\\\\app\\\\nvqmain.exe\"\n\n"
                           "[HKEY_CURRENT_USER\\OEM\\ShellEx]\n\"x\"=\"y\"\n";
    for (int i = 0; registry.size() <= (4u << 20); ++i) {
        registry += "\n[HKEY_LOCAL_MACHINE\\Big\\Key" + std::to_string(i) + "]\n\"Value\"=\"" +
                    std::string(20, 'x') + "\"\n";
    }
    testsupport::WriteHostFile(Dev() + "/registry.reg", registry);
    const MeasuredRun big = Run(quit);
    ASSERT_EQ(0, big.exitCode) << big.out;
    EXPECT_NE(big.out.find(Dev() + "/registry.reg is over the 4194304 bytes (4 MB) a registry file may hold"),
              std::string::npos)
        << big.out;
    EXPECT_EQ(Journal(), "travlek: SetCursor wait\n"
                         "travlek: SetCursor arrow\n"
                         "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1 0\n");
    EXPECT_TRUE(testsupport::ReadHostFile(Dev() + "/registry.reg") == registry)
        << "the registry file was rewritten";
    EXPECT_FALSE(testsupport::HostExists(Dev() + "/registry.reg.tmp"));
    EXPECT_LT(big.peakKb, normal.peakKb + 16 * 1024) << "normal run: " << normal.peakKb << " KB";
}

// A script with a line over the limit, a pipe and a folder as the script are each refused with
// exit 2 before the device is touched: no journal, no runtime folder, the registry as it was. A
// pipe is not waited on for a writer, and a folder is not taken for an empty script.
TEST_F(TravlekInputTest, ScriptsTooLargeOrNoFileAreRefusedBeforeTheDeviceIsTouched) {
    Init();
    const std::string longLine = File("long.txt");
    testsupport::WriteHostFile(longLine, "wait 10\ntext " + std::string(100 << 10, 'x') + "\nquit\n");
    const std::string pipe = File("pipe.txt");
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    const std::string folder = File("folder.txt");
    testsupport::MakeHostFolders(folder);
    const struct {
        std::string script;
        std::string message;
    } cases[] = {
        {longLine, "travlek: " + longLine + ": line 2: the line is longer than 65536 bytes\n"},
        {pipe, "travlek: the script " + pipe + " is a pipe, not a file\n"},
        {folder, "travlek: the script " + folder + " is a folder, not a file\n"},
    };
    const std::string before = Snapshot();
    ASSERT_NE(before.find("registry.reg"), std::string::npos) << before;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const MeasuredRun r = Run(c.script);
        EXPECT_EQ(2, r.exitCode) << r.out;
        EXPECT_EQ(c.message, r.out);
        EXPECT_EQ(before, Snapshot());
    }
}

} // namespace
