#include "support/TestSupport.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/core/FhPath.h"

#include <gtest/gtest.h>

using testsupport::LogCapture;

namespace {

std::u16string Full(LPCWSTR dir, LPCWSTR path) {
    WCHAR out[MAX_PATH];
    if (!FhMakeFullPath(dir, path, out, MAX_PATH)) {
        return u"<fail>";
    }
    return out;
}

} // namespace

TEST(FhPath, RelativePathsAreResolvedComponentByComponent) {
    EXPECT_EQ(Full(u"\\Program\\", u"800x480\\wnd"), u"\\Program\\800x480\\wnd");
    EXPECT_EQ(Full(u"\\Program", u"res/"), u"\\Program\\res/");
    EXPECT_EQ(Full(u"\\skin\\wnd\\", u"./a/../b\\.\\c.xml"), u"\\skin\\wnd\\b\\c.xml");
    EXPECT_EQ(Full(u"\\skin\\wnd\\", u"..\\..\\..\\x.xml"), u"\\x.xml"); // ".." stops at the root
    EXPECT_EQ(Full(u"C:\\a\\", u"..\\..\\b"), u"C:\\b");
    EXPECT_EQ(Full(u"\\a\\", u"b//c"), u"\\a\\b/c");
    EXPECT_EQ(Full(u"", u"a.xml"), u"a.xml");
    EXPECT_EQ(Full(nullptr, u"a\\b"), u"a\\b");
    // Absolute: a leading backslash or a drive.
    EXPECT_EQ(Full(u"\\Program\\", u"\\SDMMC\\..\\x"), u"\\SDMMC\\..\\x");
    EXPECT_EQ(Full(u"\\Program\\", u"C:x"), u"C:x");
    // A result of 260 units or more does not fit.
    EXPECT_EQ(Full(u"\\", std::u16string(258, u'a').c_str()), u"\\" + std::u16string(258, u'a'));
    EXPECT_EQ(Full(u"\\", std::u16string(259, u'a').c_str()), u"<fail>");
}

TEST(FhPath, DirectoryOfAFilePathKeepsItsSeparator) {
    WCHAR path[MAX_PATH] = u"\\skin\\wnd\\main.xml";
    EXPECT_TRUE(FhGetDirPathFromFilePath(path));
    EXPECT_EQ(std::u16string(path), u"\\skin\\wnd\\");
    WCHAR mixed[MAX_PATH] = u"a\\b/c";
    EXPECT_TRUE(FhGetDirPathFromFilePath(mixed));
    EXPECT_EQ(std::u16string(mixed), u"a\\b/");
    WCHAR bare[MAX_PATH] = u"name.xml";
    EXPECT_FALSE(FhGetDirPathFromFilePath(bare));
    EXPECT_EQ(std::u16string(bare), u"name.xml");
}

TEST(GlobalData, DirectoriesAreMadeAbsoluteAgainstTheProgramFolderAndEndInASeparator) {
    CFhGlobalData data;
    EXPECT_EQ(std::u16string(data.GetWndDir()), u"");
    EXPECT_TRUE(data.SetWndDir(u"800x480\\wnd"));
    EXPECT_EQ(std::u16string(data.GetWndDir()), u"\\Program\\800x480\\wnd\\");
    EXPECT_TRUE(data.SetResDir(u"\\Program\\travlek.pack\\800x480\\res\\"));
    EXPECT_EQ(std::u16string(data.GetResDir()), u"\\Program\\travlek.pack\\800x480\\res\\");
    EXPECT_TRUE(data.SetResDir(u"\\skin/"));
    EXPECT_EQ(std::u16string(data.GetResDir()), u"\\skin/");

    LogCapture log;
    EXPECT_FALSE(data.SetWndDir(nullptr));
    EXPECT_TRUE(log.Contains(u"CFhGlobalData::SetWndDir,check(NULL != pWndDir)fail"));
    EXPECT_FALSE(data.SetResDir((u"\\" + std::u16string(258, u'r')).c_str())); // no room for the "\"
    EXPECT_EQ(std::u16string(data.GetResDir()), u"\\skin/");

    EXPECT_EQ(data.GetPackPassword(), nullptr);
    data.SetPackPassword(u"pwd");
    EXPECT_EQ(std::u16string(data.GetPackPassword()), u"pwd");
    data.SetPackPassword(nullptr);
    EXPECT_EQ(data.GetPackPassword(), nullptr);
}

TEST(GlobalData, ScreenMetricsAreReadOnceOnTheFirstQuery) {
    PlatformSetScreen(480, 272, 32);
    CFhGlobalData data;
    EXPECT_EQ(data.GetScreenHeight(), 272);
    PlatformSetScreen(800, 480, 16);
    EXPECT_EQ(data.GetScreenWidth(), 480);
    EXPECT_EQ(data.GetScreenBitsPerPixel(), 32);

    CFhGlobalData later;
    EXPECT_EQ(later.GetScreenBitsPerPixel(), 16);
    EXPECT_EQ(later.GetScreenWidth(), 800);
    EXPECT_EQ(later.GetScreenHeight(), 480);
}

TEST(GlobalData, TheInstanceHandleIsCheckedBeforeItIsSet) {
    LogCapture log;
    EXPECT_EQ(WceUiGetInstanceHandle(), nullptr);
    EXPECT_TRUE(log.Contains(u"WceUiGetInstanceHandle,check(NULL != hInstance)fail"));
    HINSTANCE h = reinterpret_cast<HINSTANCE>(0x400000);
    CFhGlobalData::Instance().SetInstanceHandle(h);
    EXPECT_EQ(WceUiGetInstanceHandle(), h);
    CFhGlobalData::Instance().SetInstanceHandle(nullptr);
}
