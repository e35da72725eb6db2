// A golden picture of both edit boxes dressed: a multi-line box scrolled down a line and a half, with a
// background per line and the vertical scroll bar, and a single-line box scrolled along a long text with the
// horizontal scroll bar, in 565 and in 32 bits.
#include "support/GoldenDepth.h"
#include "support/GoldenImage.h"
#include "tools/imaging/RgbaBitmaps.h"
#include "ui/UiTestSupport.h"
#include "wceui/style/WceUiStyle.h"
#include "wceui/style/WceUiStyleCtrls.h"
#include "wceui/widgets/WceUiEditBox.h"

#include <memory>
#include <string>
#include <vector>

using golden::Image;
using golden::Set;

namespace {

class EditGoldenTest : public uitest::LayerTest, public golden::DepthParam {
protected:
    template <class T> T* Make(CWceUiDlg* pDlg, LPCWSTR pClass, const RECT& rc) {
        T* p = dynamic_cast<T*>(m_ctrl->CreateLayer(pDlg, pClass, u"edit"));
        EXPECT_NE(nullptr, p);
        if (p) {
            p->SetLayerPosition(&rc, WCEUI_POS_WAY_WINDOW, FALSE);
            p->OnInitLayer();
            p->GetStyle()->SetTextColorValue(RGB(20, 30, 70));
            p->GetStyle()->GetBgColorCtrl()->SetColor(RGB(250, 250, 245));
        }
        return p;
    }
    // A scroll bar cap, 5 wide and 4 long, rounded at its outer end; along x when bAcross.
    RgbaImage Cap(bool bStart, bool bAcross) {
        return Image(bAcross ? 4 : 5, bAcross ? 5 : 4, [=](int x, int y, uint8_t* p) {
            int along = bAcross ? x : y;
            const int side = bAcross ? y : x;
            along = bStart ? along : 3 - along;
            const bool corner = (0 == along && (0 == side || 4 == side));
            corner ? Set(p, 0, 0, 0, 0) : Set(p, 90, 100, 120, 220);
        });
    }
    std::vector<std::unique_ptr<CWceUiGenericBitmap>> m_pieces;
};

TEST_P(EditGoldenTest, BothBoxesWithTextLineBackgroundsAndScrollBars) {
    CWceUiDlg* pDlg = NewDlg(RECT{0, 0, 320, 240});
    ASSERT_NE(nullptr, pDlg);
    pDlg->GetStyle()->GetBgColorCtrl()->SetColor(RGB(40, 60, 90));
    auto* m = Make<CWceUiMEditBox>(pDlg, u"CWceUiMEditBox", RECT{10, 10, 310, 130});
    auto* s = Make<CWceUiSEditBox>(pDlg, u"CWceUiSEditBox", RECT{10, 150, 310, 180});
    ASSERT_TRUE(m && s);
    // A line: a pale band that darkens towards a rule at its foot.
    m_pieces.push_back(FromRgba(Image(1, 17, [](int, int y, uint8_t* p) {
        16 == y ? Set(p, 170, 185, 210) : Set(p, 250 - y * 2, 252 - y, 255);
    })));
    ASSERT_TRUE(m->LineBg().SetBitmapFromApp(m_pieces.back().get()));
    m_pieces.push_back(FromRgba(Cap(true, false)));
    ASSERT_TRUE(m->BarTop().SetBitmapFromApp(m_pieces.back().get()));
    m_pieces.push_back(FromRgba(Image(5, 1, [](int, int, uint8_t* p) { Set(p, 90, 100, 120, 220); })));
    ASSERT_TRUE(m->BarMiddle().SetBitmapFromApp(m_pieces.back().get()));
    m_pieces.push_back(FromRgba(Cap(false, false)));
    ASSERT_TRUE(m->BarBottom().SetBitmapFromApp(m_pieces.back().get()));
    m_pieces.push_back(FromRgba(Cap(true, true)));
    ASSERT_TRUE(s->BarLeft().SetBitmapFromApp(m_pieces.back().get()));
    m_pieces.push_back(FromRgba(Image(1, 5, [](int, int, uint8_t* p) { Set(p, 90, 100, 120, 220); })));
    ASSERT_TRUE(s->BarCenter().SetBitmapFromApp(m_pieces.back().get()));
    m_pieces.push_back(FromRgba(Cap(false, true)));
    ASSERT_TRUE(s->BarRight().SetBitmapFromApp(m_pieces.back().get()));

    // Wrapped sentences, a blank line and a word too long for the box: more lines than fit.
    ASSERT_TRUE(
        m->SetEditText(u"Route to the harbour: turn left after the bridge, then follow the coast road "
                       u"north for two miles.\n\nParking nearby.\nCall ahead: +44 20 7946 0018\n"
                       u"Waypoints: Lighthouse, Old Mill, Station Square, Market Hall, Ferry Pier\n"
                       u"Notes: unpavedsectionaftertheferrypierkeepleft slowly.\nDone."));
    ASSERT_GT(m->GetLineCount(), 8);
    // Stopped between lines, as a drag may leave it: the lines cut at the top and bottom show their part.
    m->ScrollTo(m->GetLineHeight() + m->GetLineHeight() / 2, FALSE);
    ASSERT_GT(m->GetThumbSize(), 8);
    ASSERT_TRUE(
        s->SetEditText(u"Destination: 221B Baker Street, Marylebone, London NW1 6XE, United Kingdom"));
    s->ScrollTo(s->GetScrollMax() / 2, FALSE);
    ASSERT_GT(s->GetThumbSize(), 8);
    ASSERT_GT(s->GetScrollPos(), 0);

    std::unique_ptr<CWceUiGenericBitmap> pWnd(WceUiCreateBitmapObject(Bits()));
    ASSERT_TRUE(pWnd && pWnd->CreateDIB(320, 240));
    pWnd->FillColor(RGB(0, 0, 0));
    pDlg->ShowLayer(TRUE);
    const RECT rcAll = {0, 0, 320, 240};
    ASSERT_TRUE(m_ctrl->Draw(pWnd.get(), &rcAll));
    golden::CheckGolden(GOLDEN_DIR, GOLDEN_OUT_DIR, "edit_boxes_" + Suffix(), imaging::RgbaFromBitmap(*pWnd));
}

INSTANTIATE_TEST_SUITE_P(Depths, EditGoldenTest, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return 16 == info.param ? std::string("Rgb565") : std::string("Rgb32");
                         });

} // namespace
