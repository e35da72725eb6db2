// A device folder whose program folder holds the real skin pack, the framework pointed at one of its
// sizes, and a headless display driven by a script.
#pragma once

#include "app/TravlekApp.h"
#include "app/TravlekHostWnd.h"
#include "platform/display/Display.h"
#include "support/TestSupport.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/ui/WceUiInit.h"

#include <filesystem>
#include <string>

class AppTest : public DeviceFolderTest {
protected:
    void SetUp() override {
        DeviceFolderTest::SetUp();
        ASSERT_TRUE(TravlekRegister());
        testsupport::MakeHostFolders(Root() + "/Program");
        std::filesystem::copy_file(TRAVLEK_PACK_PATH, Root() + "/Program/travlek.pack");
    }
    void TearDown() override {
        PlatformStopDisplay();
        DeviceFolderTest::TearDown();
    }
    // Starts the display and points the framework at the skin of that width.
    void Start(const std::string& script, int width = 800, int height = 480) {
        PlatformDisplayOptions options;
        options.backend = "headless";
        options.width = width;
        options.height = height;
        options.scriptText = script;
        std::string error;
        ASSERT_EQ(0, PlatformStartDisplay(options, &error)) << error;
        const TravlekSkinDirs& dirs = TravlekSkinDirsForWidth(width);
        ASSERT_TRUE(WceUiInit(reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)), dirs.pWndDir,
                              dirs.pResDir, dirs.pLangFile, 0));
    }
    std::string File(const std::string& name) const { return Root() + "/" + name; }
};
