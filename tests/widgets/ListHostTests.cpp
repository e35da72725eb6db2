// The list box in the real host window on the headless display, driven by a pen script: a tap posts
// the activation to the window, which hands it to the dialog; a quick drag flicks on the window's timer.
#include "ListTestSupport.h"

#include "support/HostWindowTest.h"
#include "wceui/ui/WceUiRealWnd.h"

namespace {

std::vector<std::string> g_events;

class CListHostDlg : public CWceUiDlg {
public:
    CListHostDlg() { SetClassName(WCEUI_CLASS_NAME(CListHostDlg)); }
    void OnInitDialog() override {
        m_pList = dynamic_cast<CWceUiListBox*>(GetChildByName(u"list"));
        ASSERT_NE(nullptr, m_pList);
        for (int i = 0; i < 100; ++i) {
            m_pList->AddString(u"row", FALSE);
        }
        RegisterMsg(WCEUI_LB_MSG_ITEM_ACTIVATE);
    }
    LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        if (WCEUI_LB_MSG_ITEM_ACTIVATE == uMsg && 1 == wParam &&
            reinterpret_cast<LPARAM>(m_pList) == lParam) {
            g_events.push_back("activate " + std::to_string(m_pList->GetCurSel()) + " at " +
                               std::to_string(m_pList->GetScrollPos()));
        }
        return 0;
    }
    void OnKeyDown(UINT, UINT, UINT) override {
        g_events.push_back("end at " + std::to_string(m_pList->GetScrollPos()));
        EndDialog(1);
    }
    CWceUiListBox* m_pList = nullptr;
};

class CListHost : public CWceUiRealWnd {
public:
    void OnInitDialog() override {
        CWceUiDlg* pDlg = GetLayerCtrl()->CreateDlg(u"CListHostDlg");
        ASSERT_NE(pDlg, nullptr);
        pDlg->DoModal();
        GetLayerCtrl()->DeleteLayer(pDlg);
        EndDialog(0);
    }
};

} // namespace

WCEUI_DYNCREATE_BEGIN(CListHostDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CListHostDlg)

namespace {

class ListHostTest : public HostWindowTestBase {
protected:
    void SetUp() override {
        HostWindowTestBase::SetUp();
        WriteText(
            u"\\wnd\\CListHostDlg.dlg.xml",
            u"<dlg><body name=\"main\" windowrect=\"0,0,320,240\" style=\"dlg\">"
            u"<l type=\"CWceUiListBox\" name=\"list\" style=\"list\" extra_scroll=\"40\"/></body></dlg>");
        WriteText(
            u"\\wnd\\CListHostDlg.style.xml",
            u"<dlg><style><dlg><position rect=\"0,0,320,240\"/><background color=\"0x0000FF\"/></dlg>"
            u"<list><position rect=\"0,0,320,200\"/><background color=\"0x202020\"/></list></style></dlg>");
    }
    void Run(const std::string& script) {
        ASSERT_NO_FATAL_FAILURE(Start(script));
        g_events.clear();
        CListHost host;
        RECT rc = {0, 0, 320, 240};
        EXPECT_EQ(host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr), 0);
    }
};

TEST_F(ListHostTest, ATapWithinNineteenPixelsActivatesTheRow) {
    Run("wait 20\ndown 100 79\nmove 100 60\nup 100 60\nwait 50\nkey RETURN\n");
    EXPECT_EQ(g_events, (std::vector<std::string>{"activate 3 at 0", "end at 0"}));
}

TEST_F(ListHostTest, AQuickDragFlicksOnTheWindowTimerAndActivatesNothing) {
    // Dragged 50 pixels up and lifted at once: twice the base of twice the height, 800 pixels on.
    Run("wait 20\ndown 100 150\nmove 100 100\nup 100 100\nwait 300\nkey RETURN\n");
    EXPECT_EQ(g_events, (std::vector<std::string>{"end at 850"}));
}

TEST_F(ListHostTest, PulledPastTheTopItSpringsBack) {
    Run("wait 20\ndown 100 20\nmove 100 150\nwait 500\nup 100 150\nwait 300\nkey RETURN\n");
    EXPECT_EQ(g_events, (std::vector<std::string>{"end at 0"}));
}

} // namespace
