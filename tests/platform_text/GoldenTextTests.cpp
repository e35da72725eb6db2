// Text drawn by bmptool text's code path, compared pixel for pixel with committed PNG files in
// golden/. A missing reference fails; UPDATE_GOLDEN=1 writes the references instead (look at them
// before committing). A mismatch leaves the actual image and a difference image (red where pixels
// differ) in the build folder.
#include "tools/bmptool/TextCommand.h"

#include "platform/WinCe.h"
#include "platform_gdi/GdiTestUtil.h"
#include "support/GoldenImage.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

namespace {

struct GoldenCase {
    const char* name;
    TextImageOptions options;
};

TextImageOptions Opt(const char16_t* text, const char16_t* face, int height, int w, int h, unsigned flags,
                     int bpp, uint32_t color = 0x000000, uint32_t background = 0xFFFFFF, bool bold = false,
                     bool italic = false) {
    TextImageOptions o;
    o.text = text;
    o.face = face;
    o.height = height;
    o.width = w;
    o.rectHeight = h;
    o.flags = flags;
    o.bpp = bpp;
    o.color = color;
    o.background = background;
    o.bold = bold;
    o.italic = italic;
    return o;
}

const char16_t kSentence[] = u"Update application OK, please remove SD card.";
const char16_t kSans[] = u"DejaVu Sans";
const char16_t kSerif[] = u"DejaVu Serif";

const GoldenCase kCases[] = {
    // Two faces at two sizes, the three horizontal alignments (single line, vertically centred).
    {"sans22_left_565", Opt(u"Update OK", kSans, -22, 200, 34, DT_SINGLELINE | DT_VCENTER | DT_LEFT, 16)},
    {"sans22_center_32",
     Opt(u"Update OK", kSans, -22, 200, 34, DT_SINGLELINE | DT_VCENTER | DT_CENTER, 32, 0x1040A0)},
    {"sans22_right_565",
     Opt(u"Update OK", kSans, -22, 200, 34, DT_SINGLELINE | DT_VCENTER | DT_RIGHT, 16, 0xFFFFFF, 0x203040)},
    {"serif14_top_32", Opt(u"reboot", kSerif, 14, 90, 40, DT_SINGLELINE | DT_TOP | DT_CENTER, 32)},
    {"serif14_vcenter_565", Opt(u"reboot", kSerif, 14, 90, 40, DT_SINGLELINE | DT_VCENTER | DT_CENTER, 16)},
    {"serif14_bottom_32", Opt(u"reboot", kSerif, 14, 90, 40, DT_SINGLELINE | DT_BOTTOM | DT_CENTER, 32)},
    // Word break with a line break of its own, centred; the same in the serif face, bold italic.
    {"wordbreak_center_565", Opt(u"Update application OK,\r\nplease remove SD card.", kSans, -16, 150, 90,
                                 DT_WORDBREAK | DT_CENTER, 16, 0x006000)},
    {"wordbreak_serif_bolditalic_32",
     Opt(kSentence, kSerif, 20, 170, 90, DT_WORDBREAK | DT_LEFT, 32, 0xA00000, 0xFFFFF0, true, true)},
    // Both ellipses: single line as the list box draws its rows, and a paragraph cut off below.
    {"end_ellipsis_565",
     Opt(kSentence, kSans, -16, 160, 24, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS, 16)},
    {"word_ellipsis_32",
     Opt(kSentence, kSans, -16, 160, 24, DT_SINGLELINE | DT_VCENTER | DT_WORD_ELLIPSIS, 32)},
    {"end_ellipsis_wordbreak_32",
     Opt(kSentence, kSans, -16, 120, 40, DT_WORDBREAK | DT_END_ELLIPSIS | DT_CENTER, 32, 0x000080)},
    {"word_ellipsis_wordbreak_565", Opt(u"Residentflash2 \\Residentflash2\\app\\config\\FactoryConfig.xml",
                                        kSans, -14, 130, 40, DT_WORDBREAK | DT_WORD_ELLIPSIS, 16)},
    // Characters beyond Latin, one beyond the Basic Multilingual Plane.
    {"unicode_565", Opt(u"Ωμέγα Жж Ĳĳ \U0001F600", kSans, -20, 0, 0, DT_SINGLELINE, 16, 0x800080)},
};

const std::string kGoldenDir = GOLDEN_DIR;
const std::string kOutDir = GOLDEN_OUT_DIR;

using golden::Difference;
using golden::SamePixels;

void CheckGolden(const std::string& name, const RgbaImage& actual) {
    golden::CheckGolden(kGoldenDir, kOutDir, name, actual);
}

class GoldenText : public GdiTest {};

TEST_F(GoldenText, EveryCaseMatchesItsReference) {
    for (const GoldenCase& c : kCases) {
        SCOPED_TRACE(c.name);
        RgbaImage image;
        std::string error;
        ASSERT_TRUE(RenderTextImage(c.options, &image, &error)) << error;
        CheckGolden(c.name, image);
    }
}

TEST_F(GoldenText, ChangedPixelsAreCaught) {
    // The comparison itself: one pixel off is a difference, and the difference image shows it.
    RgbaImage a;
    std::string error;
    ASSERT_TRUE(RenderTextImage(kCases[0].options, &a, &error)) << error;
    RgbaImage b = a;
    b.At(3, 3)[1] ^= 1;
    EXPECT_FALSE(SamePixels(a, b));
    RgbaImage diff = Difference(a, b);
    EXPECT_EQ(diff.At(3, 3)[0], 255);
    EXPECT_EQ(diff.At(3, 3)[1], 0);
    EXPECT_NE(diff.At(4, 3)[1], 0);
}

class BmptoolText : public DeviceFolderTest {
protected:
    int Run(const std::string& args) {
        const std::string errPath = Root() + "/stderr.txt";
        const std::string cmd = std::string(BMPTOOL_PATH) + " text " + args + " >/dev/null 2>" + errPath;
        const int status = std::system(cmd.c_str());
        m_stderr = testsupport::ReadHostFile(errPath);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string m_stderr;
};

TEST_F(BmptoolText, TheCommandDrawsWhatTheGoldenImagesHold) {
    const std::string out = Root() + "/out.png";
    ASSERT_EQ(
        0, Run(out +
               " 'Update OK' --font 'DejaVu Sans' --height -22 --rect 200,34 --flags single,vcenter,center "
               "--color 1040A0 --bpp 32"))
        << m_stderr;
    RgbaImage drawn, golden;
    std::string error;
    ASSERT_TRUE(ReadPng(out, &drawn, &error)) << error;
    ASSERT_TRUE(ReadPng(kGoldenDir + "/sans22_center_32.png", &golden, &error)) << error;
    EXPECT_TRUE(SamePixels(drawn, golden));

    // Without --rect the image is the text's own size; a missing face is noted and replaced.
    ASSERT_EQ(0, Run(out + " 'Hello' --font 'Nope Sans' --height 20")) << m_stderr;
    EXPECT_NE(m_stderr.find("\"Nope Sans\" is not installed"), std::string::npos) << m_stderr;
    ASSERT_TRUE(ReadPng(out, &drawn, &error)) << error;
    EXPECT_EQ(drawn.height, 20);
    EXPECT_GT(drawn.width, 30);
}

TEST_F(BmptoolText, AFontFileThatCannotBeLoadedGivesTheFallbackFace) {
    // A font folder of its own: a good sans face and a serif face that is spoiled after fontconfig
    // has listed it (writing into a file leaves the folder's time, so the listing stays).
    const std::string fonts = Root() + "/fonts";
    testsupport::MakeHostFolders(fonts);
    const std::string dejavu = "/usr/share/fonts/truetype/dejavu/";
    testsupport::WriteHostFile(fonts + "/DejaVuSans.ttf",
                               testsupport::ReadHostFile(dejavu + "DejaVuSans.ttf"));
    testsupport::WriteHostFile(fonts + "/DejaVuSerif.ttf",
                               testsupport::ReadHostFile(dejavu + "DejaVuSerif.ttf"));
    testsupport::WriteHostFile(Root() + "/fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig>\n<dir>" +
                                                           fonts + "</dir>\n<cachedir>" + Root() +
                                                           "/fccache</cachedir>\n</fontconfig>\n");
    const std::string env = "FONTCONFIG_FILE=" + Root() + "/fonts.conf ";
    const std::string out = Root() + "/out.png";
    auto run = [&](const std::string& args) {
        const std::string errPath = Root() + "/stderr.txt";
        const int status = std::system((env + BMPTOOL_PATH + " text " + args + " 2>" + errPath).c_str());
        m_stderr = testsupport::ReadHostFile(errPath);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(0, run(out + " Serif --font 'DejaVu Serif' --height 20")) << m_stderr;
    EXPECT_EQ(m_stderr, "");
    testsupport::WriteHostFile(fonts + "/DejaVuSerif.ttf", std::string(4096, 'x'));
    ASSERT_EQ(0, run(out + " Serif --font 'DejaVu Serif' --height 20")) << m_stderr;
    EXPECT_NE(m_stderr.find("DejaVuSerif.ttf cannot be loaded; using \"DejaVu Sans\""), std::string::npos)
        << m_stderr;
    RgbaImage drawn;
    std::string error;
    ASSERT_TRUE(ReadPng(out, &drawn, &error)) << error;
    EXPECT_EQ(drawn.height, 20);
    // With the fallback spoiled too, the font is refused.
    testsupport::WriteHostFile(fonts + "/DejaVuSans.ttf", std::string(4096, 'x'));
    EXPECT_EQ(1, run(out + " Serif --font 'DejaVu Serif' --height 20"));
    EXPECT_NE(m_stderr.find("no usable font file"), std::string::npos) << m_stderr;
    EXPECT_NE(m_stderr.find("refused"), std::string::npos) << m_stderr;
}

TEST_F(BmptoolText, RefusalsAndUsageErrors) {
    const std::string out = Root() + "/out.png";
    EXPECT_EQ(1, Run(out + " x --font 'DejaVu Sans' --height 5000"));
    EXPECT_NE(m_stderr.find("refused"), std::string::npos) << m_stderr;
    EXPECT_FALSE(testsupport::HostExists(out));
    EXPECT_EQ(2, Run(out + " x --height 20"));          // no face
    EXPECT_EQ(2, Run(out + " x --font F --height 2x")); // bad height
    EXPECT_EQ(2, Run(out + " x --font F --height 20 --flags left,diagonal"));
    EXPECT_EQ(2, Run(out + " x --font F --height 20 --bpp 24"));
    EXPECT_EQ(2, Run(out + " x --font F --height 20 --color red"));
    EXPECT_EQ(2, Run(out + " x --font F --height 20 --rect 0,10"));
    EXPECT_EQ(2, Run(out + " --font F --height 20")); // no text
    EXPECT_EQ(0, Run("--help"));
    unsigned flags = 0;
    EXPECT_TRUE(ParseTextFlags("single,vcenter,word-ellipsis", &flags));
    EXPECT_EQ(flags, 0x40024u); // the list box's rows
    EXPECT_TRUE(ParseTextFlags("0x25", &flags));
    EXPECT_EQ(flags, 0x25u);
}

} // namespace
