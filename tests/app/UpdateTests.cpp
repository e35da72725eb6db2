// Whole update runs of the main dialog in the host window: what ends up on the device, in the
// registry and in the journal, and what the progress display showed.
#include "DlgTestSupport.h"

#include "app/TravlekConfiguredApp.h"
#include "package/MskTestSupport.h"
#include "platform/Platform.h"
#include "wceui/core/FhScramble.h"
#include "wceui/widgets/WceUiListBox.h"
#include "wceui/widgets/WceUiSlider.h"

#include <algorithm>

using apptest::AppTest;
using apptest::g_messages;

namespace {

const LPCWSTR kNavApp = u"\\residentflash2\\app\\nvqmain.exe";
const LPCWSTR kGpsApp = u"\\Residentflash2\\app\\gps.exe";

std::map<std::u16string, std::string> Files(int count, LPCWSTR first) {
    std::map<std::u16string, std::string> files;
    files[first] = "the new program";
    for (int i = 1; i < count; ++i) {
        files[u"part" + Utf8ToWide(std::to_string(100 + i)) + u".dat"] = std::string(50 + i, 'm');
    }
    return files;
}

// Index of the first journal line that starts with the text, or -1.
int IndexOf(const std::vector<std::string>& journal, const std::string& start) {
    for (size_t i = 0; i < journal.size(); ++i) {
        if (0 == journal[i].rfind(start, 0)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

class UpdateTest : public AppTest {
protected:
    void ExpectOldApplicationKept() {
        EXPECT_EQ("old application", ReadDeviceFile(u"\\Residentflash2\\app\\old.exe"));
        EXPECT_EQ("old map", ReadDeviceFile(u"\\Residentflash2\\app\\data\\map.dat"));
    }
    // A failed run: broadcast with 0, then exactly one error box with the text.
    void ExpectFailureShown(const std::u16string& message) {
        ASSERT_EQ(1u, g_messages.size());
        EXPECT_EQ(WideToUtf8(message), WideToUtf8(g_messages[0].text));
        EXPECT_EQ(0x10u, g_messages[0].flags);
        const auto journal = Journal();
        const int broadcast = IndexOf(journal, "PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 0");
        const int box = IndexOf(journal, "MessageBox ");
        EXPECT_GE(broadcast, 0);
        EXPECT_LT(broadcast, box);
        EXPECT_EQ(-1, IndexOf(journal, "PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1"));
        EXPECT_EQ(-1, IndexOf(journal, "SetSystemPowerState"));
    }
};

TEST_F(UpdateTest, MainNavigationUnitUpdatesByItselfShowingOnlyTheProgress) {
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kNavApp);
    CreateRegistryKey(HKEY_CURRENT_USER, u"OEM\\ShellEx");
    WriteDeviceFile(u"\\SDMMC\\FactoryConfig.xml", "<factory/>");
    WritePackage(u"\\SDMMC\\nvqApp.msk", Files(20, u"nvqmain.exe"), u"pwd_ruv");
    bool checked = false;
    Run(u"\\SDMMC\\nvqApp.msk", "", {[&](CTravlekDlg* pDlg) {
            checked = true;
            EXPECT_FALSE(pDlg->GetChildByName(u"listbox")->IsLayerVisible());
            for (LPCWSTR name : {u"update", u"reboot", u"calibrate", u"back", u"background"}) {
                EXPECT_FALSE(pDlg->GetChildByName(name)->IsLayerVisible()) << WideToUtf8(name);
            }
            EXPECT_TRUE(pDlg->GetProgress()->IsLayerVisible());
            RECT rc;
            ASSERT_TRUE(pDlg->GetChildByName(u"status")->GetWindowRect(&rc));
            EXPECT_EQ(270, rc.left); // the place of a 320-pixel screen
            EXPECT_EQ(113, rc.top);
            EXPECT_EQ(320, rc.right);
            EXPECT_EQ(133, rc.bottom);
            ASSERT_TRUE(pDlg->GetProgress()->GetWindowRect(&rc));
            EXPECT_EQ(90, rc.top); // 190 moved up by 100
            EXPECT_EQ(100, pDlg->GetProgress()->GetPos());
            // The greyed texts are back to their styles' colours, not to black.
            EXPECT_EQ(0xE0E0E0u, pDlg->GetChildByName(u"listbox")->GetStyle()->GetTextColorValue());
            EXPECT_EQ(0x00FF00u, pDlg->GetChildByName(u"update")->GetStyle()->GetTextColorValue());
        }});
    EXPECT_TRUE(checked);

    EXPECT_FALSE(DeviceFileExists(u"\\Residentflash2\\app\\old.exe"));
    EXPECT_FALSE(DeviceFileExists(u"\\Residentflash2\\app\\data"));
    EXPECT_EQ("the new program", ReadDeviceFile(u"\\Residentflash2\\app\\nvqmain.exe"));
    EXPECT_EQ(std::string(69, 'm'), ReadDeviceFile(u"\\Residentflash2\\app\\part119.dat"));
    EXPECT_EQ("<factory/>", ReadDeviceFile(u"\\Residentflash2\\app\\config\\FactoryConfig.xml"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, u"OEM\\ShellEx"));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, u"OEM"));

    // 20 entries: every step of 5 shown, with its percentage.
    std::vector<std::pair<int, std::u16string>> steps;
    for (const auto& seen : m_progressSeen) {
        if (seen.first > 0) {
            steps.push_back(seen);
        }
    }
    ASSERT_EQ(20u, steps.size());
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(5 * (i + 1), steps[i].first);
        EXPECT_EQ(Utf8ToWide(std::to_string(5 * (i + 1)) + "%"), steps[i].second);
    }
    // Before the unpack the screen showed the check; the old application went only after the new
    // one was in place, so no delete was shown.
    EXPECT_NE(m_progressSeen.end(), std::find(m_progressSeen.begin(), m_progressSeen.end(),
                                              std::make_pair(0, std::u16string(u"Verify..."))));
    EXPECT_EQ(m_progressSeen.end(), std::find(m_progressSeen.begin(), m_progressSeen.end(),
                                              std::make_pair(0, std::u16string(u"Delete..."))));

    const auto journal = Journal();
    const int broadcast = IndexOf(journal, "PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1");
    const int calibrate = IndexOf(journal, "TouchCalibrate");
    const int box = IndexOf(journal, "MessageBox Update application OK, please remove SD card.");
    const int reset = IndexOf(journal, "SetSystemPowerState 0x00800000 0x1000");
    EXPECT_GE(broadcast, 0);
    EXPECT_LT(broadcast, calibrate);
    EXPECT_LT(calibrate, box);
    EXPECT_LT(box, reset);
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(0x40u, g_messages[0].flags);
    EXPECT_EQ(-1, IndexOf(journal, "CreateProcessW"));
}

TEST_F(UpdateTest, OtherUnitLaunchesItsApplicationAndThreeEntriesMoveTheBarOnce) {
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kGpsApp);
    WritePackage(u"\\SDMMC\\gpsApp.msk", Files(3, u"gps.exe"), u"pwd_tanzo");
    Run(u"\\SDMMC\\gpsApp.msk");

    EXPECT_EQ("the new program", ReadDeviceFile(u"\\Residentflash2\\app\\gps.exe"));
    EXPECT_FALSE(
        DeviceFileExists(u"\\Residentflash2\\app\\config\\FactoryConfig.xml")); // no source: no failure
    std::vector<int> positions;
    for (const auto& seen : m_progressSeen) {
        if (seen.first > 0) {
            positions.push_back(seen.first);
        }
    }
    EXPECT_EQ(std::vector<int>({100}), positions); // 33 and 66 are no steps of 5
    const auto journal = Journal();
    const int broadcast = IndexOf(journal, "PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1");
    const int launch = IndexOf(journal, "CreateProcessW");
    ASSERT_GE(launch, 0);
    EXPECT_LT(broadcast, launch);
    EXPECT_NE(std::string::npos, journal[launch].find("gps.exe _K~Q!R_B7M3M8_*Z")) << journal[launch];
    EXPECT_EQ(-1, IndexOf(journal, "SetSystemPowerState"));
    EXPECT_EQ(-1, IndexOf(journal, "TouchCalibrate"));
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(UpdateTest, AConfiguredApplicationOfTheLongestPathIsLaunched) {
    // 259 units, the most the path may have (260 with its terminator), in folders of ordinary names.
    std::u16string rel;
    for (int i = 0; i < 20; ++i) {
        rel += u"folder_" + Utf8ToWide(std::to_string(100 + i)) + u"\\";
    }
    rel += std::u16string(259 - 20 - rel.size() - 4, u'n') + u".exe";
    const std::u16string app = u"\\Residentflash2\\app\\" + rel;
    ASSERT_EQ(259u, app.size());
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", app.c_str());
    WritePackage(u"\\SDMMC\\gpsApp.msk", Files(2, rel.c_str()), u"pwd_tanzo");
    Run(u"\\SDMMC\\gpsApp.msk");

    EXPECT_EQ("the new program", ReadDeviceFile(app.c_str()));
    const auto journal = Journal();
    const int launch = IndexOf(journal, "CreateProcessW");
    ASSERT_GE(launch, 0);
    EXPECT_LT(IndexOf(journal, "PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 1"), launch);
    EXPECT_EQ("CreateProcessW " + WideToUtf8(app) + " _K~Q!R_B7M3M8_*Z", journal[launch]);
}

TEST_F(UpdateTest, AnUnterminatedMainNavigationValueMakesNoMainNavigationScreen) {
    // The start-up reads such a value as no application and expects gpsApp.msk; the screen must
    // agree and show the whole list, not the bare progress of a main-navigation unit.
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, NULL, 0, 0, NULL, &hKey, NULL));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(hKey, u"APP", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNavApp),
                                            static_cast<DWORD>(WStrLen(kNavApp) * sizeof(WCHAR))));
    RegCloseKey(hKey);
    bool checked = false;
    Run(TravlekExpectedPackagePath(), "", {[&](CTravlekDlg* pDlg) {
            checked = true;
            EXPECT_EQ(std::u16string(pDlg->GetConfiguredApp()), u"");
            EXPECT_FALSE(pDlg->IsMainNavigationUnit());
            EXPECT_TRUE(pDlg->GetChildByName(u"listbox")->IsLayerVisible());
        }});
    EXPECT_TRUE(checked);
    EXPECT_TRUE(g_messages.empty()); // no "Cannot find the MSK file." of a main-navigation unit
}

TEST_F(UpdateTest, MainNavigationUnitWithoutThePackageSaysSoAndTouchesNothing) {
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kNavApp);
    WritePackage(u"\\SDMMC\\other.msk", Files(2, u"nvqmain.exe"), u"pwd_ruv");
    Run(u"\\SDMMC\\nvqApp.msk");
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ("Cannot find the MSK file.", WideToUtf8(g_messages[0].text));
    EXPECT_EQ(0x10u, g_messages[0].flags);
    EXPECT_EQ(-1, IndexOf(Journal(), "PostMessageW HWND_BROADCAST")); // no run, no broadcast
    ExpectOldApplicationKept();
}

TEST_F(UpdateTest, WrongPasswordKeepsTheOldApplication) {
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kNavApp);
    WritePackage(u"\\SDMMC\\nvqApp.msk", Files(3, u"nvqmain.exe"), u"pwd_tanzo");
    Run(u"\\SDMMC\\nvqApp.msk");
    ExpectFailureShown(u"MSK file type error or file is modified. Update fail.");
    ExpectOldApplicationKept();
}

TEST_F(UpdateTest, DamagedStreamIsFoundBeforeAnythingIsDeleted) {
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kGpsApp);
    WritePackage(u"\\SDMMC\\gpsApp.msk", Files(3, u"gps.exe"), u"pwd_tanzo");
    DamageLastBytes(u"\\SDMMC\\gpsApp.msk");
    Run(u"\\SDMMC\\gpsApp.msk");
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(0x10u, g_messages[0].flags);
    EXPECT_NE(std::u16string::npos, g_messages[0].text.find(u"Update fail."))
        << WideToUtf8(g_messages[0].text);
    ExpectOldApplicationKept();
    EXPECT_FALSE(DeviceFileExists(u"\\Residentflash2\\app\\gps.exe"));
    EXPECT_EQ(-1, IndexOf(Journal(), "CreateProcessW"));
}

TEST_F(UpdateTest, UnsafePathIsRefusedBeforeAnythingIsDeleted) {
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kGpsApp);
    msktest::RawPackage raw;
    raw.key = FhPasswordToKey(u"pwd_tanzo");
    raw.entries = {msktest::File(u"gps.exe", "new"), msktest::File(u"..\\..\\escaped.txt", "out")};
    WriteDeviceFile(u"\\SDMMC\\gpsApp.msk", msktest::Build(raw));
    Run(u"\\SDMMC\\gpsApp.msk");
    ASSERT_EQ(1u, g_messages.size());
    EXPECT_EQ(0x10u, g_messages[0].flags);
    ExpectOldApplicationKept();
    EXPECT_FALSE(DeviceFileExists(u"\\escaped.txt"));
    EXPECT_FALSE(DeviceFileExists(u"\\Residentflash2\\app\\gps.exe"));
    const auto journal = Journal();
    EXPECT_LT(IndexOf(journal, "PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 0"),
              IndexOf(journal, "MessageBox "));
}

// The flash's allocation unit: every file takes whole blocks of it.
ULONGLONG FlashBlock() {
    CE_VOLUME_INFO volume = {};
    volume.cbSize = sizeof(volume);
    EXPECT_TRUE(CeGetVolumeInfoW(u"\\Residentflash2", CeVolumeInfoLevelStandard, &volume));
    return volume.dwBlockSize;
}

// What an install of 3 small files needs beyond them: its root folder and the phase record with its
// temporary copy, a block each.
const ULONGLONG kInstallBlocks = 3 + 3;

TEST_F(UpdateTest, TooLittleFlashEvenWithTheOldApplicationGoneFailsBeforeTheDelete) {
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kGpsApp);
    WritePackage(u"\\SDMMC\\gpsApp.msk", Files(3, u"gps.exe"), u"pwd_tanzo"); // 118 bytes in 3 files
    // With the old application's 2 files: one byte short of what the install needs.
    PlatformLimitFreeSpace((kInstallBlocks - 2) * FlashBlock() - 1);
    Run(u"\\SDMMC\\gpsApp.msk");
    ExpectFailureShown(u"There is not enough space on the disk. Update fail.");
    ExpectOldApplicationKept();
    EXPECT_FALSE(DeviceFileExists(u"\\Residentflash2\\app\\gps.exe"));
}

TEST_F(UpdateTest, TheSpaceOfTheOldApplicationCountsAsFree) {
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kGpsApp);
    WritePackage(u"\\SDMMC\\gpsApp.msk", Files(3, u"gps.exe"), u"pwd_tanzo");
    // With the old application's 2 files just enough, though not for both trees at once: the old
    // application is cleared first, shown as such, and the run recorded until it completes.
    PlatformLimitFreeSpace((kInstallBlocks - 2) * FlashBlock());
    Run(u"\\SDMMC\\gpsApp.msk");
    EXPECT_TRUE(g_messages.empty());
    EXPECT_EQ("the new program", ReadDeviceFile(u"\\Residentflash2\\app\\gps.exe"));
    EXPECT_FALSE(DeviceFileExists(u"\\Residentflash2\\app\\old.exe"));
    EXPECT_NE(m_progressSeen.end(), std::find(m_progressSeen.begin(), m_progressSeen.end(),
                                              std::make_pair(0, std::u16string(u"Delete..."))));
    EXPECT_FALSE(DeviceFileExists(u"\\Residentflash2\\app.phase"));
}

TEST_F(UpdateTest, AWriteFailureDuringTheUnpackShowsItsMessageOnASecondLine) {
    SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kGpsApp);
    WritePackage(u"\\SDMMC\\gpsApp.msk", Files(3, u"gps.exe"), u"pwd_tanzo");
    PlatformFailWrite(1, ERROR_ACCESS_DENIED, 1000);
    Run(u"\\SDMMC\\gpsApp.msk");
    ASSERT_EQ(1u, g_messages.size());
    const std::string text = WideToUtf8(g_messages[0].text);
    EXPECT_EQ(0u, text.rfind("Update fail. \n(", 0)) << text;
    EXPECT_EQ(')', text.back()) << text;
    EXPECT_EQ(-1, IndexOf(Journal(), "CreateProcessW"));
    // The new tree was being staged beside the old application, which stays whole; nothing of the
    // staging is left.
    ExpectOldApplicationKept();
    EXPECT_FALSE(DeviceFileExists(u"\\Residentflash2\\ap+"));
    EXPECT_FALSE(DeviceFileExists(u"\\Residentflash2\\app.phase"));
}

TEST(UpdateErrorMessage, KeysMapToTheirTextsAndAnythingElseIsQuoted) {
    EXPECT_EQ(u"Invalid MSK file. Update fail.", TravlekUpdateErrorMessage(u"invalid_msk_file"));
    EXPECT_EQ(u"MSK file format error. Update fail.", TravlekUpdateErrorMessage(u"file_format_error"));
    EXPECT_EQ(u"There is not enough space on the disk. Update fail.",
              TravlekUpdateErrorMessage(u"error_disk_full"));
    EXPECT_EQ(u"", TravlekUpdateErrorMessage(u"user_cancel"));
    // Compared exactly: a key in capitals is just a message.
    EXPECT_EQ(u"Update fail. \n(CRC_CHECK_FAIL)", TravlekUpdateErrorMessage(u"CRC_CHECK_FAIL"));
}

} // namespace
