// Pen handling of the scroll layer and the list box: tap against drag, flicks, springing back, the
// tap's notice and redraw, and what bad input does.
#include "ListTestSupport.h"

#include "platform/display/Display.h"
#include "support/TestSupport.h"
#include "wceui/ui/RealGenericWnd.h"
#include "wceui/ui/WceUiLayerDump.h"

using listtest::ListTest;

namespace {

const RECT kList = {10, 20, 210, 120}; // 200 x 100: five rows of 20

TEST_F(ListTest, NineteenPixelsIsATapTwentyIsADrag) {
    CWceUiListBox* pList = MakeList(kList, 50);
    ASSERT_NE(nullptr, pList);
    EXPECT_EQ(20 * 50 - 100, pList->GetScrollMax());

    // Down on row 2 (y 40..59 of the list), 19 pixels up, lift: a tap on row 2.
    pList->OnLButtonDown(0, Pt(50, 20 + 45));
    EXPECT_EQ(2, pList->GetPressedItem());
    EXPECT_EQ(pList, m_host.capture);
    pList->OnMouseMove(0, Pt(50, 20 + 45 - 19));
    EXPECT_FALSE(pList->IsDragging());
    EXPECT_EQ(0, pList->GetScrollPos());
    pList->OnLButtonUp(0, Pt(50, 20 + 45 - 19));
    EXPECT_EQ(2, pList->GetCurSel());
    EXPECT_EQ(-1, pList->GetPressedItem());
    EXPECT_EQ(nullptr, m_host.capture);
    // The selected bit is the dialog's to set.
    DWORD dwState = 0xFF;
    ASSERT_TRUE(pList->GetItemState(2, &dwState));
    EXPECT_EQ(0u, dwState);

    // Twenty pixels: a drag that moves the content and selects nothing.
    pList->OnLButtonDown(0, Pt(50, 20 + 85));
    EXPECT_EQ(4, pList->GetPressedItem());
    pList->OnMouseMove(0, Pt(50, 20 + 65));
    EXPECT_TRUE(pList->IsDragging());
    EXPECT_EQ(20, pList->GetScrollPos());
    EXPECT_EQ(-1, pList->GetPressedItem());
    PlatformAdvanceClock(500); // slow: no flick
    pList->OnLButtonUp(0, Pt(50, 20 + 65));
    EXPECT_FALSE(pList->IsAnimating());
    EXPECT_EQ(20, pList->GetScrollPos());
    EXPECT_EQ(2, pList->GetCurSel());
}

TEST_F(ListTest, FlickDistanceFollowsTheElapsedTimeLimits) {
    struct Case {
        DWORD dwElapsed;
        int nTravel; // beyond the 40 pixels dragged
    };
    // Vertical list of height 100: base 2 x 100, doubled below 100 ms, halved below 400 ms.
    const Case cases[] = {{99, 400}, {100, 200}, {199, 200}, {200, 100}, {399, 100}, {400, 0}};
    for (const Case& c : cases) {
        CWceUiListBox* pList = MakeList(kList, 100, 30);
        ASSERT_NE(nullptr, pList);
        pList->OnLButtonDown(0, Pt(50, 100));
        pList->OnMouseMove(0, Pt(50, 60));
        ASSERT_EQ(40, pList->GetScrollPos());
        PlatformAdvanceClock(c.dwElapsed);
        pList->OnLButtonUp(0, Pt(50, 60));
        EXPECT_EQ(c.nTravel != 0, pList->IsAnimating()) << c.dwElapsed;
        const int nFrames = RunAnimation(pList);
        EXPECT_EQ(40 + c.nTravel, pList->GetScrollPos()) << c.dwElapsed;
        EXPECT_EQ(c.nTravel != 0 ? 15 : 0, nFrames) << c.dwElapsed;
        EXPECT_EQ(-1, pList->GetCurSel());
        m_ctrl->DeleteLayer(pList);
    }
}

TEST_F(ListTest, AFlickStopsAtTheEndPlusTheMarginAndSpringsBack) {
    CWceUiListBox* pList = MakeList(kList, 30, 30); // maximum 500
    ASSERT_NE(nullptr, pList);
    pList->ScrollTo(400, FALSE);
    pList->OnLButtonDown(0, Pt(50, 100));
    pList->OnMouseMove(0, Pt(50, 70));
    ASSERT_EQ(430, pList->GetScrollPos());
    PlatformAdvanceClock(50);
    pList->OnLButtonUp(0, Pt(50, 70));
    // Thrown up to the maximum plus the margin, then back to the maximum.
    std::vector<int> seen;
    int nGuard = 0;
    while (pList->IsAnimating() && nGuard++ < 100) {
        pList->OnTimer(WCEUI_SCROLL_TIMER);
        seen.push_back(pList->GetScrollPos());
    }
    ASSERT_GE(seen.size(), 16u);
    EXPECT_EQ(530, seen[14]);
    EXPECT_EQ(500, seen.back());
    EXPECT_EQ(500, *std::min_element(seen.begin() + 15, seen.end()));
}

TEST_F(ListTest, DraggedPastEitherEndItSpringsBack) {
    // Shorter than the layer: maximum 0, no scroll bar, only the margin to pull.
    CWceUiListBox* pShort = MakeList(kList, 3, 25);
    ASSERT_NE(nullptr, pShort);
    EXPECT_EQ(0, pShort->GetScrollMax());
    EXPECT_EQ(0, pShort->GetThumbSize());
    pShort->OnLButtonDown(0, Pt(50, 30));
    pShort->OnMouseMove(0, Pt(50, 90));
    EXPECT_EQ(-25, pShort->GetScrollPos());
    pShort->OnLButtonUp(0, Pt(50, 90));
    EXPECT_EQ(15, RunAnimation(pShort));
    EXPECT_EQ(0, pShort->GetScrollPos());
    m_ctrl->DeleteLayer(pShort);

    CWceUiListBox* pLong = MakeList(kList, 10, 25); // maximum 100
    ASSERT_NE(nullptr, pLong);
    pLong->ScrollTo(100, FALSE);
    pLong->OnLButtonDown(0, Pt(50, 100));
    pLong->OnMouseMove(0, Pt(50, 40));
    EXPECT_EQ(125, pLong->GetScrollPos());
    EXPECT_EQ(100 - pLong->GetThumbSize(), pLong->GetThumbOffset());
    pLong->OnLButtonUp(0, Pt(50, 40)); // at the end: no flick even though quick
    RunAnimation(pLong);
    EXPECT_EQ(100, pLong->GetScrollPos());
    // Losing the pen mid-drag also settles.
    pLong->OnLButtonDown(0, Pt(50, 100));
    pLong->OnMouseMove(0, Pt(50, 40));
    pLong->OnLoseCapture();
    EXPECT_FALSE(pLong->IsPressed());
    RunAnimation(pLong);
    EXPECT_EQ(100, pLong->GetScrollPos());
}

TEST_F(ListTest, APenDownStopsAnAnimationWhereItIs) {
    CWceUiListBox* pList = MakeList(kList, 100, 0);
    ASSERT_NE(nullptr, pList);
    pList->AnimateScroll(300);
    EXPECT_FALSE(m_host.timers.empty());
    for (int i = 0; i < 5; ++i) {
        pList->OnTimer(WCEUI_SCROLL_TIMER);
    }
    const int nPos = pList->GetScrollPos();
    EXPECT_GT(nPos, 0);
    EXPECT_LT(nPos, 300);
    pList->OnLButtonDown(0, Pt(50, 50));
    EXPECT_FALSE(pList->IsAnimating());
    EXPECT_TRUE(m_host.timers.empty());
    pList->OnTimer(WCEUI_SCROLL_TIMER);
    EXPECT_EQ(nPos, pList->GetScrollPos());
    pList->OnLButtonUp(0, Pt(50, 50));
}

TEST_F(ListTest, ATapRedrawsOnlyItsRow) {
    CWceUiListBox* pList = MakeList(kList, 50);
    ASSERT_NE(nullptr, pList);
    pList->ScrollTo(10, FALSE);
    m_host.invalid.clear();
    // Row 1 is at 20..40 of the content: 10..30 of the list after scrolling by 10.
    pList->OnLButtonDown(0, Pt(50, 20 + 15));
    ASSERT_EQ(1u, m_host.invalid.size());
    EXPECT_TRUE(EqualRect(&m_host.invalid[0], uitest::R(RECT{10, 30, 210, 50})));
    pList->OnLButtonUp(0, Pt(50, 35));
    ASSERT_EQ(2u, m_host.invalid.size());
    EXPECT_TRUE(EqualRect(&m_host.invalid[1], uitest::R(RECT{10, 30, 210, 50})));
    EXPECT_EQ(1, pList->GetCurSel());
    // A row partly out of view is redrawn only where it shows.
    m_host.invalid.clear();
    pList->OnLButtonDown(0, Pt(50, 21));
    ASSERT_EQ(1u, m_host.invalid.size());
    EXPECT_TRUE(EqualRect(&m_host.invalid[0], uitest::R(RECT{10, 20, 210, 30})));
    pList->OnLButtonUp(0, Pt(50, 21));
    EXPECT_EQ(0, pList->GetCurSel());
}

// Below the last row of a short list there is no row: a tap there presses and selects nothing.
TEST_F(ListTest, ATapBelowTheLastRowOfAShortListPressesNothing) {
    CWceUiListBox* pList = MakeList(kList, 3); // three rows in a box of five
    ASSERT_NE(nullptr, pList);
    ASSERT_EQ(1, pList->SetSel(1, FALSE));
    m_host.invalid.clear();
    pList->OnLButtonDown(0, Pt(50, 20 + 60)); // the first pixel below row 2
    EXPECT_EQ(-1, pList->GetPressedItem());
    pList->OnLButtonUp(0, Pt(50, 20 + 60));
    EXPECT_EQ(1, pList->GetCurSel());
    EXPECT_TRUE(m_host.invalid.empty());
    // The pixel above it is row 2's last.
    pList->OnLButtonDown(0, Pt(50, 20 + 59));
    EXPECT_EQ(2, pList->GetPressedItem());
    pList->OnLButtonUp(0, Pt(50, 20 + 59));
    EXPECT_EQ(2, pList->GetCurSel());
}

// A host that is also a platform window, so that the tap's notice can be posted and read back.
class PostingHost : public uitest::FakeHost, public CRealGenericWnd {
public:
    explicit PostingHost(HWND hWnd) { m_hWnd = hWnd; }
    ~PostingHost() override { m_hWnd = NULL; }
};

class ListPostTest : public ListTest {
protected:
    void SetUp() override {
        ListTest::SetUp();
        PlatformDisplayOptions options;
        options.backend = "headless";
        options.width = 320;
        options.height = 240;
        std::string error;
        ASSERT_EQ(0, PlatformStartDisplay(options, &error)) << error;
    }
    void TearDown() override {
        PlatformStopDisplay();
        ListTest::TearDown();
    }
};

TEST_F(ListPostTest, ATapPostsTheActivationToTheHostWindow) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"ListPostTest";
    RegisterClassW(&wc);
    HWND hWnd = CreateWindowExW(0, u"ListPostTest", u"", WS_POPUP, 0, 0, 320, 240, NULL, NULL, NULL, NULL);
    ASSERT_NE(nullptr, hWnd);
    PostingHost host(hWnd);
    m_ctrl->SetWindow(&host);
    CWceUiListBox* pList = MakeList(kList, 5);
    ASSERT_NE(nullptr, pList);
    pList->OnLButtonDown(0, Pt(50, 75));
    pList->OnLButtonUp(0, Pt(50, 75));
    MSG msg;
    bool bFound = false;
    while (PeekMessageW(&msg, hWnd, 0, 0, PM_REMOVE)) {
        if (WCEUI_LB_MSG_ITEM_ACTIVATE == msg.message) {
            EXPECT_FALSE(bFound) << "posted twice";
            bFound = true;
            EXPECT_EQ(1u, msg.wParam);
            EXPECT_EQ(reinterpret_cast<LPARAM>(pList), msg.lParam);
        }
    }
    EXPECT_TRUE(bFound);
    EXPECT_EQ(2, pList->GetCurSel());
    // A drag posts nothing.
    pList->OnLButtonDown(0, Pt(50, 30));
    pList->OnMouseMove(0, Pt(50, 90));
    pList->OnLButtonUp(0, Pt(50, 90));
    while (PeekMessageW(&msg, hWnd, 0, 0, PM_REMOVE)) {
        EXPECT_NE(static_cast<UINT>(WCEUI_LB_MSG_ITEM_ACTIVATE), msg.message);
    }
    m_ctrl->DeleteLayer(pList);
    m_ctrl->SetWindow(&m_host);
    DestroyWindow(hWnd);
}

TEST_F(ListTest, ItemCallsRefuseIndexesOutOfRange) {
    testsupport::LogCapture log;
    CWceUiListBox* pList = MakeList(kList, 0);
    ASSERT_NE(nullptr, pList);
    EXPECT_EQ(reinterpret_cast<LPVOID>(static_cast<intptr_t>(-1)), pList->GetItemData(0));
    EXPECT_EQ(-1, pList->SetSel(0));
    for (int i = 0; i < 3; ++i) {
        pList->AddString(u"x");
    }
    ASSERT_EQ(1, pList->SetSel(1));
    EXPECT_EQ(-1, pList->SetSel(3));
    EXPECT_EQ(-1, pList->SetSel(-1));
    EXPECT_EQ(1, pList->GetCurSel());
    DWORD dwState = 0;
    ASSERT_TRUE(pList->GetItemState(1, &dwState));
    EXPECT_EQ(static_cast<DWORD>(WCEUI_LB_STATE_SELECTED), dwState);
    EXPECT_FALSE(pList->GetItemState(3, &dwState));
    // Selecting another clears the first.
    ASSERT_EQ(2, pList->SetSel(2));
    ASSERT_TRUE(pList->GetItemState(1, &dwState));
    EXPECT_EQ(0u, dwState);
    int nData = 7;
    EXPECT_EQ(0, pList->SetItemData(2, &nData));
    EXPECT_EQ(&nData, pList->GetItemData(2));
    EXPECT_EQ(-1, pList->SetItemData(3, &nData));
    EXPECT_TRUE(log.Contains(u"CWceUiListBox::SetSel,check(nIndex >= 0 && nIndex < GetCount())fail"));

    // Only bitmaps are item images.
    CWceUiObject notABitmap;
    EXPECT_FALSE(pList->SetItemImage(0, &notABitmap));
    auto pBmp = listtest::SolidBitmap(16, 4, 4, RGB(255, 0, 0));
    EXPECT_TRUE(pList->SetItemImage(0, pBmp.get()));
    EXPECT_FALSE(pList->SetItemImage(5, pBmp.get()));
    EXPECT_TRUE(pList->SetItemImage(0, nullptr));

    // A row must have a height.
    EXPECT_FALSE(pList->SetItemHeight(0));
    EXPECT_FALSE(pList->SetItemHeight(-5));
    EXPECT_EQ(20, pList->GetItemHeight());

    pList->ResetContent();
    EXPECT_EQ(0, pList->GetCount());
    EXPECT_EQ(-1, pList->GetCurSel());
    EXPECT_EQ(0, pList->GetScrollPos());
    EXPECT_EQ(-1, pList->AddString(nullptr));
}

// The updater marks a tapped file with SetSel (GetCurSel ()) after the tap has already moved the
// selection: the row checked before must lose its mark, and be redrawn without it.
TEST_F(ListTest, SetSelAfterATapClearsTheRowCheckedBefore) {
    CWceUiListBox* pList = MakeList(kList, 5);
    ASSERT_NE(nullptr, pList);
    m_pDlg->ShowLayer(TRUE);
    ASSERT_EQ(1, pList->SetSel(1, FALSE));
    auto checked = [&] {
        std::string rows;
        for (int i = 0; i < pList->GetCount(); ++i) {
            DWORD dwState = 0;
            EXPECT_TRUE(pList->GetItemState(i, &dwState));
            rows += 0 != (dwState & WCEUI_LB_STATE_SELECTED) ? '1' : '0';
        }
        return rows;
    };

    // A tap on row 3 moves the selection and leaves every bit as it was.
    pList->OnLButtonDown(0, Pt(50, 20 + 65));
    pList->OnLButtonUp(0, Pt(50, 20 + 65));
    EXPECT_EQ(3, pList->GetCurSel());
    EXPECT_EQ("01000", checked());

    m_host.invalid.clear();
    ASSERT_EQ(3, pList->SetSel(pList->GetCurSel(), TRUE));
    EXPECT_EQ("00010", checked());
    EXPECT_TRUE(m_host.WasInvalidated(RECT{10, 40, 210, 60})); // row 1 loses its mark
    EXPECT_TRUE(m_host.WasInvalidated(RECT{10, 80, 210, 100}));
    std::string line;
    std::vector<std::string> items;
    pList->AppendDumpInfo(&line, &items);
    const std::vector<std::string> expected = {"item 0 \"item 0\"", "item 1 \"item 1\"", "item 2 \"item 2\"",
                                               "item 3 \"item 3\" checked", "item 4 \"item 4\""};
    EXPECT_EQ(expected, items);

    // Refilled with fewer items, the list has nothing checked, and the mark of an item that is gone
    // is not looked for.
    pList->ResetContent();
    pList->AddString(u"a", FALSE);
    pList->AddString(u"b", FALSE);
    EXPECT_EQ("00", checked());
    ASSERT_EQ(1, pList->SetSel(1, TRUE));
    EXPECT_EQ("01", checked());
}

TEST_F(ListTest, AMillionItemsFitAndMoreAreRefused) {
    CWceUiListBox* pList = MakeList(kList, 0);
    ASSERT_NE(nullptr, pList);
    for (int i = 0; i < WCEUI_LB_MAX_ITEMS; ++i) {
        ASSERT_EQ(i, pList->AddString(u"row", FALSE));
    }
    EXPECT_EQ(-1, pList->AddString(u"one too many", FALSE));
    EXPECT_EQ(WCEUI_LB_MAX_ITEMS, pList->GetCount());
    EXPECT_EQ(WCEUI_LB_MAX_ITEMS * 20 - 100, pList->GetScrollMax());
    // A height that would overflow the scroll range is refused.
    EXPECT_FALSE(pList->SetItemHeight(5000));
    pList->ScrollTo(pList->GetScrollMax(), FALSE);
    int nFirst = 0;
    int nEnd = 0;
    pList->GetVisibleRange(&nFirst, &nEnd);
    EXPECT_EQ(WCEUI_LB_MAX_ITEMS - 5, nFirst);
    EXPECT_EQ(WCEUI_LB_MAX_ITEMS, nEnd);
}

TEST_F(ListTest, DumpNamesTheItemsInView) {
    CWceUiListBox* pList = MakeList(kList, 20);
    ASSERT_NE(nullptr, pList);
    pList->AddString(u"say \"hi\"", FALSE);
    pList->SetSel(3, FALSE);
    pList->ScrollTo(30, FALSE);
    // The list's own line ends in its pairs; the items in view follow one level deeper.
    const std::string dump = WceUiDumpLayer(pList, 1);
    EXPECT_EQ(0u, dump.find("  CWceUiListBox ")) << dump;
    EXPECT_NE(std::string::npos,
              dump.find("\" items=21 selected=3 top=30\n    item 1 \"item 1\"\n    item 2 \"item 2\"\n"
                        "    item 3 \"item 3\" checked\n    item 4 \"item 4\"\n    item 5 \"item 5\"\n"
                        "    item 6 \"item 6\"\n"))
        << dump;
    pList->ScrollTo(pList->GetScrollMax(), FALSE);
    std::string line;
    std::vector<std::string> items;
    pList->AppendDumpInfo(&line, &items);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ("item 20 \"say \\\"hi\\\"\"", items.back());
}

} // namespace

namespace {

TEST_F(ListTest, ADialogFileMakesAListWithItsProperties) {
    testsupport::LogCapture log;
    WriteDialog(
        u"files\\CWceUiDlg",
        u"<dlg><body name=\"files\" windowrect=\"0,0,320,240\" style=\"dlg\">"
        u"<l type=\"CWceUiListBox\" name=\"list\" style=\"list\" item_height=\"32\" extra_scroll=\"40\" "
        u"text_left_offset=\"9\" textcolor_select=\"0x102030\" draw_item_image=\"true\" "
        u"item_image_width=\"24\" linebg_normal=\"no\\such\\row.conf\" default_item_image=\"no\\icon.conf\"/>"
        u"<l type=\"CWceUiListBox\" name=\"flat\" style=\"list\" item_height=\"0\" draw_item_image=\"TRUE\"/>"
        u"</body></dlg>",
        u"<dlg><style><dlg><position rect=\"0,0,320,240\"/></dlg>"
        u"<list><position way=\"relative\" rect=\"0,0,320,200\"/></list></style></dlg>");
    // This dialog runs alone.
    m_ctrl->DeleteLayer(m_pDlg);
    m_pDlg = nullptr;
    CWceUiDlg* pDlg = Open(u"files\\CWceUiDlg");
    ASSERT_NE(nullptr, pDlg);
    auto* pList = dynamic_cast<CWceUiListBox*>(pDlg->GetChildByName(u"list"));
    auto* pFlat = dynamic_cast<CWceUiListBox*>(pDlg->GetChildByName(u"flat"));
    ASSERT_TRUE(pList && pFlat);
    EXPECT_EQ(32, pList->GetItemHeight());
    EXPECT_EQ(40, pList->GetExtraScroll());
    EXPECT_EQ(9, pList->GetTextLeftOffset());
    EXPECT_EQ(RGB(0x10, 0x20, 0x30), pList->GetPressedTextColor());
    EXPECT_TRUE(pList->IsDrawItemImage());
    // A zero height is refused with a message; only exactly "true" draws item images.
    EXPECT_EQ(20, pFlat->GetItemHeight());
    EXPECT_TRUE(log.Contains(u"CWceUiListBox::SetProperties, item_height 0 refused"));
    EXPECT_FALSE(pFlat->IsDrawItemImage());
    // Missing row and item images leave plain rows; drawing goes on.
    for (int i = 0; i < 12; ++i) {
        pList->AddString(u"row");
    }
    EXPECT_EQ(12 * 32 - 200, pList->GetScrollMax());
    pFlat->ShowLayer(FALSE); // it lies over the first
    auto pWnd = listtest::SolidBitmap(16, 320, 240, RGB(0, 0, 0));
    ASSERT_TRUE(m_ctrl->Draw(pWnd.get(), uitest::R(RECT{0, 0, 320, 240})));
    EXPECT_EQ(7, pList->GetLastDrawnRowCount());
}

} // namespace

namespace {

TEST_F(ListTest, AHorizontalScrollLayerFollowsXAndFlicksByHalfItsWidth) {
    testsupport::LogCapture log;
    auto* pLayer =
        dynamic_cast<CWceUiScrollLayer*>(m_ctrl->CreateLayer(m_pDlg, u"CWceUiScrollLayer", u"strip"));
    ASSERT_NE(nullptr, pLayer);
    const RECT rc = {0, 0, 200, 50};
    pLayer->SetLayerPosition(&rc, WCEUI_POS_WAY_WINDOW, FALSE);
    EXPECT_FALSE(pLayer->SetOrientation(2));
    EXPECT_TRUE(log.Contains(u"CWceUiScrollLayer::SetOrientation,check("));
    ASSERT_TRUE(pLayer->SetOrientation(WCEUI_SCROLL_HORIZONTAL));
    pLayer->SetScrollRange(0, 1000, FALSE);
    // Thumb: 200 x 200 / (200 + 1000), at least 20.
    EXPECT_EQ(33, pLayer->GetThumbSize());
    // Vertical movement does nothing; 30 pixels to the left drag the content on.
    pLayer->OnLButtonDown(0, Pt(150, 10));
    pLayer->OnMouseMove(0, Pt(150, 45));
    EXPECT_FALSE(pLayer->IsDragging());
    pLayer->OnMouseMove(0, Pt(120, 45));
    EXPECT_EQ(30, pLayer->GetScrollPos());
    PlatformAdvanceClock(150);
    pLayer->OnLButtonUp(0, Pt(120, 45)); // 100..199 ms: half the width
    RunAnimation(pLayer);
    EXPECT_EQ(130, pLayer->GetScrollPos());
    EXPECT_EQ((200 - 33) * 130 / 1000, pLayer->GetThumbOffset());
    // Back towards the start: the flick turns negative and stops at the minimum.
    pLayer->OnLButtonDown(0, Pt(100, 10));
    pLayer->OnMouseMove(0, Pt(130, 10));
    EXPECT_EQ(100, pLayer->GetScrollPos());
    PlatformAdvanceClock(20);
    pLayer->OnLButtonUp(0, Pt(130, 10)); // below 100 ms: 200, limited to the 100 left
    RunAnimation(pLayer);
    EXPECT_EQ(0, pLayer->GetScrollPos());
    // ScrollTo ignores positions out of range.
    pLayer->ScrollTo(1001, FALSE);
    EXPECT_EQ(0, pLayer->GetScrollPos());
    pLayer->ScrollTo(1000, FALSE);
    EXPECT_EQ(1000, pLayer->GetScrollPos());
}

} // namespace
