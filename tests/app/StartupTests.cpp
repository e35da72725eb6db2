// Start-up decisions: the skin by screen width and the package the unit expects by its registry.
#include "AppTestSupport.h"

namespace {

TEST(TravlekSkin, OnlyTheWidthPicksTheSkin) {
    EXPECT_EQ(std::u16string(TravlekSkinDirsForWidth(480).pWndDir), u"travlek.pack\\480X272\\wnd");
    EXPECT_EQ(std::u16string(TravlekSkinDirsForWidth(800).pResDir), u"travlek.pack\\800x480\\res");
    EXPECT_EQ(std::u16string(TravlekSkinDirsForWidth(800).pLangFile),
              u"travlek.pack\\800x480\\language\\english.ini");
    for (int width : {320, 640, 481, 799, 0}) {
        EXPECT_EQ(std::u16string(TravlekSkinDirsForWidth(width).pWndDir), u"travlek.pack\\320X240\\wnd")
            << width;
    }
}

class ExpectedPackageTest : public DeviceFolderTest {
protected:
    void SetApp(DWORD dwType, const std::u16string& bytesAsUnits, DWORD dwSize) {
        HKEY hKey = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, nullptr, 0, 0, nullptr, &hKey, nullptr));
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(hKey, u"APP", 0, dwType,
                                                reinterpret_cast<const BYTE*>(bytesAsUnits.data()), dwSize));
        RegCloseKey(hKey);
    }
    void SetAppString(const std::u16string& text) {
        SetApp(REG_SZ, text, static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
    }
};

TEST_F(ExpectedPackageTest, TheMainNavigationAppInAnyCaseExpectsTheNvqPackage) {
    EXPECT_EQ(std::u16string(TravlekExpectedPackagePath()), u"\\SDMMC\\gpsApp.msk") << "no OEM key";
    SetAppString(u"\\ResidentFlash2\\APP\\NvqMain.EXE");
    EXPECT_EQ(std::u16string(TravlekExpectedPackagePath()), u"\\SDMMC\\nvqApp.msk");
    SetAppString(u"\\residentflash2\\app\\navi.exe");
    EXPECT_EQ(std::u16string(TravlekExpectedPackagePath()), u"\\SDMMC\\gpsApp.msk");
    SetAppString(u"");
    EXPECT_EQ(std::u16string(TravlekExpectedPackagePath()), u"\\SDMMC\\gpsApp.msk");
}

TEST_F(ExpectedPackageTest, AValueThatIsNotAWholeStringCountsAsNoApplication) {
    const std::u16string nvq = u"\\residentflash2\\app\\nvqmain.exe";
    WCHAR szApp[TRAVLEK_APP_PATH_LEN];
    // The right text under a type that is not a string.
    SetApp(REG_BINARY, nvq, static_cast<DWORD>((nvq.size() + 1) * 2));
    TravlekReadConfiguredApp(szApp);
    EXPECT_EQ(szApp[0], 0);
    // Without its terminator.
    SetApp(REG_SZ, nvq, static_cast<DWORD>(nvq.size() * 2));
    TravlekReadConfiguredApp(szApp);
    EXPECT_EQ(szApp[0], 0);
    // An odd byte count.
    SetApp(REG_SZ, nvq, static_cast<DWORD>((nvq.size() + 1) * 2 - 1));
    TravlekReadConfiguredApp(szApp);
    EXPECT_EQ(szApp[0], 0);
    // Longer than the 260 units the path may take.
    const std::u16string longPath(300, u'a');
    SetAppString(longPath);
    TravlekReadConfiguredApp(szApp);
    EXPECT_EQ(szApp[0], 0);
    // REG_EXPAND_SZ is a string too.
    SetApp(REG_EXPAND_SZ, nvq, static_cast<DWORD>((nvq.size() + 1) * 2));
    TravlekReadConfiguredApp(szApp);
    EXPECT_EQ(std::u16string(szApp), nvq);
    EXPECT_EQ(std::u16string(TravlekExpectedPackageFor(szApp)), u"\\SDMMC\\nvqApp.msk");
}

} // namespace
