// bmptool animate run as a program: the frames it writes are the framework's, in FROM's form, and it
// refuses with the framework's messages.
#include "AnimTestUtil.h"
#include "bitmap/BitmapTestUtil.h"

#include "wceui/anim/WceUiComeAni.h"

#include <cstdlib>
#include <sys/wait.h>

using namespace bmptest;

namespace {

class AnimateToolTest : public DeviceFolderTest {
protected:
    int Run(const std::string& args) {
        const std::string errPath = Root() + "/stderr.txt";
        const std::string cmd = std::string(BMPTOOL_PATH) + " animate " + args + " >/dev/null 2>" + errPath;
        const int status = std::system(cmd.c_str());
        m_stderr = testsupport::ReadHostFile(errPath);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Host(const std::string& name) { return Root() + "/" + name; }
    std::unique_ptr<CWceUiGenericBitmap> Load(const std::string& name, bool bPlane = false) {
        const std::u16string dev = u"\\" + Utf8ToWide(name);
        std::u16string alpha = dev.substr(0, dev.size() - 4) + u".alpha";
        return std::unique_ptr<CWceUiGenericBitmap>(
            WceUiLoadBmpFromFile(dev.c_str(), bPlane ? TRUE : FALSE, bPlane ? alpha.c_str() : NULL));
    }
    // A 565 pair with planes (the tool keeps FROM's) and a 32-bit pair.
    void MakePictures() {
        auto from = Random565(m_rng, 11, 6, true), to = Random565(m_rng, 11, 6, true);
        ASSERT_TRUE(from->SaveFile(u"\\from.bmp"));
        ASSERT_TRUE(to->SaveFile(u"\\to.bmp"));
        const BYTE* pPlane = from->GetAlphaPlane();
        testsupport::WriteHostFile(Host("from.alpha"), std::string(pPlane, pPlane + 12 * 6));
        const BYTE* pToPlane = to->GetAlphaPlane();
        testsupport::WriteHostFile(Host("to.alpha"), std::string(pToPlane, pToPlane + 12 * 6));
        ASSERT_TRUE(Random32(m_rng, 7, 5, false)->SaveFile(u"\\from32.bmp"));
        ASSERT_TRUE(Random32(m_rng, 7, 5, false)->SaveFile(u"\\to32.bmp"));
    }

    std::string m_stderr;
    std::mt19937 m_rng{23};
};

} // namespace

TEST_F(AnimateToolTest, WritesTheFrameworksFrameInFromsForm) {
    MakePictures();
    ASSERT_EQ(0, Run(Host("from.bmp") + " " + Host("to.bmp") + " " + Host("out.bmp") +
                     " --type CWceUiComeAni --direction ud-mid --frame-count 6 --rect 1,1,9,4 --frame 2"))
        << m_stderr;
    // The same frame made in this process from the same element.
    auto pFrom = Load("from.bmp", true), pTo = Load("to.bmp", true);
    ASSERT_TRUE(pFrom && pTo);
    auto pAnimate = animtest::CreateFromXml(
        u"CWceUiComeAni", u"<animate direction=\"ud-mid\" frame-count=\"6\" rect=\"1,1,9,4\"/>");
    ASSERT_NE(nullptr, pAnimate);
    CWceUiGenericBitmap* pMixed = nullptr;
    pFrom->MakeACopy(&pMixed);
    std::unique_ptr<CWceUiGenericBitmap> mixed(pMixed);
    int nLength = 0;
    ASSERT_TRUE(pAnimate->Play(mixed.get(), pFrom.get(), pTo.get(), 2, &nLength));
    auto pOut = Load("out.bmp", true);
    ASSERT_TRUE(pOut);
    EXPECT_EQ(StoredPixels<WORD>(*mixed), StoredPixels<WORD>(*pOut));
    EXPECT_EQ(testsupport::ReadHostFile(Host("from.alpha")), testsupport::ReadHostFile(Host("out.alpha")));

    // Every frame of a 32-bit run; the last is the new picture.
    ASSERT_EQ(0, Run(Host("from32.bmp") + " " + Host("to32.bmp") +
                     " --type CWceUiBlendAni --frame-count 3 --all-frames " + Host("frames")))
        << m_stderr;
    EXPECT_TRUE(testsupport::HostExists(Host("frames/frame-01.bmp")));
    auto pLast = Load("frames/frame-02.bmp");
    auto pTo32 = Load("to32.bmp");
    ASSERT_TRUE(pLast && pTo32);
    EXPECT_EQ(32, pLast->GetBitsPixel());
    EXPECT_EQ(StoredPixels<DWORD>(*pTo32), StoredPixels<DWORD>(*pLast));
    EXPECT_FALSE(testsupport::HostExists(Host("frames/frame-03.bmp")));
}

TEST_F(AnimateToolTest, RefusesWithTheFrameworksMessages) {
    MakePictures();
    const std::string pair = Host("from.bmp") + " " + Host("to.bmp") + " " + Host("out.bmp");
    EXPECT_EQ(1, Run(pair + " --type CWceUiGoAni --direction lr-mid --frame 0"));
    EXPECT_NE(std::string::npos, m_stderr.find("CWceUiGoAni::Init, the direction lr-mid is not valid"))
        << m_stderr;
    EXPECT_EQ(1, Run(pair + " --type CWceUiSliderAni --frame 12"));
    EXPECT_NE(std::string::npos,
              m_stderr.find("CWceUiSliderAni::Play,check(nCurFrame < GetFrameCount())fail"))
        << m_stderr;
    EXPECT_EQ(1, Run(pair + " --type CWceUiBarnAni --frame-count 0 --frame 0"));
    EXPECT_NE(std::string::npos, m_stderr.find("GetFrameCount() must equal or more than 1")) << m_stderr;
    EXPECT_EQ(1, Run(pair + " --type CWceUiLayer --frame 0"));
    EXPECT_NE(std::string::npos, m_stderr.find("can not create class:CWceUiLayer")) << m_stderr;
    EXPECT_EQ(1, Run(Host("from.bmp") + " " + Host("to32.bmp") + " " + Host("out.bmp") +
                     " --type CWceUiGoAni --frame 0"));
    EXPECT_FALSE(testsupport::HostExists(Host("out.bmp")));
    // Usage errors.
    EXPECT_EQ(2, Run(pair + " --frame 0"));
    EXPECT_EQ(2, Run(pair + " --type CWceUiGoAni"));
    EXPECT_EQ(2, Run(pair + " --type CWceUiGoAni --frame 0 --all-frames " + Host("x")));
    EXPECT_EQ(2, Run(pair + " --type CWceUiGoAni --frame 0 --direction 'a\"b'"));
}
