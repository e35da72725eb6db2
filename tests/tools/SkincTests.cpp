// skinc: the real skin compiles into a pack that holds what the updater's dialogs look for, read back
// through the framework; broken sources are refused with the framework's lines and no pack.
#include "ToolRun.h"

#include "tools/imaging/PngFile.h"

#include "wceui/anim/WceUiWndAnimate.h"
#include "wceui/bitmap/ReadBitmapConfInfo.h"
#include "wceui/bitmap/WceUiGenericBitmap.h"
#include "wceui/res/FhConfDoc.h"
#include "wceui/res/FhPackFile.h"
#include "wceui/res/WceUiXmlDoc.h"
#include "wceui/style/FhStyleFile.h"
#include "wceui/style/WceUiBgItem.h"
#include "wceui/style/WceUiLoadBitmap.h"
#include "wceui/style/WceUiStyle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace {

class SkincTest : public DeviceFolderTest {
protected:
    tooltest::Result Skinc(const std::string& source, const std::string& extra = "") {
        return tooltest::Run(Root(),
                             std::string(SKINC_PATH) + " " + source + " " + Root() + "/out.pack " + extra);
    }
    void Source(const std::string& rel, const std::string& utf8) {
        const std::string path = Root() + "/src/" + rel;
        testsupport::MakeHostFolders(path.substr(0, path.rfind('/')));
        testsupport::WriteHostFile(path, utf8);
    }
    // A small skin that compiles: one dialog with one styled layer, a colour, a text and a bitmap.
    void GoodSource() {
        Source("s/wnd/A.dlg.xml", "<d><body name=\"A\" style=\"dlg\"><l type=\"CWceUiLayer\" name=\"x\" "
                                  "style=\"x\"/></body></d>\n");
        Source("s/wnd/A.style.xml",
               "<d><style><dlg><position rect=\"0,0,10,10\"/></dlg>\n"
               "<x><text res-id=\"hello\" color=\"ink\"/><background><i id=\"b.565.conf\"/>"
               "</background></x></style></d>\n");
        Source("s/res/color/wceui.color", "ink=FFFFFF\n");
        Source("s/language/english.ini", "hello=Grüße\n");
        Source("s/res/bitmap/b.565.conf", "src=b.bmp\n");
        // A 2 x 2 opaque 565 BMP written by hand: 70-byte header and two padded rows.
        std::string bmp("BM", 2);
        auto u32 = [&](uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                bmp.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
            }
        };
        auto u16 = [&](uint16_t v) {
            bmp.push_back(static_cast<char>(v & 0xFF));
            bmp.push_back(static_cast<char>(v >> 8));
        };
        u32(78), u32(0), u32(70), u32(40), u32(2), u32(2), u16(1), u16(16), u32(3), u32(8);
        u32(0), u32(0), u32(0), u32(0), u32(0xF800), u32(0x07E0), u32(0x001F), u32(0);
        bmp += std::string(8, '\x1F');
        Source("s/res/bitmap/b.bmp", bmp);
    }
};

std::set<std::u16string> PackItems(LPCWSTR pPack) {
    std::set<std::u16string> items;
    CFhPackFile pack(pPack);
    EXPECT_TRUE(pack.Load(NULL));
    for (int i = 0; i < pack.GetItemCount(); ++i) {
        FhPackItemInfo info;
        pack.GetItemInfo(i, &info);
        items.insert(info.pPath);
    }
    return items;
}

struct SizeCase {
    const char16_t* folder; // as the updater names it
    int progressShift;      // how far the compact layout moves the progress bar up
    RECT compactStatus;     // where the compact layout puts the status line
};

const SizeCase kSizes[] = {
    {u"800x480", 200, {630, 200, 797, 270}},
    {u"480X272", 100, {390, 135, 480, 155}},
    {u"320X240", 100, {270, 113, 320, 133}},
};

std::u16string Lower(std::u16string s) {
    for (char16_t& c : s) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return s;
}

// The layers of a dialog file by name, with their class names.
std::map<std::u16string, std::u16string> Layers(const CWceUiXmlDoc& doc, CWceUiXmlElem* pBody) {
    std::map<std::u16string, std::u16string> layers;
    for (CWceUiXmlElem* p = doc.GetFirstChild(pBody); p; p = doc.GetNextSibling(p)) {
        LPCWSTR pName = doc.GetAttrValue(p, u"name");
        LPCWSTR pType = doc.GetAttrValue(p, u"type");
        layers[pName ? pName : u""] = pType ? pType : u"";
    }
    return layers;
}

// A button pressed and then slid off shows its out style ("focus.style"); without one, or with the
// pressed one, it would keep looking pressed although lifting the pen there does nothing.
void ExpectOutStyleIsNotPressed(const CWceUiXmlDoc& doc, CWceUiXmlElem* pBody, const std::u16string& name) {
    CWceUiXmlElem* p = doc.GetFirstChild(pBody);
    for (; p; p = doc.GetNextSibling(p)) {
        LPCWSTR pName = doc.GetAttrValue(p, u"name");
        if (pName && name == pName) {
            break;
        }
    }
    ASSERT_NE(p, nullptr) << WideToUtf8(name);
    LPCWSTR pOut = doc.GetAttrValue(p, u"focus.style");
    LPCWSTR pDown = doc.GetAttrValue(p, u"down.style");
    ASSERT_NE(pOut, nullptr) << WideToUtf8(name);
    ASSERT_NE(pDown, nullptr) << WideToUtf8(name);
    EXPECT_NE(std::u16string(pOut), std::u16string(pDown)) << WideToUtf8(name);
}

TEST_F(SkincTest, TheSkinHoldsWhatTheUpdaterLooksForAtEverySize) {
    const tooltest::Result r = Skinc(SKIN_SOURCE_DIR);
    ASSERT_EQ(r.status, 0) << r.err;
    testsupport::LogCapture log;
    const std::set<std::u16string> items = PackItems(u"\\out.pack");

    for (const SizeCase& size : kSizes) {
        SCOPED_TRACE(WideToUtf8(size.folder));
        const std::u16string lower = Lower(size.folder);
        for (const char16_t* item :
             {u"\\wnd\\ctravlekdlg.dlg.xml", u"\\wnd\\ctravlekdlg.style.xml", u"\\wnd\\cmsgboxdlg.dlg.xml",
              u"\\wnd\\cmsgboxdlg.style.xml", u"\\res\\color\\wceui.color", u"\\language\\english.ini",
              u"\\res\\bitmap\\listbox\\file.565a.conf", u"\\res\\bitmap\\listbox\\file.bmp",
              u"\\res\\bitmap\\listbox\\file.alpha", u"\\res\\bitmap\\messagebox\\button_down.565a.conf"}) {
            EXPECT_TRUE(items.count(lower + item)) << WideToUtf8(lower + item);
        }

        const std::u16string base = std::u16string(u"\\out.pack\\") + size.folder;
        const std::u16string res = base + u"\\res\\bitmap\\";
        for (const char16_t* id : {u"listbox\\file.565a.conf", u"messagebox\\button_down.565a.conf"}) {
            std::unique_ptr<CWceUiGenericBitmap> pBmp(FhLoadBitmapFromConfFile((res + id).c_str()));
            ASSERT_NE(pBmp, nullptr) << WideToUtf8(id);
            EXPECT_EQ(pBmp->GetBitsPixel(), 16);
            EXPECT_TRUE(pBmp->HasPerPixelAlpha());
        }
        CFhConfDoc lang;
        ASSERT_TRUE(lang.LoadFile((base + u"\\language\\english.ini").c_str()));
        ASSERT_NE(lang.GetValue(u"uplevel_folder"), nullptr);
        EXPECT_NE(lang.GetValue(u"uplevel_folder")[0], 0);

        // The main dialog: its layers and their classes, its two images, and every style it names.
        CWceUiXmlDoc dlg;
        ASSERT_TRUE(dlg.LoadXmlFile((base + u"\\wnd\\CTravlekDlg.dlg.xml").c_str()));
        CWceUiXmlElem* pBody = dlg.FindChildElem(dlg.GetRootElem(), u"body");
        ASSERT_NE(pBody, nullptr);
        EXPECT_EQ(std::u16string(dlg.GetAttrValue(pBody, u"name")), u"CTravlekDlg");
        for (const char16_t* prop : {u"uplevel_image", u"folder_image"}) {
            LPCWSTR pId = dlg.GetAttrValue(pBody, prop);
            ASSERT_NE(pId, nullptr);
            std::unique_ptr<CWceUiGenericBitmap> pBmp(FhLoadBitmapFromConfFile((res + pId).c_str()));
            EXPECT_NE(pBmp, nullptr) << WideToUtf8(pId);
        }
        const auto layers = Layers(dlg, pBody);
        const std::map<std::u16string, std::u16string> expected = {
            {u"listbox", u"CWceUiListBox"}, {u"progress", u"CWceUiSlider"}, {u"status", u"CWceUiLayer"},
            {u"update", u"CWceUiButton"},   {u"reboot", u"CWceUiButton"},   {u"calibrate", u"CWceUiButton"},
            {u"back", u"CWceUiButton"},     {u"background", u"CWceUiLayer"}};
        for (const auto& [name, type] : expected) {
            ASSERT_TRUE(layers.count(name)) << WideToUtf8(name);
            EXPECT_EQ(layers.at(name), type) << WideToUtf8(name);
        }
        CFhStyleFile styles;
        ASSERT_TRUE(styles.LoadStyleFile((base + u"\\wnd\\CTravlekDlg.style.xml").c_str()));
        for (int i = 0; i < styles.GetStyleCount(); ++i) {
            CWceUiStyle style;
            EXPECT_TRUE(styles.GetStyleData(styles.GetStyleName(i), &style))
                << WideToUtf8(styles.GetStyleName(i));
        }
        for (CWceUiXmlElem* p = dlg.GetFirstChild(pBody); p; p = dlg.GetNextSibling(p)) {
            for (const char16_t* attr : {u"style", u"down.style", u"focus.style"}) {
                if (LPCWSTR pStyle = dlg.GetAttrValue(p, attr)) {
                    EXPECT_GE(styles.GetStyleNameIndex(pStyle), 0) << WideToUtf8(pStyle);
                }
            }
        }
        for (const char16_t* name : {u"update", u"reboot", u"calibrate", u"back"}) {
            ExpectOutStyleIsNotPressed(dlg, pBody, name);
        }
        // The compact layout's notice: there, hidden until the compact layout shows it, with its text.
        CWceUiStyle notice;
        ASSERT_TRUE(styles.GetStyleData(u"notice", &notice));
        EXPECT_FALSE(notice.IsVisible());
        ASSERT_NE(lang.GetValue(u"do_not_switch_off"), nullptr);

        // The compact layout moves the progress bar up beside the status line.
        CWceUiStyle progress;
        ASSERT_TRUE(styles.GetStyleData(u"progress", &progress));
        RECT rc;
        ASSERT_TRUE(progress.GetPosition(&rc));
        EXPECT_EQ(rc.top - size.progressShift, size.compactStatus.top);
        EXPECT_LE(rc.bottom - size.progressShift, size.compactStatus.bottom);
        EXPECT_LE(rc.right, size.compactStatus.left);

        // The message box: its layers, and the animations it enters and leaves with.
        CWceUiXmlDoc box;
        ASSERT_TRUE(box.LoadXmlFile((base + u"\\wnd\\CMsgBoxDlg.dlg.xml").c_str()));
        CWceUiXmlElem* pBoxBody = box.FindChildElem(box.GetRootElem(), u"body");
        const auto boxLayers = Layers(box, pBoxBody);
        for (const char16_t* name : {u"yes", u"no", u"ok"}) {
            ASSERT_TRUE(boxLayers.count(name));
            EXPECT_EQ(boxLayers.at(name), u"CWceUiButton");
            ExpectOutStyleIsNotPressed(box, pBoxBody, name);
        }
        for (const char16_t* name :
             {u"msg", u"info_icon", u"question_icon", u"warning_icon", u"error_icon"}) {
            EXPECT_TRUE(boxLayers.count(name)) << WideToUtf8(name);
        }
        CFhStyleFile boxStyles;
        ASSERT_TRUE(boxStyles.LoadStyleFile((base + u"\\wnd\\CMsgBoxDlg.style.xml").c_str()));
        for (const char16_t* name : {u"in", u"out"}) {
            std::unique_ptr<CWceUiWndAnimate> pAni(boxStyles.GetWndAnimate(name));
            EXPECT_NE(pAni, nullptr) << WideToUtf8(name);
        }
    }
    for (const std::u16string& line : log.Messages()) {
        ADD_FAILURE() << "framework: " << WideToUtf8(line);
    }
}

// Relative luminance and contrast ratio of sRGB colours, by the WCAG 2 formulas.
double Luminance(const uint8_t* rgb) {
    double sum = 0;
    const double weights[3] = {0.2126, 0.7152, 0.0722};
    for (int i = 0; i < 3; ++i) {
        const double c = rgb[i] / 255.0;
        sum += weights[i] * (c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    return sum;
}

double Contrast(const uint8_t* a, const uint8_t* b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A colour as a 16-bit screen shows it: cut to 5, 6 and 5 bits, widened again by repeating the top bits.
void On565Screen(const uint8_t* in, uint8_t* out) {
    const int r = in[0] >> 3, g = in[1] >> 2, b = in[2] >> 3;
    out[0] = static_cast<uint8_t>(r << 3 | r >> 2);
    out[1] = static_cast<uint8_t>(g << 2 | g >> 4);
    out[2] = static_cast<uint8_t>(b << 3 | b >> 2);
}

// An RRGGBB entry of a skin's colour source file.
bool SourceColour(const std::string& path, const std::string& id, uint8_t* rgb) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (0 == line.rfind(id + "=", 0) && line.size() >= id.size() + 7) {
            const unsigned long v = std::stoul(line.substr(id.size() + 1, 6), nullptr, 16);
            rgb[0] = static_cast<uint8_t>(v >> 16), rgb[1] = static_cast<uint8_t>(v >> 8);
            rgb[2] = static_cast<uint8_t>(v);
            return true;
        }
    }
    return false;
}

// While an update runs the updater draws the labels of its four buttons in grey 808080 on their
// normal face (the buttons stay enabled); that grey must read at 3:1 at least, on the face's colour
// in the skin's sources and as a 16-bit screen shows both. The black-ish label of a usable button
// reads at 4.5:1 at least.
TEST_F(SkincTest, ButtonLabelsReadOnTheirFaceWhetherUsableOrGreyed) {
    const tooltest::Result r = Skinc(SKIN_SOURCE_DIR);
    ASSERT_EQ(r.status, 0) << r.err;
    const uint8_t grey[3] = {0x80, 0x80, 0x80};
    for (const SizeCase& size : kSizes) {
        SCOPED_TRACE(WideToUtf8(size.folder));
        const std::string source = std::string(SKIN_SOURCE_DIR) + "/" + WideToUtf8(size.folder);
        uint8_t label[3];
        ASSERT_TRUE(SourceColour(source + "/res/color/wceui.color", "button_text", label));
        CFhStyleFile styles;
        ASSERT_TRUE(styles.LoadStyleFile(
            (std::u16string(u"\\out.pack\\") + size.folder + u"\\wnd\\CTravlekDlg.style.xml").c_str()));
        for (const char16_t* name : {u"update", u"reboot", u"calibrate", u"back"}) {
            SCOPED_TRACE(WideToUtf8(name));
            CWceUiStyle style;
            ASSERT_TRUE(styles.GetStyleData(name, &style));
            CWceUiBgItem* pFace = style.GetBgItemCtrl()->GetHead();
            ASSERT_NE(pFace, nullptr);
            // "button\normal.565a.conf" is drawn from res/bitmap/button/normal.png.
            std::string id = WideToUtf8(pFace->GetLoadBitmap()->GetBitmapID());
            std::replace(id.begin(), id.end(), '\\', '/');
            id = id.substr(0, id.find('.')) + ".png";
            RgbaImage face;
            std::string error;
            ASSERT_TRUE(ReadPng(source + "/res/bitmap/" + id, &face, &error)) << error;
            // The middle of the face, where the label is drawn.
            const uint8_t* ground = face.At(face.width / 2, face.height / 2);
            ASSERT_EQ(ground[3], 255);
            uint8_t greyShown[3], groundShown[3];
            On565Screen(grey, greyShown);
            On565Screen(ground, groundShown);
            EXPECT_GE(Contrast(grey, ground), 3.0);
            EXPECT_GE(Contrast(greyShown, groundShown), 3.0);
            EXPECT_GE(Contrast(label, ground), 4.5);
        }
    }
}

TEST_F(SkincTest, TextBecomesUtf16AndImagesBecomeTheFrameworksBitmaps) {
    GoodSource();
    // Opaque, with transparency, and asked for in 32 bits.
    RgbaImage image;
    image.width = 3, image.height = 2;
    image.pixels.assign(3 * 2 * 4, 0xFF);
    std::string error;
    ASSERT_TRUE(WritePng(Root() + "/src/s/res/bitmap/opaque.png", image, &error)) << error;
    image.At(1, 1)[3] = 0x40;
    image.hasAlpha = true;
    ASSERT_TRUE(WritePng(Root() + "/src/s/res/bitmap/see.png", image, &error)) << error;
    ASSERT_TRUE(WritePng(Root() + "/src/s/res/bitmap/deep.32.png", image, &error)) << error;

    const tooltest::Result r = Skinc(Root() + "/src", "--keep " + Root() + "/kept");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testsupport::ReadHostFile(Root() + "/kept/s/language/english.ini"),
              "\xFF\xFE" + testsupport::Utf16Bytes(u"hello=Grüße\n"));
    EXPECT_EQ(testsupport::ReadHostFile(Root() + "/kept/s/res/bitmap/b.bmp"),
              testsupport::ReadHostFile(Root() + "/src/s/res/bitmap/b.bmp"));
    EXPECT_EQ(testsupport::ReadHostFile(Root() + "/kept/s/res/bitmap/see.565a.conf"),
              "\xFF\xFE" + testsupport::Utf16Bytes(u"src=see.bmp\npa=true\n"));
    EXPECT_FALSE(testsupport::HostExists(Root() + "/kept/s/res/bitmap/opaque.alpha"));

    struct Expect {
        const char16_t* conf;
        int bits;
        bool alpha;
    } expects[] = {
        {u"opaque.565.conf", 16, false}, {u"see.565a.conf", 16, true}, {u"deep.32.conf", 32, true}};
    const std::u16string kept = PlatformDevicePath(Root() + "/kept/s/res/bitmap") + u"\\";
    for (const Expect& e : expects) {
        std::unique_ptr<CWceUiGenericBitmap> pBmp(FhLoadBitmapFromConfFile((kept + e.conf).c_str()));
        ASSERT_NE(pBmp, nullptr) << WideToUtf8(kept + e.conf);
        EXPECT_EQ(pBmp->GetWidth(), 3);
        EXPECT_EQ(pBmp->GetBitsPixel(), e.bits);
        EXPECT_EQ(pBmp->HasPerPixelAlpha() != FALSE, e.alpha) << WideToUtf8(e.conf);
    }
    const std::set<std::u16string> items = PackItems(u"\\out.pack");
    EXPECT_EQ(items.size(), 6u + 2 + 3 + 2);
    EXPECT_TRUE(items.count(u"s\\res\\bitmap\\see.alpha"));
    EXPECT_TRUE(items.count(u"s\\res\\bitmap\\deep.bmp"));
    EXPECT_TRUE(items.count(u"s\\wnd\\a.style.xml"));

    // A second run may empty its own --keep folder, but no other.
    EXPECT_EQ(Skinc(Root() + "/src", "--keep " + Root() + "/kept").status, 0);
    EXPECT_EQ(Skinc(Root() + "/src", "--keep " + Root() + "/src/s").status, 1);
    EXPECT_TRUE(testsupport::HostExists(Root() + "/src/s/language/english.ini"));
}

TEST_F(SkincTest, BrokenSourcesAreRefusedWithTheFrameworksLinesAndNoPack) {
    struct Case {
        const char* rel;
        std::string text;
        const char* expected;
    } cases[] = {
        {"s/wnd/A.style.xml",
         "<d><style><dlg><position rect=\"0,0,10,10\"/></dlg><x><filters><alpha enabled=\"true\" "
         "opacity=\"300\"/></filters></x></style></d>",
         "can not load style x, 300 is not valid alpha value"},
        {"s/wnd/A.style.xml",
         "<d><style><dlg/><x/></style><animate><in type=\"CWceUiNothing\"/></animate></d>",
         "Load animate in failed, can not create object from type: CWceUiNothing"},
        {"s/language/english.ini", "hello=ok\nnot a pair\n", "Parse"},
        {"s/language/english.ini", "hello=ok\nbye=\xC3\x28\n", "line 2 is not UTF-8"},
        {"s/res/bitmap/b.565.conf", "src=missing.bmp\n", "WceUiLoadBmpFromFile"},
        {"s/wnd/A.dlg.xml",
         "<d><body name=\"A\" style=\"dlg\"><l type=\"CWceUiLayer\" style=\"y\"/></body></d>",
         "style y is not in the style file"},
        {"s/wnd/A.dlg.xml", "<d><body name=\"A\" style=\"dlg\" img=\"none.565a.conf\"/></d>",
         "the image res/bitmap/none.png does not exist (named here as none.565a.conf)"},
        {"s/wnd/A.style.xml", "<d><style><dlg/><x><text res-id=\"absent\" color=\"paper\"/></x></style></d>",
         "text absent is not in "},
        {"s/wnd/A.dlg.xml", "<d><head/></d>", "no \"body\" element"},
        {"s/wnd/A.dlg.xml", "<d><body></d>", "A.dlg.xml:1:10: not an XML document"},
        {"s/res/bitmap/notes.txt", "x", "not a kind of skin source"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        std::system(("rm -rf " + Root() + "/src " + Root() + "/out.pack").c_str());
        GoodSource();
        Source(c.rel, c.text);
        const tooltest::Result r = Skinc(Root() + "/src");
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
        EXPECT_FALSE(testsupport::HostExists(Root() + "/out.pack"));
    }
    // The colour case above also names the missing colour.
    std::system(("rm -rf " + Root() + "/src").c_str());
    GoodSource();
    Source("s/wnd/A.style.xml", "<d><style><dlg/><x><text color=\"paper\"/></x></style></d>");
    const tooltest::Result r = Skinc(Root() + "/src");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("colour paper is not in wceui.color"), std::string::npos) << r.err;

    EXPECT_EQ(Skinc(Root() + "/nothing-here").status, 1);
    EXPECT_EQ(tooltest::Run(Root(), std::string(SKINC_PATH) + " only-one").status, 2);
}

// One run reports every broken file, each at the file and line the author wrote, images by the names
// of their PNG files, and why a PNG could not be read.
TEST_F(SkincTest, EveryProblemOfARunNamesTheAuthorsFileAndLine) {
    GoodSource();
    // A syntax error on line 3 of a dialog: the end tag does not match.
    Source("s/wnd/B.dlg.xml", "<d>\n<body name=\"B\" style=\"dlg\">\n  <l name=\"x\"></m>\n</body></d>\n");
    Source("s/wnd/B.style.xml", "<d><style><dlg/></style></d>\n");
    // An image named twice that has no PNG, and one whose PNG has no transparency.
    Source("s/wnd/A.style.xml",
           "<d><style><dlg><position rect=\"0,0,10,10\"/></dlg>\n"
           "<x><text res-id=\"hello\"/><background><i id=\"b.565.conf\"/></background></x>\n"
           "<y><background>\n  <i id=\"btn\\down.565a.conf\"/></background></y>\n"
           "<z><background><i id=\"btn\\down.565a.conf\"/><i id=\"flat.565a.conf\"/>"
           "</background></z>\n"
           "</style></d>\n");
    RgbaImage image;
    image.width = 4, image.height = 4;
    image.pixels.assign(4 * 4 * 4, 0xFF);
    std::string error;
    ASSERT_TRUE(WritePng(Root() + "/src/s/res/bitmap/flat.png", image, &error)) << error;
    // A PNG cut short, and a language file with a bad byte in its second line.
    ASSERT_TRUE(WritePng(Root() + "/src/s/res/bitmap/cut.png", image, &error)) << error;
    const std::string whole = testsupport::ReadHostFile(Root() + "/src/s/res/bitmap/cut.png");
    testsupport::WriteHostFile(Root() + "/src/s/res/bitmap/cut.png", whole.substr(0, whole.size() - 20));
    Source("s/language/english.ini", "hello=ok\nbye=ab\xC3\x28\n");

    const std::string src = Root() + "/src";
    const tooltest::Result r = Skinc(src);
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(testsupport::HostExists(Root() + "/out.pack"));
    for (const std::string& expected : {
             src + "/s/wnd/B.dlg.xml:3:15: not an XML document",
             src + "/s/wnd/A.style.xml:4:10: the image res/bitmap/btn/down.png does not exist",
             src + "/s/wnd/A.style.xml:5:23: the image res/bitmap/btn/down.png does not exist",
             src + "/s/wnd/A.style.xml:5:51: the image res/bitmap/flat.png is compiled as flat.565.conf, not "
                   "flat.565a.conf (it has no transparent pixel)",
             src + "/s/res/bitmap/cut.png: the PNG image cannot be read: the file ends early",
             src + "/s/language/english.ini:2:7: line 2 is not UTF-8",
         }) {
        EXPECT_NE(r.err.find(expected), std::string::npos) << expected << "\n" << r.err;
    }
    // The compiled copies stay out of sight, and the language problem hides no text checks behind it.
    EXPECT_EQ(r.err.find("/tmp/skinc."), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("text hello"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("skinc: 6 problems in 4 files of " + src + "; no pack written"), std::string::npos)
        << r.err;

    // Mended, the same source compiles.
    Source("s/wnd/B.dlg.xml", "<d><body name=\"B\" style=\"dlg\"/></d>\n");
    Source("s/wnd/A.style.xml", "<d><style><dlg/><x/></style></d>\n");
    Source("s/language/english.ini", "hello=ok\n");
    std::remove((src + "/s/res/bitmap/cut.png").c_str());
    const tooltest::Result mended = Skinc(src);
    EXPECT_EQ(mended.status, 0) << mended.err;
}

} // namespace
