// A multi-line edit box in the real host window, driven by a scripted tap, typing and keys on the
// headless display.
#include "ui/UiTestSupport.h"
#include "support/HostWindowTest.h"

#include "platform/Platform.h"
#include "wceui/ui/WceUiRealWnd.h"
#include "wceui/widgets/WceUiEditBox.h"

#include <string>

namespace {

class CEditHostDlg : public CWceUiDlg {
public:
    CEditHostDlg() { SetClassName(WCEUI_CLASS_NAME(CEditHostDlg)); }
    void OnKeyDown(UINT nChar, UINT, UINT) override {
        if (VK_ESCAPE == nChar) {
            EndDialog(1);
        }
    }
};

class CEditHost : public CWceUiRealWnd {
public:
    void OnInitDialog() override {
        CWceUiDlg* pDlg = GetLayerCtrl()->CreateDlg(u"CEditHostDlg");
        ASSERT_NE(pDlg, nullptr);
        nResult = pDlg->DoModal();
        auto* pEdit = static_cast<CWceUiEditBox*>(pDlg->GetChildByName(u"note"));
        ASSERT_TRUE(pEdit && pEdit->IsKindOf(u"CWceUiMEditBox"));
        text = pEdit->GetEditText();
        pEdit->AppendDumpInfo(&dump, nullptr);
        if (auto* pName = static_cast<CWceUiEditBox*>(pDlg->GetChildByName(u"name"))) {
            nameText = pName->GetEditText();
            pName->AppendDumpInfo(&nameDump, nullptr);
            bNameFocused = pName == CWceUiEditBox::GetFocusedEditBox(this);
            HWND hOwner = nullptr;
            bCaretHere = PlatformCaretState(&hOwner, &rcCaret, nullptr) && hOwner == GetSafeHwnd();
        }
        GetLayerCtrl()->DeleteLayer(pDlg);
        // The focused box took its caret with it.
        bCaretAfter = PlatformCaretState(nullptr, nullptr, nullptr);
        EndDialog(0);
    }
    int nResult = 0;
    std::u16string text;
    std::string dump;
    std::u16string nameText;
    std::string nameDump;
    bool bNameFocused = false;
    bool bCaretHere = false;
    BOOL bCaretAfter = TRUE;
    RECT rcCaret = {0, 0, 0, 0};
};

} // namespace

WCEUI_DYNCREATE_BEGIN(CEditHostDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CEditHostDlg)

namespace {

class EditHostTest : public HostWindowTestBase {
protected:
    // The dialog of these tests: the multi-line box "note" on a blue screen, and any more boxes with
    // their styles.
    void WriteEditDlg(const std::u16string& moreBoxes = u"", const std::u16string& moreStyles = u"") {
        WriteText(u"\\wnd\\CEditHostDlg.dlg.xml",
                  u"<dlg><body name=\"main\" windowrect=\"0,0,320,240\" style=\"dlg\">"
                  u"<l type=\"CWceUiMEditBox\" name=\"note\" style=\"note\"/>" +
                      moreBoxes + u"</body></dlg>");
        WriteText(u"\\wnd\\CEditHostDlg.style.xml",
                  u"<dlg><style><dlg><position rect=\"0,0,320,240\"/><background color=\"0x0000FF\"/></dlg>"
                  u"<note><position rect=\"20,20,200,100\"/><background color=\"0xFFFFFF\"/></note>" +
                      moreStyles + u"</style></dlg>");
    }
    // Runs the host window over the whole screen until it ends; its own result.
    static int RunHost(CEditHost& host) {
        RECT rc = {0, 0, 320, 240};
        return host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr);
    }
};

TEST_F(EditHostTest, TapThenTypeAndKeysThroughTheHostWindow) {
    WriteEditDlg();
    // Typing before the tap is ignored; after it, a line break, a backspace and a left arrow.
    ASSERT_NO_FATAL_FAILURE(Start("wait 50\ntext lost\ndown 30 30\nup 30 30\ntext ab\nchar U+000D\ntext cd\n"
                                  "char U+0008\nkey LEFT\ntext X\nkey UP\nkey END\ntext !\nkey ESCAPE\n"));
    CEditHost host;
    EXPECT_EQ(RunHost(host), 0);
    EXPECT_EQ(host.nResult, 1);
    EXPECT_EQ(host.text, u"ab!\nXc");
    EXPECT_EQ(host.dump, " caret=0:3 focus=yes lines=2");
}

TEST_F(EditHostTest, ATapMovesTheFocusAndTheOneCaretBetweenTwoBoxes) {
    WriteEditDlg(u"<l type=\"CWceUiSEditBox\" name=\"name\" style=\"name\"/>",
                 u"<name><position rect=\"20,120,200,150\"/><background color=\"0xFFFFFF\"/></name>");
    // Keys reach both boxes; only the focused one takes them. The note keeps its text and caret
    // once the name box has the focus, and gets both back with a tap.
    // (Each tap waits a moment: pen input stamped no later than the last release is dropped as stale.)
    ASSERT_NO_FATAL_FAILURE(
        Start("wait 50\ntap 30 30\ntext ab\nwait 50\ntap 30 130\ntext xyz\nkey LEFT\nkey DELETE\n"
              "key HOME\ntext <\nchar U+0008\nwait 50\ntap 30 30\nkey END\ntext c\nwait 50\n"
              "tap 30 130\nkey END\ntext !\nkey ESCAPE\n"));
    CEditHost host;
    EXPECT_EQ(RunHost(host), 0);
    EXPECT_EQ(host.nResult, 1);
    EXPECT_EQ(u"abc", host.text);
    EXPECT_EQ(" caret=0:3 focus=no lines=1", host.dump);
    EXPECT_EQ(u"xy!", host.nameText);
    EXPECT_EQ(" caret=0:3 focus=yes lines=1", host.nameDump);
    EXPECT_TRUE(host.bNameFocused);
    // The platform caret stands in the name box, after its text.
    EXPECT_TRUE(host.bCaretHere);
    EXPECT_EQ(120, host.rcCaret.top);
    EXPECT_GT(host.rcCaret.left, 20);
    EXPECT_FALSE(host.bCaretAfter);
}

// The focused box's caret blinks in screenshots taken at different times of the virtual clock.
TEST_F(EditHostTest, TheCaretBlinksInScreenshots) {
    WriteEditDlg();
    const std::string shot[] = {Root() + "/a.png", Root() + "/b.png", Root() + "/c.png", Root() + "/d.png"};
    // On a tenth of a second after the typing, off half a second later, on again after another half;
    // and on at once after a move.
    const UINT blink = GetCaretBlinkTime();
    ASSERT_NO_FATAL_FAILURE(Start("wait 50\ntap 30 30\ntext ab\nwait 100\nshot " + shot[0] + "\nwait " +
                                  std::to_string(blink) + "\nshot " + shot[1] + "\nwait " +
                                  std::to_string(blink) + "\nshot " + shot[2] + "\nwait " +
                                  std::to_string(blink) + "\nkey LEFT\nshot " + shot[3] + "\nkey ESCAPE\n"));
    CEditHost host;
    EXPECT_EQ(RunHost(host), 0);
    EXPECT_EQ(u"ab", host.text);
    std::string png[4];
    for (int i = 0; i < 4; ++i) {
        png[i] = testsupport::ReadHostFile(shot[i]);
        ASSERT_GT(png[i].size(), 8u) << i;
    }
    EXPECT_NE(png[0], png[1]);
    EXPECT_EQ(png[0], png[2]);
    EXPECT_NE(png[0], png[3]);
    EXPECT_NE(png[1], png[3]);
}

} // namespace
