// The frames of every kind and direction against pictures built pixel by pixel from the two bitmaps,
// the blend's alphas, and every refusal of ReStart and Play.
#include "AnimTestUtil.h"

#include "bitmap/BitmapTestUtil.h"
#include "wceui/anim/WceUiBarnAni.h"
#include "wceui/anim/WceUiBlendAni.h"
#include "wceui/anim/WceUiComeAni.h"
#include "wceui/anim/WceUiGoAni.h"
#include "wceui/anim/WceUiSliderAni.h"

#include <functional>
#include <random>

using testsupport::LogCapture;

namespace {

enum Source { FROM, TO };
struct Take {
    Source src;
    int u; // the source coordinate along the direction's axis
};
// Where the pixel at coordinate u of the axis comes from, for a rectangle a0..a1 on that axis with
// middle m, after the boundary has moved by D.
using AxisMap = std::function<Take(int u, int a0, int a1, int m, int D)>;

// Reveal: nothing moves, the to-bitmap shows where the boundary has passed.
const AxisMap kRevealFromEnd = [](int u, int, int a1, int, int D) {
    return Take{u >= a1 - D ? TO : FROM, u};
};
const AxisMap kRevealFromStart = [](int u, int a0, int, int, int D) {
    return Take{u < a0 + D ? TO : FROM, u};
};
const AxisMap kRevealFromSides = [](int u, int a0, int a1, int, int D) {
    return Take{u < a0 + D || u >= a1 - D ? TO : FROM, u};
};
const AxisMap kRevealFromMiddle = [](int u, int, int, int m, int D) {
    return Take{u >= m - D && u < m + D ? TO : FROM, u};
};
// Push: both move by D towards the start (left, up) or the end.
const AxisMap kPushToStart = [](int u, int a0, int a1, int, int D) {
    return u < a1 - D ? Take{FROM, u + D} : Take{TO, u - (a1 - D) + a0};
};
const AxisMap kPushToEnd = [](int u, int a0, int a1, int, int D) {
    return u < a0 + D ? Take{TO, u - a0 + a1 - D} : Take{FROM, u - D};
};
// Come: the to-bitmap's leading edge enters first.
const AxisMap kComeToStart = [](int u, int a0, int a1, int, int D) {
    return u >= a1 - D ? Take{TO, u - (a1 - D) + a0} : Take{FROM, u};
};
const AxisMap kComeToEnd = [](int u, int a0, int a1, int, int D) {
    return u < a0 + D ? Take{TO, u - a0 + a1 - D} : Take{FROM, u};
};
const AxisMap kComeToMiddle = [](int u, int a0, int a1, int m, int D) {
    if (u < a0 + D)
        return Take{TO, u - a0 + m - D};
    if (u >= a1 - D)
        return Take{TO, u - (a1 - D) + m};
    return Take{FROM, u};
};
// Go: the from-bitmap leaves, uncovering the to-bitmap in place.
const AxisMap kGoToStart = [](int u, int, int a1, int, int D) {
    return u < a1 - D ? Take{FROM, u + D} : Take{TO, u};
};
const AxisMap kGoToEnd = [](int u, int a0, int, int, int D) {
    return u >= a0 + D ? Take{FROM, u - D} : Take{TO, u};
};
const AxisMap kGoToSides = [](int u, int, int, int m, int D) {
    if (u < m - D)
        return Take{FROM, u + D};
    if (u >= m + D)
        return Take{FROM, u - D};
    return Take{TO, u};
};

struct Case {
    LPCWSTR pKind;
    int nDirection;
    bool bVertical;
    bool bMiddle; // the distance is half the size
    AxisMap map;
};

const Case kCases[] = {
    {u"CWceUiBarnAni", 1, false, false, kRevealFromEnd},
    {u"CWceUiBarnAni", 2, false, false, kRevealFromStart},
    {u"CWceUiBarnAni", 3, true, false, kRevealFromEnd},
    {u"CWceUiBarnAni", 4, true, false, kRevealFromStart},
    {u"CWceUiBarnAni", 5, false, true, kRevealFromSides},
    {u"CWceUiBarnAni", 6, false, true, kRevealFromMiddle},
    {u"CWceUiBarnAni", 7, true, true, kRevealFromSides},
    {u"CWceUiBarnAni", 8, true, true, kRevealFromMiddle},
    {u"CWceUiSliderAni", 1, true, false, kPushToStart},
    {u"CWceUiSliderAni", 2, true, false, kPushToEnd},
    {u"CWceUiSliderAni", 3, false, false, kPushToStart},
    {u"CWceUiSliderAni", 4, false, false, kPushToEnd},
    {u"CWceUiComeAni", 1, false, false, kComeToStart},
    {u"CWceUiComeAni", 2, false, false, kComeToEnd},
    {u"CWceUiComeAni", 3, true, false, kComeToStart},
    {u"CWceUiComeAni", 4, true, false, kComeToEnd},
    {u"CWceUiComeAni", 5, false, true, kComeToMiddle},
    {u"CWceUiComeAni", 7, true, true, kComeToMiddle},
    {u"CWceUiGoAni", 1, false, false, kGoToStart},
    {u"CWceUiGoAni", 2, false, false, kGoToEnd},
    {u"CWceUiGoAni", 3, true, false, kGoToStart},
    {u"CWceUiGoAni", 4, true, false, kGoToEnd},
    {u"CWceUiGoAni", 6, false, true, kGoToSides},
    {u"CWceUiGoAni", 8, true, true, kGoToSides},
};

void SetDirection(CWceUiWndAnimate* p, int nDirection) {
    if (auto* q = dynamic_cast<CWceUiBarnAni*>(p))
        q->SetDirection(nDirection);
    else if (auto* q = dynamic_cast<CWceUiSliderAni*>(p))
        q->SetDirection(nDirection);
    else if (auto* q = dynamic_cast<CWceUiComeAni*>(p))
        q->SetDirection(nDirection);
    else if (auto* q = dynamic_cast<CWceUiGoAni*>(p))
        q->SetDirection(nDirection);
}

DWORD Pixel(const CWceUiGenericBitmap& bmp, int x, int y) {
    return 16 == bmp.GetBitsPixel() ? bmptest::At565(bmp, x, y) : bmptest::At32(bmp, x, y);
}

std::unique_ptr<CWceUiGenericBitmap> RandomBitmap(std::mt19937& rng, int nBits, int w, int h) {
    if (16 == nBits)
        return bmptest::Random565(rng, w, h, false);
    return bmptest::Random32(rng, w, h, false);
}

struct Pictures {
    std::unique_ptr<CWceUiGenericBitmap> mixed, from, to;
};

Pictures MakePictures(std::mt19937& rng, int nBits, int w, int h) {
    return Pictures{RandomBitmap(rng, nBits, w, h), RandomBitmap(rng, nBits, w, h),
                    RandomBitmap(rng, nBits, w, h)};
}

} // namespace

TEST(AnimFrames, EveryKindAndDirectionDrawsItsPiecesAndNothingElse) {
    const int W = 13, H = 9; // odd width: 565 rows carry a padding pixel
    const RECT rcLarge = {-65535, -65535, 65535, 65535};
    const RECT rcPart = {2, 1, 11, 8};
    const RECT rcOverhang = {-3, 4, 10, 20};
    std::mt19937 rng(7);
    for (int nBits : {16, 32}) {
        for (const Case& c : kCases) {
            for (const RECT& rcAnimate : {rcLarge, rcPart, rcOverhang}) {
                for (int nFrames : {12, 5}) {
                    auto pAnimate = animtest::Create(c.pKind);
                    ASSERT_NE(nullptr, pAnimate);
                    SetDirection(pAnimate.get(), c.nDirection);
                    pAnimate->SetRect(&rcAnimate);
                    pAnimate->SetFrameCount(nFrames);
                    Pictures pic = MakePictures(rng, nBits, W, H);
                    ASSERT_TRUE(pAnimate->ReStart(pic.mixed.get(), pic.from.get(), pic.to.get()));
                    RECT r;
                    const RECT rcBitmap = {0, 0, W, H};
                    IntersectRect(&r, &rcAnimate, &rcBitmap);
                    const int a0 = c.bVertical ? r.top : r.left, a1 = c.bVertical ? r.bottom : r.right;
                    const int m = a0 + ((a1 - a0) >> 1);
                    for (int j = 0; j < nFrames; ++j) {
                        std::unique_ptr<CWceUiGenericBitmap> before(RandomBitmap(rng, nBits, W, H));
                        pic.mixed->BitBlt(0, 0, W, H, before.get(), 0, 0, SRCCOPY);
                        int nLength = 0;
                        ASSERT_TRUE(
                            pAnimate->Play(pic.mixed.get(), pic.from.get(), pic.to.get(), j, &nLength));
                        EXPECT_EQ(33, nLength);
                        const int S = c.bMiddle ? (a1 - a0) >> 1 : a1 - a0;
                        const int D = CalcAnidisplacement(j, nFrames, S);
                        for (int y = 0; y < H; ++y) {
                            for (int x = 0; x < W; ++x) {
                                DWORD expected = Pixel(*before, x, y);
                                if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
                                    if (j + 1 == nFrames) {
                                        expected = Pixel(*pic.to, x, y);
                                    } else {
                                        const Take t = c.map(c.bVertical ? y : x, a0, a1, m, D);
                                        const CWceUiGenericBitmap& src = FROM == t.src ? *pic.from : *pic.to;
                                        expected = c.bVertical ? Pixel(src, x, t.u) : Pixel(src, t.u, y);
                                    }
                                }
                                ASSERT_EQ(expected, Pixel(*pic.mixed, x, y))
                                    << WideToUtf8(c.pKind) << " direction " << c.nDirection << ", " << nBits
                                    << " bits, rect " << rcAnimate.left << "," << rcAnimate.top << ", "
                                    << nFrames << " frames, frame " << j << " at " << x << "," << y;
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(AnimFrames, BarnLeftOverA480PixelRectangleShowsTheCurve) {
    std::mt19937 rng(3);
    Pictures pic = MakePictures(rng, 16, 480, 2);
    auto p = animtest::CreateFromXml(u"CWceUiBarnAni", u"<a direction=\"left\"/>");
    ASSERT_NE(nullptr, p);
    const int kShown[] = {6, 26, 60, 106, 166, 240, 313, 373, 420, 453, 473, 480};
    for (int j = 0; j < 12; ++j) {
        int nLength = 0;
        ASSERT_TRUE(p->Play(pic.mixed.get(), pic.from.get(), pic.to.get(), j, &nLength));
        const int nEdge = 480 - kShown[j];
        EXPECT_EQ(Pixel(*pic.to, nEdge, 1), Pixel(*pic.mixed, nEdge, 1)) << j;
        if (nEdge > 0) {
            EXPECT_EQ(Pixel(*pic.from, nEdge - 1, 1), Pixel(*pic.mixed, nEdge - 1, 1)) << j;
        }
    }
}

TEST(AnimFrames, BlendRaisesTheConstantAlphaByEqualSteps) {
    std::vector<int> alphas;
    for (int j = 0; j < 11; ++j)
        alphas.push_back(CWceUiBlendAni::GetFrameAlpha(j, 12));
    EXPECT_EQ((std::vector<int>{21, 42, 63, 84, 105, 126, 147, 168, 189, 210, 231}), alphas);
    EXPECT_EQ(0, CWceUiBlendAni::GetFrameAlpha(298, 300));

    const RECT rcPart = {1, 2, 8, 7};
    std::mt19937 rng(11);
    for (int nBits : {16, 32}) {
        for (int nFrames : {12, 3}) {
            Pictures pic = MakePictures(rng, nBits, 9, 7);
            CWceUiBlendAni blend;
            blend.SetFrameCount(nFrames);
            blend.SetRect(&rcPart);
            blend.SetFrameLength(20);
            for (int j = 0; j + 1 < nFrames; ++j) {
                std::unique_ptr<CWceUiGenericBitmap> before(RandomBitmap(rng, nBits, 9, 7));
                pic.mixed->BitBlt(0, 0, 9, 7, before.get(), 0, 0, SRCCOPY);
                // The expected frame from plain operations: the from-picture with the to-picture blended
                // over all of it at the frame's alpha.
                std::unique_ptr<CWceUiGenericBitmap> expected(RandomBitmap(rng, nBits, 9, 7));
                expected->BitBlt(0, 0, 9, 7, pic.from.get(), 0, 0, SRCCOPY);
                const BLENDFUNCTION bf = {AC_SRC_OVER, 0, (BYTE)((j + 1) * (255 / nFrames)), 0};
                ASSERT_TRUE(expected->AlphaBlend(0, 0, 9, 7, pic.to.get(), 0, 0, bf));
                int nLength = 0;
                ASSERT_TRUE(blend.Play(pic.mixed.get(), pic.from.get(), pic.to.get(), j, &nLength));
                EXPECT_EQ(20, nLength);
                for (int y = 0; y < 7; ++y) {
                    for (int x = 0; x < 9; ++x) {
                        const bool bInside = x >= 1 && x < 8 && y >= 2 && y < 7;
                        ASSERT_EQ(Pixel(bInside ? *expected : *before, x, y), Pixel(*pic.mixed, x, y))
                            << nBits << " bits, frame " << j << " at " << x << "," << y;
                    }
                }
            }
        }
    }
    // Frame 5 of 12 blends at 126, half and half: one channel worked out by hand.
    CWceUi565Bitmap mixed, from, to;
    mixed.CreateDIB(2, 1), from.CreateDIB(2, 1), to.CreateDIB(2, 1);
    from.FillColor(RGB(0, 0, 0xF8)); // blue 31
    to.FillColor(RGB(0, 0, 0x08));   // blue 1
    CWceUiBlendAni blend;
    int nLength = 0;
    ASSERT_TRUE(blend.Play(&mixed, &from, &to, 5, &nLength));
    EXPECT_EQ(16, bmptest::At565(mixed, 0, 0)); // (31 + 1) >> 1
}

TEST(AnimFrames, ABlendOf300FramesChangesThePictureOnlyAtTheEnd) {
    std::mt19937 rng(5);
    Pictures pic = MakePictures(rng, 16, 6, 4);
    CWceUiBlendAni blend;
    blend.SetFrameCount(300);
    for (int j : {0, 150, 298, 299}) {
        int nLength = 0;
        ASSERT_TRUE(blend.Play(pic.mixed.get(), pic.from.get(), pic.to.get(), j, &nLength));
        const CWceUiGenericBitmap& shown = 299 == j ? *pic.to : *pic.from;
        for (int x = 0; x < 6; ++x)
            ASSERT_EQ(Pixel(shown, x, 2), Pixel(*pic.mixed, x, 2)) << j;
    }
}

TEST(AnimFrames, OneFrameCopiesTheNewPictureAtOnce) {
    std::mt19937 rng(9);
    for (LPCWSTR pKind :
         {u"CWceUiBarnAni", u"CWceUiBlendAni", u"CWceUiSliderAni", u"CWceUiComeAni", u"CWceUiGoAni"}) {
        Pictures pic = MakePictures(rng, 32, 5, 5);
        auto p = animtest::CreateFromXml(pKind, u"<a frame-count=\"1\"/>");
        ASSERT_NE(nullptr, p);
        int nLength = 0;
        ASSERT_TRUE(p->Play(pic.mixed.get(), pic.from.get(), pic.to.get(), 0, &nLength));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 5; ++x)
                ASSERT_EQ(Pixel(*pic.to, x, y), Pixel(*pic.mixed, x, y));
    }
}

TEST(AnimRefusals, ReStartAndPlayCheckTheBitmapsAndSettings) {
    std::mt19937 rng(13);
    Pictures pic = MakePictures(rng, 16, 8, 6);
    std::unique_ptr<CWceUiGenericBitmap> other(RandomBitmap(rng, 16, 8, 5));
    CWceUi565Bitmap empty;
    CWceUiGenericBitmap* m = pic.mixed.get();
    CWceUiGenericBitmap* f = pic.from.get();
    CWceUiGenericBitmap* t = pic.to.get();
    struct {
        CWceUiGenericBitmap *mixed, *from, *to;
        LPCWSTR pMessage;
    } const cases[] = {
        {nullptr, f, t, u"CWceUiWndAnimate::CheckParameter,check(NULL != pMixedBitmap)fail"},
        {&empty, f, t, u"CWceUiWndAnimate::CheckParameter,check(pMixedBitmap->IsLoaded())fail"},
        {m, nullptr, t, u"CWceUiWndAnimate::CheckParameter,check(NULL != pFromBitmap)fail"},
        {m, &empty, t, u"CWceUiWndAnimate::CheckParameter,check(pFromBitmap->IsLoaded())fail"},
        {m, f, nullptr, u"CWceUiWndAnimate::CheckParameter,check(NULL != pToBitmap)fail"},
        {m, f, &empty, u"CWceUiWndAnimate::CheckParameter,check(pToBitmap->IsLoaded())fail"},
        {m, other.get(), t,
         u"In CWceUiWndAnimate::CheckParameter, the size of pMixedBitmap is not equal pFromBitmap"},
        {m, f, other.get(),
         u"In CWceUiWndAnimate::CheckParameter, the size of pFromBitmap is not equal pToBitmap"},
    };
    LogCapture log;
    for (const auto& c : cases) {
        for (LPCWSTR pKind : {u"CWceUiSliderAni", u"CWceUiBlendAni", u"CWceUiGoAni"}) {
            auto p = animtest::Create(pKind);
            log.Clear();
            EXPECT_FALSE(p->ReStart(c.mixed, c.from, c.to));
            EXPECT_TRUE(log.Contains(c.pMessage)) << WideToUtf8(c.pMessage);
            EXPECT_TRUE(log.Contains(u"In CWceUiWndAnimate::ReStart, CheckParameter failed"));
            log.Clear();
            int nLength = -1;
            EXPECT_FALSE(p->Play(c.mixed, c.from, c.to, 0, &nLength));
            EXPECT_TRUE(log.Contains(c.pMessage)) << WideToUtf8(c.pMessage);
            EXPECT_TRUE(log.Contains(std::u16string(pKind) + u"::Play failed, CheckParameter return FALSE"));
            EXPECT_EQ(-1, nLength);
        }
    }

    CWceUiSliderAni push;
    const RECT rcOutside = {8, 0, 20, 6}; // just right of the bitmap
    push.SetRect(&rcOutside);
    log.Clear();
    EXPECT_FALSE(push.ReStart(m, f, t));
    EXPECT_TRUE(log.Contains(
        u"In CWceUiWndAnimate::CheckParameter, there is no IntersectRect in m_rcAnimate and rcWndBitmap"));

    CWceUiComeAni come;
    come.SetFrameCount(0);
    log.Clear();
    EXPECT_FALSE(come.ReStart(m, f, t));
    EXPECT_TRUE(
        log.Contains(u"In CWceUiWndAnimate::CheckParameter, GetFrameCount() must equal or more than 1"));

    CWceUiBarnAni barn;
    log.Clear();
    EXPECT_FALSE(barn.Play(m, f, t, 0, nullptr));
    EXPECT_TRUE(log.Contains(u"CWceUiBarnAni::Play,check(NULL != lpPlayTime)fail"));
    int nLength = 0;
    EXPECT_FALSE(barn.Play(m, f, t, 12, &nLength));
    EXPECT_TRUE(log.Contains(u"CWceUiBarnAni::Play,check(nCurFrame < GetFrameCount())fail"));
    EXPECT_FALSE(barn.Play(m, f, t, -1, &nLength));
    EXPECT_TRUE(log.Contains(u"CWceUiBarnAni::Play,check(nCurFrame >= 0)fail"));
}

TEST(AnimRefusals, TheBlendRefusesPicturesOfTwoDepthsWhereCopiesConvert) {
    std::mt19937 rng(19);
    std::unique_ptr<CWceUiGenericBitmap> mixed(RandomBitmap(rng, 16, 4, 3)),
        from(RandomBitmap(rng, 16, 4, 3)), to(RandomBitmap(rng, 32, 4, 3));
    LogCapture log;
    CWceUiBlendAni blend;
    int nLength = 0;
    EXPECT_FALSE(blend.Play(mixed.get(), from.get(), to.get(), 4, &nLength));
    EXPECT_TRUE(log.Contains(u"CWceUiBlendAni::Play failed, AlphaBlend return FALSE"));
    CWceUiGoAni go;
    EXPECT_TRUE(go.Play(mixed.get(), from.get(), to.get(), 4, &nLength));
}

TEST(AnimRefusals, AnUnknownDirectionNumberFailsEveryFrameButTheLast) {
    std::mt19937 rng(17);
    Pictures pic = MakePictures(rng, 32, 4, 4);
    LogCapture log;
    const struct {
        LPCWSTR pKind;
        int nBad;
    } kinds[] = {{u"CWceUiBarnAni", 9}, {u"CWceUiSliderAni", 5}, {u"CWceUiComeAni", 6}, {u"CWceUiGoAni", 7}};
    for (const auto& k : kinds) {
        auto p = animtest::Create(k.pKind);
        SetDirection(p.get(), k.nBad);
        int nLength = 0;
        log.Clear();
        EXPECT_FALSE(p->Play(pic.mixed.get(), pic.from.get(), pic.to.get(), 3, &nLength));
        EXPECT_TRUE(log.Contains(std::u16string(k.pKind) + u"::Play failed , direction " +
                                 Utf8ToWide(std::to_string(k.nBad)) + u" is not valid"));
        EXPECT_TRUE(p->Play(pic.mixed.get(), pic.from.get(), pic.to.get(), 11, &nLength));
    }
}
