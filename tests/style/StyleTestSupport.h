// Helpers of the style and loader tests: a device folder with a resource directory, skin files written
// as UTF-16LE with their byte order mark, and small BMP files.
#pragma once

#include "support/TestSupport.h"
#include "wceui/bitmap/WceUiBitmapFile.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/style/FhResLoaders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace styletest {

inline std::string Unicode(const std::u16string& text) {
    return "\xFF\xFE" + testsupport::Utf16Bytes(text);
}

// Every test gets a fresh device root with "\res\" as the resource directory, and must give back all it
// takes from the loaders.
class ResDirTest : public DeviceFolderTest {
protected:
    void SetUp() override {
        DeviceFolderTest::SetUp();
        ASSERT_TRUE(CFhGlobalData::Instance().SetResDir(u"\\res\\"));
        CFhColorResLoader::Instance().FreeColorTable();
    }
    void TearDown() override {
        EXPECT_EQ(CFhBitmapResLoader::Instance().GetCount(), 0) << "a test kept a bitmap";
        EXPECT_EQ(CFhColorResLoader::Instance().GetCount(), 0) << "a test kept a colour";
        EXPECT_EQ(CFhFontResLoader::Instance().GetCount(), 0) << "a test kept a font";
        CFhColorResLoader::Instance().FreeColorTable();
        DeviceFolderTest::TearDown();
    }

    // A UTF-16 skin file at a device path.
    void WriteText(LPCWSTR devicePath, const std::u16string& text) {
        testsupport::WriteHostFile(HostPath(devicePath), Unicode(text));
    }
    // "\res\bitmap\<name>.conf" naming "<name>.bmp", a 565 bitmap of w x h filled with one value.
    void WriteBitmap(const std::u16string& name, int w, int h, WORD value) {
        std::vector<WORD> pixels(static_cast<size_t>((w + 1) & ~1) * h, value);
        const std::u16string bmp = u"\\res\\bitmap\\" + name + u".bmp";
        testsupport::MakeHostFolders(std::filesystem::path(HostPath(bmp.c_str())).parent_path().string());
        ASSERT_TRUE(Save565BmpFile(bmp.c_str(), pixels.data(), w, h));
        const size_t slash = name.rfind(u'\\');
        const std::u16string file = slash == std::u16string::npos ? name : name.substr(slash + 1);
        WriteText((u"\\res\\bitmap\\" + name + u".conf").c_str(), u"src=" + file + u".bmp\r\n");
    }
    void WriteColorTable(const std::u16string& lines) { WriteText(u"\\res\\color\\wceui.color", lines); }

    testsupport::LogCapture m_log;
};

} // namespace styletest
