// A button and two sliders in the real host window, driven by scripted pen input on the headless
// display: commands only for releases inside, slider notifications through the window's queue.
#include "ui/UiTestSupport.h"
#include "support/HostWindowTest.h"

#include "bitmap/BitmapTestUtil.h"
#include "wceui/ui/WceUiRealWnd.h"
#include "wceui/widgets/WceUiButton.h"
#include "wceui/widgets/WceUiSlider.h"

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_events;

using testsupport::LayerName;

class CWidgetHostDlg : public CWceUiDlg {
public:
    CWidgetHostDlg() { SetClassName(WCEUI_CLASS_NAME(CWidgetHostDlg)); }
    void OnInitDialog() override { RegisterMsg(WCEUI_WM_SLIDER_NOTIFY); }
    void OnCommand(CWceUiLayer* pSender) override { g_events.push_back("command " + LayerName(pSender)); }
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (WCEUI_WM_SLIDER_NOTIFY == uMsg) {
            auto* pSlider = reinterpret_cast<CWceUiSlider*>(wParam);
            g_events.push_back("slider " + LayerName(pSlider) + " " + std::to_string(lParam) + " pos " +
                               std::to_string(pSlider->GetPos()));
        }
        return 0;
    }
    void OnKeyDown(UINT, UINT, UINT) override { EndDialog(1); }
};

class CWidgetHost : public CWceUiRealWnd {
public:
    void OnInitDialog() override {
        CWceUiDlg* pDlg = GetLayerCtrl()->CreateDlg(u"CWidgetHostDlg");
        ASSERT_NE(pDlg, nullptr);
        nResult = pDlg->DoModal();
        CWceUiLayer* pOk = pDlg->GetChildByName(u"ok");
        ASSERT_TRUE(pOk && pOk->IsKindOf(u"CWceUiButton"));
        finalState = static_cast<CWceUiButton*>(pOk)->GetDumpInfo();
        GetLayerCtrl()->DeleteLayer(pDlg);
        EndDialog(0);
    }
    int nResult = 0;
    std::u16string finalState;
};

} // namespace

WCEUI_DYNCREATE_BEGIN(CWidgetHostDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CWidgetHostDlg)

namespace {

class HostWidgetTest : public HostWindowTestBase {};

TEST_F(HostWidgetTest, PenDrivesButtonAndSlidersThroughTheHostWindow) {
    WriteText(u"\\wnd\\CWidgetHostDlg.dlg.xml",
              u"<dlg><body name=\"main\" windowrect=\"0,0,320,240\" style=\"dlg\">"
              u"<l type=\"CWceUiButton\" name=\"ok\" style=\"up\" down.style=\"down\" focus.style=\"out\"/>"
              u"<l type=\"CWceUiSlider\" name=\"s\" style=\"s\"/>"
              u"<l type=\"CWceUiSlider\" name=\"ro\" style=\"ro\" readonly=\"true\"/></body></dlg>");
    WriteText(u"\\wnd\\CWidgetHostDlg.style.xml",
              u"<dlg><style><dlg><position rect=\"0,0,320,240\"/><background color=\"0x0000FF\"/></dlg>"
              u"<up><position rect=\"20,5,60,20\"/><background color=\"0xFF0000\"/></up>"
              u"<down><position rect=\"20,5,60,20\"/><background color=\"0x00FF00\"/></down>"
              u"<out><position rect=\"20,5,60,20\"/><background color=\"0xFFFFFF\"/></out>"
              u"<s><position rect=\"0,100,200,20\"/><background color=\"transparent\"/></s>"
              u"<ro><position rect=\"0,150,200,20\"/><background color=\"transparent\"/></ro>"
              u"</style></dlg>");
    Start(
        // Press, slide off and back, release inside: one command.
        "wait 50\ndown 30 10\nmove 150 60\nmove 40 15\nup 40 15\n"
        // Press, slide off, release outside: none.
        "down 30 10\nmove 150 60\nup 150 60\n"
        // Drag the slider from the middle to beyond its right end.
        "down 100 110\nmove 101 110\nmove 150 110\nup 250 110\n"
        // The read-only slider stays silent.
        "down 100 160\nmove 150 160\nup 150 160\n"
        "key RETURN\n");
    g_events.clear();
    CWidgetHost host;
    RECT rc = {0, 0, 320, 240};
    EXPECT_EQ(host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr), 0);
    EXPECT_EQ(host.nResult, 1);
    const std::vector<std::string> expected = {"command ok", "slider s 0 pos 50", "slider s 1 pos 75",
                                               "slider s 2 pos 100"};
    EXPECT_EQ(g_events, expected);
    EXPECT_EQ(host.finalState, u" state=normal");
    EXPECT_EQ(host.GetCaptureLayer(), nullptr);
    // The button was last painted in its normal look.
    CWceUiGenericBitmap* pBmp = host.GetWndBitmap();
    ASSERT_TRUE(pBmp && pBmp->IsLoaded());
    EXPECT_EQ(bmptest::At565(*pBmp, 30, 10), 0xF800);
}

} // namespace
