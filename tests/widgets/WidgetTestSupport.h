// Helpers of the widget suites: a recording host that is also a platform window (so that posted
// notifications can be read back from its queue), over the headless display.
#pragma once

#include "ui/UiTestSupport.h"

#include "platform/display/Display.h"
#include "wceui/ui/RealGenericWnd.h"

#include <vector>

namespace widgettest {

class PostingHost : public uitest::FakeHost, public CRealGenericWnd {
public:
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    void Detach() { m_hWnd = nullptr; }
};

struct Posted {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class WidgetTest : public uitest::LayerTest {
protected:
    void SetUp() override {
        LayerTest::SetUp();
        PlatformDisplayOptions options;
        options.backend = "headless";
        options.width = 320;
        options.height = 240;
        std::string error;
        ASSERT_EQ(0, PlatformStartDisplay(options, &error)) << error;
        WNDCLASSW wc{};
        wc.lpfnWndProc = &DefWindowProcW;
        wc.lpszClassName = u"WidgetTestWnd";
        RegisterClassW(&wc); // a repeat for later tests fails harmlessly
        m_hWnd =
            CreateWindowExW(0, u"WidgetTestWnd", u"w", 0, 0, 0, 320, 240, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_hWnd);
        m_post.Attach(m_hWnd);
        m_ctrl->SetWindow(&m_post);
    }
    void TearDown() override {
        LayerTest::TearDown();
        m_post.Detach();
        DestroyWindow(m_hWnd);
        PlatformStopDisplay();
    }
    // Every message waiting in the window's queue, in order.
    std::vector<Posted> TakePosted() {
        std::vector<Posted> out;
        MSG msg;
        while (PeekMessageW(&msg, m_hWnd, WM_APP, 0xBFFF, PM_REMOVE)) {
            out.push_back({msg.message, msg.wParam, msg.lParam});
        }
        return out;
    }

    PostingHost m_post;
    HWND m_hWnd = nullptr;
};

} // namespace widgettest
