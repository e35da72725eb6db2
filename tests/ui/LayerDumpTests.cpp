// The layer-tree dump through the headless script's "dump" command on a host window with two stacked
// dialogs: drawing order, window rectangles, inherited visibility and enabling, escaped texts, what a
// layer adds of its own, and the platform's own dump again once the window is gone.
#include "UiTestSupport.h"
#include "support/HostWindowTest.h"

#include "wceui/ui/WceUiLayerDump.h"
#include "wceui/ui/WceUiRealWnd.h"

namespace {

class CDumpInfoLayer : public CWceUiLayer {
public:
    CDumpInfoLayer() { SetClassName(WCEUI_CLASS_NAME(CDumpInfoLayer)); }
    void AppendDumpInfo(std::string* line, std::vector<std::string>* extraLines) const override {
        *line += " state=1";
        extraLines->push_back("item 0 \"a\"");
    }
};

class CDumpBoxDlg : public CWceUiDlg {
public:
    CDumpBoxDlg() { SetClassName(WCEUI_CLASS_NAME(CDumpBoxDlg)); }
    void OnInitDialog() override { SetText(u"Sure?"); }
    void OnKeyDown(UINT, UINT, UINT) override { EndDialog(1); }
};

// Hides and disables some layers, then opens the box over itself from a timer.
class CDumpMainDlg : public CWceUiDlg {
public:
    CDumpMainDlg() { SetClassName(WCEUI_CLASS_NAME(CDumpMainDlg)); }
    void OnInitDialog() override {
        GetChildByName(u"label")->SetText(u"C:\\dir \"x\"\r\nnext\rlast\n");
        GetChildByName(u"hidden")->ShowLayer(FALSE);
        GetChildByName(u"off")->EnableLayer(FALSE);
        SetLayerTimer(1, 10);
    }
    void OnTimer(WORD) override {
        KillLayerTimer(1);
        CWceUiDlg* pBox = GetLayerCtrl()->CreateDlg(u"CDumpBoxDlg");
        ASSERT_NE(pBox, nullptr);
        pBox->DoModal();
        GetLayerCtrl()->DeleteLayer(pBox);
    }
    void OnKeyDown(UINT, UINT, UINT) override { EndDialog(0); }
};

class CDumpHost : public CWceUiRealWnd {
public:
    void OnInitDialog() override {
        CWceUiDlg* pDlg = GetLayerCtrl()->CreateDlg(u"CDumpMainDlg");
        ASSERT_NE(pDlg, nullptr);
        pDlg->DoModal();
        GetLayerCtrl()->DeleteLayer(pDlg);
        EndDialog(0);
    }
};

} // namespace

WCEUI_DYNCREATE_BEGIN(CDumpInfoLayer, CWceUiLayer)
WCEUI_DYNCREATE_END(CDumpInfoLayer)
WCEUI_DYNCREATE_BEGIN(CDumpBoxDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CDumpBoxDlg)
WCEUI_DYNCREATE_BEGIN(CDumpMainDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CDumpMainDlg)

class LayerDumpTest : public HostWindowTestBase {};

TEST_F(LayerDumpTest, TheScriptDumpDescribesTheStackedDialogsLayerByLayer) {
    WriteText(u"\\wnd\\CDumpMainDlg.dlg.xml",
              u"<dlg><body name=\"main\" windowrect=\"0,0,320,240\" style=\"dlg\">"
              u"<l type=\"CDumpInfoLayer\" name=\"label\" style=\"label\"/>"
              u"<l type=\"CWceUiLayer\" name=\"hidden\" style=\"hidden\">"
              u"<l type=\"CWceUiLayer\" name=\"inner\" style=\"inner\"/></l>"
              u"<l type=\"CWceUiLayer\" name=\"off\" style=\"off\"/></body></dlg>");
    WriteText(u"\\wnd\\CDumpMainDlg.style.xml",
              u"<dlg><style><dlg><position rect=\"0,0,320,240\"/><background color=\"0x000080\"/></dlg>"
              u"<label><position rect=\"10,10,100,30\"/></label>"
              u"<hidden><position rect=\"10,50,100,50\"/></hidden>"
              u"<inner><position way=\"relative\" rect=\"10,10,40,20\"/></inner>"
              u"<off><position rect=\"120,10,80,30\"/></off></style></dlg>");
    WriteText(u"\\wnd\\CDumpBoxDlg.dlg.xml", u"<dlg><body name=\"box\" style=\"dlg\"/></dlg>");
    WriteText(u"\\wnd\\CDumpBoxDlg.style.xml",
              u"<dlg><style><dlg><position rect=\"60,60,200,120\"/><background color=\"0x808080\"/></dlg>"
              u"</style></dlg>");
    const std::string dump = Root() + "/tree.txt";
    const std::string after = Root() + "/after.txt";
    Start("wait 200\ndump " + dump + "\nkey RETURN\nwait 50\nkey RETURN\n");
    {
        CDumpHost host;
        RECT rc = {0, 0, 320, 240};
        EXPECT_EQ(host.DoModal(WS_POPUP | WS_VISIBLE, &rc, nullptr), 0);
    }
    // The dialog under the modal box is disabled while the box runs, and so is everything in it.
    const std::string expected = "CWceUiLayer \"__root_of_body__\" 0,0,0,0 visible enabled \"\"\n"
                                 "  CDumpMainDlg \"main\" 0,0,320,240 visible disabled \"\"\n"
                                 "    CDumpInfoLayer \"label\" 10,10,110,40 visible disabled "
                                 "\"C:\\\\dir \\\"x\\\"\\nnext\\nlast\\n\" state=1\n"
                                 "      item 0 \"a\"\n"
                                 "    CWceUiLayer \"hidden\" 10,50,110,100 hidden disabled \"\"\n"
                                 "      CWceUiLayer \"inner\" 20,60,60,80 hidden disabled \"\"\n"
                                 "    CWceUiLayer \"off\" 120,10,200,40 visible disabled \"\"\n"
                                 "  CDumpBoxDlg \"box\" 60,60,260,180 visible enabled \"Sure?\"\n";
    EXPECT_EQ(testsupport::ReadHostFile(dump), expected);

    // Without a host window the dump is the platform's list of windows again.
    std::string error;
    ASSERT_TRUE(PlatformWriteDump(after, &error)) << error;
    EXPECT_EQ(testsupport::ReadHostFile(after).find("__root_of_body__"), std::string::npos);
}

TEST(LayerDumpQuote, TextsAreUtf8WithTheirEscapes) {
    EXPECT_EQ(WceUiDumpQuote(u"Größe \u4e2d \U0001F600"), "\"Größe 中 \xF0\x9F\x98\x80\"");
    EXPECT_EQ(WceUiDumpQuote(u"a\r\n\r\nb"), "\"a\\n\\nb\"");
    EXPECT_EQ(WceUiDumpQuote(nullptr), "\"\"");
}
