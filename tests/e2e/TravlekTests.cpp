// The real travlek, headless, on device folders made by travlek-device: every screen size starts and
// shows the main dialog, the platform's close message ends the run, and a second start brings the
// first to the front.
#include "TravlekRun.h"
#include "tools/imaging/PngFile.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

using e2e::Noise;
using e2e::RunProgram;
using e2e::RunResult;

template <typename F> bool WaitFor(F condition, int milliseconds) {
    for (int i = 0; i < milliseconds / 10; i++) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// Width and height of a PNG file from its header; 0, 0 when it is none.
std::pair<int, int> PngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) {
        return {0, 0};
    }
    auto be = [&](size_t at) {
        return (static_cast<unsigned char>(bytes[at]) << 24) |
               (static_cast<unsigned char>(bytes[at + 1]) << 16) |
               (static_cast<unsigned char>(bytes[at + 2]) << 8) | static_cast<unsigned char>(bytes[at + 3]);
    };
    return {static_cast<int>(be(16)), static_cast<int>(be(20))};
}

using TravlekTest = e2e::TravlekDeviceTest;

// Unpacks the device's skin pack, lets change alter the unpacked folder, and packs it again in place.
void RepackSkin(const std::string& dev, const std::function<void(const std::string& skin)>& change) {
    const std::string pack = dev + "/Program/travlek.pack";
    const std::string skin = dev + "/../skin";
    std::filesystem::remove_all(skin);
    RunResult r = RunProgram(PACKTOOL_PATH, "extract '" + pack + "' '" + skin + "'");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    change(skin);
    r = RunProgram(PACKTOOL_PATH, "create '" + pack + "' '" + skin + "'");
    ASSERT_EQ(r.exitCode, 0) << r.out;
}

TEST_F(TravlekTest, EveryScreenSizeAndDepthStartsWithTheMainDialogFillingTheScreen) {
    const struct {
        const char* screen;
        const char* bpp;
        int w, h;
    } cases[] = {{"800x480", "16", 800, 480},
                 {"480x272", "16", 480, 272},
                 {"320x240", "16", 320, 240},
                 {"800x480", "32", 800, 480}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.screen) + "x" + c.bpp);
        std::filesystem::remove_all(Dev());
        Init(std::string("--screen ") + c.screen);
        // The screen comes from device.ini; the dump is taken before the update starts by itself.
        RunResult r = Travlek("wait 2\ndump " + File("d.txt") + "\nshot " + File("s.png") + "\nquit\n",
                              std::string("--bpp ") + c.bpp);
        ASSERT_EQ(r.exitCode, e2e::kNothingToDo) << r.out;
        const std::string dump = testsupport::ReadHostFile(File("d.txt"));
        const std::string rect = " 0,0," + std::to_string(c.w) + "," + std::to_string(c.h) + " visible";
        EXPECT_NE(dump.find("CTravlekDlg \"CTravlekDlg\"" + rect), std::string::npos) << dump;
        EXPECT_EQ(PngSize(testsupport::ReadHostFile(File("s.png"))), std::make_pair(c.w, c.h));
    }
}

TEST_F(TravlekTest, TheSkinLooksTheSameOnA16And32BitScreen) {
    Init();
    // No package: the main dialog stays as it is.
    std::filesystem::remove(Dev() + "/SDMMC/gpsApp.msk");
    RgbaImage shots[2];
    const char* kBpp[2] = {"16", "32"};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(kBpp[i]);
        const std::string shot = File(std::string("main") + kBpp[i] + ".png");
        RunResult r = Travlek("wait 100\nshot " + shot + "\nquit\n", std::string("--bpp ") + kBpp[i]);
        ASSERT_EQ(r.exitCode, e2e::kNothingToDo) << r.out;
        std::string error;
        ASSERT_TRUE(ReadPng(shot, &shots[i], &error)) << error;
        ASSERT_EQ(shots[i].width, 800);
        ASSERT_EQ(shots[i].height, 480);
        // Inside the "Update" button, away from its text: the button's light face, not the dark
        // background beside it.
        const uint8_t* face = shots[i].At(600, 40);
        const uint8_t* back = shots[i].At(300, 40);
        EXPECT_GT(face[0] + face[1] + face[2], 3 * 180);
        EXPECT_LT(back[0] + back[1] + back[2], 3 * 80);
    }
    // The same picture up to 565's quantisation (a unit apart where blends round differently).
    int nFar = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 800; ++x) {
            for (int c = 0; c < 3; ++c) {
                const int nShift = 1 == c ? 2 : 3;
                nFar += std::abs((shots[0].At(x, y)[c] >> nShift) - (shots[1].At(x, y)[c] >> nShift)) > 1;
            }
        }
    }
    EXPECT_LE(nFar, 400);
}

TEST_F(TravlekTest, ThePlatformCloseMessageEndsTheMainDialogAndTheProcess) {
    Init();
    // Without a package nothing starts by itself; the dialog waits for the user.
    std::filesystem::remove(Dev() + "/SDMMC/gpsApp.msk");
    RunResult r = Travlek("wait 100\ndump " + File("before.txt") + "\nclose\nwait 60000\ndump " +
                          File("after.txt") + "\n");
    EXPECT_EQ(r.exitCode, e2e::kNothingToDo) << r.out;
    EXPECT_NE(testsupport::ReadHostFile(File("before.txt")).find("CTravlekDlg"), std::string::npos);
    // The run ended at the close, long before the script's last command.
    EXPECT_FALSE(testsupport::HostExists(File("after.txt")));
    EXPECT_EQ(Journal().find("TRAVLEK_FINISHED"), std::string::npos) << Journal();
    EXPECT_TRUE(testsupport::HostExists(Dev() + "/Residentflash2/app"));
}

TEST_F(TravlekTest, ASecondStartBringsTheRunningUpdaterToTheFrontAndDoesNothingElse) {
    Init();
    std::filesystem::remove(Dev() + "/SDMMC/gpsApp.msk");
    testsupport::WriteHostFile(File("long.txt"), "wait 60000\nquit\n");
    const std::string dev = Dev();
    const std::string script = File("long.txt");
    const char* argv[] = {TRAVLEK_PATH, "--backend", "headless",     "--realtime", "--device",
                          dev.c_str(),  "--script",  script.c_str(), nullptr};
    pid_t first = 0;
    ASSERT_EQ(0, posix_spawn(&first, TRAVLEK_PATH, nullptr, nullptr, const_cast<char**>(argv), environ));
    const std::string list = dev + "/.wince/windows/" + std::to_string(first) + ".list";
    ASSERT_TRUE(WaitFor(
        [&] { return testsupport::ReadHostFile(list).find("TRAVLEK_KPZ") != std::string::npos; }, 10000));

    RunResult second = RunProgram(TRAVLEK_PATH, "--backend headless --device '" + dev + "'");
    EXPECT_EQ(second.exitCode, e2e::kNothingToDo) << second.out;
    EXPECT_NE(second.out.find("already running"), std::string::npos) << second.out;
    const std::string journal = Journal();
    EXPECT_NE(journal.find("travlek: ShowWindow TRAVLEK_KPZ 5\n"), std::string::npos) << journal;
    EXPECT_NE(journal.find("travlek: SetForegroundWindow TRAVLEK_KPZ\n"), std::string::npos) << journal;

    kill(first, SIGTERM);
    waitpid(first, nullptr, 0);
}

TEST_F(TravlekTest, AFailedRunShowsItsMessageBoxUntilOkIsTappedAndA640WideScreenTakesTheSmallSkin) {
    Init();
    const std::string package = Dev() + "/SDMMC/gpsApp.msk";
    const std::string head = testsupport::ReadHostFile(package).substr(0, 3000);
    testsupport::WriteHostFile(package, head);
    // 800x480: the box's "ok" is at 320..480, 267..323.
    RunResult r = Travlek("wait 500\ndump " + File("box.txt") + "\ntap 400 320\nwait 500\ndump " +
                          File("after.txt") + "\nclose\n");
    ASSERT_EQ(r.exitCode, e2e::kUpdateFailed) << r.out;
    const std::string box = testsupport::ReadHostFile(File("box.txt"));
    EXPECT_NE(box.find("CWceUiLayer \"msg\""), std::string::npos) << box;
    EXPECT_NE(box.find(" \"MSK file format error. Update fail.\""), std::string::npos) << box;
    EXPECT_NE(box.find("\"error_icon\" 124,161,180,217 visible"), std::string::npos) << box;
    const std::string after = testsupport::ReadHostFile(File("after.txt"));
    EXPECT_NE(after.find("CTravlekDlg"), std::string::npos) << after;
    EXPECT_EQ(after.find("CMsgBoxDlg"), std::string::npos) << after;
    EXPECT_NE(Journal().find("TRAVLEK_FINISHED 0 0"), std::string::npos) << Journal();
    EXPECT_TRUE(testsupport::HostExists(Dev() + "/Residentflash2/app/navi.exe"));

    // Only the width picks the skin: 640 pixels wide is not one of the two big skins.
    r = Travlek("wait 500\ndump " + File("small.txt") + "\nclose\n", "--screen 640x480");
    ASSERT_EQ(r.exitCode, e2e::kUpdateFailed) << r.out;
    const std::string small = testsupport::ReadHostFile(File("small.txt"));
    EXPECT_NE(small.find("CTravlekDlg \"CTravlekDlg\" 0,0,320,240"), std::string::npos) << small;
    EXPECT_NE(small.find("CWceUiLayer \"panel\" 10,67,310,173"), std::string::npos) << small;
}

// Without a usable skin, or without its runtime folder, the run ends at once with the reason on the
// console, before anything on the device is touched.
TEST_F(TravlekTest, WithoutItsSkinOrRuntimeFolderTheRunEndsAtOnceWithAReasonAndTouchesNothing) {
    const char* const kNoDialog = "main dialog could not be made";
    const std::string pack = "/Program/travlek.pack";
    const struct {
        const char* what;
        std::function<void(const std::string& dev)> breakIt;
        const char* out;
        const char* logged; // null: no log to look at
    } cases[] = {
        {"no pack", [&](const std::string& dev) { std::filesystem::remove(dev + pack); }, kNoDialog,
         "Create CTravlekDlg failed"},
        {"an empty pack", [&](const std::string& dev) { testsupport::WriteHostFile(dev + pack, ""); },
         kNoDialog, "Create CTravlekDlg failed"},
        {"random bytes",
         [&](const std::string& dev) { testsupport::WriteHostFile(dev + pack, Noise(60000, 3)); }, kNoDialog,
         "Create CTravlekDlg failed"},
        {"a cut pack",
         [&](const std::string& dev) {
             std::filesystem::resize_file(dev + pack, std::filesystem::file_size(dev + pack) / 2);
         },
         kNoDialog, "lies beyond the end of the file"},
        {"a folder",
         [&](const std::string& dev) {
             std::filesystem::remove(dev + pack);
             testsupport::MakeHostFolders(dev + pack + "/800x480/wnd");
         },
         kNoDialog, "is not a valid packed file"},
        {"a garbled main dialog",
         [&](const std::string& dev) {
             RepackSkin(dev, [](const std::string& skin) {
                 testsupport::WriteHostFile(skin + "/800x480/wnd/ctravlekdlg.dlg.xml", Noise(3000, 4));
             });
         },
         kNoDialog, "can not load dlg file \\Program\\travlek.pack\\800x480\\wnd\\CTravlekDlg.dlg.xml"},
        {"a pipe",
         [&](const std::string& dev) {
             std::filesystem::remove(dev + pack);
             ASSERT_EQ(0, mkfifo((dev + pack).c_str(), 0600));
         },
         kNoDialog, "Create CTravlekDlg failed"},
        {"the runtime folder is a file",
         [&](const std::string& dev) { testsupport::WriteHostFile(dev + "/.wince", "x"); },
         "single-instance mutex could not be made", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Dev());
        std::filesystem::remove(File("d.txt"));
        Init();
        c.breakIt(Dev());
        RunResult r = Travlek("wait 100\ndump " + File("d.txt") + "\n");
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
        EXPECT_FALSE(testsupport::HostExists(File("d.txt")));
        if (nullptr != c.logged) {
            EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();
            EXPECT_EQ(Journal(), "");
        }
        EXPECT_EQ(testsupport::ReadHostFile(Dev() + "/Residentflash2/app/navi.exe"), "old application\n");
        EXPECT_TRUE(testsupport::HostExists(Dev() + "/SDMMC/gpsApp.msk"));
    }
}

// A language file that is missing, empty, cut short or no text at all costs the buttons their
// captions, which the log explains, and nothing else: the update still runs.
TEST_F(TravlekTest, WithoutItsLanguageFileTheUpdaterStillUpdatesAndTheLogSaysWhy) {
    const std::string lang = "/800x480/language/english.ini";
    const struct {
        const char* what;
        std::function<void(const std::string& skin)> breakIt;
        const char* logged;
    } cases[] = {
        {"missing", [&](const std::string& skin) { std::filesystem::remove(skin + lang); },
         "Can not find the item 800x480\\language\\english.ini"},
        {"empty", [&](const std::string& skin) { testsupport::WriteHostFile(skin + lang, ""); },
         "english.ini is not a valid UNICODE file, the length is 0"},
        {"random bytes",
         [&](const std::string& skin) { testsupport::WriteHostFile(skin + lang, Noise(3000, 8)); },
         "english.ini is not a valid UNICODE format file"},
        {"random bytes behind the byte-order mark",
         [&](const std::string& skin) {
             testsupport::WriteHostFile(skin + lang, "\xFF\xFE" + Noise(3001, 9));
         },
         "LoadString btn_update failed"},
        {"cut inside its first text",
         [&](const std::string& skin) { std::filesystem::resize_file(skin + lang, 80); },
         "Parse \\Program\\travlek.pack\\800x480\\language\\english.ini fail"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Dev());
        Init();
        RepackSkin(Dev(), c.breakIt);
        const std::string card = Dev() + "/SDMMC/gpsApp.msk";
        const std::string package = testsupport::ReadHostFile(card);
        // First without the package, to see the main dialog as the user would.
        std::filesystem::remove(card);
        RunResult r = Travlek("wait 100\ndump " + File("d.txt") + "\nquit\n");
        ASSERT_EQ(r.exitCode, e2e::kNothingToDo) << r.out;
        const e2e::LayerDump d(testsupport::ReadHostFile(File("d.txt")));
        ASSERT_NE(d.Find("update"), nullptr) << d.Text();
        EXPECT_TRUE(d.Visible("update"));
        EXPECT_NE(Log().find(c.logged), std::string::npos) << Log();

        testsupport::WriteHostFile(card, package);
        r = Travlek("wait 1000\nquit\n");
        ASSERT_EQ(r.exitCode, 0) << r.out;
        EXPECT_NE(Journal().find("TRAVLEK_FINISHED 1 0"), std::string::npos) << Journal();
        EXPECT_TRUE(testsupport::HostExists(Dev() + "/Residentflash2/app/config/FactoryConfig.xml"));
    }
}

// A skin whose message box cannot be made still tells the user: the status line shows what the box
// would have said, after a failure and after a success alike, and the log says why.
TEST_F(TravlekTest, WithoutItsMessageBoxTheStatusLineShowsTheMessage) {
    const struct {
        const char* what;
        const char* init;
        std::function<void(const std::string& skin)> breakSkin;
        std::string package; // empty: the one travlek-device made
        const char* shown;
        const char* journalEnd;
    } cases[] = {
        {"a damaged package, no message box files", "",
         [](const std::string& skin) {
             std::filesystem::remove(skin + "/800x480/wnd/cmsgboxdlg.dlg.xml");
             std::filesystem::remove(skin + "/800x480/wnd/cmsgboxdlg.style.xml");
         },
         "not a package", "Invalid MSK file. Update fail.", "TRAVLEK_FINISHED 0 0\n"},
        {"a main-navigation update, a garbled message box", "--app nvq",
         [](const std::string& skin) {
             testsupport::WriteHostFile(skin + "/800x480/wnd/cmsgboxdlg.dlg.xml", Noise(2000, 6));
         },
         "", "Update application OK, please remove SD card.",
         "TRAVLEK_FINISHED 1 0\ntravlek: TouchCalibrate\ntravlek: SetSystemPowerState 0x00800000 0x1000\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Dev());
        Init(c.init);
        RepackSkin(Dev(), c.breakSkin);
        if (!c.package.empty()) {
            testsupport::WriteHostFile(Dev() + "/SDMMC/gpsApp.msk", c.package);
        }
        // The status line as the message left it: a repaint at once makes the screen show it.
        RunResult r = Travlek("wait 1000\ndump " + File("d.txt") + "\nclose\n");
        const bool updated = 0 == std::string(c.journalEnd).rfind("TRAVLEK_FINISHED 1", 0);
        ASSERT_EQ(r.exitCode, updated ? e2e::kUpdated : e2e::kUpdateFailed) << r.out;
        const std::string journal = Journal();
        EXPECT_EQ(journal.substr(journal.size() - std::min(journal.size(), strlen(c.journalEnd))),
                  c.journalEnd)
            << journal;
        EXPECT_NE(
            Log().find(std::string("CTravlekDlg::ShowMessage, no message box, the status line shows: ") +
                       c.shown),
            std::string::npos)
            << Log();
        if (!c.package.empty()) {
            const e2e::LayerDump d(testsupport::ReadHostFile(File("d.txt")));
            ASSERT_NE(d.Find("status"), nullptr) << d.Text();
            EXPECT_TRUE(d.Visible("status"));
            EXPECT_EQ(d.Find("status")->text, c.shown);
            EXPECT_EQ(testsupport::ReadHostFile(Dev() + "/Residentflash2/app/navi.exe"), "old application\n");
        }
    }
}

// A registry file with garbage in it loses at most the configured application, which makes the unit
// one that expects "gpsApp.msk": the update runs, no program is started, and the file is left as it
// was, garbage and all.
TEST_F(TravlekTest, ARegistryWithGarbageCostsAtMostTheConfiguredApplication) {
    const std::string head = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\OEM]\n";
    std::string hugeHex = head + "\"APP\"=hex(1):";
    for (int i = 0; i < 200000; ++i) {
        hugeHex += "41,00,\\\n  ";
    }
    hugeHex += "00,00\n";
    enum Kind { kFile, kFolder, kPipe };
    const struct {
        const char* what;
        std::string text;
        Kind kind = kFile;
    } cases[] = {
        {"random bytes", Noise(5000, 11)},
        {"cut inside the value", head + "\"APP\"=\"\\\\residentflash2\\\\ap"},
        {"a string of 2 MB", head + "\"APP\"=\"" + std::string(2 << 20, 'x') + "\"\n"},
        {"a byte list of 2 MB over 200,000 lines", hugeHex},
        {"an executable", testsupport::ReadHostFile(TRAVLEK_DEVICE_PATH)},
        {"values without a key, broken keys and escapes",
         "\"APP\"=\"\\\\residentflash2\\\\app\\\\navi.exe\"\n[HKEY_LOCAL_MACHINE\\\\OEM]\n[HKEY_NOWHERE\\OEM]"
         "\n"
         "\"APP\"=\"\\\\residentflash2\\\\app\\\\navi.exe\"\n[HKEY_LOCAL_MACHINE\\OEM\n\"APP\"=dword:xyz\n"
         "\"APP\"=hex(zz):00\n\"APP\"=hex:1,2,3,\\\n"},
        {"a folder", "", kFolder},
        // device.ini too: the screen size is then the default one.
        {"a pipe, and one for device.ini", "", kPipe},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Dev());
        Init();
        const std::string registry = Dev() + "/registry.reg";
        std::filesystem::remove(registry);
        if (kFolder == c.kind) {
            testsupport::MakeHostFolders(registry);
        } else if (kPipe == c.kind) {
            ASSERT_EQ(0, mkfifo(registry.c_str(), 0600));
            std::filesystem::remove(Dev() + "/device.ini");
            ASSERT_EQ(0, mkfifo((Dev() + "/device.ini").c_str(), 0600));
        } else {
            testsupport::WriteHostFile(registry, c.text);
        }
        RunResult r = Travlek("wait 1000\nquit\n");
        ASSERT_EQ(r.exitCode, 0) << r.out;
        if (kPipe == c.kind) {
            EXPECT_NE(r.out.find("device.ini has no valid screen=WxH line; using 800x480"), std::string::npos)
                << r.out;
        }
        EXPECT_EQ(Journal(), "travlek: SetCursor wait\n"
                             "travlek: SetCursor arrow\n"
                             "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1 0\n");
        EXPECT_TRUE(testsupport::HostExists(Dev() + "/Residentflash2/app/config/FactoryConfig.xml"));
        if (kFolder == c.kind) {
            EXPECT_TRUE(std::filesystem::is_directory(registry));
        } else if (kPipe == c.kind) {
            EXPECT_TRUE(std::filesystem::is_fifo(registry));
        } else {
            EXPECT_TRUE(testsupport::ReadHostFile(registry) == c.text) << "the registry file was rewritten";
        }
    }
}

// Without the card's folder, or with a file in its place, there is no package: a main-navigation
// unit says so, another unit waits for the user; nothing is deleted either way.
TEST_F(TravlekTest, WithoutTheCardOnlyAMainNavigationUnitSaysItCannotFindThePackage) {
    for (const char* app : {"nvq", "gps"}) {
        for (const bool cardIsAFile : {false, true}) {
            SCOPED_TRACE(std::string(app) + (cardIsAFile ? ", the card a file" : ", no card"));
            std::filesystem::remove_all(Dev());
            Init(std::string("--app ") + app);
            std::filesystem::remove_all(Dev() + "/SDMMC");
            if (cardIsAFile) {
                testsupport::WriteHostFile(Dev() + "/SDMMC", "not a folder");
            }
            const std::string before = Tree("Residentflash2");
            RunResult r = Travlek("wait 1000\ndump " + File("d.txt") + "\nclose\n");
            ASSERT_EQ(r.exitCode, e2e::kNothingToDo) << r.out;
            const e2e::LayerDump d(testsupport::ReadHostFile(File("d.txt")));
            ASSERT_NE(d.Find("CTravlekDlg"), nullptr) << d.Text();
            if (std::string("nvq") == app) {
                ASSERT_TRUE(d.Visible("msg")) << d.Text();
                EXPECT_EQ(d.Find("msg")->text, "Cannot find the MSK file.");
            } else {
                EXPECT_EQ(d.Find("CMsgBoxDlg"), nullptr) << d.Text();
            }
            EXPECT_EQ(Journal(), "");
            EXPECT_EQ(Tree("Residentflash2"), before);
        }
    }
}

} // namespace
