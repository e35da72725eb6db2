// The real travlek's screen under the pen: browsing the storage, the buttons, the message box, and a
// golden picture of the main dialog at each screen size.
#include "TravlekRun.h"
#include "support/GoldenImage.h"

#include <filesystem>

namespace {

using e2e::DumpLayer;
using e2e::LayerDump;
using e2e::RunResult;
using List = std::vector<std::string>;

class TravlekScreenTest : public e2e::TravlekDeviceTest {
protected:
    // A device at 800x480 without the package it expects, so nothing starts by itself.
    void InitWaiting(const std::string& args = "") {
        Init(args);
        const bool bNvq = std::string::npos != args.find("nvq");
        std::filesystem::remove(Dev() + (bNvq ? "/SDMMC/nvqApp.msk" : "/SDMMC/gpsApp.msk"));
    }
};

// "Cannot find the MSK file." waits for its "ok": a tap beside the button does nothing, the button
// shows its pressed look while the pen is down, and lifting the pen on it closes the box, leaving
// the compact screen.
TEST_F(TravlekScreenTest, AMainNavigationUnitWithoutItsPackageSaysSoUntilOkIsTapped) {
    InitWaiting("--app nvq");
    const std::string before = Tree("Residentflash2");
    // 800x480: the box's "ok" is at 320..480, 294..350, its text at 260..616, 136..286.
    RunResult r = Travlek("wait 500\ndump box.txt\n"
                          "tap 400 200\nwait 500\ndump beside.txt\n"
                          "down 400 322\nwait 100\ndump pressed.txt\n"
                          "up 400 322\nwait 500\ndump after.txt\nclose\n");
    ASSERT_EQ(e2e::kNothingToDo, r.exitCode) << r.out;

    const LayerDump box = Dump("box.txt");
    ASSERT_TRUE(box.Visible("msg")) << box.Text();
    EXPECT_EQ("Cannot find the MSK file.", box.Find("msg")->text);
    EXPECT_TRUE(box.Visible("error_icon"));
    for (const char* name : {"info_icon", "question_icon", "warning_icon", "yes", "no"}) {
        EXPECT_FALSE(box.Visible(name)) << name;
    }
    ASSERT_TRUE(box.Visible("ok"));
    EXPECT_EQ("320,267,480,323", box.Find("ok")->Rect());
    EXPECT_EQ("OK", box.Find("ok")->text);
    EXPECT_FALSE(box.Visible("listbox")); // the compact layout behind it

    const LayerDump beside = Dump("beside.txt");
    EXPECT_TRUE(beside.Visible("msg")) << beside.Text();
    EXPECT_NE(std::string::npos, beside.Find("ok")->extra.find("state=normal"));
    const LayerDump pressed = Dump("pressed.txt");
    ASSERT_TRUE(pressed.Visible("ok")) << pressed.Text();
    EXPECT_EQ(std::string::npos, pressed.Find("ok")->extra.find("state=normal")) << pressed.Find("ok")->extra;

    const LayerDump after = Dump("after.txt");
    EXPECT_EQ(nullptr, after.Find("CMsgBoxDlg")) << after.Text();
    ASSERT_TRUE(after.Visible("status"));
    EXPECT_EQ("630,200,797,270", after.Find("status")->Rect());
    EXPECT_FALSE(after.Visible("listbox"));
    // No run: no broadcast, nothing launched or reset, nothing deleted.
    EXPECT_EQ("", Journal());
    EXPECT_EQ(before, Tree("Residentflash2"));
}

// Rows of the 800x480 list are 48 pixels high from y 20.
std::string TapRow(int row, const std::string& dump) {
    return "tap 200 " + std::to_string(20 + 48 * row + 24) + "\nwait 100\ndump " + dump + "\n";
}

// Browsing by tapping: roots, folders that lead to packages, files in any case of "msk", the
// up-level row back to the roots; a tapped file only selects; "back" ends the run without an update.
TEST_F(TravlekScreenTest, TapsBrowseFoldersAndTheUpLevelRowAndBackEndsTheRun) {
    InitWaiting();
    for (const char* path : {"SDMMC/pkgs/deep/a.msk", "SDMMC/b.MSK", "SDMMC/notes.txt",
                             "SDMMC/empty/inner/readme.txt", "ResidentFlash/backup.msk"}) {
        testsupport::WriteHostFile(Dev() + "/" + path, "x");
    }
    const std::string before = Tree("Residentflash2");
    RunResult r = Travlek("wait 100\ndump l0.txt\n" + TapRow(0, "l1.txt") + TapRow(1, "l2.txt") +
                          TapRow(0, "l3.txt") + TapRow(0, "l4.txt") + TapRow(1, "l5.txt") +
                          TapRow(1, "l6.txt") + "tap 680 314\nwait 100\ndump end.txt\n");
    ASSERT_EQ(e2e::kNothingToDo, r.exitCode) << r.out;

    const std::string up = "..  Up one level";
    const std::vector<List> expected = {
        {"SDMMC", "ResidentFlash"}, // the roots
        {up, "pkgs", "b.MSK"},      // SDMMC: folders first; "empty" leads to no package
        {up, "deep"},               // SDMMC\pkgs
        {up, "pkgs", "b.MSK"},      // up from SDMMC\pkgs
        {"SDMMC", "ResidentFlash"}, // up from the root SDMMC: the roots again
        {up, "backup.msk"},         // the root ResidentFlash
        {up, "backup.msk"},         // a tapped file is only selected
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("l" + std::to_string(i));
        const LayerDump dump = Dump("l" + std::to_string(i) + ".txt");
        ASSERT_TRUE(dump.Visible("listbox")) << dump.Text();
        EXPECT_EQ(expected[i], dump.Find("listbox")->items);
    }
    EXPECT_NE(std::string::npos, Dump("l6.txt").Find("listbox")->extra.find("selected=1"));
    // "Back" ended the dialog and the run.
    EXPECT_FALSE(testsupport::HostExists(File("end.txt")));
    EXPECT_EQ("", Journal());
    EXPECT_EQ(before, Tree("Residentflash2"));
    EXPECT_TRUE(testsupport::HostExists(Dev() + "/SDMMC/pkgs/deep/a.msk"));
}

// A package under another name is picked by hand: "update" does nothing until a package row is
// selected, then runs the update on it and launches the application.
TEST_F(TravlekScreenTest, UpdateRunsOnThePackagePickedByHand) {
    Init();
    std::filesystem::rename(Dev() + "/SDMMC/gpsApp.msk", Dev() + "/SDMMC/spare.msk");
    RunResult r = Travlek("wait 100\ntap 680 56\nwait 100\ndump nothing.txt\n" + TapRow(0, "sdmmc.txt") +
                          TapRow(1, "picked.txt") + "tap 680 56\nwait 1000\ndump end.txt\n");
    ASSERT_EQ(0, r.exitCode) << r.out;
    const LayerDump nothing = Dump("nothing.txt");
    ASSERT_TRUE(nothing.Visible("listbox")) << nothing.Text();
    EXPECT_EQ(List({"SDMMC"}), nothing.Find("listbox")->items);
    EXPECT_EQ(List({"..  Up one level", "spare.msk"}), Dump("sdmmc.txt").Find("listbox")->items);
    EXPECT_NE(std::string::npos, Dump("picked.txt").Find("listbox")->extra.find("selected=1"));
    EXPECT_FALSE(testsupport::HostExists(File("end.txt")));
    EXPECT_EQ("travlek: SetCursor wait\n"
              "travlek: SetCursor arrow\n"
              "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1 0\n"
              "travlek: CreateProcessW \\residentflash2\\app\\navi.exe _K~Q!R_B7M3M8_*Z\n",
              Journal());
    EXPECT_EQ(testsupport::ReadHostFile(std::string(TRAVLEK_DEMO_APP) + "/navi.exe"),
              testsupport::ReadHostFile(Dev() + "/Residentflash2/app/navi.exe"));
}

// "Calibrate" runs the platform's calibration and the dialog stays; "reboot" resets at once, without a
// question, and ends the run.
TEST_F(TravlekScreenTest, CalibrateKeepsTheDialogAndRebootResetsWithoutAQuestion) {
    InitWaiting();
    RunResult r = Travlek("wait 100\ndump start.txt\ntap 680 228\nwait 100\ndump calibrated.txt\n"
                          "tap 680 142\nwait 100\ndump end.txt\n");
    ASSERT_EQ(e2e::kNothingToDo, r.exitCode) << r.out;
    const LayerDump start = Dump("start.txt");
    ASSERT_TRUE(start.Visible("calibrate")) << start.Text();
    EXPECT_EQ("580,204,780,278", start.Find("calibrate")->Rect());
    EXPECT_EQ("580,112,780,186", start.Find("reboot")->Rect());
    const LayerDump calibrated = Dump("calibrated.txt");
    EXPECT_TRUE(calibrated.Visible("CTravlekDlg")) << calibrated.Text();
    EXPECT_EQ(nullptr, calibrated.Find("CMsgBoxDlg"));
    EXPECT_FALSE(testsupport::HostExists(File("end.txt")));
    EXPECT_EQ("travlek: TouchCalibrate\ntravlek: SetSystemPowerState 0x00800000 0x1000\n", Journal());
}

// The main dialog with the expected package found, before the update starts by itself, at each size.
TEST_F(TravlekScreenTest, TheMainDialogWithAPackageFoundLooksAsItsGoldenImage) {
    for (const char* size : {"320x240", "480x272", "800x480"}) {
        SCOPED_TRACE(size);
        std::filesystem::remove_all(Dev());
        Init(std::string("--screen ") + size);
        // The list is filled 1 ms after the start; the update would start 10 ms later.
        RunResult r = Travlek("wait 5\ndump main.txt\nshot main.png\nquit\n");
        ASSERT_EQ(e2e::kNothingToDo, r.exitCode) << r.out;
        const LayerDump dump = Dump("main.txt");
        ASSERT_TRUE(dump.Visible("listbox")) << dump.Text();
        EXPECT_EQ(List({"..  Up one level", "gpsApp.msk"}), dump.Find("listbox")->items);
        EXPECT_EQ("", Journal()); // the shot came before the update
        RgbaImage shot;
        std::string error;
        ASSERT_TRUE(ReadPng(File("main.png"), &shot, &error)) << error;
        golden::CheckGolden(GOLDEN_DIR, GOLDEN_OUT_DIR, std::string("main_") + size, shot);
        // The compact layout's notice belongs to that layout only.
        ASSERT_NE(nullptr, dump.Find("notice"));
        EXPECT_FALSE(dump.Find("notice")->visible);
    }
}

// Package names in Chinese, Japanese and Korean show their characters, taken from an installed font
// that has them, in the list of the smallest screen.
TEST_F(TravlekScreenTest, FileNamesInChineseJapaneseAndKoreanLookAsTheirGoldenImage) {
    Init("--screen 320x240");
    for (const char* name : {"地图更新.msk", "ちず.msk", "지도.msk"}) {
        testsupport::WriteHostFile(Dev() + "/SDMMC/" + name, "");
    }
    RunResult r = Travlek("wait 5\ndump list.txt\nshot list.png\nquit\n");
    ASSERT_EQ(e2e::kNothingToDo, r.exitCode) << r.out;
    const LayerDump dump = Dump("list.txt");
    EXPECT_EQ(List({"..  Up one level", "gpsApp.msk", "ちず.msk", "地图更新.msk", "지도.msk"}),
              dump.Find("listbox")->items);
    RgbaImage shot;
    std::string error;
    ASSERT_TRUE(ReadPng(File("list.png"), &shot, &error)) << error;
    golden::CheckGolden(GOLDEN_DIR, GOLDEN_OUT_DIR, "list_cjk_320x240", shot);
}

} // namespace
