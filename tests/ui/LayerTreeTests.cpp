// The layer tree and its controller: lists, identifiers, geometry, flags, styles, creation from dialog
// files and the services of the host window.
#include "UiTestSupport.h"

#include "wceui/res/WceUiXmlDoc.h"

#include <deque>

using uitest::DrawNames;
using uitest::InputNames;
using uitest::LayerTest;
using uitest::PaintNames;

namespace {

std::vector<std::u16string> g_events;

// Records OnLoad and OnInitLayer by name.
class CRecLayer : public CWceUiLayer {
public:
    CRecLayer() { SetClassName(WCEUI_CLASS_NAME(CRecLayer)); }
    void OnLoad() override { g_events.push_back(std::u16string(u"load ") + GetName()); }
    void OnInitLayer() override { g_events.push_back(std::u16string(u"init ") + GetName()); }
    void OnLoseCapture() override { g_events.push_back(std::u16string(u"lost ") + GetName()); }
};

class CRecDlg : public CWceUiDlg {
public:
    CRecDlg() { SetClassName(WCEUI_CLASS_NAME(CRecDlg)); }
    void OnLoad() override { g_events.push_back(std::u16string(u"load ") + GetName()); }
    void OnInitLayer() override { g_events.push_back(std::u16string(u"init ") + GetName()); }
};

// A registered class that is not a layer.
class CNotLayer : public CWceUiObject {
public:
    CNotLayer() { SetClassName(WCEUI_CLASS_NAME(CNotLayer)); }
};

} // namespace

WCEUI_DYNCREATE_BEGIN(CRecLayer, CWceUiLayer)
WCEUI_DYNCREATE_END(CRecLayer)
WCEUI_DYNCREATE_BEGIN(CRecDlg, CWceUiDlg)
WCEUI_DYNCREATE_END(CRecDlg)
WCEUI_DYNCREATE_BEGIN(CNotLayer, CWceUiObject)
WCEUI_DYNCREATE_END(CNotLayer)

using V = std::vector<std::u16string>;

TEST(UniqueId, HandsOutInOrderThenReusesTheLowestFreeAndReportsExhaustion) {
    CWUniqueID ids;
    for (DWORD i = 1; i <= 65534; ++i) {
        ASSERT_EQ(ids.GetID(), i);
    }
    testsupport::LogCapture log;
    EXPECT_EQ(ids.GetID(), 65535u);
    EXPECT_TRUE(log.Contains(u"CWUniqueID::GetID failed, all 1-65534 is used."));
    ids.ReleaseID(300);
    ids.ReleaseID(7);
    EXPECT_EQ(ids.GetID(), 7u);
    EXPECT_EQ(ids.GetID(), 300u);
    EXPECT_EQ(ids.GetID(), 65535u);
    EXPECT_EQ(ids.GetUsedCount(), 65534);

    log.Clear();
    CWUniqueID fresh;
    fresh.GetID();
    fresh.ReleaseID(5);
    EXPECT_TRUE(log.Contains(u"CWUniqueID::ReleaseID, Release ID 5, but not found"));
    EXPECT_EQ(fresh.GetUsedCount(), 1);
    fresh.ReleaseID(0x10001);
    EXPECT_TRUE(log.Contains(u"check(0 == HIWORD(dwID))fail"));
    EXPECT_TRUE(fresh.IsInUse(1));
}

TEST_F(LayerTest, ListsFollowTheTreeAndOnlyTheTopmostDialogTakesInput) {
    CWceUiDlg* pFirst = NewDlg({0, 0, 100, 100});
    pFirst->SetName(u"first");
    Child(pFirst, u"f1", {0, 0, 10, 10});
    CWceUiDlg* pSecond = NewDlg({0, 0, 100, 100});
    pSecond->SetName(u"second");
    CWceUiLayer* pA = Child(pSecond, u"a", {0, 0, 50, 50});
    CWceUiLayer* pA1 = Child(pA, u"a1", {0, 0, 10, 10});
    Child(pSecond, u"b", {0, 0, 50, 50});
    Child(pA1, u"a11", {0, 0, 5, 5});

    EXPECT_EQ(DrawNames(*m_ctrl),
              (V{u"__root_of_body__", u"first", u"f1", u"second", u"a", u"a1", u"a11", u"b"}));
    // Topmost first: later siblings before earlier ones, children before parents.
    EXPECT_EQ(InputNames(*m_ctrl), (V{u"b", u"a11", u"a1", u"a", u"second"}));

    // A hidden layer's children leave both lists whatever their own flags; the draw list keeps the tree.
    pA->ShowLayer(FALSE);
    EXPECT_EQ(InputNames(*m_ctrl), (V{u"b", u"second"}));
    EXPECT_FALSE(pA1->IsLayerVisible());
    EXPECT_TRUE(pA1->GetStyle()->IsVisible());
    m_ctrl->BuildPaintList(uitest::R({0, 0, 100, 100}));
    EXPECT_EQ(PaintNames(*m_ctrl), (V{u"second", u"b"}));
    pA->ShowLayer(TRUE);

    // A layer taking no input drops out with its children; a container passes input to its children.
    pA->SetLayerNoInput(TRUE);
    EXPECT_EQ(InputNames(*m_ctrl), (V{u"b", u"second"}));
    pA->SetLayerNoInput(FALSE);
    pA->SetLayerContainer(TRUE);
    EXPECT_EQ(InputNames(*m_ctrl), (V{u"b", u"a11", u"a1", u"second"}));
    pA->SetLayerContainer(FALSE);

    // A disabled topmost dialog takes nothing, and the one below still takes nothing.
    pSecond->EnableLayer(FALSE, FALSE);
    EXPECT_TRUE(InputNames(*m_ctrl).empty());
    pSecond->EnableLayer(TRUE, FALSE);

    // Removing the top dialog gives input to the one below.
    ASSERT_TRUE(m_ctrl->RootLayer()->RemoveTail());
    EXPECT_EQ(InputNames(*m_ctrl), (V{u"f1", u"first"}));
    EXPECT_EQ(DrawNames(*m_ctrl), (V{u"__root_of_body__", u"first", u"f1"}));
    EXPECT_EQ(m_ctrl->GetLayerCount(), 8);
    m_ctrl->DeleteLayer(pSecond);
    EXPECT_EQ(m_ctrl->GetLayerCount(), 3);
}

TEST_F(LayerTest, HitTestingTakesTheTopmostLayerUnderThePoint) {
    CWceUiDlg* pDlg = NewDlg({0, 0, 100, 100});
    CWceUiLayer* pBack = Child(pDlg, u"back", {10, 10, 60, 60});
    CWceUiLayer* pFront = Child(pDlg, u"front", {40, 40, 90, 90});
    EXPECT_EQ(m_ctrl->HitTest({50, 50}), pFront);
    EXPECT_EQ(m_ctrl->HitTest({20, 20}), pBack);
    EXPECT_EQ(m_ctrl->HitTest({95, 5}), pDlg);
    EXPECT_EQ(m_ctrl->HitTest({100, 100}), nullptr); // right and bottom are outside
    pFront->EnableLayer(FALSE);
    EXPECT_EQ(m_ctrl->HitTest({50, 50}), pBack);
    EXPECT_EQ(m_ctrl->GetLayerByID(pBack->GetLayerID()), pBack);
}

TEST_F(LayerTest, GeometryOfBothPositionWaysAndMoves) {
    CWceUiDlg* pDlg = NewDlg({100, 50, 300, 250});
    CWceUiLayer* pChild = Child(pDlg, u"c", {10, 10, 60, 30});
    RECT rc;
    ASSERT_TRUE(pChild->GetWindowRect(&rc));
    EXPECT_TRUE(EqualRect(&rc, uitest::R({110, 60, 160, 80})));
    ASSERT_TRUE(pChild->GetClientRect(&rc));
    EXPECT_TRUE(EqualRect(&rc, uitest::R({0, 0, 50, 20})));
    POINT pt = {115, 65};
    pChild->WindowToClient(&pt);
    EXPECT_EQ(pt.x, 5);
    EXPECT_EQ(pt.y, 5);

    // The same window rectangle in the other way stores nothing.
    const RECT same = {110, 60, 160, 80};
    m_host.invalid.clear();
    ASSERT_TRUE(pChild->SetLayerPosition(&same, WCEUI_POS_WAY_WINDOW, TRUE));
    int nWay = -1;
    pChild->GetLayerPosition(&rc, &nWay);
    EXPECT_EQ(nWay, WCEUI_POS_WAY_RELATIVE);
    EXPECT_TRUE(m_host.invalid.empty());

    // MoveLayer keeps the way; a redraw invalidates the old and the new place.
    ASSERT_TRUE(pChild->MoveLayer(uitest::R({120, 70, 170, 90}), TRUE));
    pChild->GetLayerPosition(&rc, &nWay);
    EXPECT_EQ(nWay, WCEUI_POS_WAY_RELATIVE);
    EXPECT_TRUE(EqualRect(&rc, uitest::R({20, 20, 70, 40})));
    EXPECT_TRUE(m_host.WasInvalidated({110, 60, 160, 80}));
    EXPECT_TRUE(m_host.WasInvalidated({120, 70, 170, 90}));

    // Moving the parent moves a relative child with it.
    pDlg->MoveLayer(uitest::R({0, 0, 200, 200}), FALSE);
    pChild->GetWindowRect(&rc);
    EXPECT_TRUE(EqualRect(&rc, uitest::R({20, 20, 70, 40})));

    // An invalid way is refused and leaves the layer where it is.
    testsupport::LogCapture log;
    EXPECT_FALSE(pChild->SetLayerPosition(uitest::R({0, 0, 1, 1}), 7, TRUE));
    EXPECT_TRUE(log.Contains(u"CWceUiLayer::SetLayerPosition, posWay is invalid"));
    pChild->GetWindowRect(&rc);
    EXPECT_TRUE(EqualRect(&rc, uitest::R({20, 20, 70, 40})));
}

TEST_F(LayerTest, NamesFlagsTextAndServicesOfTheHost) {
    CWceUiDlg* pDlg = NewDlg({0, 0, 100, 100});
    CWceUiLayer* pOk = Child(pDlg, u"OK", {0, 0, 10, 10});
    CWceUiLayer* pInner = Child(pOk, u"inner", {0, 0, 5, 5});
    EXPECT_EQ(pDlg->GetChildByName(u"ok"), pOk);
    EXPECT_EQ(pDlg->GetChildByName(u"inner"), nullptr);
    EXPECT_EQ(pDlg->GetChildByName(u""), nullptr);
    EXPECT_EQ(pInner->GetDlg(), pDlg);
    EXPECT_EQ(pOk->GetNotifyTarget(), pDlg);
    EXPECT_EQ(pDlg->GetNotifyTarget(), pDlg);

    // A layer may not become a child twice, nor of its own subtree.
    testsupport::LogCapture log;
    EXPECT_FALSE(pDlg->AppendChild(pInner));
    EXPECT_TRUE(log.Contains(u"CWceUiLayer::AppendChild failed, pNewChild->GetParent() must be NULL"));
    EXPECT_FALSE(m_ctrl->CreateLayer(m_ctrl->RootLayer(), u"CWceUiLayer", u"x"));
    EXPECT_TRUE(log.Contains(u"CWceUiLayerCtrl::impCreateLayer, pParent can not be root layer"));
    EXPECT_FALSE(m_ctrl->CreateLayer(pDlg, u"CNoSuchLayer", u"x"));
    EXPECT_TRUE(log.Contains(u"CWceUiLayerCtrl::impCreateLayer, can not create layer, type is CNoSuchLayer"));
    EXPECT_FALSE(m_ctrl->CreateLayer(pDlg, u"CNotLayer", u"x"));
    EXPECT_TRUE(log.Contains(u"CWceUiLayerCtrl::impCreateLayer, the type is not a kind of CWceUiLayer"));
    m_ctrl->DeleteLayer(m_ctrl->RootLayer());
    EXPECT_TRUE(log.Contains(u"In CWceUiLayerCtrl::DeleteLayer, dont call delete root layer directly"));
    EXPECT_EQ(pDlg->GetChildCount(), 1);

    // Hiding the parent hides the child without touching its flag; showing invalidates the area.
    pOk->ShowLayer(FALSE);
    EXPECT_FALSE(pInner->IsLayerVisible());
    EXPECT_TRUE(pInner->GetStyle()->IsVisible());
    EXPECT_TRUE(pOk->GetOwnStyle()->IsSet(WCEUI_STYLE_VISIBILITY));
    m_host.invalid.clear();
    pOk->ShowLayer(TRUE, FALSE);
    EXPECT_TRUE(m_host.WasInvalidated({0, 0, 10, 10}));

    // Invalidating a container invalidates its visible children instead.
    pOk->SetLayerContainer(TRUE);
    m_host.invalid.clear();
    pOk->InvalidateLayer();
    ASSERT_EQ(m_host.invalid.size(), 1u);
    EXPECT_TRUE(m_host.WasInvalidated({0, 0, 5, 5}));

    // Text: a set text stays until a resource identifier takes over again.
    EXPECT_TRUE(pOk->SetText(u"hello"));
    pOk->RefreshText();
    EXPECT_EQ(std::u16string(pOk->GetText()), u"hello");
    EXPECT_FALSE(pOk->SetText(NULL));
    EXPECT_EQ(std::u16string(pOk->GetText()), u"hello");
    pOk->SetTextResID(NULL);
    pOk->RefreshText();
    EXPECT_EQ(std::u16string(pOk->GetText()), u"");

    // Timers carry the layer identifier low and the number high; messages register once.
    ASSERT_TRUE(pInner->SetLayerTimer(3, 100));
    ASSERT_TRUE(pInner->SetLayerTimer(3, 200));
    const UINT_PTR id = MAKELONG(pInner->GetLayerID(), 3);
    ASSERT_EQ(m_host.timers.count(id), 1u);
    EXPECT_EQ(m_host.timers[id], 200u);
    ASSERT_TRUE(pInner->SetLayerTimer(4, 10));
    EXPECT_TRUE(pInner->KillLayerTimer(4));
    EXPECT_FALSE(pInner->KillLayerTimer(4));
    ASSERT_TRUE(pInner->RegisterMsg(0xC001));
    ASSERT_TRUE(pInner->RegisterMsg(0xC001));
    EXPECT_EQ(m_host.messages.size(), 1u);

    // Disabling the capture holder releases the capture.
    ASSERT_TRUE(pInner->SetLayerCapture());
    EXPECT_TRUE(pInner->HasCapture());
    pOk->EnableLayer(FALSE);
    EXPECT_TRUE(pInner->HasCapture()); // only the holder itself lets go
    pInner->EnableLayer(FALSE);
    EXPECT_EQ(m_host.capture, nullptr);
    ASSERT_TRUE(pOk->SetLayerCapture());

    // Deleting a layer stops its timers, unregisters its messages and lets the capture go.
    ASSERT_TRUE(pOk->SetLayerTimer(1, 10));
    m_ctrl->DeleteLayer(pOk);
    EXPECT_TRUE(m_host.timers.empty());
    EXPECT_TRUE(m_host.messages.empty());
    EXPECT_EQ(m_host.capture, nullptr);
    EXPECT_EQ(pDlg->GetChildCount(), 0);
}

TEST_F(LayerTest, NamesNotifyTargetsAndTreeCallsOutsideATree) {
    // A layer outside any tree has nobody to tell of its commands.
    CWceUiLayer loose;
    EXPECT_EQ(loose.GetNotifyTarget(), nullptr);
    // Names compare ignoring case, and two empty names are equal.
    EXPECT_TRUE(loose.IsEqualName(u""));
    EXPECT_FALSE(loose.IsEqualName(u"x"));
    EXPECT_FALSE(loose.IsEqualName(nullptr));
    loose.SetName(u"Back");
    EXPECT_TRUE(loose.IsEqualName(u"bACK"));
    EXPECT_FALSE(loose.IsEqualName(u""));

    // Taking children away needs the controller, as adding them does; the tree stays as it was.
    CWceUiDlg* pDlg = NewDlg({0, 0, 100, 100});
    CWceUiLayer* pChild = Child(pDlg, u"c", {0, 0, 10, 10});
    testsupport::LogCapture log;
    pDlg->SetLayerCtrl(nullptr);
    EXPECT_FALSE(pDlg->RemoveChild(pChild));
    EXPECT_FALSE(pDlg->RemoveTail());
    pDlg->SetLayerCtrl(m_ctrl.get());
    EXPECT_TRUE(log.Contains(u"CWceUiLayer::RemoveChild,check(NULL != GetLayerCtrl())fail"));
    EXPECT_TRUE(log.Contains(u"CWceUiLayer::RemoveTail,check(NULL != GetLayerCtrl())fail"));
    EXPECT_EQ(pChild->GetParent(), pDlg);
    EXPECT_EQ(pDlg->GetChildCount(), 1);
    EXPECT_EQ(InputNames(*m_ctrl), (V{u"c", u"dlg"}));
}

// More siblings with children than the walk can hold are reported under the call that walks.
TEST_F(LayerTest, AWalkTooWideIsReportedUnderItsOwnName) {
    CWceUiDlg* pDlg = NewDlg({0, 0, 100, 100});
    for (int i = 0; i < WCEUI_LAYER_STACK_SIZE + 1; ++i) {
        Child(Child(pDlg, u"p", {0, 0, 10, 10}), u"c", {0, 0, 5, 5});
    }
    testsupport::LogCapture log;
    pDlg->SendOnInitLayer();
    EXPECT_TRUE(log.Contains(u"CWceUiDlg::SendOnInitLayer, the layers nest too deep"));
    EXPECT_FALSE(log.Contains(u"SendOnLoad"));
}

TEST_F(LayerTest, PaintListLeavesOutWhatOpaqueLayersHide) {
    CWceUiDlg* pUnder = NewDlg({0, 0, 100, 100});
    pUnder->SetName(u"under");
    Child(pUnder, u"u1", {10, 10, 20, 20});
    CWceUiDlg* pOver = NewDlg({0, 0, 100, 100});
    pOver->SetName(u"over");
    CWceUiLayer* pSmall = Child(pOver, u"small", {5, 5, 15, 15});

    // An opaque full-window dialog hides everything below it.
    m_ctrl->BuildPaintList(uitest::R({0, 0, 100, 100}));
    EXPECT_EQ(PaintNames(*m_ctrl), (V{u"over", u"small"}));
    RECT rc;
    pSmall->GetNeedDrawRect(&rc);
    EXPECT_TRUE(EqualRect(&rc, uitest::R({5, 5, 15, 15})));

    // A see-through dialog lets the one below be drawn, each clipped to the dirty rectangle.
    pOver->GetStyle()->GetBgColorCtrl()->SetTransparent();
    m_ctrl->BuildPaintList(uitest::R({12, 12, 50, 50}));
    EXPECT_EQ(PaintNames(*m_ctrl), (V{u"under", u"u1", u"over", u"small"}));
    pSmall->GetNeedDrawRect(&rc);
    EXPECT_TRUE(EqualRect(&rc, uitest::R({12, 12, 15, 15})));

    // A dirty rectangle that misses a layer leaves it out; no-draw layers are never painted.
    m_ctrl->BuildPaintList(uitest::R({30, 30, 40, 40}));
    EXPECT_EQ(PaintNames(*m_ctrl), (V{u"under", u"over"}));
    pOver->SetLayerNoDraw(TRUE);
    m_ctrl->BuildPaintList(uitest::R({0, 0, 100, 100}));
    EXPECT_EQ(PaintNames(*m_ctrl), (V{u"under", u"u1", u"small"}));

    // Two opaque halves together cover the dialog below, at odd widths (mask rows have padding).
    pOver->SetLayerNoDraw(FALSE);
    pOver->GetStyle()->GetBgColorCtrl()->SetTransparent();
    pSmall->SetLayerPosition(uitest::R({0, 0, 33, 101}), WCEUI_POS_WAY_RELATIVE, FALSE);
    Child(pOver, u"right", {33, 0, 101, 101});
    m_ctrl->BuildPaintList(uitest::R({0, 0, 99, 97}));
    EXPECT_EQ(PaintNames(*m_ctrl), (V{u"small", u"right"}));
    m_ctrl->BuildPaintList(uitest::R({0, 0, 0, 0}));
    EXPECT_EQ(m_ctrl->GetPaintCount(), 0);
}

TEST_F(LayerTest, DialogFromFilesCreatesChildrenInDocumentOrderAndSendsOnLoadByRuns) {
    WriteDialog(u"sub\\CRecDlg",
                u"<dlg><body name=\"main\" windowrect=\"0,0,320,240\" style=\"dlg\">"
                u"<l type=\"CRecLayer\" name=\"A\"><l type=\"CRecLayer\" name=\"A1\"/></l>"
                u"<!-- a comment between layers -->"
                u"<l type=\"CRecLayer\" name=\"B\"><l type=\"CRecLayer\" name=\"B1\"/></l>"
                u"</body></dlg>",
                u"<dlg><style><dlg><position rect=\"0,0,320,240\"/></dlg></style></dlg>");
    g_events.clear();
    CWceUiDlg* pDlg = Open(u"sub\\CRecDlg");
    ASSERT_NE(pDlg, nullptr);
    EXPECT_EQ(std::u16string(pDlg->GetName()), u"main");
    RECT rc;
    ASSERT_TRUE(pDlg->GetDlgWindowRect(&rc));
    EXPECT_TRUE(EqualRect(&rc, uitest::R({0, 0, 320, 240})));
    EXPECT_EQ(g_events,
              (V{u"load A", u"load A1", u"load B", u"load B1", u"load main", u"load A", u"load B", u"load B1",
                 u"load A1", u"init main", u"init A", u"init B", u"init B1", u"init A1"}));
    EXPECT_EQ(pDlg->GetRunWay(), DLG_RUN_IN_MODELESS);
    EXPECT_TRUE(pDlg->EndModeless());
    EXPECT_FALSE(pDlg->EndModeless());
    m_loose.push_back(pDlg);
}

TEST_F(LayerTest, BrokenDialogFilesFailWithTheirMessages) {
    testsupport::LogCapture log;
    EXPECT_EQ(Open(u"CMissing"), nullptr);
    EXPECT_TRUE(log.Contains(u"in CWceUiLayerCtrl::CreateDlg, can not create class CMissing"));
    EXPECT_EQ(Open(u"CWceUiLayer"), nullptr);
    EXPECT_TRUE(log.Contains(u"In CWceUiLayerCtrl::CreateDlg, CWceUiLayer is not a kind of CWceUiDlg"));

    EXPECT_EQ(Open(u"CWceUiDlg"), nullptr);
    EXPECT_TRUE(log.Contains(u"In CWceUiDlg::Init, can not load style file \\wnd\\CWceUiDlg.style.xml"));
    EXPECT_TRUE(log.Contains(u"In CWceUiLayerCtrl::CreateDlg, Create CWceUiDlg failed"));

    WriteDialog(u"CWceUiDlg", u"<dlg><nobody/></dlg>", u"<dlg/>");
    EXPECT_EQ(Open(u"CWceUiDlg"), nullptr);
    EXPECT_TRUE(log.Contains(u"In CWceUiDlg::Init, In \\wnd\\CWceUiDlg.dlg.xml, can not find body elements"));

    // An unknown class stops the creation; what was made before stays until the dialog goes.
    WriteDialog(u"CWceUiDlg",
                u"<dlg><body name=\"d\" windowrect=\"0,0,x\"><l type=\"CWceUiLayer\" name=\"ok\"/>"
                u"<l type=\"CFancyButton\" name=\"b\"/><l name=\"untyped\"/></body></dlg>",
                u"<dlg/>");
    EXPECT_EQ(Open(u"CWceUiDlg"), nullptr);
    EXPECT_TRUE(log.Contains(u"CWceUiDlg::SetProperties, windowrect 0,0,x is not valid"));
    EXPECT_TRUE(log.Contains(u"Create layer from XML element failed, the type is CFancyButton"));
    EXPECT_TRUE(log.Contains(u"In CWceUiDlg::Init, \\wnd\\CWceUiDlg.dlg.xml, can not create all childs"));

    WriteDialog(u"CWceUiDlg", u"<dlg><body><l name=\"untyped\"/></body></dlg>", u"<dlg/>");
    EXPECT_EQ(Open(u"CWceUiDlg"), nullptr);
    EXPECT_TRUE(log.Contains(u"Create layer from XML element failed, no type attributes"));

    // A missing style is reported and the layer is still made.
    WriteDialog(u"CWceUiDlg", u"<dlg><body><l type=\"CWceUiLayer\" name=\"a\" style=\"nope\"/></body></dlg>",
                u"<dlg/>");
    CWceUiDlg* pDlg = Open(u"CWceUiDlg");
    ASSERT_NE(pDlg, nullptr);
    EXPECT_TRUE(log.Contains(u"Can not load style nope"));
    EXPECT_TRUE(log.Contains(u"In CWceUiLayer::SetProperties, Set style nope failed"));
    EXPECT_NE(pDlg->GetChildByName(u"a"), nullptr);
    EXPECT_EQ(m_ctrl->GetLayerCount(), 3);
}

// The longer of the two file paths, the style file's, may take all 259 units a path has.
TEST_F(LayerTest, ADialogWhoseStyleFilePathTakes259UnitsIsCreated) {
    testsupport::LogCapture log;
    const std::u16string folder = std::u16string(120, u'a') + u"\\";
    auto dialogPath = [&](size_t styleUnits) {
        // "\wnd\" + folders + "CWceUiDlg" + ".style.xml"
        return folder + std::u16string(styleUnits - 5 - folder.size() - 1 - 9 - 10, u'b') + u"\\CWceUiDlg";
    };
    const std::u16string longest = dialogPath(259);
    ASSERT_EQ((u"\\wnd\\" + longest + u".style.xml").size(), 259u);
    WriteDialog(longest, u"<dlg><body name=\"longest\"/></dlg>", u"<dlg/>");
    CWceUiDlg* pDlg = Open(longest.c_str());
    ASSERT_NE(pDlg, nullptr) << (log.Messages().empty() ? "" : WideToUtf8(log.Messages().back()));
    EXPECT_EQ(std::u16string(pDlg->GetName()), u"longest");

    // One unit more cannot be named; the dialog made for it is deleted again.
    const std::u16string tooLong = dialogPath(260);
    WriteDialog(tooLong, u"<dlg><body name=\"too long\"/></dlg>", u"<dlg/>");
    const int nLayers = m_ctrl->GetLayerCount();
    EXPECT_EQ(Open(tooLong.c_str()), nullptr);
    EXPECT_EQ(m_ctrl->GetLayerCount(), nLayers);
}

TEST_F(LayerTest, NestingDeeperThanTheStackIsRefusedWithALine) {
    // Built by hand: the dialog file reader itself stops far earlier.
    CWceUiXmlDoc doc;
    std::deque<CWceUiXmlNode> nodes(80);
    std::deque<CWceUiXmlAttr> attrs(80);
    CWceUiXmlNode top;
    top.pDoc = &doc;
    top.nKind = WCEUI_XML_ELEMENT;
    CWceUiXmlNode* pParent = &top;
    for (size_t i = 0; i < nodes.size(); ++i) {
        CWceUiXmlNode& n = nodes[i];
        n.pDoc = &doc;
        n.nKind = WCEUI_XML_ELEMENT;
        n.pName = u"l";
        attrs[i].pName = u"type";
        attrs[i].pValue = u"CWceUiLayer";
        n.attrs.AddTail(&attrs[i]);
        n.pParent = pParent;
        pParent->children.AddTail(&n);
        pParent = &n;
    }
    CWceUiDlg* pDlg = NewDlg({0, 0, 10, 10});
    testsupport::LogCapture log;
    EXPECT_FALSE(pDlg->CreateAllChilds(&top));
    EXPECT_TRUE(log.Contains(u"Create layer from XML element failed, the type is CWceUiLayer"));
    // The layers made before the refusal stay, no deeper than the walks can hold.
    int nDepth = 0;
    for (CWceUiLayer* p = pDlg; p->GetFirstChild(); p = p->GetFirstChild()) {
        ++nDepth;
    }
    EXPECT_GT(nDepth, 50);
    EXPECT_LT(nDepth + 1, WCEUI_LAYER_STACK_SIZE);
    EXPECT_EQ(static_cast<int>(DrawNames(*m_ctrl).size()), nDepth + 2);
}

TEST_F(LayerTest, SetStyleMergesTheLayersOwnSettingsOverTheLoadedStyle) {
    WriteDialog(u"CWceUiDlg",
                u"<dlg><body><l type=\"CWceUiLayer\" name=\"both\" common.style=\"common\" style=\"full\"/>"
                u"<l type=\"CWceUiLayer\" name=\"commonOnly\" common.style=\"common\"/></body></dlg>",
                u"<dlg><style>"
                u"<common><background color=\"0x00FF00\"/><layout visibility=\"false\"/></common>"
                u"<full><position rect=\"1,2,30,40\"/><background color=\"0xFF0000\"/>"
                u"<text color=\"0x0000FF\"/></full>"
                u"<other><position rect=\"5,5,10,10\"/><background color=\"0x123456\"/></other>"
                u"</style></dlg>");
    CWceUiDlg* pDlg = Open(u"CWceUiDlg");
    ASSERT_NE(pDlg, nullptr);
    CWceUiLayer* pBoth = pDlg->GetChildByName(u"both");
    CWceUiLayer* pCommon = pDlg->GetChildByName(u"commonOnly");
    ASSERT_TRUE(pBoth && pCommon);
    // The common style's groups win; the rest comes from "style".
    EXPECT_EQ(pBoth->GetStyle()->GetBgColorCtrl()->GetColor(), RGB(0, 255, 0));
    EXPECT_FALSE(pBoth->GetStyle()->IsVisible());
    EXPECT_EQ(pBoth->GetStyle()->GetTextColorValue(), RGB(0, 0, 255));
    RECT rc;
    pBoth->GetWindowRect(&rc);
    EXPECT_TRUE(EqualRect(&rc, uitest::R({1, 2, 31, 42})));
    // A common style alone draws nothing until a style is merged.
    EXPECT_FALSE(pCommon->GetStyle()->GetBgColorCtrl()->IsHasBgColor());
    EXPECT_TRUE(pCommon->GetStyle()->IsVisible());

    // Settings remembered on the layer survive later styles.
    pBoth->ShowLayer(TRUE);
    ASSERT_TRUE(pBoth->SetStyle(u"other"));
    EXPECT_TRUE(pBoth->GetStyle()->IsVisible());
    EXPECT_EQ(pBoth->GetStyle()->GetBgColorCtrl()->GetColor(), RGB(0, 255, 0));
    pBoth->GetWindowRect(&rc);
    EXPECT_TRUE(EqualRect(&rc, uitest::R({5, 5, 15, 15})));
    EXPECT_TRUE(m_host.WasInvalidated({1, 2, 31, 42}));
    // A failed lookup changes nothing.
    EXPECT_FALSE(pBoth->SetStyle(u"missing"));
    EXPECT_FALSE(pBoth->SetCommonStyle(u"missing"));
    EXPECT_EQ(pBoth->GetStyle()->GetBgColorCtrl()->GetColor(), RGB(0, 255, 0));
}
