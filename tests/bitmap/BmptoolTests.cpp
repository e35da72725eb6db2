// bmptool run as a program on host files: conversions there and back, the framework's operations with
// their options, and the exit codes.
#include "BitmapTestUtil.h"
#include "support/TestSupport.h"

#include "wceui/bitmap/WceUiPixelRef.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>

using namespace bmptest;

namespace {

class BmptoolTest : public DeviceFolderTest {
protected:
    // Runs bmptool with the arguments; returns its exit status and keeps its stderr.
    int Run(const std::string& args) {
        const std::string errPath = Root() + "/stderr.txt";
        const std::string cmd = std::string(BMPTOOL_PATH) + " " + args + " >/dev/null 2>" + errPath;
        const int status = std::system(cmd.c_str());
        m_stderr = testsupport::ReadHostFile(errPath);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Host(const char* name) { return Root() + "/" + name; }
    std::u16string Dev(const char* name) { return u"\\" + Utf8ToWide(name); }
    std::unique_ptr<CWceUiGenericBitmap> Load(const char* name, BOOL bPerPixel = FALSE,
                                              const char16_t* pAlpha = NULL) {
        return std::unique_ptr<CWceUiGenericBitmap>(
            WceUiLoadBmpFromFile(Dev(name).c_str(), bPerPixel, pAlpha));
    }

    std::string m_stderr;
    std::mt19937 m_rng{7};
};

} // namespace

TEST_F(BmptoolTest, ConvertsThereAndBackWithoutChange) {
    // A 565a pair: colours premultiplied by the plane, as a skin author's converted PNG would be.
    CWceUi565Bitmap src;
    std::vector<WORD> pixels(6 * 3);
    std::vector<BYTE> plane(6 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        const int a = (int)(m_rng() % 64);
        plane[i] = (BYTE)a;
        pixels[i] = (WORD)((((m_rng() % 32) * a / 63) << 11) | (((m_rng() % 64) * a / 63) << 5) |
                           ((m_rng() % 32) * a / 63));
    }
    ASSERT_TRUE(src.CreateDIB565(5, 3, pixels.data(), plane.data()));
    ASSERT_TRUE(src.SaveFile(u"\\a.bmp"));
    testsupport::WriteHostFile(Host("a.alpha"), std::string(plane.begin(), plane.end()));
    ASSERT_EQ(0, Run("convert " + Host("a.bmp") + " " + Host("a.png"))) << m_stderr;
    ASSERT_EQ(0, Run("convert " + Host("a.png") + " " + Host("b.bmp"))) << m_stderr;
    auto pBack = Load("b.bmp", TRUE, u"\\b.alpha");
    ASSERT_TRUE(pBack);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            ASSERT_EQ(At565(src, x, y), At565(*pBack, x, y)) << x << "," << y;
            const size_t k = Index(x, y, 5, 3, 16);
            ASSERT_EQ(plane[k], static_cast<CWceUi565Bitmap*>(pBack.get())->GetAlphaPlane()[k]);
        }
    }
    // The same PNG as a 32-bit BMP, and back.
    ASSERT_EQ(0, Run("convert " + Host("a.png") + " " + Host("c.bmp") + " --format 32")) << m_stderr;
    ASSERT_EQ(0, Run("convert " + Host("c.bmp") + " " + Host("c.png"))) << m_stderr;
    ASSERT_EQ(0, Run("convert " + Host("c.png") + " " + Host("d.bmp") + " --format 32")) << m_stderr;
    EXPECT_EQ(testsupport::ReadHostFile(Host("c.bmp")), testsupport::ReadHostFile(Host("d.bmp")));
    auto p32 = Load("c.bmp");
    ASSERT_TRUE(p32);
    EXPECT_EQ(32, p32->GetBitsPixel());
}

TEST_F(BmptoolTest, RunsTheFrameworkOperations) {
    auto pDst = Random565(m_rng, 6, 4, false);
    auto pSrc = Random565(m_rng, 3, 3, false);
    ASSERT_TRUE(pDst->SaveFile(u"\\dst.bmp"));
    ASSERT_TRUE(pSrc->SaveFile(u"\\src.bmp"));
    ASSERT_EQ(0, Run("blend " + Host("dst.bmp") + " " + Host("src.bmp") + " " + Host("out.bmp") +
                     " --alpha 100 --at 4,-1"))
        << m_stderr;
    auto pOut = Load("out.bmp");
    ASSERT_TRUE(pOut);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            const bool bCovered = x >= 4 && y <= 1;
            const WORD expected =
                bCovered ? FhRefBlend565Const(At565(*pDst, x, y), At565(*pSrc, x - 4, y + 1), 100)
                         : At565(*pDst, x, y);
            ASSERT_EQ(expected, At565(*pOut, x, y)) << x << "," << y;
        }
    }
    // RRGGBB: FF0000 is red.
    ASSERT_EQ(0, Run("mix " + Host("dst.bmp") + " " + Host("red.bmp") +
                     " --color FF0000 --alpha 255 --rect 1,1,2,2"))
        << m_stderr;
    auto pRed = Load("red.bmp");
    ASSERT_TRUE(pRed);
    EXPECT_EQ(0xF800, At565(*pRed, 1, 1));
    EXPECT_EQ(0xF800, At565(*pRed, 2, 2));
    EXPECT_EQ(At565(*pDst, 0, 0), At565(*pRed, 0, 0));

    ASSERT_EQ(0, Run("rotate " + Host("src.bmp") + " " + Host("rot.bmp") + " --angle 3")) << m_stderr;
    auto pRot = Load("rot.bmp");
    ASSERT_TRUE(pRot);
    EXPECT_EQ(At565(*pSrc, 2, 0), At565(*pRot, 0, 0));

    ASSERT_EQ(0, Run("hue " + Host("src.bmp") + " " + Host("hue.bmp") + " --offset -30")) << m_stderr;
    auto pHue = Load("hue.bmp");
    ASSERT_TRUE(pHue);
    EXPECT_EQ(FhRefHue565(At565(*pSrc, 1, 1), -30), At565(*pHue, 1, 1));
}

TEST_F(BmptoolTest, ExitCodes) {
    auto pBmp = Random565(m_rng, 2, 2, false);
    ASSERT_TRUE(pBmp->SaveFile(u"\\x.bmp"));
    EXPECT_EQ(0, Run("--help"));
    EXPECT_EQ(2, Run(""));
    EXPECT_EQ(2, Run("frobnicate a b"));
    EXPECT_EQ(2, Run("blend " + Host("x.bmp") + " " + Host("x.bmp") + " " + Host("y.bmp")));
    // A source without per-pixel alpha: the framework refuses, and says why.
    EXPECT_EQ(1, Run("blend " + Host("x.bmp") + " " + Host("x.bmp") + " " + Host("y.bmp") + " --per-pixel"));
    EXPECT_NE(std::string::npos,
              m_stderr.find("use AC_SRC_ALPHA but pSrcBmp->HasPerPixelAlpha() return FALSE"));
    EXPECT_EQ(1, Run("hue " + Host("x.bmp") + " " + Host("y.bmp") + " --offset 200"));
    EXPECT_NE(std::string::npos, m_stderr.find("check(nOffsetHue <= 180)fail"));
    EXPECT_EQ(1, Run("info " + Host("missing.bmp")));
}
