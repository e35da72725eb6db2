// wceui-preview on a small skin written by the test in the framework's own form (UTF-16LE text with
// the byte order mark, BMP images with their descriptions): the golden pictures of a dialog that uses
// every way a layer draws, at 320x240 in 565 and 32-bit; the dump it writes; classes that are not part
// of the tool; broken dialog files.
#include "platform/Platform.h"
#include "platform/WinString.h"
#include "support/GoldenImage.h"
#include "support/TestSupport.h"
#include "tools/common/ToolSupport.h"
#include "tools/imaging/RgbaBitmaps.h"
#include "tools/ToolRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

namespace {

const std::string kPreview = WCEUI_PREVIEW_PATH;

using golden::Image;
using golden::Set;

// The golden dialog: each layer shows one way of drawing.
const char kDialog[] = R"(<?xml version="1.0" encoding="utf-16"?>
<dialog>
  <body name="CGoldenDlg" style="dlg" windowrect="0,0,320,240">
    <layer type="CWceUiLayer" name="aligned" style="aligned"/>
    <layer type="CWceUiLayer" name="stretched" style="stretched"/>
    <layer type="CWceUiLayer" name="keyed" style="keyed"/>
    <layer type="CWceUiLayer" name="perpixel" style="perpixel"/>
    <layer type="CWceUiLayer" name="constant" style="constant"/>
    <layer type="CWceUiLayer" name="wrapped" style="wrapped"/>
    <layer type="CWceUiLayer" name="cut" style="cut"/>
    <layer type="CWceUiLayer" name="faded" style="faded">
      <layer type="CWceUiLayer" name="faded_text" style="faded_text"/>
    </layer>
    <layer type="CWceUiLayer" name="tinted" style="tinted"/>
    <layer type="CWceUiLayer" name="under" style="under">
      <layer type="CWceUiLayer" name="see" style="see"/>
    </layer>
  </body>
</dialog>
)";

const char kStyles[] = R"(<?xml version="1.0" encoding="utf-16"?>
<styles>
  <style>
    <dlg>
      <position rect="0,0,320,240"/>
      <background color="0x203040"/>
    </dlg>
    <aligned>
      <position way="relative" rect="8,8,96,60"/>
      <background color="0x406080">
        <i id="bars.conf" align="right" valign="bottom"/>
        <i id="bars.conf" align="left" valign="top" src-rect="0,0,12,8"/>
        <i id="bars.conf" align="center" valign="center"/>
      </background>
    </aligned>
    <stretched>
      <position way="relative" rect="112,8,96,60"/>
      <background><i id="checker.conf" zoom="true"/></background>
    </stretched>
    <keyed>
      <position way="relative" rect="216,8,96,60"/>
      <background color="0x808080"><i id="keyed.conf" zoom="true"/></background>
    </keyed>
    <perpixel>
      <position way="relative" rect="8,76,96,60"/>
      <background color="transparent">
        <i id="disc.conf" align="left" valign="center"/>
        <i id="disc2.conf" align="right" valign="center"/>
      </background>
    </perpixel>
    <constant>
      <position way="relative" rect="112,76,96,60"/>
      <background color="transparent"><i id="half.conf" align="center" valign="center"/></background>
    </constant>
    <wrapped>
      <position way="relative" rect="216,76,96,60"/>
      <background color="0x102030"/>
      <text color="0xF0F0A0" res-id="long_text"><font id="small.conf"/>
        <drawtext rect="2,2,92,56" multiline="true" align="left" valign="top"/></text>
    </wrapped>
    <cut>
      <position way="relative" rect="8,144,200,24"/>
      <background color="transparent"/>
      <text color="0xFFFFFF" res-id="long_text"><font id="small.conf"/>
        <drawtext rect="0,0,200,24" align="left" valign="center"/></text>
    </cut>
    <faded>
      <position way="relative" rect="8,176,96,56"/>
      <background color="0xE03020"><i id="bars.conf" align="left" valign="top"/></background>
      <filters><alpha enabled="true" opacity="128"/></filters>
    </faded>
    <faded_text>
      <position way="relative" rect="0,30,96,26"/>
      <background color="transparent"/>
      <text color="0xFFFFFF" res-id="short_text"><font id="small.conf"/>
        <drawtext rect="0,0,96,26" align="center" valign="center"/></text>
    </faded_text>
    <tinted>
      <position way="relative" rect="112,176,96,56"/>
      <background color="0x20C040"><i id="bars.conf" align="center" valign="center"/></background>
      <filters><mixcolor enabled="true" opacity="160" color="0xFFFFFF"/></filters>
    </tinted>
    <under>
      <position way="relative" rect="216,144,96,88"/>
      <background color="0x2040E0"/>
    </under>
    <see>
      <position way="relative" rect="8,8,80,72"/>
      <background color="transparent"><i id="ring.conf" zoom="true"/></background>
      <text color="0xFFFF00" res-id="short_text"><font id="small.conf"/>
        <drawtext rect="0,0,80,72" align="center" valign="center"/></text>
    </see>
  </style>
</styles>
)";

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = std::make_unique<testsupport::TempFolder>();
        tooling::UseHostFileSystem();
        m_skin = m_dir->Path() + "/skin";
        for (const char* sub : {"/wnd", "/res/bitmap", "/res/font", "/language"}) {
            testsupport::MakeHostFolders(m_skin + sub);
        }
    }

    // A text file of the skin, UTF-16LE with its byte order mark.
    void Text(const std::string& rel, const std::string& utf8) {
        testsupport::WriteHostFile(m_skin + "/" + rel,
                                   "\xFF\xFE" + testsupport::Utf16Bytes(Utf8ToWide(utf8)));
    }
    // "res/bitmap/NAME.bmp" in a format ("565", "565a", "32") and its description with extra lines.
    void Bitmap(const std::string& name, const RgbaImage& image, const std::string& format,
                const std::string& conf = "") {
        auto bmp = imaging::BitmapFromRgba(image, format);
        ASSERT_NE(bmp, nullptr);
        bool removed = false;
        std::string error;
        ASSERT_TRUE(imaging::SaveBitmapFiles(*bmp, m_skin + "/res/bitmap/" + name + ".bmp", &removed, &error))
            << error;
        const bool alpha = format == "565a" || (format == "32" && imaging::HasTransparency(image));
        Text("res/bitmap/" + name + ".conf",
             "src=" + name + ".bmp\r\n" + (alpha ? "pa=true\r\n" : "") + conf);
    }

    // The images in the screen's own depth, as a device's skin has them: the framework blends only
    // bitmaps of the window bitmap's kind.
    void WriteGoldenSkin(bool b32) {
        const std::string opaque = b32 ? "32" : "565", alpha = b32 ? "32" : "565a";
        // Four coloured bars with a white edge, to see where each copy lands and how it is cut.
        const RgbaImage bars = Image(24, 16, [](int x, int y, uint8_t* p) {
            static const int kBars[4][3] = {{230, 40, 40}, {240, 200, 40}, {40, 200, 90}, {60, 90, 230}};
            if (0 == y || 15 == y || 0 == x || 23 == x) {
                Set(p, 255, 255, 255);
            } else {
                Set(p, kBars[x / 6][0], kBars[x / 6][1], kBars[x / 6][2]);
            }
        });
        Bitmap("bars", bars, opaque);
        Bitmap(
            "checker",
            Image(6, 4,
                  [](int x, int y, uint8_t* p) { (x + y) % 2 ? Set(p, 250, 250, 250) : Set(p, 30, 30, 30); }),
            opaque);
        // Magenta is the transparent colour: a frame and a cross of orange remain.
        Bitmap("keyed",
               Image(12, 8,
                     [](int x, int y, uint8_t* p) {
                         const bool solid = 0 == x || 11 == x || 0 == y || 7 == y || x == y + 2 || x == 9 - y;
                         solid ? Set(p, 250, 140, 20) : Set(p, 255, 0, 255);
                     }),
               opaque, "tc=ff00ff\r\n");
        // A disc whose alpha falls off to its edge, in the 565 form with its plane and in 32 bits.
        auto disc = [](int r, int g, int b) {
            return Image(40, 40, [=](int x, int y, uint8_t* p) {
                const double d = std::hypot(x - 19.5, y - 19.5) / 20.0;
                const int a = d >= 1.0 ? 0 : static_cast<int>(255 * (1.0 - d * d));
                Set(p, r, g, b, a);
            });
        };
        Bitmap("disc", disc(255, 220, 60), alpha);
        Bitmap("disc2", disc(80, 255, 255), alpha);
        Bitmap("half", Image(64, 40, [](int x, int, uint8_t* p) { Set(p, 255, 255, x < 32 ? 255 : 0); }),
               opaque, "ca=128\r\n");
        // A ring: opaque outside, clear in the middle, so the layer below shows through.
        Bitmap("ring",
               Image(20, 18,
                     [](int x, int y, uint8_t* p) {
                         const bool edge = x < 3 || x > 16 || y < 3 || y > 14;
                         Set(p, 240, 60, 160, edge ? 255 : 0);
                     }),
               alpha);
        Text("res/font/small.conf",
             "height=-13\r\nweight=400\r\ncharset=0\r\nquality=4\r\nfacename=DejaVu Sans\r\n");
        Text("language/english.ini",
             "long_text=Wrapping words across the lines of a narrow label, and cut off at its end\r\n"
             "short_text=See \"through\"\r\n");
        Text("wnd/CGoldenDlg.dlg.xml", kDialog);
        Text("wnd/CGoldenDlg.style.xml", kStyles);
    }

    tooltest::Result Preview(const std::string& args) {
        return tooltest::Run(m_dir->Path(), kPreview + " " + args);
    }

    std::unique_ptr<testsupport::TempFolder> m_dir;
    std::string m_skin;
};

} // namespace

TEST_F(PreviewTest, TheGoldenDialogDrawsAsItsReferencesIn565And32Bits) {
    for (const char* bpp : {"16", "32"}) {
        SCOPED_TRACE(bpp);
        WriteGoldenSkin(bpp[0] == '3');
        const std::string out = m_dir->Path() + "/golden.png";
        const auto r = Preview(m_skin + " CGoldenDlg " + out + " --screen 320x240 --bpp " + bpp);
        ASSERT_EQ(r.status, 0) << r.err;
        // Nothing but the note on the dialog class, which only an application links in.
        EXPECT_EQ(r.err,
                  "wceui-preview: CGoldenDlg is not part of this program; it draws as a plain CWceUiDlg\n");
        RgbaImage image;
        std::string error;
        ASSERT_TRUE(ReadPng(out, &image, &error)) << error;
        ASSERT_EQ(image.width, 320);
        ASSERT_EQ(image.height, 240);
        golden::CheckGolden(GOLDEN_DIR, GOLDEN_OUT_DIR,
                            std::string("dialog_") + (bpp[0] == '1' ? "565" : "32"), image);
    }
}

// The window bitmap blends only its own kind: a skin's images of the other depth are converted when
// they load, so the same dialog looks the same at 16 and 32 bits, up to what 565 can hold.
TEST_F(PreviewTest, ImagesOfTheOtherDepthDrawAsInTheScreensOwnDepth) {
    for (const bool b32Images : {false, true}) {
        SCOPED_TRACE(b32Images ? "32-bit images" : "565 images");
        WriteGoldenSkin(b32Images);
        RgbaImage shots[2];
        const char* kBpp[2] = {"16", "32"};
        for (int i = 0; i < 2; ++i) {
            const std::string out = m_dir->Path() + "/depth" + kBpp[i] + ".png";
            const auto r = Preview(m_skin + " CGoldenDlg " + out + " --screen 320x240 --bpp " + kBpp[i]);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err.find("not blended"), std::string::npos) << r.err;
            std::string error;
            ASSERT_TRUE(ReadPng(out, &shots[i], &error)) << error;
        }
        ASSERT_EQ(shots[0].width, shots[1].width);
        ASSERT_EQ(shots[0].height, shots[1].height);
        // Both pictures reduced to 565 units; blends round at different widths, so a unit apart is
        // the same colour, and only text edges (drawn into each depth on its own) may stray further.
        int nFar = 0, nWorst = 0;
        for (int y = 0; y < shots[0].height; ++y) {
            for (int x = 0; x < shots[0].width; ++x) {
                for (int c = 0; c < 3; ++c) {
                    const int nShift = 1 == c ? 2 : 3;
                    const int d =
                        std::abs((shots[0].At(x, y)[c] >> nShift) - (shots[1].At(x, y)[c] >> nShift));
                    nWorst = std::max(nWorst, d);
                    nFar += d > 1 ? 1 : 0;
                }
            }
        }
        EXPECT_LE(nWorst, 2);
        EXPECT_LE(nFar, 120);
    }
}

TEST_F(PreviewTest, TheDumpListsTheLayersWithTheirRectanglesStatesAndEscapedTexts) {
    WriteGoldenSkin(false);
    const std::string dump = m_dir->Path() + "/dump.txt";
    const auto r =
        Preview(m_skin + " CGoldenDlg.dlg.xml " + m_dir->Path() + "/x.png --screen 320x240 --dump " + dump);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = testsupport::ReadHostFile(dump);
    const std::string expected =
        "CWceUiLayer \"__root_of_body__\" 0,0,0,0 visible enabled \"\"\n"
        "  CWceUiDlg \"CGoldenDlg\" 0,0,320,240 visible enabled \"\"\n"
        "    CWceUiLayer \"aligned\" 8,8,104,68 visible enabled \"\"\n"
        "    CWceUiLayer \"stretched\" 112,8,208,68 visible enabled \"\"\n"
        "    CWceUiLayer \"keyed\" 216,8,312,68 visible enabled \"\"\n"
        "    CWceUiLayer \"perpixel\" 8,76,104,136 visible enabled \"\"\n"
        "    CWceUiLayer \"constant\" 112,76,208,136 visible enabled \"\"\n"
        "    CWceUiLayer \"wrapped\" 216,76,312,136 visible enabled \"Wrapping words across the lines of a "
        "narrow label, and cut off at its end\"\n"
        "    CWceUiLayer \"cut\" 8,144,208,168 visible enabled \"Wrapping words across the lines of a narrow "
        "label, and cut off at its end\"\n"
        "    CWceUiLayer \"faded\" 8,176,104,232 visible enabled \"\"\n"
        "      CWceUiLayer \"faded_text\" 8,206,104,232 visible enabled \"See \\\"through\\\"\"\n"
        "    CWceUiLayer \"tinted\" 112,176,208,232 visible enabled \"\"\n"
        "    CWceUiLayer \"under\" 216,144,312,232 visible enabled \"\"\n"
        "      CWceUiLayer \"see\" 224,152,304,224 visible enabled \"See \\\"through\\\"\"\n";
    EXPECT_EQ(text, expected);
}

TEST_F(PreviewTest, ClassesNotInTheToolDrawAsPlainLayersAndBrokenFilesFail) {
    Text("wnd/CBoxDlg.dlg.xml", "<dialog><body name=\"box\" style=\"dlg\" windowrect=\"10,5,40,30\">"
                                "<layer type=\"CNoSuchButton\" name=\"b\" style=\"b\"/></body></dialog>");
    Text("wnd/CBoxDlg.style.xml",
         "<styles><style><dlg><position rect=\"0,0,40,30\"/><background color=\"0x0000FF\"/></dlg>"
         "<b><position way=\"relative\" rect=\"10,10,10,10\"/><background color=\"0xFF0000\"/></b>"
         "</style></styles>");
    const std::string out = m_dir->Path() + "/box.png";
    const std::string dump = m_dir->Path() + "/box.txt";
    auto r = Preview(m_skin + " CBoxDlg " + out + " --screen 60x40 --bpp 32 --dump " + dump);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("CBoxDlg is not part of this program; it draws as a plain CWceUiDlg"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("CNoSuchButton is not part of this program; it draws as a plain CWceUiLayer"),
              std::string::npos)
        << r.err;
    EXPECT_NE(testsupport::ReadHostFile(dump).find("    CWceUiLayer \"b\" 10,10,20,20 visible"),
              std::string::npos);
    RgbaImage image;
    std::string error;
    ASSERT_TRUE(ReadPng(out, &image, &error)) << error;
    // The window rectangle places the dialog on the screen; the stand-in still draws its style.
    EXPECT_EQ(image.At(25, 20)[0], 255);
    EXPECT_EQ(image.At(12, 8)[2], 255);
    EXPECT_EQ(image.At(12, 8)[0], 0);
    EXPECT_EQ(image.At(5, 2)[2], 0);

    // A dialog file that is not XML: the framework's lines, exit 1, no picture.
    Text("wnd/CBadDlg.dlg.xml", "<dialog><body name=\"x\"");
    Text("wnd/CBadDlg.style.xml", "<styles/>");
    r = Preview(m_skin + " CBadDlg " + m_dir->Path() + "/bad.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("CBadDlg"), std::string::npos) << r.err;
    EXPECT_FALSE(testsupport::HostExists(m_dir->Path() + "/bad.png"));

    // A style naming a missing image: the dialog still opens, but the run fails after drawing.
    Text("wnd/CBoxDlg.style.xml",
         "<styles><style><dlg><position rect=\"0,0,40,30\"/><background><i id=\"gone.conf\"/></background>"
         "</dlg></style></styles>");
    r = Preview(m_skin + " CBoxDlg " + out + " --screen 40x30");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("layer \"box\": the image gone.conf does not load"), std::string::npos) << r.err;

    // An image with alpha of the other depth is converted to the screen's as it loads, and drawn.
    Bitmap("dot", Image(4, 4, [](int, int, uint8_t* p) { Set(p, 0, 255, 0, 128); }), "565a");
    Text("wnd/CBoxDlg.style.xml",
         "<styles><style><dlg><position rect=\"0,0,40,30\"/><background color=\"0x000000\">"
         "<i id=\"dot.conf\" align=\"left\" valign=\"top\"/></background></dlg>"
         "<b><position way=\"relative\" rect=\"1,1,2,2\"/></b></style></styles>");
    for (const char* bpp : {"32", "16"}) {
        SCOPED_TRACE(bpp);
        r = Preview(m_skin + " CBoxDlg " + out + " --screen 40x30 --bpp " + bpp);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("not blended"), std::string::npos) << r.err;
        ASSERT_TRUE(ReadPng(out, &image, &error)) << error;
        // Half-covered green on black (the window starts at 10,5): about half of full green, no red
        // or blue.
        EXPECT_EQ(image.At(11, 6)[0], 0);
        EXPECT_NEAR(image.At(11, 6)[1], 128, 6);
        EXPECT_EQ(image.At(11, 6)[2], 0);
    }

    // Arguments.
    EXPECT_EQ(Preview(m_skin + " CBoxDlg " + out + " --bpp 24").status, 2);
    EXPECT_EQ(Preview(m_skin + " CBoxDlg " + out + " --screen 40").status, 2);
    EXPECT_EQ(Preview(m_dir->Path() + "/nothing CBoxDlg " + out).status, 1);
}

namespace {

// The layer of a dump line by its name: "visible" or "hidden", and its text.
struct DumpedLayer {
    bool found = false;
    bool visible = false;
    std::string text;
};

DumpedLayer FindLayer(const std::string& dump, const std::string& name) {
    DumpedLayer layer;
    const size_t at = dump.find(" \"" + name + "\" ");
    if (std::string::npos == at) {
        return layer;
    }
    const std::string line = dump.substr(at, dump.find('\n', at) - at);
    layer.found = true;
    layer.visible = std::string::npos != line.find(" visible ");
    const size_t quote = line.find(" \"", line.find(" enabled") + 1);
    if (std::string::npos != quote && line.size() >= quote + 3) {
        layer.text = line.substr(quote + 2, line.size() - quote - 3);
    }
    return layer;
}

bool SamePixels(const RgbaImage& a, const RgbaImage& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

} // namespace

// The skin's sources in the repository draw without a pack step, exactly as the pack compiled from
// them draws, and the framework never sees a UTF-8 file.
TEST_F(PreviewTest, TheSkinSourcesDrawAsTheirCompiledPackDoes) {
    const std::string source = std::string(SKIN_SOURCE_DIR) + "/800x480";
    const std::string pack = std::string(TRAVLEK_PACK_PATH) + "/800x480";
    const std::string fromSource = m_dir->Path() + "/source.png";
    const std::string fromPack = m_dir->Path() + "/pack.png";
    struct Case {
        const char* dialog;
        const char* options;
    } cases[] = {{"CTravlekDlg", ""}, {"CMsgBoxDlg", " --msgbox question \"Replace the application?\""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dialog);
        const auto r = Preview(source + " " + c.dialog + " " + fromSource + c.options);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err.find("UNICODE"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("no language file"), std::string::npos) << r.err;
        const auto p = Preview(pack + " " + c.dialog + " " + fromPack + c.options);
        ASSERT_EQ(p.status, 0) << p.err;
        RgbaImage a, b;
        std::string error;
        ASSERT_TRUE(ReadPng(fromSource, &a, &error)) << error;
        ASSERT_TRUE(ReadPng(fromPack, &b, &error)) << error;
        EXPECT_TRUE(SamePixels(a, b));
    }
}

// The message box as the updater opens it: one icon for the type, "ok" or "yes" and "no", the text.
TEST_F(PreviewTest, TheMessageBoxShowsOneIconAndTheButtonsOfItsType) {
    const std::string source = std::string(SKIN_SOURCE_DIR) + "/320X240";
    const std::string dump = m_dir->Path() + "/box.txt";
    struct Case {
        const char* type;
        const char* icon;
        bool yesNo;
    } cases[] = {{"error", "error_icon", false},
                 {"info", "info_icon", false},
                 {"warning", "warning_icon", false},
                 {"question", "question_icon", true},
                 {"0x24", "question_icon", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const auto r = Preview(source + " " + m_dir->Path() + "/box.png --screen 320x240 --dump " + dump +
                               " --msgbox " + c.type + " \"Cannot find the MSK file.\"");
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string text = testsupport::ReadHostFile(dump);
        for (const char* icon : {"error_icon", "info_icon", "warning_icon", "question_icon"}) {
            const DumpedLayer layer = FindLayer(text, icon);
            ASSERT_TRUE(layer.found) << icon;
            EXPECT_EQ(layer.visible, 0 == strcmp(icon, c.icon)) << icon;
        }
        EXPECT_EQ(FindLayer(text, "ok").visible, !c.yesNo);
        EXPECT_EQ(FindLayer(text, "yes").visible, c.yesNo);
        EXPECT_EQ(FindLayer(text, "no").visible, c.yesNo);
        EXPECT_EQ(FindLayer(text, "msg").text, "Cannot find the MSK file.");
    }
    // Without --msgbox the box opens empty, and the tool says how to fill it.
    auto r = Preview(source + " CMsgBoxDlg " + m_dir->Path() + "/box.png --screen 320x240");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("--msgbox error \"TEXT\""), std::string::npos) << r.err;
    // Only the message box takes a message, and only a known type.
    r = Preview(source + " CTravlekDlg " + m_dir->Path() + "/x.png --msgbox error hello");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(Preview(source + " x.png --msgbox fatal hello").status, 2);
    EXPECT_EQ(Preview(source + " x.png --msgbox error").status, 2);
}

// A broken source file is reported against the author's file and line, not the compiled copy.
TEST_F(PreviewTest, ProblemsOfASourceSkinNameTheSourceFiles) {
    const std::string skin = m_dir->Path() + "/src";
    std::filesystem::copy(std::string(SKIN_SOURCE_DIR) + "/320X240", skin,
                          std::filesystem::copy_options::recursive);
    testsupport::WriteHostFile(skin + "/language/english.ini", "status_ready=Ready\nno equals sign\n");
    const auto r = Preview(skin + " CTravlekDlg " + m_dir->Path() + "/x.png --screen 320x240");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(skin + "/language/english.ini"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("/tmp/wceui-preview."), std::string::npos) << r.err;
}
