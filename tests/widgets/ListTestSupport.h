// A list box in a dialog on the recording host, with a virtual clock for flick timing.
#pragma once

#include "ui/UiTestSupport.h"
#include "platform/Platform.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/widgets/WceUiListBox.h"

#include <memory>
#include <string>

namespace listtest {

class ListTest : public uitest::LayerTest {
protected:
    void SetUp() override {
        LayerTest::SetUp();
        PlatformUseVirtualClock(TRUE);
        PlatformSetClock(100000);
        m_pDlg = NewDlg(RECT{0, 0, 320, 240});
    }
    void TearDown() override {
        PlatformUseVirtualClock(FALSE);
        LayerTest::TearDown();
    }
    // A list box made by class name at a window rectangle, with nItems items "item 0", "item 1", ...
    CWceUiListBox* MakeList(const RECT& rc, int nItems, int nExtra = 0) {
        CWceUiLayer* p = m_ctrl->CreateLayer(m_pDlg, u"CWceUiListBox", u"list");
        CWceUiListBox* pList = dynamic_cast<CWceUiListBox*>(p);
        EXPECT_NE(nullptr, pList);
        if (!pList) {
            return nullptr;
        }
        pList->SetLayerPosition(&rc, WCEUI_POS_WAY_WINDOW, FALSE);
        pList->OnInitLayer();
        pList->SetExtraScroll(nExtra);
        for (int i = 0; i < nItems; ++i) {
            const std::u16string text = u"item " + Utf8ToWide(std::to_string(i));
            EXPECT_EQ(i, pList->AddString(text.c_str(), FALSE));
        }
        return pList;
    }
    // Runs the animation timer until it stops; the number of frames it ran.
    int RunAnimation(CWceUiScrollLayer* pLayer) {
        int n = 0;
        while (pLayer->IsAnimating() && n < 1000) {
            PlatformAdvanceClock(1);
            pLayer->OnTimer(WCEUI_SCROLL_TIMER);
            ++n;
        }
        return n;
    }
    static POINT Pt(int x, int y) { return POINT{x, y}; }

    CWceUiDlg* m_pDlg = nullptr;
};

inline std::unique_ptr<CWceUiGenericBitmap> SolidBitmap(int nBits, int w, int h, COLORREF cr) {
    std::unique_ptr<CWceUiGenericBitmap> p(WceUiCreateBitmapObject(nBits));
    if (p && p->CreateDIB(w, h)) {
        p->FillColor(cr);
    }
    return p;
}

} // namespace listtest
