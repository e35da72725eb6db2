// Browsing the storage in the main dialog's list by tapping rows (30 pixels high) on a unit that waits
// for the user: roots, folders that lead to packages, files of the accepted type in any case, and the
// up-level row.
#include "DlgTestSupport.h"

#include "wceui/widgets/WceUiListBox.h"

#include <algorithm>

using apptest::AppTest;

namespace {

using List = std::vector<std::u16string>;

class FileListTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", u"\\Residentflash2\\app\\gps.exe");
        WriteDeviceFile(u"\\SDMMC\\pkgs\\deep\\a.msk", "x");
        WriteDeviceFile(u"\\SDMMC\\b.MSK", "x");
        WriteDeviceFile(u"\\SDMMC\\notes.txt", "x");
        WriteDeviceFile(u"\\SDMMC\\empty\\inner\\readme.txt", "x"); // leads to no package
        WriteDeviceFile(u"\\ResidentFlash\\backup.msk", "x");
    }
};

// A tap on the row with this index, then time for the posted activation.
std::string Tap(int row) {
    const int y = row * 30 + 15;
    return "down 100 " + std::to_string(y) + "\nup 100 " + std::to_string(y) + "\nwait 100\n";
}

TEST_F(FileListTest, TapsWalkIntoFoldersAndTheUpLevelRowWalksBack) {
    int selected = -1;
    int count = 0;
    Run(u"", "wait 50\n" + Tap(0) + Tap(1) + Tap(0) + Tap(0) + Tap(1) + Tap(1), {[&](CTravlekDlg* pDlg) {
            selected = pDlg->GetFileListBox()->GetCurSel();
            count = pDlg->GetFileListBox()->GetCount();
        }});
    const std::vector<List> expected = {
        {u"SDMMC", u"ResidentFlash"}, // the roots
        {u"Up", u"pkgs", u"b.MSK"},   // SDMMC: folders first; "empty" leads to no package
        {u"Up", u"deep"},             // SDMMC\pkgs
        {u"Up", u"pkgs", u"b.MSK"},   // up from SDMMC\pkgs
        {u"SDMMC", u"ResidentFlash"}, // up from the root SDMMC: the roots again
        {u"Up", u"backup.msk"},       // the root ResidentFlash
    };
    ASSERT_EQ(expected.size(), m_listsSeen.size()) << [&] {
        std::string all;
        for (const auto& list : m_listsSeen) {
            for (const auto& s : list) {
                all += WideToUtf8(s) + "|";
            }
            all += "\n";
        }
        return all;
    }();
    for (size_t i = 0; i < expected.size(); ++i) {
        std::string got;
        for (const auto& s : m_listsSeen[i]) {
            got += WideToUtf8(s) + "|";
        }
        std::string want;
        for (const auto& s : expected[i]) {
            want += WideToUtf8(s) + "|";
        }
        EXPECT_EQ(want, got) << "step " << i;
    }
    // The last tap chose the file: it is selected and the list stays as it was.
    EXPECT_EQ(1, selected);
    EXPECT_EQ(2, count);
    EXPECT_TRUE(apptest::g_messages.empty()); // nothing starts from a tap alone
    EXPECT_TRUE(DeviceFileExists(u"\\Residentflash2\\app\\old.exe"));
}

TEST_F(FileListTest, AnotherUnitWithoutItsPackageWaitsAtTheRootsSilently) {
    Run(u"\\SDMMC\\gpsApp.msk");
    ASSERT_EQ(1u, m_listsSeen.size());
    EXPECT_EQ(List({u"SDMMC", u"ResidentFlash"}), m_listsSeen[0]);
    EXPECT_TRUE(apptest::g_messages.empty());
}

TEST_F(FileListTest, TheExpectedPackagesFolderOpensFirstAndItsUpLevelIsTheTopOfTheFileSystem) {
    // b.MSK is found ignoring case and started by itself; it is no package, so the run fails.
    Run(u"\\sdmmc\\b.msk", "wait 50\n" + Tap(0));
    ASSERT_EQ(2u, m_listsSeen.size());
    EXPECT_EQ(List({u"Up", u"pkgs", u"b.MSK"}), m_listsSeen[0]);
    EXPECT_EQ(List({u"Up", u"ResidentFlash", u"SDMMC"}), m_listsSeen[1]);
    ASSERT_EQ(1u, apptest::g_messages.size());
    EXPECT_EQ("Invalid MSK file. Update fail.", WideToUtf8(apptest::g_messages[0].text));
    EXPECT_TRUE(DeviceFileExists(u"\\Residentflash2\\app\\old.exe"));
}

} // namespace

namespace {

// Buttons of the test dialog, on the right: update, reboot, calibrate, back, 40 pixels each.
std::string Press(int button) {
    const int y = button * 40 + 20;
    return "down 280 " + std::to_string(y) + "\nup 280 " + std::to_string(y) + "\nwait 100\n";
}

int JournalIndex(const std::vector<std::string>& journal, const std::string& start) {
    for (size_t i = 0; i < journal.size(); ++i) {
        if (0 == journal[i].rfind(start, 0)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

TEST_F(FileListTest, ButtonsCalibrateAndUpdateOnlyAPickedPackageThenRebootEnds) {
    apptest::AppTest::WritePackage(u"\\ResidentFlash\\backup.msk", {{u"gps.exe", "picked by hand"}},
                                   u"pwd_tanzo");
    // "update" with nothing selected, "calibrate", then the package picked by hand and "update".
    Run(u"", "wait 50\n" + Press(0) + Press(2) + Tap(1) + Tap(1) + Press(0) + "wait 100\n");
    auto journal = Journal();
    const int calibrate = JournalIndex(journal, "TouchCalibrate");
    const int broadcast = JournalIndex(journal, "PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1");
    ASSERT_GE(calibrate, 0);
    EXPECT_LT(calibrate, broadcast); // the first "update" did nothing at all
    EXPECT_EQ(1, static_cast<int>(std::count_if(journal.begin(), journal.end(), [](const std::string& line) {
                  return 0 == line.rfind("PostMessageW HWND_BROADCAST", 0);
              })));
    EXPECT_EQ("picked by hand", ReadDeviceFile(u"\\Residentflash2\\app\\gps.exe"));
    EXPECT_GT(JournalIndex(journal, "CreateProcessW"), broadcast);
}

TEST_F(FileListTest, RebootResetsWithoutAQuestionAndEndsTheDialog) {
    // After "reboot" the dialog is gone: the later "calibrate" reaches nothing.
    Run(u"", "wait 50\n" + Press(1) + Press(2));
    const auto journal = Journal();
    EXPECT_GE(JournalIndex(journal, "SetSystemPowerState 0x00800000 0x1000"), 0);
    EXPECT_EQ(-1, JournalIndex(journal, "TouchCalibrate"));
    EXPECT_TRUE(apptest::g_messages.empty());
}

} // namespace
