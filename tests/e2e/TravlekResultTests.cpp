// travlek for scripts: the exit status and the --result file say how the run ended, a missing device
// folder is refused unless --init makes it, and a picture or result that cannot be written fails the
// run instead of going missing quietly.
#include "TravlekRun.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <unistd.h>

namespace {

using e2e::RunProgram;
using e2e::RunResult;
using nlohmann::json;

class TravlekResultTest : public e2e::TravlekDeviceTest {
protected:
    json Result(const std::string& name = "result.json") const {
        return json::parse(testsupport::ReadHostFile(File(name)));
    }
    // travlek with only the given arguments (no device unless they name one).
    RunResult Bare(const std::string& args) { return RunProgram(TRAVLEK_PATH, "--backend headless " + args); }
};

TEST_F(TravlekResultTest, TheExitStatusAndTheResultSayHowTheUpdateEnded) {
    const struct {
        const char* what;
        const char* package; // the SD card's package; null: none
        int status;
        const char* outcome;
        json key;
        json message;
        const char* finished; // the broadcast in the journal, if any
    } cases[] = {
        {"a package that installs", "", 0, "updated", nullptr, nullptr, "TRAVLEK_FINISHED 1 0"},
        {"an empty package", "empty", 3, "update-failed", "invalid_msk_file",
         "Invalid MSK file. Update fail.", "TRAVLEK_FINISHED 0 0"},
        {"no package", nullptr, 4, "nothing-to-do", nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Dev());
        Init();
        if (nullptr == c.package) {
            std::filesystem::remove(Dev() + "/SDMMC/gpsApp.msk");
        } else if (std::string("empty") == c.package) {
            testsupport::WriteHostFile(Dev() + "/SDMMC/gpsApp.msk", "");
        }
        RunResult r = Travlek("wait 1000\n", "--result '" + File("result.json") + "'");
        EXPECT_EQ(c.status, r.exitCode) << r.out;
        const json result = Result();
        EXPECT_EQ(c.outcome, result["outcome"]) << result.dump(2);
        EXPECT_EQ(c.status, result["exit_status"]);
        EXPECT_EQ(c.key, result["message_key"]);
        EXPECT_EQ(c.message, result["message"]);
        EXPECT_EQ(nullptr == c.finished ? 0 : 1, result["updates_run"]);
        EXPECT_EQ(nullptr == c.finished ? "" : "\\SDMMC\\gpsApp.msk", result["package"]);
        // A fresh device's journal is this run's alone.
        EXPECT_EQ(json(JournalLines()), result["journal"]);
        if (nullptr != c.finished) {
            EXPECT_NE(Journal().find(c.finished), std::string::npos) << Journal();
        }
        EXPECT_NE(r.out.find(0 == c.status ? "travlek: updated from \\SDMMC\\gpsApp.msk"
                             : 3 == c.status
                                 ? "travlek: the update from \\SDMMC\\gpsApp.msk failed: Invalid MSK"
                                 : "travlek: nothing to do"),
                  std::string::npos)
            << r.out;
    }
}

TEST_F(TravlekResultTest, TheResultListsThisRunsJournalLinesAndTheFilesItWrote) {
    Init();
    ASSERT_EQ(0, Travlek("wait 1000\n").exitCode);
    const size_t before = JournalLines().size();
    ASSERT_GT(before, 0u);

    // The package is still on the card: the second run updates again.
    RunResult r = Travlek("wait 5\nshot " + File("a.png") + "\ndump " + File("d.txt") + "\n",
                          "--shot '" + File("exit.png") + "' --shots '" + File("shots") + "' --result '" +
                              File("result.json") + "'");
    ASSERT_EQ(0, r.exitCode) << r.out;
    const json result = Result();
    const std::vector<std::string> lines = JournalLines();
    EXPECT_EQ(json(std::vector<std::string>(lines.begin() + static_cast<long>(before), lines.end())),
              result["journal"]);
    // The script's pictures come before the update starts (its first step waits 10 ms); the run's own
    // start, half-way and end pictures follow, and the exit picture comes last.
    const json files = {File("a.png"),           File("d.txt"),
                        File("shots/start.png"), File("shots/progress.png"),
                        File("shots/end.png"),   File("exit.png")};
    EXPECT_EQ(files, result["files"]);
    EXPECT_EQ(json::array(), result["unwritten"]);
    for (const auto& f : files) {
        EXPECT_TRUE(testsupport::HostExists(f.get<std::string>())) << f;
    }
}

TEST_F(TravlekResultTest, AMissingDeviceFolderIsAnErrorUnlessInitMakesIt) {
    const std::string missing = File("none");
    RunResult r = Bare("--device '" + missing + "'");
    EXPECT_EQ(2, r.exitCode) << r.out;
    EXPECT_NE(r.out.find("travlek: " + missing + ": No such file or directory"), std::string::npos) << r.out;
    EXPECT_FALSE(testsupport::HostExists(missing));

    // --init makes it as travlek-device does, for the screen asked for, and the update runs on it.
    r = Bare("--init --screen 480x272 --device '" + missing + "' --result '" + File("result.json") + "'");
    ASSERT_EQ(0, r.exitCode) << r.out;
    EXPECT_EQ("updated", Result()["outcome"]);
    EXPECT_EQ("screen=480x272\n", testsupport::ReadHostFile(missing + "/device.ini"));
    EXPECT_TRUE(testsupport::HostExists(missing + "/Residentflash2/app/navi.exe"));

    // An existing device is used as it is.
    testsupport::WriteHostFile(missing + "/SDMMC/mine.txt", "kept");
    testsupport::WriteHostFile(missing + "/device.ini", "screen=320x240\n");
    r = Bare("--init --device '" + missing + "'");
    EXPECT_EQ(0, r.exitCode) << r.out;
    EXPECT_EQ("kept", testsupport::ReadHostFile(missing + "/SDMMC/mine.txt"));
    EXPECT_EQ("screen=320x240\n", testsupport::ReadHostFile(missing + "/device.ini"));

    // Without --device an ordinary current folder is no device: nothing is written into it.
    const std::string plain = File("plain");
    testsupport::MakeHostFolders(plain);
    const std::filesystem::path cwd = std::filesystem::current_path();
    std::filesystem::current_path(plain);
    r = Bare("");
    std::filesystem::current_path(cwd);
    EXPECT_EQ(2, r.exitCode) << r.out;
    EXPECT_NE(r.out.find("no device folder given"), std::string::npos) << r.out;
    EXPECT_TRUE(std::filesystem::is_empty(plain));
}

TEST_F(TravlekResultTest, PicturesAndResultsThatCannotBeWrittenAreErrors) {
    Init();
    const std::string before = Tree("Residentflash2");
    const std::string nowhere = File("no-such-folder");
    // Found before the update runs: the device is untouched.
    for (const char* option : {"--shot", "--result"}) {
        SCOPED_TRACE(option);
        RunResult r = Travlek("wait 1000\n", std::string(option) + " '" + nowhere + "/x'");
        EXPECT_EQ(2, r.exitCode) << r.out;
        EXPECT_NE(r.out.find("travlek: cannot write " + nowhere + "/x: No such file or directory"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ("", Journal());
        EXPECT_EQ(before, Tree("Residentflash2"));
    }

    // A script's picture is only known to fail when it is taken: the update still runs, but the run
    // fails and the result names the picture.
    RunResult r = Travlek("wait 5\nshot " + nowhere + "/s.png\n", "--result '" + File("result.json") + "'");
    EXPECT_EQ(1, r.exitCode) << r.out;
    const json result = Result();
    EXPECT_EQ("error", result["outcome"]);
    EXPECT_EQ(json::array({nowhere + "/s.png"}), result["unwritten"]);
    EXPECT_NE(Journal().find("TRAVLEK_FINISHED 1 0"), std::string::npos) << Journal();
}

} // namespace

namespace {

// --hold keeps the last screen up after the run until the window closes (headless: until the script
// is done), so a person watching sees how it ended; without it the program ends with the dialog.
TEST_F(TravlekResultTest, HoldKeepsTheLastScreenUpUntilTheWindowCloses) {
    Init();
    const std::string script = "wait 5000\nshot " + File("held.png") + "\nclose\n";
    RunResult r = Travlek(script, "--shot '" + File("plain-exit.png") + "'");
    ASSERT_EQ(e2e::kUpdated, r.exitCode) << r.out;
    EXPECT_FALSE(testsupport::HostExists(File("held.png")));

    std::filesystem::remove_all(Dev());
    Init();
    r = Travlek(script, "--hold --shot '" + File("exit.png") + "'");
    ASSERT_EQ(e2e::kUpdated, r.exitCode) << r.out;
    ASSERT_TRUE(testsupport::HostExists(File("held.png")));
    EXPECT_EQ(testsupport::ReadHostFile(File("plain-exit.png")), testsupport::ReadHostFile(File("held.png")));
    EXPECT_EQ(testsupport::ReadHostFile(File("exit.png")), testsupport::ReadHostFile(File("held.png")));
}

} // namespace
