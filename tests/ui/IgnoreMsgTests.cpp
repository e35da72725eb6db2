#include "support/TestSupport.h"
#include "wceui/ui/FhIgnoreMsg.h"
#include "wceui/ui/XiWndHelper.h"

namespace {

MSG Msg(HWND hwnd, UINT message, DWORD time) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = message;
    m.time = time;
    return m;
}

HWND H(uintptr_t v) {
    return reinterpret_cast<HWND>(v);
}

} // namespace

TEST(IgnoreMsg, PenInputUpToTheRecordedTimeIsSwallowed) {
    CFhIgnoreMsg f;
    MSG down = Msg(H(0x100), WM_LBUTTONDOWN, 500);
    EXPECT_FALSE(f.IsIgnoreMsg(&down)); // no pairs: nothing swallowed

    ASSERT_TRUE(f.AddHwndTime(H(0x100), 500));
    ASSERT_TRUE(f.AddHwndTime(H(0x200), 900));
    MSG key = Msg(H(0x100), WM_KEYDOWN, 100);
    EXPECT_FALSE(f.IsIgnoreMsg(&key)); // keys are never swallowed
    EXPECT_EQ(2, f.GetHwndTimeCount());
    EXPECT_TRUE(f.IsIgnoreMsg(&down)); // same time: swallowed
    MSG move = Msg(H(0x100), WM_MOUSEMOVE, 499);
    EXPECT_TRUE(f.IsIgnoreMsg(&move));
    MSG otherWindow = Msg(H(0x300), WM_LBUTTONUP, 1);
    EXPECT_FALSE(f.IsIgnoreMsg(&otherWindow));

    // The first newer pen message goes through and ends the ignoring for its window only.
    MSG later = Msg(H(0x100), WM_LBUTTONUP, 501);
    EXPECT_FALSE(f.IsIgnoreMsg(&later));
    EXPECT_EQ(1, f.GetHwndTimeCount());
    EXPECT_FALSE(f.IsIgnoreMsg(&down));
    MSG stale = Msg(H(0x200), WM_LBUTTONDOWN, 900);
    EXPECT_TRUE(f.IsIgnoreMsg(&stale));

    // The latest pair of a window decides.
    f.AddHwndTime(H(0x400), 100);
    f.AddHwndTime(H(0x400), 300);
    MSG mid = Msg(H(0x400), WM_LBUTTONDOWN, 200);
    EXPECT_TRUE(f.IsIgnoreMsg(&mid));
}

TEST(IgnoreMsg, FullTablesRefuseAndSayWhy) {
    testsupport::LogCapture log;
    CFhIgnoreMsg f;
    EXPECT_EQ(3, f.GetIgnoreMsgCount());
    for (UINT i = 0; i < 61; i++)
        ASSERT_TRUE(f.AddIgnoreMsg(WM_APP + i));
    EXPECT_FALSE(f.AddIgnoreMsg(WM_KEYDOWN));
    EXPECT_TRUE(log.Contains(u"In CFhIgnoreMsg::AddIgnoreMsg, Too many ignore messages"));
    for (uintptr_t i = 0; i < 128; i++)
        ASSERT_TRUE(f.AddHwndTime(H(0x1000 + i * 16), 10));
    EXPECT_FALSE(f.AddHwndTime(H(0x10), 10));
    EXPECT_TRUE(log.Contains(u"In CFhIgnoreMsg::AddHwndTime, Too many ignore HWNDs"));
    MSG m = Msg(H(0x10), WM_LBUTTONDOWN, 1);
    EXPECT_FALSE(f.IsIgnoreMsg(&m)); // the refused window's input is not suppressed
}

TEST(WindowRegistry, MapsHandlesThroughCollidingBucketsAndPooledEntries) {
    CXiWndHelper reg;
    std::vector<CRealWnd*> objects;
    // Handles 17 * 16 apart share a bucket; 25 entries need three pool blocks.
    for (uintptr_t i = 0; i < 25; i++)
        ASSERT_TRUE(reg.AddWnd(H(0x10 + i * 17 * 16), reinterpret_cast<CRealWnd*>(0x1000 + i)));
    EXPECT_EQ(25, reg.GetCount());
    for (uintptr_t i = 0; i < 25; i++)
        EXPECT_EQ(reinterpret_cast<CRealWnd*>(0x1000 + i), reg.FindWnd(H(0x10 + i * 17 * 16)));
    EXPECT_TRUE(reg.RemoveWnd(H(0x10 + 3 * 17 * 16)));
    EXPECT_FALSE(reg.RemoveWnd(H(0x10 + 3 * 17 * 16)));
    EXPECT_EQ(nullptr, reg.FindWnd(H(0x10 + 3 * 17 * 16)));
    EXPECT_EQ(reinterpret_cast<CRealWnd*>(0x1000 + 4), reg.FindWnd(H(0x10 + 4 * 17 * 16)));
    EXPECT_EQ(24, reg.GetCount());
    EXPECT_EQ(nullptr, reg.FindWnd(H(0x20)));
}
