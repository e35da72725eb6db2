// The displacement curve, creation by class name, Init from "animate" elements, the setters and the
// random direction.
#include "AnimTestUtil.h"

#include "wceui/anim/WceUiBarnAni.h"
#include "wceui/anim/WceUiBlendAni.h"
#include "wceui/anim/WceUiComeAni.h"
#include "wceui/anim/WceUiGoAni.h"
#include "wceui/anim/WceUiSliderAni.h"
#include "wceui/bitmap/WceUi565Bitmap.h"
#include "wceui/core/WceUiRect.h"

#include <set>
#include <vector>

using animtest::CreateFromXml;
using testsupport::LogCapture;

namespace {

std::vector<int> Curve(int nFrameCount, int nStotal) {
    std::vector<int> out;
    for (int i = 0; i < nFrameCount; ++i) {
        out.push_back(CalcAnidisplacement(i, nFrameCount, nStotal));
    }
    return out;
}

int DirectionOf(const CWceUiWndAnimate& a) {
    if (auto* p = dynamic_cast<const CWceUiBarnAni*>(&a))
        return p->GetDirection();
    if (auto* p = dynamic_cast<const CWceUiSliderAni*>(&a))
        return p->GetDirection();
    if (auto* p = dynamic_cast<const CWceUiComeAni*>(&a))
        return p->GetDirection();
    if (auto* p = dynamic_cast<const CWceUiGoAni*>(&a))
        return p->GetDirection();
    return -1;
}

int FrameLengthOf(CWceUiWndAnimate& a) {
    // Played on one-pixel bitmaps so that the out value is what the object reports.
    CWceUi565Bitmap mixed, from, to;
    mixed.CreateDIB(1, 1), from.CreateDIB(1, 1), to.CreateDIB(1, 1);
    int nLength = -1;
    EXPECT_TRUE(a.Play(&mixed, &from, &to, 0, &nLength));
    return nLength;
}

const int kCome[] = {1, 2, 3, 4, 5, 7};
const int kGo[] = {1, 2, 3, 4, 6, 8};

const LPCWSTR kKinds[] = {u"CWceUiBarnAni", u"CWceUiBlendAni", u"CWceUiSliderAni", u"CWceUiComeAni",
                          u"CWceUiGoAni"};

} // namespace

TEST(AnimDisplacement, FollowsTheEaseInEaseOutTable) {
    EXPECT_EQ((std::vector<int>{6, 26, 60, 106, 166, 240, 313, 373, 420, 453, 473, 480}), Curve(12, 480));
    EXPECT_EQ((std::vector<int>{12, 50, 50, 87, 100}), Curve(5, 100));
    EXPECT_EQ((std::vector<int>{7}), Curve(1, 7));
    EXPECT_EQ((std::vector<int>{5, 10}), Curve(2, 10));
    // Every curve rises, stays inside 0..S and ends on S.
    for (int n = 1; n <= 40; ++n) {
        for (int s : {1, 2, 3, 7, 100, 239, 480, 800}) {
            const std::vector<int> c = Curve(n, s);
            ASSERT_EQ(s, c.back()) << n << " frames over " << s;
            for (size_t i = 0; i < c.size(); ++i) {
                ASSERT_TRUE(c[i] >= 0 && c[i] <= s && (0 == i || c[i] >= c[i - 1]))
                    << n << " " << s << " " << i;
            }
        }
    }
    // Long runs do not overflow the squares.
    EXPECT_EQ(240, CalcAnidisplacement(49999, 100000, 480));
    EXPECT_EQ(480, CalcAnidisplacement(99999, 100000, 480));
}

TEST(AnimDisplacement, RefusesArgumentsOutOfRange) {
    LogCapture log;
    EXPECT_EQ(0, CalcAnidisplacement(12, 12, 480));
    EXPECT_TRUE(
        log.Contains(u"CalcAnidisplacement,check(((nCurFrame >= 0) && (nCurFrame < nFrameCount)))fail"));
    EXPECT_EQ(0, CalcAnidisplacement(-1, 12, 480));
    log.Clear();
    EXPECT_EQ(0, CalcAnidisplacement(0, 0, 480));
    EXPECT_TRUE(log.Contains(u"CalcAnidisplacement,check(nFrameCount > 0)fail"));
    log.Clear();
    EXPECT_EQ(0, CalcAnidisplacement(3, 12, 0));
    EXPECT_EQ(0, CalcAnidisplacement(11, 12, -5));
    EXPECT_TRUE(log.Contains(u"CalcAnidisplacement,check(nStotal > 0)fail"));
}

TEST(AnimCreate, EveryKindIsCreatableByNameAndTheBaseIsNot) {
    for (LPCWSTR pKind : kKinds) {
        auto p = animtest::Create(pKind);
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(0, WStrCmp(pKind, p->GetClassName()));
        EXPECT_FALSE(p->IsKindOf(u"CWceUiLayer"));
    }
    LogCapture log;
    EXPECT_EQ(nullptr, WceUiCreateObject(u"CWceUiWndAnimate"));
    EXPECT_TRUE(log.Contains(u"you must use WCEUI_DYNCREATE_BEGIN/WCEUI_DYNCREATE_END"));
}

TEST(AnimInit, AnElementWithOnlyTypeGivesTheDefaults) {
    const int kRight[] = {2, -1, 4, 2, 2};
    for (int i = 0; i < 5; ++i) {
        auto p = CreateFromXml(kKinds[i], std::u16string(u"<slideIn type=\"") + kKinds[i] + u"\"/>");
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(0, WStrCmp(u"slideIn", p->GetName()));
        EXPECT_EQ(12, p->GetFrameCount());
        EXPECT_TRUE(p->IsEnabled());
        RECT rc;
        p->GetRect(&rc);
        EXPECT_TRUE(IsRectLarge(&rc));
        EXPECT_EQ(kRight[i], DirectionOf(*p));
        EXPECT_EQ(33, FrameLengthOf(*p));
    }
}

TEST(AnimInit, ReadsEveryAttribute) {
    auto p =
        CreateFromXml(u"CWceUiComeAni", u"<a type=\"CWceUiComeAni\" frame-count=\"20\" rect=\"0,0,400,240\" "
                                        u"direction=\"Left\" frame-length=\"40\"/>");
    ASSERT_NE(nullptr, p);
    RECT rc;
    p->GetRect(&rc);
    EXPECT_EQ(0, rc.left);
    EXPECT_EQ(400, rc.right);
    EXPECT_EQ(240, rc.bottom);
    EXPECT_EQ(20, p->GetFrameCount());
    EXPECT_EQ(CWceUiComeAni::DIR_LEFT, DirectionOf(*p));
    EXPECT_EQ(40, FrameLengthOf(*p));
    // Each kind numbers the same word its own way.
    auto pPush = CreateFromXml(u"CWceUiSliderAni", u"<a direction=\"UP\"/>");
    ASSERT_NE(nullptr, pPush);
    EXPECT_EQ(CWceUiSliderAni::DIR_UP, DirectionOf(*pPush));
    EXPECT_EQ(1, DirectionOf(*pPush));
    auto pBarn = CreateFromXml(u"CWceUiBarnAni", u"<a direction=\"mid-ud\"/>");
    ASSERT_NE(nullptr, pBarn);
    EXPECT_EQ(8, DirectionOf(*pBarn));
    // Numbers beyond 32 bits stop at the ends of the range, as on the device, instead of wrapping.
    auto pHuge =
        CreateFromXml(u"CWceUiGoAni", u"<a frame-count=\"99999999999\" frame-length=\"4294967336\"/>");
    ASSERT_NE(nullptr, pHuge);
    EXPECT_EQ(0x7FFFFFFF, pHuge->GetFrameCount());
    EXPECT_EQ(nullptr, CreateFromXml(u"CWceUiGoAni", u"<a frame-length=\"-4294967295\"/>"));
    // The blend has no direction and ignores the attribute.
    EXPECT_NE(nullptr, CreateFromXml(u"CWceUiBlendAni", u"<a direction=\"sideways\" frame-length=\"5\"/>"));
}

TEST(AnimInit, RefusesBadAttributesWithTheirMessages) {
    LogCapture log;
    EXPECT_EQ(nullptr, CreateFromXml(u"CWceUiBarnAni", u"<a rect=\"1,2,3\"/>"));
    EXPECT_TRUE(log.Contains(u"CWceUiWndAnimate::Init, Convert 1,2,3 to RECT failed"));
    EXPECT_TRUE(log.Contains(u"In CWceUiBarnAni::Init, CWceUiWndAnimate::Init return FALSE"));

    struct {
        LPCWSTR pKind;
        LPCWSTR pXml;
        LPCWSTR pMessage;
    } const cases[] = {
        {u"CWceUiSliderAni", u"<a direction=\"lr-mid\"/>",
         u"CWceUiSliderAni::Init, the direction lr-mid is not valid"},
        {u"CWceUiGoAni", u"<a direction=\"lr-mid\"/>",
         u"CWceUiGoAni::Init, the direction lr-mid is not valid"},
        {u"CWceUiComeAni", u"<a direction=\"mid-lr\"/>",
         u"CWceUiComeAni::Init, the direction mid-lr is not valid"},
        {u"CWceUiBarnAni", u"<a direction=\"diagonal\"/>",
         u"CWceUiBarnAni::Init, the direction diagonal is not valid"},
        {u"CWceUiBarnAni", u"<a frame-length=\"0\"/>",
         u"CWceUiBarnAni::Init, the frame-length 0 is not valid"},
        {u"CWceUiBlendAni", u"<a frame-length=\"-3\"/>",
         u"CWceUiBlendAni::Init, the frame-length -3 is not valid"},
        {u"CWceUiSliderAni", u"<a frame-length=\"fast\"/>",
         u"CWceUiSliderAni::Init, the frame-length fast is not valid"},
        {u"CWceUiComeAni", u"<a frame-length=\"0\"/>",
         u"CWceUiComeAni::Init, the frame-length 0 is not valid"},
        {u"CWceUiGoAni", u"<a rect=\"\"/>", u"In CWceUiGoAni::Init, CWceUiWndAnimate::Init return FALSE"},
    };
    for (const auto& c : cases) {
        log.Clear();
        EXPECT_EQ(nullptr, CreateFromXml(c.pKind, c.pXml)) << WideToUtf8(c.pXml);
        EXPECT_TRUE(log.Contains(c.pMessage)) << WideToUtf8(c.pMessage);
    }
    log.Clear();
    CWceUiBlendAni blend;
    EXPECT_FALSE(blend.Init(nullptr));
    EXPECT_TRUE(log.Contains(u"CWceUiWndAnimate::Init,check(NULL != pElem)fail"));
    EXPECT_TRUE(log.Contains(u"In CWceUiBlendAni::Init, CWceUiWndAnimate::Init return FALSE"));
}

TEST(AnimInit, SettersKeepTheirLimits) {
    LogCapture log;
    CWceUiGoAni a;
    a.SetName(std::u16string(100, u'n').c_str());
    EXPECT_EQ(63u, WStrLen(a.GetName()));
    a.SetName(nullptr);
    EXPECT_TRUE(log.Contains(u"CWceUiWndAnimate::SetName,check(NULL != pName)fail"));
    EXPECT_EQ(63u, WStrLen(a.GetName()));
    a.SetFrameCount(0); // stored after its check, refused when played
    EXPECT_TRUE(log.Contains(u"CWceUiWndAnimate::SetFrameCount,check(nFrameCount > 0)fail"));
    EXPECT_EQ(0, a.GetFrameCount());
    a.SetRect(nullptr);
    a.GetRect(nullptr);
    EXPECT_TRUE(log.Contains(u"CWceUiWndAnimate::SetRect,check(NULL != lpRcAnimate)fail"));
    EXPECT_TRUE(log.Contains(u"CWceUiWndAnimate::GetRect,check(NULL != lpRcAnimate)fail"));
}

TEST(AnimRandom, DrawsFromTheSeededGeneratorIntoTheKindsDirections) {
    struct {
        LPCWSTR pKind;
        std::set<int> directions;
        int (*pick)(DWORD r);
    } const kinds[] = {
        {u"CWceUiBarnAni", {1, 2, 3, 4, 5, 6, 7, 8}, [](DWORD r) { return (int)(r & 7) + 1; }},
        {u"CWceUiSliderAni", {1, 2, 3, 4}, [](DWORD r) { return (int)(r & 3) + 1; }},
        {u"CWceUiComeAni", {1, 2, 3, 4, 5, 7}, [](DWORD r) { return kCome[r % 6]; }},
        {u"CWceUiGoAni", {1, 2, 3, 4, 6, 8}, [](DWORD r) { return kGo[r % 6]; }},
    };
    for (const auto& k : kinds) {
        auto p = animtest::Create(k.pKind);
        ASSERT_NE(nullptr, p);
        std::set<int> seen;
        for (DWORD seed = 1; seed <= 200; ++seed) {
            SeedRandom(seed);
            const int nExpected = k.pick(Random());
            SeedRandom(seed);
            p->SetRandomDirection();
            ASSERT_EQ(nExpected, DirectionOf(*p)) << WideToUtf8(k.pKind) << " seed " << seed;
            seen.insert(DirectionOf(*p));
        }
        EXPECT_EQ(k.directions, seen) << WideToUtf8(k.pKind);
    }
    // The same seed repeats the sequence.
    SeedRandom(42);
    const DWORD a = Random(), b = Random();
    SeedRandom(42);
    EXPECT_EQ(a, Random());
    EXPECT_EQ(b, Random());
    EXPECT_NE(a, b);
    SeedRandom(1);
}
