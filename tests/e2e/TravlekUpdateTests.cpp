// Whole update runs of the real travlek on device folders: what lands in the resident flash and the
// registry, the journal's record of the hand-back (launch, or calibration, message and reset), the log
// of the progress, and the refusals that must leave the old application in place.
#include "TravlekRun.h"
#include "package/MskTestSupport.h"
#include "tools/imaging/PngFile.h"
#include "wceui/core/FhScramble.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <regex>
#include <sstream>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

using e2e::DumpLayer;
using e2e::LayerDump;
using e2e::Noise;
using e2e::RunResult;

// Where the skin puts things, per screen size: the message box's "ok" and the compact layout's
// status line and progress bar.
struct Screen {
    const char* size;
    const char* bpp;
    const char* ok;
    const char* compactStatus;
    const char* compactProgress;
};
const Screen kScreens[] = {
    {"320x240", "16", "120,133,200,163", "270,113,320,133", "5,113,265,133"},
    {"480x272", "32", "190,151,290,185", "390,135,480,155", "10,135,380,155"},
    {"800x480", "16", "320,267,480,323", "630,200,797,270", "20,200,610,270"},
};

void PrintTo(const Screen& screen, std::ostream* os) {
    *os << screen.size << "x" << screen.bpp;
}

// The centre of a rectangle written "l,t,r,b", as "X Y".
std::string CentreOf(const std::string& rect) {
    int l = 0, t = 0, r = 0, b = 0;
    sscanf(rect.c_str(), "%d,%d,%d,%d", &l, &t, &r, &b);
    return std::to_string((l + r) / 2) + " " + std::to_string((t + b) / 2);
}

std::vector<std::string> ProgressLines(const std::string& log) {
    std::vector<std::string> lines;
    static const std::regex progress(R"(info: CTravlekDlg::OnProgress, (.*))");
    std::istringstream in(log);
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_search(line, m, progress)) {
            lines.push_back(m[1]);
        }
    }
    return lines;
}

class TravlekUpdateTest : public e2e::TravlekDeviceTest {
protected:
    // The old application travlek-device leaves in the flash.
    std::string OldApplication(const std::string& program) const {
        return "app/config/settings.ini 19\napp/" + program + " 16\napp/version.txt 29\n";
    }
    // A run that refused the package before unpacking anything: the journal holds only the wait cursor
    // and the broadcast that nothing was updated, the log names the reason, and no progress was logged.
    void ExpectRefusedBeforeTheUnpack(const std::string& reason) const {
        EXPECT_EQ("travlek: SetCursor wait\n"
                  "travlek: SetCursor arrow\n"
                  "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 0 0\n",
                  Journal());
        EXPECT_NE(std::string::npos,
                  Log().find("error: CTravlekDlg::DoUpdate, \\SDMMC\\gpsApp.msk: " + reason))
            << Log();
        EXPECT_TRUE(ProgressLines(Log()).empty());
    }
};

class MainNavigationUpdate : public TravlekUpdateTest, public ::testing::WithParamInterface<Screen> {};

// The unit updates without a touch, showing only the progress and the status line; after the unpack it
// calibrates, confirms and resets, and the factory configuration and the registry are as the new
// application wants them. 20 entries move the bar in every step of 5.
TEST_P(MainNavigationUpdate, RunsByItselfShowingOnlyTheProgressThenCalibratesConfirmsAndResets) {
    const Screen& screen = GetParam();
    Init(std::string("--app nvq --screen ") + screen.size + " --package '" +
         PackageFolder("nvqmain.exe", 20) + "'");
    AppendToRegistry("\n[HKEY_CURRENT_USER\\OEM]\n\"Keep\"=\"yes\"\n\n[HKEY_CURRENT_USER\\OEM\\ShellEx]\n"
                     "\"Handler\"=\"old.dll\"\n");
    ASSERT_EQ(OldApplication("nvqmain.exe"), Tree("Residentflash2"));

    RunResult r =
        Travlek("wait 1000\ndump box.txt\ntap " + CentreOf(screen.ok) + "\nwait 1000\ndump after.txt\n",
                std::string("--bpp ") + screen.bpp + " --shot " + File("end.png"));
    ASSERT_EQ(0, r.exitCode) << r.out;

    // Behind the success message: the compact layout at the end of the unpack.
    const LayerDump box = Dump("box.txt");
    for (const char* name : {"listbox", "update", "reboot", "calibrate", "back", "background"}) {
        ASSERT_NE(nullptr, box.Find(name)) << name;
        EXPECT_FALSE(box.Find(name)->visible) << name;
    }
    ASSERT_TRUE(box.Visible("status")) << box.Text();
    ASSERT_TRUE(box.Visible("notice")); // the skin's "do not switch off"
    EXPECT_EQ("Do not switch the unit off during the update.", box.Find("notice")->text);
    EXPECT_EQ(screen.compactStatus, box.Find("status")->Rect());
    EXPECT_EQ("100%", box.Find("status")->text);
    ASSERT_TRUE(box.Visible("progress"));
    EXPECT_EQ(screen.compactProgress, box.Find("progress")->Rect());
    EXPECT_NE(std::string::npos, box.Find("progress")->extra.find("pos=100")) << box.Find("progress")->extra;
    ASSERT_TRUE(box.Visible("msg"));
    EXPECT_EQ("Update application OK, please remove SD card.", box.Find("msg")->text);
    EXPECT_TRUE(box.Visible("info_icon"));
    EXPECT_FALSE(box.Visible("error_icon"));
    ASSERT_TRUE(box.Visible("ok"));
    EXPECT_EQ(screen.ok, box.Find("ok")->Rect());

    // On the screen once the box has gone: white status text on the dark field, and no button faces
    // where the buttons were.
    RgbaImage shot;
    std::string error;
    ASSERT_TRUE(ReadPng(File("end.png"), &shot, &error)) << error;
    const DumpLayer* status = box.Find("status");
    int nWhite = 0;
    for (int y = status->top; y < status->bottom; ++y) {
        for (int x = status->left; x < status->right; ++x) {
            const uint8_t* p = shot.At(x, y);
            nWhite += p[0] > 200 && p[1] > 200 && p[2] > 200;
        }
    }
    EXPECT_GT(nWhite, 10);
    const DumpLayer* update = box.Find("update");
    const uint8_t* where = shot.At(update->left + 4, update->top + 4);
    EXPECT_LT(where[0] + where[1] + where[2], 3 * 80);

    // The tap on "ok" let the reset through, which ended the run before the last dump.
    EXPECT_FALSE(testsupport::HostExists(File("after.txt")));
    EXPECT_EQ("travlek: SetCursor wait\n"
              "travlek: SetCursor arrow\n"
              "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1 0\n"
              "travlek: TouchCalibrate\n"
              "travlek: SetSystemPowerState 0x00800000 0x1000\n",
              Journal());

    // The old application is gone, the new one is there with the factory configuration.
    std::string expected = "app/config/FactoryConfig.xml " +
                           std::to_string(std::filesystem::file_size(Dev() + "/SDMMC/FactoryConfig.xml")) +
                           "\n";
    expected += "app/nvqmain.exe 16\n";
    for (int i = 1; i < 20; ++i) {
        expected += "app/part" + std::to_string(100 + i) + ".dat " + std::to_string(100 + i) + "\n";
    }
    EXPECT_EQ(expected, Tree("Residentflash2"));
    EXPECT_EQ(testsupport::ReadHostFile(Dev() + "/SDMMC/FactoryConfig.xml"),
              testsupport::ReadHostFile(Dev() + "/Residentflash2/app/config/FactoryConfig.xml"));
    const std::string registry = testsupport::ReadHostFile(Dev() + "/registry.reg");
    EXPECT_EQ(std::string::npos, registry.find("ShellEx")) << registry;
    EXPECT_NE(std::string::npos, registry.find("[HKEY_CURRENT_USER\\OEM]\n\"Keep\"=\"yes\"")) << registry;
    EXPECT_NE(std::string::npos, registry.find("\"APP\"=\"\\\\residentflash2\\\\app\\\\nvqmain.exe\""))
        << registry;

    const std::vector<std::string> progress = ProgressLines(Log());
    ASSERT_EQ(20u, progress.size()) << Log();
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(std::to_string(5 * (i + 1)) + "% (entry " + std::to_string(i + 1) + " of 20)", progress[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryScreen, MainNavigationUpdate, ::testing::ValuesIn(kScreens),
                         [](const ::testing::TestParamInfo<Screen>& i) {
                             return std::string("s") +
                                    std::regex_replace(i.param.size, std::regex("x"), "_") + "_" +
                                    i.param.bpp;
                         });

// Another unit starts its own application with the launch argument and is not reset; 3 entries move
// the bar once, to 100 (33 and 66 are no steps of 5).
TEST_F(TravlekUpdateTest, AnotherUnitLaunchesItsApplicationWithTheArgumentAndIsNotReset) {
    Init("--package '" + PackageFolder("navi.exe", 3) + "'");
    RunResult r = Travlek("wait 1000\ndump after.txt\n");
    ASSERT_EQ(0, r.exitCode) << r.out;
    // The dialog ended after the launch, without a message.
    EXPECT_FALSE(testsupport::HostExists(File("after.txt")));
    EXPECT_EQ("travlek: SetCursor wait\n"
              "travlek: SetCursor arrow\n"
              "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1 0\n"
              "travlek: CreateProcessW \\residentflash2\\app\\navi.exe _K~Q!R_B7M3M8_*Z\n",
              Journal());
    EXPECT_EQ("app/config/FactoryConfig.xml " +
                  std::to_string(std::filesystem::file_size(Dev() + "/SDMMC/FactoryConfig.xml")) +
                  "\napp/navi.exe 13\napp/part101.dat 101\napp/part102.dat 102\n",
              Tree("Residentflash2"));
    EXPECT_EQ(std::vector<std::string>({"100% (entry 3 of 3)"}), ProgressLines(Log())) << Log();
}

// Packages the unit must refuse: each shows its message in the error box, deletes nothing, broadcasts
// 0 and leaves the dialog usable once "ok" is tapped.
TEST_F(TravlekUpdateTest, RefusedPackagesShowTheirMessageAndDeleteNothing) {
    const std::string content(5000, 'n');
    std::string damaged = msktest::Compress(content + "tail of the new program");
    damaged[damaged.size() / 2] ^= 0x55;
    const struct {
        const char* what;
        std::vector<msktest::RawEntry> entries;
        const char16_t* password;
        const char* message;
        const char* logged;
    } cases[] = {
        {"a package for the other kind of unit",
         {msktest::File(u"navi.exe", "new")},
         u"pwd_ruv",
         "MSK file type error or file is modified. Update fail.",
         "crc_check_fail"},
        {"a damaged stream",
         {msktest::File(u"readme.txt", "fine"), msktest::File(u"navi.exe", content)},
         u"pwd_tanzo",
         "Update fail. \n(uncompress failed)",
         "uncompress failed"},
        {"a path out of the root",
         {msktest::File(u"navi.exe", "new"), msktest::File(u"..\\..\\escaped.txt", "out")},
         u"pwd_tanzo",
         "MSK file format error. Update fail.",
         "file_format_error"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Dev());
        Init();
        msktest::RawPackage raw;
        raw.key = FhPasswordToKey(c.password);
        raw.entries = c.entries;
        if (std::string("a damaged stream") == c.what) {
            raw.entries[1].stream = damaged;
        }
        testsupport::WriteHostFile(Dev() + "/SDMMC/gpsApp.msk", msktest::Build(raw));
        const std::string before = Tree("Residentflash2");

        RunResult r = Travlek("wait 1000\ndump box.txt\ntap " + CentreOf(kScreens[2].ok) +
                              "\nwait 1000\ndump after.txt\nclose\n");
        ASSERT_EQ(e2e::kUpdateFailed, r.exitCode) << r.out;
        const LayerDump box = Dump("box.txt");
        ASSERT_TRUE(box.Visible("msg")) << box.Text();
        EXPECT_EQ(c.message, box.Find("msg")->text);
        EXPECT_TRUE(box.Visible("error_icon"));
        EXPECT_EQ(kScreens[2].ok, box.Find("ok")->Rect());

        const LayerDump after = Dump("after.txt");
        EXPECT_EQ(nullptr, after.Find("CMsgBoxDlg")) << after.Text();
        ASSERT_NE(nullptr, after.Find("CTravlekDlg"));
        EXPECT_TRUE(after.Find("CTravlekDlg")->enabled);
        EXPECT_TRUE(after.Visible("update"));
        EXPECT_EQ("", after.Find("status")->text);

        EXPECT_EQ(before, Tree("Residentflash2"));
        EXPECT_EQ("old application\n", testsupport::ReadHostFile(Dev() + "/Residentflash2/app/navi.exe"));
        EXPECT_FALSE(testsupport::HostExists(Dev() + "/escaped.txt"));
        EXPECT_FALSE(testsupport::HostExists(File("escaped.txt")));
        ExpectRefusedBeforeTheUnpack(c.logged);
    }
}

// A real flash: a small tmpfs over the resident flash (256 KB in 4 KB blocks) that holds the old
// application. A package too big for it, in bytes or in the blocks of many small files, is refused
// before the delete; one that fits is unpacked.
TEST_F(TravlekUpdateTest, AFlashTooSmallForThePackageKeepsTheOldApplication) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    const struct {
        const char* what;
        int files;
        size_t size;
        bool fits;
    } cases[] = {
        {"one file of 600 KB", 1, 600 * 1024, false},
        {"80 files of 2,000 bytes", 80, 2000, false}, // 160 KB of bytes, 320 KB of blocks
        {"20 files of 2,000 bytes", 20, 2000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Dev());
        const std::string package = File(std::string("package ") + c.what);
        testsupport::WriteHostFile(package + "/navi.exe", "new navi.exe\n");
        for (int i = 0; i < c.files; ++i) {
            testsupport::WriteHostFile(package + "/maps/m" + std::to_string(i) + ".dat",
                                       Noise(c.size, i + 1));
        }
        Init("--package '" + package + "'");
        const std::string flash = Dev() + "/Residentflash2";
        const std::string kept = File("kept");
        std::filesystem::remove_all(kept);
        std::filesystem::rename(flash, kept);
        std::filesystem::create_directory(flash);
        if (mount("tmpfs", flash.c_str(), "tmpfs", 0, "size=256k") != 0) {
            GTEST_SKIP() << "cannot mount a tmpfs here";
        }
        struct Unmount {
            std::string path;
            ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
        } unmount{flash};
        std::filesystem::copy(kept, flash, std::filesystem::copy_options::recursive);
        const std::string before = Tree("Residentflash2");
        ASSERT_EQ(OldApplication("navi.exe"), before);

        RunResult r =
            Travlek("wait 1000\ndump box.txt\ntap " + CentreOf(kScreens[2].ok) + "\nwait 1000\nclose\n");
        ASSERT_EQ(c.fits ? e2e::kUpdated : e2e::kUpdateFailed, r.exitCode) << r.out;
        if (c.fits) {
            EXPECT_FALSE(testsupport::HostExists(File("box.txt")));
            EXPECT_EQ("new navi.exe\n", testsupport::ReadHostFile(flash + "/app/navi.exe"));
            EXPECT_EQ(
                Noise(c.size, c.files),
                testsupport::ReadHostFile(flash + "/app/maps/m" + std::to_string(c.files - 1) + ".dat"));
            EXPECT_NE(std::string::npos, Journal().find("TRAVLEK_FINISHED 1 0")) << Journal();
            continue;
        }
        const LayerDump box = Dump("box.txt");
        ASSERT_TRUE(box.Visible("msg")) << box.Text();
        EXPECT_EQ("There is not enough space on the disk. Update fail.", box.Find("msg")->text);
        EXPECT_EQ(before, Tree("Residentflash2"));
        EXPECT_NE(std::string::npos, Journal().find("TRAVLEK_FINISHED 0 0")) << Journal();
        EXPECT_NE(std::string::npos,
                  Log().find("error: CTravlekDlg::DoUpdate, \\SDMMC\\gpsApp.msk: error_disk_full"))
            << Log();
        EXPECT_TRUE(ProgressLines(Log()).empty()) << Log(); // refused before the unpack began
        std::filesystem::remove(File("box.txt"));
    }
}

// Packages that are cut short, garbled, claim more than they hold or would not refill the application
// folder: each ends in the message of its error key, with nothing deleted and no entry unpacked.
TEST_F(TravlekUpdateTest, BrokenPackagesEndInTheirMessageAndKeepTheOldApplication) {
    const std::string content = Noise(3000, 7);
    msktest::RawPackage raw;
    raw.key = FhPasswordToKey(u"pwd_tanzo");
    raw.entries = {msktest::Folder(u"maps"), msktest::File(u"navi.exe", "new navi.exe\n"),
                   msktest::File(u"maps\\m.dat", content)};
    const std::string whole = msktest::Build(raw);
    const size_t tableEnd = static_cast<unsigned char>(whole[32]) | static_cast<unsigned char>(whole[33])
                                                                        << 8;
    ASSERT_LT(tableEnd + 100, whole.size());
    msktest::RawPackage fourGigabytes = raw;
    fourGigabytes.entries[2].unpackedSize = 0xFFFFFFF0u;
    msktest::RawPackage beyondTheEnd = raw;
    beyondTheEnd.entries[2].dataOffset = 0x7FFFFFF0u;
    msktest::RawPackage hugeTable = raw;
    hugeTable.tableEnd = 0xFFFFFFF0u;
    // Well-formed, but the delete would clear the application folder and nothing would refill it.
    msktest::RawPackage otherRoot = raw;
    otherRoot.root = u"other";
    msktest::RawPackage onlyFolders = raw;
    onlyFolders.entries = {msktest::Folder(u"maps"), msktest::Folder(u"lang")};
    msktest::RawPackage noEntries = raw;
    noEntries.entries.clear();

    const char* const kInvalid = "Invalid MSK file. Update fail.";
    const char* const kFormat = "MSK file format error. Update fail.";
    const struct {
        const char* what;
        std::string bytes;
        const char* message;
        const char* logged;
        bool pipe = false; // a host pipe in the package's place, which has no writer
    } cases[] = {
        {"an empty file", "", kInvalid, "invalid_msk_file"},
        {"a pipe", "", "Update fail. \n(open file \\SDMMC\\gpsApp.msk failed, error code is 5)",
         "open file \\SDMMC\\gpsApp.msk failed", true},
        {"random bytes", Noise(whole.size(), 99), kInvalid, "invalid_msk_file"},
        {"cut inside the header", whole.substr(0, 20), kFormat, "file_format_error"},
        {"cut inside the table", whole.substr(0, tableEnd - 10), kFormat, "file_format_error"},
        {"cut inside the first stream", whole.substr(0, tableEnd + 5), kFormat, "file_format_error"},
        {"cut inside the last stream", whole.substr(0, whole.size() - 50), kFormat, "file_format_error"},
        {"the header and random bytes", whole.substr(0, 44) + Noise(whole.size() - 44, 5),
         "MSK file type error or file is modified. Update fail.", "crc_check_fail"},
        {"a stream claiming 4 GB", msktest::Build(fourGigabytes), kFormat, "file_format_error"},
        {"a stream beyond the end of the file", msktest::Build(beyondTheEnd), kFormat, "file_format_error"},
        {"a table end beyond the end of the file", msktest::Build(hugeTable), kFormat, "file_format_error"},
        {"another root folder", msktest::Build(otherRoot), kInvalid, "invalid_msk_file"},
        {"only folders", msktest::Build(onlyFolders), kInvalid, "invalid_msk_file"},
        {"no entries", msktest::Build(noEntries), kInvalid, "invalid_msk_file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Dev());
        Init();
        const std::string package = Dev() + "/SDMMC/gpsApp.msk";
        if (c.pipe) {
            std::filesystem::remove(package);
            ASSERT_EQ(0, mkfifo(package.c_str(), 0600));
        } else {
            testsupport::WriteHostFile(package, c.bytes);
        }
        RunResult r =
            Travlek("wait 1000\ndump box.txt\ntap " + CentreOf(kScreens[2].ok) + "\nwait 500\nclose\n");
        ASSERT_EQ(e2e::kUpdateFailed, r.exitCode) << r.out;
        const LayerDump box = Dump("box.txt");
        ASSERT_TRUE(box.Visible("msg")) << box.Text();
        EXPECT_EQ(c.message, box.Find("msg")->text);
        EXPECT_TRUE(box.Visible("error_icon"));
        EXPECT_EQ(OldApplication("navi.exe"), Tree("Residentflash2"));
        ExpectRefusedBeforeTheUnpack(c.logged);
    }
}

// A package file longer than 32 bits can count (a sparse tail past 4 GB that no entry uses) is still
// read as the package it starts with: its size is not cut to 32 bits anywhere on the way.
TEST_F(TravlekUpdateTest, APackageFilePast4GBIsReadWhole) {
    Init("--package '" + PackageFolder("navi.exe", 3) + "'");
    std::filesystem::resize_file(Dev() + "/SDMMC/gpsApp.msk", (1ull << 32) + 10);
    RunResult r = Travlek("wait 1000\nquit\n");
    ASSERT_EQ(0, r.exitCode) << r.out;
    EXPECT_NE(std::string::npos, Journal().find("TRAVLEK_FINISHED 1 0")) << Journal() << Log();
    EXPECT_EQ("new navi.exe\n", testsupport::ReadHostFile(Dev() + "/Residentflash2/app/navi.exe"));
}

// A folder with the expected package's name is no package: the automatic start passes it by, so a
// main-navigation unit says it cannot find its package and another unit waits for the user; nothing
// is deleted either way.
TEST_F(TravlekUpdateTest, AFolderNamedLikeThePackageIsNotTakenForIt) {
    const struct {
        const char* app;
        const char* package;
        const char* message; // null: no message box
    } cases[] = {
        {"nvq", "nvqApp.msk", "Cannot find the MSK file."},
        {"gps", "gpsApp.msk", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.app);
        std::filesystem::remove_all(Dev());
        Init(std::string("--app ") + c.app);
        const std::string package = Dev() + "/SDMMC/" + c.package;
        // Even a folder that holds the real package.
        const std::string bytes = testsupport::ReadHostFile(package);
        std::filesystem::remove(package);
        testsupport::WriteHostFile(package + "/inner.msk", bytes);
        const std::string before = Tree("Residentflash2");
        RunResult r = Travlek("wait 1000\ndump d.txt\nclose\n");
        ASSERT_EQ(e2e::kNothingToDo, r.exitCode) << r.out;
        const LayerDump d = Dump("d.txt");
        ASSERT_NE(nullptr, d.Find("CTravlekDlg")) << d.Text();
        if (nullptr != c.message) {
            ASSERT_TRUE(d.Visible("msg")) << d.Text();
            EXPECT_EQ(c.message, d.Find("msg")->text);
        } else {
            EXPECT_EQ(nullptr, d.Find("CMsgBoxDlg")) << d.Text();
            // The card's folder is open, the package folder listed as a folder.
            const DumpLayer* list = d.Find("listbox");
            ASSERT_NE(nullptr, list);
            EXPECT_NE(std::string::npos, list->extra.find("selected=-1")) << list->extra;
        }
        EXPECT_EQ(before, Tree("Residentflash2"));
        EXPECT_EQ("", Journal());
    }
}

// In real time, the journal is read while the message box is on the screen: the end of the run has
// been broadcast by then, with 0 after a failure and with 1 (and the calibration) after a success,
// and the reset waits for the box.
TEST_F(TravlekUpdateTest, TheEndOfTheRunIsBroadcastBeforeAnyMessageBoxShows) {
    const struct {
        const char* what;
        const char* init;
        bool damage;
        const char* journalWhileBoxShows;
    } cases[] = {
        {"failure", "", true,
         "travlek: SetCursor wait\ntravlek: SetCursor arrow\n"
         "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 0 0\n"},
        {"success", "--app nvq", false,
         "travlek: SetCursor wait\ntravlek: SetCursor arrow\n"
         "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1 0\ntravlek: TouchCalibrate\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Dev());
        Init(c.init);
        if (c.damage) {
            testsupport::WriteHostFile(Dev() + "/SDMMC/gpsApp.msk", "not a package");
        }
        // A dump every 50 ms for 10 s, and no tap: once a dump shows the box, the box stays.
        const std::string dumps = File(std::string("dumps-") + c.what);
        auto dumpPath = [&](int i) { return dumps + "/d" + std::to_string(i) + ".txt"; };
        testsupport::MakeHostFolders(dumps);
        std::string script;
        for (int i = 0; i < 200; ++i) {
            script += "wait 50\ndump " + dumpPath(i) + "\n";
        }
        script += "wait 60000\nquit\n";
        testsupport::WriteHostFile(File("rt.txt"), script);
        const std::string dev = Dev();
        const std::string scriptPath = File("rt.txt");
        const char* argv[] = {TRAVLEK_PATH, "--backend", "headless",         "--realtime", "--device",
                              dev.c_str(),  "--script",  scriptPath.c_str(), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(0, posix_spawn(&pid, TRAVLEK_PATH, nullptr, nullptr, const_cast<char**>(argv), environ));
        static const std::regex boxShows(R"(\n  CMsgBoxDlg "CMsgBoxDlg" [-0-9,]+ visible )");
        std::string journal;
        std::string dump;
        int i = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (journal.empty() && i < 200 && std::chrono::steady_clock::now() < deadline) {
            dump = testsupport::ReadHostFile(dumpPath(i));
            if (std::regex_search(dump, boxShows)) {
                journal = Journal();
            } else if (testsupport::HostExists(dumpPath(i + 1))) {
                ++i;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        ASSERT_FALSE(journal.empty()) << "no dump showed the message box; the last: " << dump;
        EXPECT_EQ(c.journalWhileBoxShows, journal);
    }
}

} // namespace
