#include "support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
};

RunResult RunDemo(const std::string& args, const std::string& env = "") {
    RunResult r;
    std::string command = env + " '" WCEUI_DEMO_PATH "' " + args + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        r.out.append(buf, n);
    int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

template <typename F> bool WaitFor(F condition, int milliseconds) {
    for (int i = 0; i < milliseconds / 10; i++) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

class DemoTest : public ::testing::Test {
protected:
    testsupport::TempFolder m_root;
    std::string Root() const { return m_root.Path(); }
    std::string Device() const { return "--device '" + Root() + "'"; }
};

} // namespace

TEST_F(DemoTest, SecondStartBringsTheFirstToTheFront) {
    testsupport::WriteHostFile(Root() + "/long.txt", "wait 60000\nquit\n");
    std::string dev = Root();
    std::string script = Root() + "/long.txt";
    const char* argv[] = {WCEUI_DEMO_PATH, "--backend", "headless",     "--realtime", "--device",
                          dev.c_str(),     "--script",  script.c_str(), nullptr};
    pid_t first = 0;
    ASSERT_EQ(0, posix_spawn(&first, WCEUI_DEMO_PATH, nullptr, nullptr, const_cast<char**>(argv), environ));
    std::string list = Root() + "/.wince/windows/" + std::to_string(first) + ".list";
    ASSERT_TRUE(WaitFor(
        [&] { return testsupport::ReadHostFile(list).find("WCEUI_DEMO") != std::string::npos; }, 10000));

    RunResult second = RunDemo("--backend headless " + Device());
    EXPECT_EQ(0, second.exitCode);
    EXPECT_NE(std::string::npos, second.out.find("already running; brought it to the front")) << second.out;
    std::string journal = testsupport::ReadHostFile(Root() + "/.wince/journal.log");
    EXPECT_NE(std::string::npos, journal.find("wceui-demo: ShowWindow WCEUI_DEMO 5\n")) << journal;
    EXPECT_NE(std::string::npos, journal.find("wceui-demo: SetForegroundWindow WCEUI_DEMO\n")) << journal;
    // The first process takes the requests from its loop.
    std::string requests = Root() + "/.wince/requests/" + std::to_string(first);
    EXPECT_TRUE(WaitFor([&] { return testsupport::ReadHostFile(requests).empty(); }, 5000));

    // Killed, it leaves the mutex free: the next start runs as the first.
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);
    testsupport::WriteHostFile(Root() + "/quit.txt", "tap 10 10\nquit\n");
    RunResult third = RunDemo("--backend headless " + Device() + " --script '" + Root() + "/quit.txt'");
    EXPECT_EQ(0, third.exitCode);
    EXPECT_EQ("", third.out);
}

TEST_F(DemoTest, BadScriptIsRefusedWithItsLine) {
    testsupport::WriteHostFile(Root() + "/bad.txt", "tap 1 1\nwait soon\n");
    RunResult r = RunDemo("--backend headless " + Device() + " --script '" + Root() + "/bad.txt'");
    EXPECT_EQ(2, r.exitCode);
    EXPECT_NE(std::string::npos, r.out.find("bad.txt: line 2: bad number 'soon'")) << r.out;
    EXPECT_EQ(2, RunDemo("--bpp 24").exitCode);
    EXPECT_EQ(2, RunDemo("--frobnicate").exitCode);
}

// The SDL backend under the offscreen driver: the window opens, the scripted tap arrives, and the
// screenshot equals the headless one of the same content.
TEST_F(DemoTest, SdlScreenshotEqualsHeadless) {
    // The shot comes after the bar has filled, so real and virtual time show the same picture.
    testsupport::WriteHostFile(Root() + "/s.txt", "tap 100 100\nwait 3000\nshot shot.png\nquit\n");
    std::string common = Device() + " --screen 320x240 --script '" + Root() + "/s.txt'";
    RunResult headless = RunDemo("--backend headless --bpp 32 " + common);
    ASSERT_EQ(0, headless.exitCode) << headless.out;
    std::string headlessShot = testsupport::ReadHostFile(Root() + "/shot.png");
    ASSERT_FALSE(headlessShot.empty());
    std::remove((Root() + "/shot.png").c_str());
    // The offscreen driver's EGL library keeps allocations past exit, which a leak-checking build
    // would report as the program's.
    RunResult sdl = RunDemo("--backend sdl --zoom 2 --bpp 32 " + common,
                            "SDL_VIDEODRIVER=offscreen ASAN_OPTIONS=detect_leaks=0");
    ASSERT_EQ(0, sdl.exitCode) << sdl.out;
    EXPECT_EQ(headlessShot, testsupport::ReadHostFile(Root() + "/shot.png"));
    std::remove((Root() + "/shot.png").c_str());
    RunResult dummy = RunDemo("--backend sdl --bpp 32 " + common, "SDL_VIDEODRIVER=dummy");
    ASSERT_EQ(0, dummy.exitCode) << dummy.out;
    EXPECT_EQ(headlessShot, testsupport::ReadHostFile(Root() + "/shot.png"));
    // An untapped screen differs: the tap did arrive.
    testsupport::WriteHostFile(Root() + "/n.txt", "wait 2200\nshot none.png\nquit\n");
    ASSERT_EQ(0, RunDemo("--backend headless --bpp 32 " + Device() + " --screen 320x240 --script '" + Root() +
                         "/n.txt'")
                     .exitCode);
    EXPECT_NE(headlessShot, testsupport::ReadHostFile(Root() + "/none.png"));
}

// Two headless runs of the same script give the same pictures, and the close command ends the
// program through its own close handling.
TEST_F(DemoTest, HeadlessRunsRepeatExactly) {
    testsupport::WriteHostFile(Root() + "/d.txt",
                               "tap 40 40\ndrag 40 40 200 150 300\nwait 700\nshot a.png\nwait 3000\nclose\n");
    std::string args = "--backend headless --screen 320x240 " + Device() + " --script '" + Root() + "/d.txt'";
    RunResult first = RunDemo(args + " --shot '" + Root() + "/end1.png'");
    ASSERT_EQ(0, first.exitCode) << first.out;
    std::string shot1 = testsupport::ReadHostFile(Root() + "/a.png");
    RunResult second = RunDemo(args + " --shot '" + Root() + "/end2.png'");
    ASSERT_EQ(0, second.exitCode) << second.out;
    EXPECT_FALSE(shot1.empty());
    EXPECT_EQ(shot1, testsupport::ReadHostFile(Root() + "/a.png"));
    std::string end1 = testsupport::ReadHostFile(Root() + "/end1.png");
    EXPECT_FALSE(end1.empty());
    EXPECT_EQ(end1, testsupport::ReadHostFile(Root() + "/end2.png"));
    // The bar was still filling at the first shot and full at the end.
    EXPECT_NE(shot1, end1);
}
