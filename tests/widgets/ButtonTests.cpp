// The button's three looks under the pen, its capture and the command it sends only when the pen is
// released over it.
#include "WidgetTestSupport.h"

#include "wceui/style/WceUiStyleCtrls.h"
#include "wceui/widgets/WceUiButton.h"

#include <string>
#include <vector>

using widgettest::WidgetTest;

namespace {

// A layer that records the commands its children send.
class CCmdLayer : public CWceUiLayer {
public:
    std::vector<CWceUiLayer*> commands;
    void OnCommand(CWceUiLayer* pSender) override { commands.push_back(pSender); }
};

const COLORREF kUp = RGB(255, 0, 0); // skin colours are written 0xRRGGBB
const COLORREF kDown = RGB(0, 255, 0);
const COLORREF kOut = RGB(0, 0, 255);

class ButtonTest : public WidgetTest {
protected:
    // A dialog at (0,0,100,60) holding one button at (10,10)-(50,30); the button's attributes given.
    CWceUiButton* MakeButton(const std::u16string& attrs) {
        WriteDialog(u"CWceUiDlg",
                    u"<dlg><body style=\"dlg\"><l type=\"CWceUiButton\" name=\"b\" " + attrs +
                        u"/></body></dlg>",
                    u"<dlg><style><dlg><position rect=\"0,0,100,60\"/></dlg>"
                    u"<up><position rect=\"10,10,40,20\"/><background color=\"0xFF0000\"/></up>"
                    u"<down><position rect=\"10,10,40,20\"/><background color=\"0x00FF00\"/></down>"
                    u"<out><position rect=\"10,10,40,20\"/><background color=\"0x0000FF\"/></out>"
                    u"</style></dlg>");
        CWceUiDlg* pDlg = Open(u"CWceUiDlg");
        EXPECT_NE(pDlg, nullptr);
        if (!pDlg) {
            return nullptr;
        }
        CWceUiLayer* pBtn = pDlg->GetChildByName(u"b");
        EXPECT_TRUE(pBtn && pBtn->IsKindOf(u"CWceUiButton"));
        if (!pBtn) {
            return nullptr;
        }
        // Commands go to the parent: move the button under a recording layer of the same dialog.
        m_pCmd = new CCmdLayer;
        m_pCmd->SetLayerCtrl(m_ctrl.get());
        m_ctrl->InitLayerInfo(m_pCmd, u"cmd");
        EXPECT_TRUE(pDlg->AppendChild(m_pCmd));
        EXPECT_TRUE(pDlg->RemoveChild(pBtn));
        EXPECT_TRUE(m_pCmd->AppendChild(pBtn));
        return static_cast<CWceUiButton*>(pBtn);
    }
    static COLORREF Look(CWceUiButton* pBtn) { return pBtn->GetStyle()->GetBgColorCtrl()->GetColor(); }

    CCmdLayer* m_pCmd = nullptr;
};

TEST_F(ButtonTest, ReleaseInsideSendsOneCommandAndRestoresTheNormalLook) {
    CWceUiButton* pBtn = MakeButton(u"style=\"up\" down.style=\"down\" focus.style=\"out\"");
    ASSERT_NE(pBtn, nullptr);
    EXPECT_EQ(Look(pBtn), kUp);
    EXPECT_EQ(pBtn->GetDumpInfo(), u" state=normal");

    pBtn->OnLButtonDown(0, POINT{20, 15});
    EXPECT_EQ(Look(pBtn), kDown);
    EXPECT_EQ(pBtn->GetState(), WCEUI_BUTTON_STATE_DOWN);
    EXPECT_EQ(pBtn->GetDumpInfo(), u" state=down");
    EXPECT_EQ(m_post.capture, pBtn);

    pBtn->OnMouseMove(0, POINT{49, 29});
    EXPECT_EQ(Look(pBtn), kDown);
    pBtn->OnLButtonUp(0, POINT{49, 29});
    EXPECT_EQ(Look(pBtn), kUp);
    EXPECT_EQ(pBtn->GetState(), WCEUI_BUTTON_STATE_NORMAL);
    EXPECT_EQ(m_post.capture, nullptr);
    ASSERT_EQ(m_pCmd->commands.size(), 1u);
    EXPECT_EQ(m_pCmd->commands[0], pBtn);
}

TEST_F(ButtonTest, CommandGoesToTheParentOnlyWhenReleasedInside) {
    CWceUiButton* pBtn = MakeButton(u"style=\"up\" down.style=\"down\" focus.style=\"out\"");
    ASSERT_NE(pBtn, nullptr);

    pBtn->OnLButtonDown(0, POINT{20, 15});
    pBtn->OnMouseMove(0, POINT{50, 15}); // right edge is exclusive: outside
    EXPECT_EQ(Look(pBtn), kOut);
    EXPECT_EQ(pBtn->GetDumpInfo(), u" state=out");
    pBtn->OnMouseMove(0, POINT{10, 10});
    EXPECT_EQ(Look(pBtn), kDown);
    pBtn->OnMouseMove(0, POINT{5, 5});
    EXPECT_EQ(Look(pBtn), kOut);
    pBtn->OnLButtonUp(0, POINT{5, 5});
    EXPECT_EQ(Look(pBtn), kUp);
    EXPECT_TRUE(m_pCmd->commands.empty());

    pBtn->OnLButtonDown(0, POINT{20, 15});
    pBtn->OnLButtonUp(0, POINT{20, 15});
    ASSERT_EQ(m_pCmd->commands.size(), 1u);
    EXPECT_EQ(m_pCmd->commands[0], pBtn);

    // Without a press first, neither moves nor a release do anything.
    pBtn->OnMouseMove(0, POINT{5, 5});
    pBtn->OnLButtonUp(0, POINT{20, 15});
    EXPECT_EQ(m_pCmd->commands.size(), 1u);
    EXPECT_EQ(Look(pBtn), kUp);
}

TEST_F(ButtonTest, LosingTheCaptureRestoresWithoutCommand) {
    CWceUiButton* pBtn = MakeButton(u"style=\"up\" down.style=\"down\"");
    ASSERT_NE(pBtn, nullptr);
    pBtn->OnLButtonDown(0, POINT{20, 15});
    // Another layer takes the pen: the host tells the button it lost it.
    m_post.SetCapture(m_pCmd);
    EXPECT_FALSE(pBtn->IsPressed());
    EXPECT_EQ(Look(pBtn), kUp);
    EXPECT_TRUE(m_pCmd->commands.empty());
    EXPECT_EQ(m_post.capture, m_pCmd);
}

TEST_F(ButtonTest, MissingStylesKeepTheLookAndSettersApplyInTheirState) {
    CWceUiButton* pBtn = MakeButton(u"style=\"up\"");
    ASSERT_NE(pBtn, nullptr);
    pBtn->OnLButtonDown(0, POINT{20, 15});
    EXPECT_EQ(Look(pBtn), kUp); // no down style: the look stays
    pBtn->OnMouseMove(0, POINT{0, 0});
    EXPECT_EQ(Look(pBtn), kUp);
    EXPECT_EQ(pBtn->GetState(), WCEUI_BUTTON_STATE_OUT);
    // Setting the out style while out applies it at once; the down style waits for its state.
    pBtn->SetDownStyle(u"down");
    EXPECT_EQ(Look(pBtn), kUp);
    pBtn->SetOutStyle(u"out");
    EXPECT_EQ(Look(pBtn), kOut);
    pBtn->OnLButtonUp(0, POINT{0, 0});
    EXPECT_EQ(Look(pBtn), kUp);

    // Names are cut to 63 units.
    const std::u16string longName(100, u'x');
    pBtn->SetNormalStyle(longName.c_str());
    EXPECT_EQ(std::u16string(pBtn->GetNormalStyle()), longName.substr(0, 63));
    pBtn->SetOutStyle(nullptr);
    EXPECT_EQ(std::u16string(pBtn->GetOutStyle()), u"");
}

} // namespace
