// Dialogs run modally on a recording window: stacking, input only to the topmost, the window rectangle
// of the first dialog, entering and leaving animations, and the ends of a run.
#include "UiTestSupport.h"

using uitest::InputNames;
using uitest::LayerTest;

using V = std::vector<std::u16string>;

namespace {

const std::u16string kMainDlg = u"<dlg><body name=\"main\" windowrect=\"0,0,320,240\" style=\"dlg\">"
                                u"<l type=\"CWceUiLayer\" name=\"list\" style=\"list\"/></body></dlg>";
const std::u16string kMainStyle =
    u"<dlg><style><dlg><position rect=\"0,0,320,240\"/></dlg>"
    u"<list><position way=\"relative\" rect=\"0,0,320,200\"/></list></style></dlg>";
const std::u16string kBoxDlg = u"<dlg><body name=\"box\" windowrect=\"40,40,200,160\" style=\"dlg\">"
                               u"<l type=\"CWceUiLayer\" name=\"ok\" style=\"ok\"/></body></dlg>";
const std::u16string kBoxStyle = u"<dlg><style><dlg><position rect=\"40,40,200,160\"/></dlg>"
                                 u"<ok><position way=\"relative\" rect=\"10,100,80,40\"/></ok></style>"
                                 u"<animate><in type=\"CWceUiSliderAni\" direction=\"left\"/><out "
                                 u"type=\"CWceUiBlendAni\"/></animate></dlg>";

} // namespace

TEST_F(LayerTest, StackedModalDialogsTakeInputOnlyOnTopAndGiveItBackWhenTheyEnd) {
    WriteDialog(u"main\\CWceUiDlg", kMainDlg, kMainStyle);
    WriteDialog(u"box\\CWceUiDlg", kBoxDlg, kBoxStyle);
    CWceUiDlg* pMain = Open(u"main\\CWceUiDlg", false);
    CWceUiDlg* pBox = Open(u"box\\CWceUiDlg", false);
    ASSERT_TRUE(pMain && pBox);

    int nBoxResult = 0;
    m_host.loopSteps.resize(2);
    m_host.loopSteps[0].push_back([&] {
        EXPECT_EQ(InputNames(*m_ctrl), (V{u"list", u"main"}));
        EXPECT_EQ(m_host.applied, 0); // the main dialog has no animations
        nBoxResult = pBox->DoModal();
    });
    m_host.loopSteps[0].push_back([&] {
        // Back on the main dialog: enabled again, and the only one in the tree.
        EXPECT_TRUE(pMain->IsLayerEnabled());
        EXPECT_EQ(m_ctrl->RootLayer()->GetChildCount(), 1);
        EXPECT_EQ(m_ctrl->HitTest({5, 5}), pMain->GetChildByName(u"list"));
        EXPECT_TRUE(pMain->EndDialog(3));
    });
    m_host.loopSteps[1].push_back([&] {
        EXPECT_FALSE(pMain->IsLayerEnabled());
        EXPECT_EQ(InputNames(*m_ctrl), (V{u"ok", u"box"}));
        // A press on the main dialog beside the box reaches nothing.
        EXPECT_EQ(m_ctrl->HitTest({5, 5}), nullptr);
        EXPECT_EQ(m_ctrl->HitTest({60, 150}), pBox->GetChildByName(u"ok"));
        EXPECT_TRUE(pBox->EndDialog(7));
        testsupport::LogCapture log;
        EXPECT_FALSE(pBox->EndDialog(8));
        EXPECT_TRUE(
            log.Contains(u"CWceUiDlg::EndDialog,check(DLG_RUN_IN_MODAL == GetData()->m_DlgRunWay)fail"));
    });
    EXPECT_EQ(pMain->DoModal(), 3);
    EXPECT_EQ(nBoxResult, 7);
    // Only the first dialog moves the window; the box animates in and out.
    ASSERT_EQ(m_host.moves.size(), 1u);
    EXPECT_TRUE(EqualRect(&m_host.moves[0], uitest::R({0, 0, 320, 240})));
    EXPECT_EQ(m_host.applied, 2);
    EXPECT_EQ(m_host.played, (V{u"CWceUiSliderAni", u"CWceUiBlendAni"}));
    EXPECT_EQ(m_host.wakeUps, 2);
    EXPECT_EQ(m_ctrl->RootLayer()->GetChildCount(), 0);
    EXPECT_TRUE(InputNames(*m_ctrl).empty());
}

TEST_F(LayerTest, ALoopThatRunsDryEndsTheRunWithoutAResult) {
    WriteDialog(u"main\\CWceUiDlg", kMainDlg, kMainStyle);
    CWceUiDlg* pMain = Open(u"main\\CWceUiDlg", false);
    ASSERT_NE(pMain, nullptr);
    EXPECT_EQ(pMain->DoModal(), -1);
    EXPECT_EQ(pMain->GetRunWay(), DLG_RUN_NOT_RUNNING);
    EXPECT_EQ(m_ctrl->RootLayer()->GetChildCount(), 0);
    testsupport::LogCapture log;
    EXPECT_FALSE(pMain->EndDialog(1));
    EXPECT_FALSE(pMain->EndModeless());
    EXPECT_TRUE(
        log.Contains(u"CWceUiDlg::EndModeless,check(DLG_RUN_IN_MODELESS == GetData()->m_DlgRunWay)fail"));
    // A dialog ended in its OnInitDialog never enters the loop.
    m_host.loopSteps.resize(1);
    m_host.loopSteps[0].push_back([] { ADD_FAILURE() << "the loop ran"; });
    struct CEndsAtOnce : CWceUiDlg {
        void OnInitDialog() override { EndDialog(9); }
    };
    auto* pQuick = new CEndsAtOnce;
    pQuick->SetLayerCtrl(m_ctrl.get());
    m_ctrl->InitLayerInfo(pQuick, u"quick");
    m_loose.push_back(pQuick);
    EXPECT_EQ(pQuick->DoModal(), 9);
    EXPECT_EQ(m_ctrl->RootLayer()->GetChildCount(), 0);
}
