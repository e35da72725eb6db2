#include "support/HostWindowTest.h"
#include "support/TestSupport.h"
#include "wceui/core/FhGlobalData.h"
#include "wceui/style/WceUiLoadString.h"
#include "wceui/ui/FhIgnoreMsg.h"
#include "wceui/ui/RealDlg.h"
#include "wceui/ui/WceUiInit.h"
#include "wceui/ui/XiWndHelper.h"

#include <string>
#include <vector>

namespace {

using testsupport::TestInstance;

// Records the virtual calls it gets.
class CTraceDlg : public CRealDlg {
public:
    std::vector<std::string> calls;
    std::function<void(CTraceDlg*)> onInit;
    std::function<void(CTraceDlg*, UINT_PTR)> onTimer;
    std::function<void(CTraceDlg*, int, int)> onDown;

    void OnInitDialog() override {
        calls.push_back("init");
        if (onInit)
            onInit(this);
    }
    int OnCreate(LPCREATESTRUCTW cs) override {
        calls.push_back("create");
        EXPECT_EQ(this, cs->lpCreateParams);
        return 0;
    }
    void OnLButtonDown(UINT flags, int x, int y) override {
        calls.push_back("down " + std::to_string(flags) + " " + std::to_string(x) + "," + std::to_string(y));
        if (onDown)
            onDown(this, x, y);
    }
    void OnLButtonUp(UINT, int x, int y) override {
        calls.push_back("up " + std::to_string(x) + "," + std::to_string(y));
    }
    void OnMouseMove(UINT, int x, int y) override {
        calls.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    }
    void OnKeyDown(UINT ch, UINT rep, UINT) override {
        calls.push_back("keydown " + std::to_string(ch) + " " + std::to_string(rep));
    }
    void OnKeyUp(UINT ch, UINT, UINT) override { calls.push_back("keyup " + std::to_string(ch)); }
    void OnCaptureChanged(HWND) override { calls.push_back("capture"); }
    void OnTimer(UINT_PTR id) override {
        calls.push_back("timer " + std::to_string(id));
        if (onTimer)
            onTimer(this, id);
    }
    void OnPaint(HDC dc, const RECT* rc) override {
        EXPECT_NE(nullptr, dc);
        calls.push_back("paint " + std::to_string(rc->right) + "x" + std::to_string(rc->bottom));
    }
    void OnDestroy() override { calls.push_back("destroy"); }
    LRESULT DefWindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg >= WM_APP && msg < 0xC000)
            calls.push_back("default " + std::to_string(msg - WM_APP));
        return CRealDlg::DefWindowProc(msg, wp, lp);
    }
    bool Has(const std::string& call) const {
        for (const std::string& c : calls)
            if (c == call)
                return true;
        return false;
    }
};

class RealWndTest : public DeviceFolderTest {
protected:
    void SetUp() override {
        DeviceFolderTest::SetUp();
        Start("");
        CFhGlobalData::Instance().SetInstanceHandle(TestInstance());
    }
    void TearDown() override {
        PlatformStopDisplay();
        DeviceFolderTest::TearDown();
    }
    void Start(const std::string& script) { testsupport::StartHeadlessDisplay(script); }
    RECT Screen() const { return RECT{0, 0, 320, 240}; }
};

} // namespace

TEST_F(RealWndTest, InitChecksItsValuesAndStoresThem) {
    testsupport::LogCapture log;
    CFhGlobalData& g = CFhGlobalData::Instance();
    ASSERT_TRUE(g.SetWndDir(u"\\before"));
    EXPECT_FALSE(WceUiInit(TestInstance(), u"wnd", u"res", nullptr, 0));
    EXPECT_TRUE(log.Contains(u"WceUiInit,check(NULL != pLangFilePath)fail"));
    EXPECT_EQ(std::u16string(u"\\before\\"), std::u16string(g.GetWndDir()));
    EXPECT_FALSE(WceUiInit(nullptr, u"wnd", u"res", u"lang", 0));
    EXPECT_TRUE(log.Contains(u"WceUiInit,check(NULL != hInstance)fail"));

    // The language file: UTF-16LE with its mark, one key and text a line.
    testsupport::MakeHostFolders(Root() + "/skin");
    testsupport::WriteHostFile(Root() + "/skin/en.lan", testsupport::Utf16Bytes(u"\xFEFFgreeting=Hello\r\n"));
    EXPECT_TRUE(WceUiInit(TestInstance(), u"\\skin\\wnd", u"\\skin\\res", u"\\skin\\en.lan", 0));
    EXPECT_EQ(std::u16string(u"\\skin\\wnd\\"), std::u16string(g.GetWndDir()));
    EXPECT_EQ(std::u16string(u"\\skin\\res\\"), std::u16string(g.GetResDir()));
    CWceUiLoadString text;
    text.SetTextResID(u"greeting");
    EXPECT_EQ(std::u16string(u"Hello"), std::u16string(text.GetText()));
    EXPECT_EQ(TestInstance(), WceUiGetInstanceHandle());
}

// A modal run: create, init hook, messages as virtual calls, EndDialog from a timer, then the
// window is hidden and destroyed and DoModal returns the result.
TEST_F(RealWndTest, ModalRunDispatchesAndEnds) {
    Start("tap 10 20\nkey RETURN\n");
    CTraceDlg dlg;
    EXPECT_EQ(DLG_RUN_NOT_RUNNING, dlg.GetDlgRunWay());
    dlg.onInit = [](CTraceDlg* d) {
        EXPECT_EQ(DLG_RUN_IN_MODAL, d->GetDlgRunWay());
        d->SetTimer(5, 200);
        d->PostMessage(WM_APP + 1, 0, 0);
    };
    HWND seen = nullptr;
    dlg.onTimer = [&](CTraceDlg* d, UINT_PTR) {
        seen = d->GetSafeHwnd();
        EXPECT_TRUE(d->EndDialog(42));
        EXPECT_FALSE(d->EndDialog(43)); // no longer running
    };
    RECT rc = Screen();
    EXPECT_EQ(42, dlg.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr));
    EXPECT_EQ(nullptr, dlg.GetSafeHwnd());
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(0, CXiWndHelper::Instance().GetCount());
    std::vector<std::string> expected = {"create",       "init",     "default 1",    "paint 320x240",
                                         "down 1 10,20", "up 10,20", "keydown 13 1", "keyup 13",
                                         "timer 5",      "destroy"};
    EXPECT_EQ(expected, dlg.calls);
}

TEST_F(RealWndTest, EndDialogOutsideAModalRunFails) {
    testsupport::LogCapture log;
    CRealDlg dlg;
    EXPECT_FALSE(dlg.EndDialog(1));
    EXPECT_TRUE(log.Contains(u"CRealDlg::EndDialog,check(DLG_RUN_IN_MODAL == m_DlgRunWay)fail"));
    // Wrappers on a window that does not exist log their check and fail harmlessly.
    EXPECT_FALSE(dlg.UpdateWindow());
    EXPECT_TRUE(log.Contains(u"CRealGenericWnd::UpdateWindow,check(::IsWindow(m_hWnd))fail"));
    EXPECT_FALSE(dlg.GetClientRect(nullptr));
    EXPECT_TRUE(log.Contains(u"CRealGenericWnd::GetClientRect,check(NULL != lpRect)fail"));
}

// A dialog over a parent: the parent is disabled during the run and gets input and activation
// back afterwards; the inner run ends before the outer one.
TEST_F(RealWndTest, NestedModalRunsDisableTheParent) {
    CTraceDlg outer, inner;
    std::vector<std::string> order;
    outer.onInit = [&](CTraceDlg* d) { d->SetTimer(1, 10); };
    outer.onTimer = [&](CTraceDlg* d, UINT_PTR id) {
        if (id == 1) {
            d->KillTimer(1);
            RECT rc{10, 10, 100, 100};
            int r = inner.DoModal(WS_POPUP | WS_VISIBLE, &rc, d->GetSafeHwnd());
            order.push_back("inner returned " + std::to_string(r));
            EXPECT_TRUE(IsWindowEnabled(d->GetSafeHwnd()));
            EXPECT_EQ(d->GetSafeHwnd(), GetActiveWindow());
            d->EndDialog(1);
        }
    };
    inner.onInit = [&](CTraceDlg* d) { d->SetTimer(2, 10); };
    inner.onTimer = [&](CTraceDlg* d, UINT_PTR) {
        EXPECT_FALSE(IsWindowEnabled(outer.GetSafeHwnd()));
        order.push_back("inner ends");
        d->EndDialog(7);
    };
    RECT rc = Screen();
    EXPECT_EQ(1, outer.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr));
    EXPECT_EQ((std::vector<std::string>{"inner ends", "inner returned 7"}), order);
}

// Nothing left to come: the run ends by itself with the initial result.
TEST_F(RealWndTest, RunWithNothingToDoEnds) {
    CTraceDlg dlg;
    RECT rc = Screen();
    EXPECT_EQ(-1, dlg.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr));
    EXPECT_TRUE(dlg.Has("destroy"));
    EXPECT_EQ(DLG_RUN_NOT_RUNNING, dlg.GetDlgRunWay());
}

// Pen input recorded before an ignore time is swallowed by the modal loop.
TEST_F(RealWndTest, ModalLoopUsesTheIgnoreFilter) {
    Start("tap 1 1\nwait 100\ntap 2 2\nwait 100\ntap 3 3\n");
    CTraceDlg dlg;
    dlg.onInit = [](CTraceDlg* d) {
        // Everything up to 120 ms after the start is stale.
        CFhIgnoreMsg::Instance().AddHwndTime(d->GetSafeHwnd(), GetTickCount() + 120);
    };
    RECT rc = Screen();
    dlg.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr);
    EXPECT_FALSE(dlg.Has("down 1 1,1"));
    EXPECT_FALSE(dlg.Has("up 1,1"));
    EXPECT_TRUE(dlg.Has("down 1 2,2")); // down at 150 > 120: delivered, and the ignoring ends
    EXPECT_TRUE(dlg.Has("down 1 3,3"));
    int downs = 0;
    for (const std::string& c : dlg.calls)
        downs += c.rfind("down", 0) == 0;
    EXPECT_EQ(2, downs);
}

TEST_F(RealWndTest, DestructorDestroysALiveWindow) {
    testsupport::LogCapture log;
    HWND hwnd;
    {
        CTraceDlg dlg;
        RECT rc = Screen();
        ASSERT_TRUE(dlg.Create(WS_POPUP, &rc, nullptr));
        hwnd = dlg.GetSafeHwnd();
        EXPECT_EQ(&dlg, CXiWndHelper::Instance().FindWnd(hwnd));
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_TRUE(log.Contains(u"call destroy window in destruct"));
    EXPECT_EQ(nullptr, CXiWndHelper::Instance().FindWnd(hwnd));
}

TEST_F(RealWndTest, RepaintFlagDropsInvalidations) {
    CTraceDlg dlg;
    RECT rc = Screen();
    ASSERT_TRUE(dlg.Create(WS_POPUP, &rc, nullptr));
    dlg.SetRepaintEnabled(FALSE);
    ShowWindow(dlg.GetSafeHwnd(), SW_SHOWNA);
    ValidateRect(dlg.GetSafeHwnd(), nullptr);
    EXPECT_FALSE(dlg.InvalidateRect(nullptr));
    EXPECT_FALSE(GetUpdateRect(dlg.GetSafeHwnd(), nullptr, FALSE));
    dlg.SetRepaintEnabled(TRUE);
    EXPECT_TRUE(dlg.InvalidateRect(nullptr));
    EXPECT_TRUE(GetUpdateRect(dlg.GetSafeHwnd(), nullptr, FALSE));
    DestroyWindow(dlg.GetSafeHwnd());
}

TEST_F(RealWndTest, SetWindowTextOnlyWhenChanged) {
    static int s_sets = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_SETTEXT)
            s_sets++;
        return DefWindowProcW(h, m, wp, lp);
    };
    wc.lpszClassName = u"TextCountWnd";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(0, u"TextCountWnd", u"abc", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, h);
    testsupport::LogCapture log;
    EXPECT_TRUE(WceUiSetWindowText(h, u"abc"));
    EXPECT_EQ(0, s_sets);
    EXPECT_TRUE(WceUiSetWindowText(h, u"abcd"));
    EXPECT_EQ(1, s_sets);
    std::u16string longText(300, u'x');
    EXPECT_TRUE(WceUiSetWindowText(h, longText.c_str()));
    EXPECT_TRUE(WceUiSetWindowText(h, longText.c_str())); // too long to compare: set again
    EXPECT_EQ(3, s_sets);
    WCHAR buf[400];
    EXPECT_EQ(300, GetWindowTextW(h, buf, 400));
    EXPECT_FALSE(WceUiSetWindowText(nullptr, u"x"));
    EXPECT_TRUE(log.Contains(u"WceUiSetWindowText,check(NULL != hWndCtrl)fail"));
    EXPECT_FALSE(WceUiSetWindowText(h, nullptr));
    EXPECT_TRUE(log.Contains(u"WceUiSetWindowText,check(NULL != lpszNew)fail"));
    DestroyWindow(h);
}

// Pen positions are signed: a captured pen left of and below the window gives negative x.
TEST_F(RealWndTest, CapturedPenOutsideGivesSignedPositions) {
    Start("down 50 50\nmove 10 230\nup 10 230\n");
    CTraceDlg dlg;
    dlg.onDown = [](CTraceDlg* d, int, int) { SetCapture(d->GetSafeHwnd()); };
    RECT rc{20, 20, 120, 120};
    dlg.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr);
    EXPECT_TRUE(dlg.Has("down 1 30,30"));
    EXPECT_TRUE(dlg.Has("move -10,210"));
    EXPECT_TRUE(dlg.Has("up -10,210"));
}

// A window that cannot be created ends the run at once, says why, and leaves the parent as it was.
TEST_F(RealWndTest, ModalRunWithoutAWindowEndsAtOnce) {
    testsupport::LogCapture log;
    CTraceDlg dlg;
    RECT rc = Screen();
    HWND bogus = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7770));
    EXPECT_EQ(-1, dlg.DoModal(WS_CHILD | WS_VISIBLE, &rc, bogus));
    EXPECT_TRUE(log.Contains(u"CreateWindow failed, GetLastError is 1400"));
    EXPECT_TRUE(log.Contains(u"call CRealWnd::Create failed, GetLastError is 1400"));
    EXPECT_FALSE(dlg.Has("init"));
}
