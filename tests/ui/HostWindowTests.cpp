// The host window on the headless display: pen input to the hit or capturing layer, keys to the topmost
// dialog, timers and registered messages to their layers, painting through the window bitmap, and the
// animation calls' refusals.
#include "UiTestSupport.h"
#include "support/HostWindowTest.h"

#include "bitmap/BitmapTestUtil.h"
#include "platform/Platform.h"
#include "wceui/ui/WceUiRealWnd.h"

namespace {

std::vector<std::string> g_calls;

using testsupport::LayerName;

class CPenLayer : public CWceUiLayer {
public:
    CPenLayer() { SetClassName(WCEUI_CLASS_NAME(CPenLayer)); }
    void OnLButtonDown(UINT, POINT pt) override {
        g_calls.push_back(LayerName(this) + " down " + std::to_string(pt.x) + "," + std::to_string(pt.y));
        SetLayerCapture();
    }
    void OnMouseMove(UINT, POINT pt) override {
        g_calls.push_back(LayerName(this) + " move " + std::to_string(pt.x) + "," + std::to_string(pt.y));
    }
    void OnLButtonUp(UINT, POINT pt) override {
        g_calls.push_back(LayerName(this) + " up " + std::to_string(pt.x) + "," + std::to_string(pt.y));
        ReleaseLayerCapture();
    }
    void OnTimer(WORD wTimerNum) override {
        g_calls.push_back(LayerName(this) + " timer " + std::to_string(wTimerNum));
        KillLayerTimer(wTimerNum);
    }
    LRESULT OnMessage(UINT, WPARAM wParam, LPARAM) override {
        g_calls.push_back(LayerName(this) + " message " + std::to_string(wParam));
        return LayerName(this) == "left" ? 1 : 2;
    }
};

class CHostTestDlg : public CWceUiDlg {
public:
    CHostTestDlg() { SetClassName(WCEUI_CLASS_NAME(CHostTestDlg)); }
    void OnInitDialog() override {
        CWceUiLayer* pLeft = GetChildByName(u"left");
        CWceUiLayer* pRight = GetChildByName(u"right");
        pLeft->SetLayerTimer(3, 50);
        const UINT uMsg = RegisterWindowMessageW(u"HOST_TEST_MESSAGE");
        pLeft->RegisterMsg(uMsg);
        pRight->RegisterMsg(uMsg);
        HWND hWnd = static_cast<CWceUiRealWnd*>(GetWindow())->GetSafeHwnd();
        m_lMessageResult = SendMessageW(hWnd, uMsg, 7, 0);
    }
    void OnKeyDown(UINT nChar, UINT, UINT) override {
        g_calls.push_back("dialog key " + std::to_string(nChar));
        EndDialog(5);
    }
    void OnBlankLButtonDown(UINT, POINT pt) override {
        g_calls.push_back("blank " + std::to_string(pt.x) + "," + std::to_string(pt.y));
    }
    LRESULT m_lMessageResult = 0;
};

class CTestHost : public CWceUiRealWnd {
public:
    void OnInitDialog() override {
        CWceUiLayerCtrl* pCtrl = GetLayerCtrl();
        // The animation calls refuse what is not ready.
        testsupport::LogCapture log;
        CWceUiWndAnimate* none[1] = {nullptr};
        EXPECT_FALSE(Play(none, 1, FALSE));
        EXPECT_TRUE(
            log.Contains(u"CWceUiRealWnd::Play failed, please make sure the previous Apply return TRUE"));
        std::unique_ptr<CWceUiGenericBitmap> pSmall(WceUiCreateBitmapObject(16));
        pSmall->CreateDIB(10, 10);
        EXPECT_FALSE(PaintWnd(pSmall.get()));
        EXPECT_TRUE(log.Contains(
            u"CWceUiRealWnd::PaintWnd failed, the size of pWndBmp is not match the window size"));

        CWceUiDlg* pDlg = pCtrl->CreateDlg(u"CHostTestDlg");
        ASSERT_NE(pDlg, nullptr);
        nResult = pDlg->DoModal();
        lMessageResult = static_cast<CHostTestDlg*>(pDlg)->m_lMessageResult;
        pCtrl->DeleteLayer(pDlg);
        EndDialog(0);
    }
    int nResult = 0;
    LRESULT lMessageResult = 0;
};

// Opens the box over itself from a timer, as an application opens a message box.
class CAnimMainDlg : public CWceUiDlg {
public:
    CAnimMainDlg() { SetClassName(WCEUI_CLASS_NAME(CAnimMainDlg)); }
    void OnInitDialog() override { SetLayerTimer(1, 10); }
    void OnTimer(WORD) override {
        KillLayerTimer(1);
        g_calls.push_back("box opens");
        CWceUiDlg* pBox = GetLayerCtrl()->CreateDlg(u"CAnimBoxDlg");
        ASSERT_NE(pBox, nullptr);
        g_calls.push_back("box result " + std::to_string(pBox->DoModal()));
        GetLayerCtrl()->DeleteLayer(pBox);
        EndDialog(0);
    }
};

class CAnimBoxDlg : public CWceUiDlg {
public:
    CAnimBoxDlg() { SetClassName(WCEUI_CLASS_NAME(CAnimBoxDlg)); }
    void OnKeyDown(UINT, UINT, UINT) override { EndDialog(1); }
};

class CAnimHost : public CWceUiRealWnd {
public:
    void OnInitDialog() override {
        CWceUiDlg* pDlg = GetLayerCtrl()->CreateDlg(u"CAnimMainDlg");
        ASSERT_NE(pDlg, nullptr);
        pDlg->DoModal();
        GetLayerCtrl()->DeleteLayer(pDlg);
        EndDialog(0);
    }
    void OnAfterPaint(CWceUiGenericBitmap*) override { ++nPaints; }
    int nPaints = 0;
};

// Renders each frame in 20 ms of the clock and asks for frames of 30 ms.
class CSlowRenderAni : public CWceUiWndAnimate {
public:
    BOOL Play(CWceUiGenericBitmap*, CWceUiGenericBitmap*, CWceUiGenericBitmap*, int,
              int* lpPlayTime) override {
        PlatformAdvanceClock(20);
        *lpPlayTime = 30;
        return TRUE;
    }
};

// Plays four frames of CSlowRenderAni at once, each painting in 5 ms, and times the run.
class CPacedHost : public CWceUiRealWnd {
public:
    void OnInitDialog() override {
        CSlowRenderAni ani;
        ani.SetFrameCount(4);
        CWceUiWndAnimate* anims[1] = {&ani};
        EXPECT_TRUE(Apply(nullptr));
        const DWORD dwStart = GetTickCount();
        EXPECT_TRUE(Play(anims, 1, FALSE));
        dwElapsed = GetTickCount() - dwStart;
        EndDialog(0);
    }
    void OnAfterPaint(CWceUiGenericBitmap*) override {
        PlatformAdvanceClock(5);
        ++nPaints;
    }
    DWORD dwElapsed = 0;
    int nPaints = 0;
};

} // namespace

WCEUI_DYNCREATE_BEGIN(CPenLayer, CWceUiLayer)
WCEUI_DYNCREATE_END(CPenLayer)
WCEUI_DYNCREATE_BEGIN(CHostTestDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CHostTestDlg)
WCEUI_DYNCREATE_BEGIN(CAnimMainDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CAnimMainDlg)
WCEUI_DYNCREATE_BEGIN(CAnimBoxDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CAnimBoxDlg)

class HostWindowTest : public HostWindowTestBase {};

TEST_F(HostWindowTest, PenKeysTimersAndMessagesReachTheirLayers) {
    WriteText(u"\\wnd\\CHostTestDlg.dlg.xml",
              u"<dlg><body name=\"main\" windowrect=\"0,0,320,240\" style=\"dlg\">"
              u"<l type=\"CPenLayer\" name=\"left\" style=\"left\"/>"
              u"<l type=\"CPenLayer\" name=\"right\" style=\"right\"/></body></dlg>");
    WriteText(u"\\wnd\\CHostTestDlg.style.xml",
              u"<dlg><style><dlg><position rect=\"0,0,320,210\"/><background color=\"0x0000FF\"/></dlg>"
              u"<left><position rect=\"0,0,160,200\"/><background color=\"0xFF0000\"/></left>"
              u"<right><position rect=\"160,0,160,200\"/><background color=\"0x00FF00\"/></right>"
              u"</style></dlg>");
    Start("wait 100\ndown 10 20\nmove 200 20\nup 200 30\ntap 250 10\ntap 100 220\nkey RETURN\n");
    g_calls.clear();
    CTestHost host;
    RECT rc = {0, 0, 320, 240};
    EXPECT_EQ(host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr), 0);
    EXPECT_EQ(host.nResult, 5);
    // Both layers got the message in registration order; the window answered with the last one's result.
    EXPECT_EQ(host.lMessageResult, 2);
    const std::vector<std::string> expected = {
        "left message 7", "right message 7", "left timer 3",
        // The capturing layer keeps the pen outside itself.
        "left down 10,20", "left move 200,20", "left up 200,30",
        // Then hit testing again; a press outside every layer goes to the topmost dialog.
        "right down 250,10", "right up 250,10", "blank 100,220", "dialog key 13"};
    EXPECT_EQ(g_calls, expected);
    EXPECT_EQ(host.GetCaptureLayer(), nullptr);
    // The window bitmap holds the painted layers.
    CWceUiGenericBitmap* pBmp = host.GetWndBitmap();
    ASSERT_TRUE(pBmp && pBmp->IsLoaded());
    EXPECT_EQ(bmptest::At565(*pBmp, 10, 10), 0xF800);
    EXPECT_EQ(bmptest::At565(*pBmp, 200, 10), 0x07E0);
    EXPECT_EQ(bmptest::At565(*pBmp, 10, 205), 0x001F);
    EXPECT_EQ(bmptest::At565(*pBmp, 10, 230), 0); // below the dialog nothing is drawn
}

TEST_F(HostWindowTest, AnAnimatedDialogPaintsItsFramesAndDropsPenInputGivenMeanwhile) {
    WriteText(u"\\wnd\\CAnimMainDlg.dlg.xml",
              u"<dlg><body name=\"main\" windowrect=\"0,0,320,240\" style=\"dlg\"/></dlg>");
    WriteText(u"\\wnd\\CAnimMainDlg.style.xml",
              u"<dlg><style><dlg><position rect=\"0,0,320,240\"/><background color=\"0x0000FF\"/></dlg>"
              u"</style></dlg>");
    WriteText(u"\\wnd\\CAnimBoxDlg.dlg.xml",
              u"<dlg><body name=\"box\" style=\"dlg\"><l type=\"CPenLayer\" name=\"btn\" style=\"btn\"/>"
              u"</body></dlg>");
    WriteText(u"\\wnd\\CAnimBoxDlg.style.xml",
              u"<dlg><style><dlg><position rect=\"40,40,240,160\"/><background color=\"0xFFFFFF\"/></dlg>"
              u"<btn><position rect=\"40,40,240,160\"/><background color=\"0x00FF00\"/></btn></style>"
              u"<animate><in type=\"CWceUiSliderAni\" direction=\"left\" frame-count=\"10\" "
              u"frame-length=\"30\"/></animate></dlg>");
    // The box opens at 10 ms and slides in for 300 ms: the first tap falls inside the animation.
    Start("wait 50\ntap 50 50\nwait 500\ntap 60 60\nkey RETURN\n");
    g_calls.clear();
    CAnimHost host;
    RECT rc = {0, 0, 320, 240};
    EXPECT_EQ(host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr), 0);
    const std::vector<std::string> expected = {"box opens", "btn down 60,60", "btn up 60,60", "box result 1"};
    EXPECT_EQ(g_calls, expected);
    EXPECT_GE(host.nPaints, 10); // every frame went to the screen
    // After its animation the box was painted into the window bitmap (the main dialog ended at once
    // after it, before any other paint), over the main dialog's blue.
    CWceUiGenericBitmap* pBmp = host.GetWndBitmap();
    ASSERT_TRUE(pBmp && pBmp->IsLoaded());
    EXPECT_EQ(bmptest::At565(*pBmp, 100, 100), 0x07E0);
    EXPECT_EQ(bmptest::At565(*pBmp, 10, 10), 0x001F);
}

namespace {
// Leaves its dialog running without a loop when the window closes.
class CModelessHost : public CWceUiRealWnd {
public:
    void OnInitDialog() override {
        CWceUiDlg* pDlg = GetLayerCtrl()->CreateDlg(u"CAnimMainDlg");
        ASSERT_NE(pDlg, nullptr);
        EXPECT_TRUE(pDlg->RunModeless());
        EndDialog(0);
    }
};
} // namespace

TEST_F(HostWindowTest, ClosingTheWindowEndsAndDeletesTheModelessDialogLeftInIt) {
    WriteText(u"\\wnd\\CAnimMainDlg.dlg.xml", u"<dlg><body name=\"main\"/></dlg>");
    WriteText(u"\\wnd\\CAnimMainDlg.style.xml", u"<dlg/>");
    Start("");
    CModelessHost host;
    RECT rc = {0, 0, 320, 240};
    testsupport::LogCapture log;
    EXPECT_EQ(host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr), 0);
    EXPECT_EQ(host.GetLayerCtrl()->RootLayer()->GetChildCount(), 0);
    EXPECT_EQ(host.GetLayerCtrl()->GetLayerCount(), 1);
    EXPECT_FALSE(log.Contains(u"was not closed normally"));
}

// After painting a frame the window waits for the rest of the frame's length: the time the frame took
// to render comes before the paint and is not taken off, so each frame lasts its rendering plus its
// length.
TEST_F(HostWindowTest, AnimationFramesArePacedByTheirPaintingAlone) {
    Start("");
    CPacedHost host;
    RECT rc = {0, 0, 320, 240};
    EXPECT_EQ(host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr), 0);
    EXPECT_EQ(host.nPaints, 4);
    EXPECT_EQ(host.dwElapsed, 4u * (20 + 30));
}

// What is left behind when the window or its controller goes is logged with the documented check
// texts, which a unit's log is searched for.
TEST_F(HostWindowTest, LeftoversAtDestructionAreLoggedWithTheirChecks) {
    testsupport::LogCapture log;
    {
        CWceUiRealWnd wnd;
        ASSERT_TRUE(wnd.RegisterMsg(0xC001, wnd.GetLayerCtrl()->RootLayer()));
    }
    EXPECT_TRUE(log.Contains(u"CWceUiRealWnd::~CWceUiRealWnd,check(GetData()->m_MsgLayerMap.IsEmpty())fail"));

    // A layer taken out of the tree but never deleted keeps its identifier.
    CWceUiLayer* pLost = new CWceUiLayer;
    {
        CWceUiLayerCtrl ctrl;
        pLost->SetLayerCtrl(&ctrl);
        ctrl.InitLayerInfo(pLost, u"lost");
        ASSERT_TRUE(ctrl.RootLayer()->AppendChild(pLost));
        ASSERT_TRUE(ctrl.RootLayer()->RemoveTail());
    }
    EXPECT_TRUE(log.Contains(u"CWceUiLayerCtrl::~CWceUiLayerCtrl,check(GetData()->m_IdMap.IsEmpty())fail"));
    EXPECT_TRUE(log.Contains(u"In CWceUiLayerCtrl::~CWceUiLayerCtrl, detect some layer is not free"));
    pLost->SetLayerCtrl(nullptr);
    delete pLost;
}
