// A multi-line edit box in the real host window, driven by a scripted tap, typing and keys on the
// headless display.
#include "ui/UiTestSupport.h"

#include "platform/display/Display.h"
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
        GetLayerCtrl()->DeleteLayer(pDlg);
        EndDialog(0);
    }
    int nResult = 0;
    std::u16string text;
    std::string dump;
};

} // namespace

WCEUI_DYNCREATE_BEGIN(CEditHostDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CEditHostDlg)

namespace {

class EditHostTest : public styletest::ResDirTest {
protected:
    void SetUp() override {
        ResDirTest::SetUp();
        ASSERT_TRUE(CFhGlobalData::Instance().SetWndDir(u"\\wnd\\"));
        CFhGlobalData::Instance().SetInstanceHandle(
            reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x400000)));
    }
    void TearDown() override {
        PlatformStopDisplay();
        ResDirTest::TearDown();
    }
};

TEST_F(EditHostTest, TapThenTypeAndKeysThroughTheHostWindow) {
    WriteText(u"\\wnd\\CEditHostDlg.dlg.xml",
              u"<dlg><body name=\"main\" windowrect=\"0,0,320,240\" style=\"dlg\">"
              u"<l type=\"CWceUiMEditBox\" name=\"note\" style=\"note\"/></body></dlg>");
    WriteText(u"\\wnd\\CEditHostDlg.style.xml",
              u"<dlg><style><dlg><position rect=\"0,0,320,240\"/><background color=\"0x0000FF\"/></dlg>"
              u"<note><position rect=\"20,20,200,100\"/><background color=\"0xFFFFFF\"/></note>"
              u"</style></dlg>");
    PlatformDisplayOptions options;
    options.backend = "headless";
    options.width = 320;
    options.height = 240;
    // Typing before the tap is ignored; after it, a line break, a backspace and a left arrow.
    options.scriptText = "wait 50\ntext lost\ndown 30 30\nup 30 30\ntext ab\nchar U+000D\ntext cd\n"
                         "char U+0008\nkey LEFT\ntext X\nkey UP\nkey END\ntext !\nkey ESCAPE\n";
    std::string error;
    ASSERT_EQ(0, PlatformStartDisplay(options, &error)) << error;
    CEditHost host;
    RECT rc = {0, 0, 320, 240};
    EXPECT_EQ(host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr), 0);
    EXPECT_EQ(host.nResult, 1);
    EXPECT_EQ(host.text, u"ab!\nXc");
    EXPECT_EQ(host.dump, " caret=0:3 focus=yes lines=2");
}

} // namespace
