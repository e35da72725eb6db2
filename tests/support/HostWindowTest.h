// Tests of the real host window on the headless display: a 320 x 240 screen played by an event script,
// a device folder with "\res\" and "\wnd\" as the resource and window directories, and layer names as
// plain strings for the records the tests compare.
#pragma once

#include "platform/display/Display.h"
#include "style/StyleTestSupport.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/ui/WceUiLayer.h"

#include <cstdint>
#include <string>

namespace testsupport {

// The instance handle the tests give the framework: the usual image base of a program.
inline HINSTANCE TestInstance() {
    return reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000));
}

// Starts the headless display of 320 x 240 that plays the script; a failure fails the test.
inline void StartHeadlessDisplay(const std::string& script) {
    PlatformDisplayOptions options;
    options.backend = "headless";
    options.width = 320;
    options.height = 240;
    options.scriptText = script;
    std::string error;
    ASSERT_EQ(0, PlatformStartDisplay(options, &error)) << error;
}

// A layer's name; the tests name their layers in ASCII.
inline std::string LayerName(CWceUiLayer* p) {
    std::string s;
    for (LPCWSTR c = p->GetName(); *c; ++c) {
        s.push_back(static_cast<char>(*c));
    }
    return s;
}

} // namespace testsupport

// Dialogs come from "\wnd\"; the display started by Start is stopped after each test.
class HostWindowTestBase : public styletest::ResDirTest {
protected:
    void SetUp() override {
        ResDirTest::SetUp();
        ASSERT_TRUE(CFhGlobalData::Instance().SetWndDir(u"\\wnd\\"));
        CFhGlobalData::Instance().SetInstanceHandle(testsupport::TestInstance());
    }
    void TearDown() override {
        PlatformStopDisplay();
        ResDirTest::TearDown();
    }
    void Start(const std::string& script) { testsupport::StartHeadlessDisplay(script); }
};
