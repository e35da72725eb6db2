// The real travlek's file list under the pen: the check mark follows the package picked last, however
// the earlier one was picked.
#include "TravlekRun.h"

#include <filesystem>

namespace {

using e2e::LayerDump;
using e2e::RunResult;
using List = std::vector<std::string>;

using TravlekListTest = e2e::TravlekDeviceTest;

// Rows of the 800x480 list are 48 pixels high from y 20.
std::string TapRow(int row, const std::string& dump) {
    return "tap 200 " + std::to_string(20 + 48 * row + 24) + "\nwait 100\ndump " + dump + "\n";
}

// Picking a.msk and then b.msk by hand leaves the mark on b alone, the row the update would take.
TEST_F(TravlekListTest, TheCheckMarkMovesToEachPackagePickedByHand) {
    Init();
    std::filesystem::remove(Dev() + "/SDMMC/gpsApp.msk");
    testsupport::WriteHostFile(Dev() + "/SDMMC/a.msk", "x");
    testsupport::WriteHostFile(Dev() + "/SDMMC/b.msk", "x");
    RunResult r =
        Travlek("wait 100\n" + TapRow(0, "sdmmc.txt") + TapRow(1, "a.txt") + TapRow(2, "b.txt") + "quit\n");
    ASSERT_EQ(e2e::kNothingToDo, r.exitCode) << r.out;

    const LayerDump sdmmc = Dump("sdmmc.txt");
    ASSERT_TRUE(sdmmc.Visible("listbox")) << sdmmc.Text();
    EXPECT_EQ(List({"..  Up one level", "a.msk", "b.msk"}), sdmmc.Find("listbox")->items);
    EXPECT_EQ(List(), sdmmc.Find("listbox")->checked);
    const LayerDump a = Dump("a.txt");
    ASSERT_TRUE(a.Visible("listbox")) << a.Text();
    EXPECT_EQ(List({"a.msk"}), a.Find("listbox")->checked) << a.Text();
    const LayerDump b = Dump("b.txt");
    ASSERT_TRUE(b.Visible("listbox")) << b.Text();
    EXPECT_EQ(List({"b.msk"}), b.Find("listbox")->checked) << b.Text();
    EXPECT_NE(std::string::npos, b.Find("listbox")->extra.find("selected=2"));
    EXPECT_EQ("", Journal()); // nothing was updated
}

// The automatic start marks the package it expects; when that package fails, a package picked by hand
// afterwards takes the mark from it.
TEST_F(TravlekListTest, APackagePickedAfterAFailedAutomaticStartTakesTheMark) {
    Init();
    testsupport::WriteHostFile(Dev() + "/SDMMC/gpsApp.msk", "not a package");
    testsupport::WriteHostFile(Dev() + "/SDMMC/b.msk", "x");
    // 800x480: the message box's "ok" is at 320..480, 294..350.
    RunResult r = Travlek("wait 1000\ndump box.txt\ntap 400 322\nwait 500\ndump failed.txt\n" +
                          TapRow(1, "b.txt") + "quit\n");
    ASSERT_EQ(e2e::kUpdateFailed, r.exitCode) << r.out;

    const LayerDump box = Dump("box.txt");
    ASSERT_TRUE(box.Visible("ok")) << box.Text();
    const LayerDump failed = Dump("failed.txt");
    ASSERT_TRUE(failed.Visible("listbox")) << failed.Text();
    EXPECT_EQ(List({"..  Up one level", "b.msk", "gpsApp.msk"}), failed.Find("listbox")->items);
    EXPECT_EQ(List({"gpsApp.msk"}), failed.Find("listbox")->checked) << failed.Text();
    const LayerDump b = Dump("b.txt");
    ASSERT_TRUE(b.Visible("listbox")) << b.Text();
    EXPECT_EQ(List({"b.msk"}), b.Find("listbox")->checked) << b.Text();
}

} // namespace
