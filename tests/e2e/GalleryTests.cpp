// The real wceui-gallery, headless, driven by event scripts: the message box opens on the button and
// leaves on OK, typing goes to the tapped edit box only, the slider and the list answer the pen, both
// layouts fit their screens, and the 800x480 picture matches its golden image.
#include "ProgramRun.h"
#include "support/GoldenImage.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <sstream>

namespace {

using e2e::RunProgram;
using e2e::RunResult;

// The dump line of the layer with this class and name, without its indent; empty when absent.
std::string LayerLine(const std::string& dump, const std::string& cls, const std::string& name) {
    std::istringstream in(dump);
    std::string line;
    const std::string head = cls + " \"" + name + "\" ";
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(' ');
        if (start != std::string::npos && line.compare(start, head.size(), head) == 0) {
            return line.substr(start);
        }
    }
    return "";
}

// Screen points inside the gallery's widgets at 800x480 (the skin's places).
const char* const kTapButton = "tap 130 124\n";
const char* const kTapOk = "tap 400 316\n";
const char* const kTapNameEnd = "tap 360 276\n";
const char* const kTapNoteStart = "tap 46 320\n";

class GalleryTest : public ::testing::Test {
protected:
    testsupport::TempFolder m_tmp;
    std::string File(const std::string& name) const { return m_tmp.Path() + "/" + name; }
    // Runs the gallery on a script in a device folder of the test's own; the program's output.
    RunResult Gallery(const std::string& script, const std::string& args = "") {
        testsupport::WriteHostFile(File("script.txt"), script);
        return RunProgram(WCEUI_GALLERY_PATH, "--backend headless --device '" + m_tmp.Path() +
                                                  "' --script '" + File("script.txt") + "' " + args);
    }
    std::string Dump(const std::string& name) { return "dump " + File(name) + "\n"; }
    std::string Read(const std::string& name) const { return testsupport::ReadHostFile(File(name)); }
};

} // namespace

TEST_F(GalleryTest, TheButtonOpensTheMessageBoxAndOkClosesIt) {
    // The box opens with a cross-fade; the waits let it finish.
    RunResult r = Gallery(std::string("wait 20\n") + kTapButton + "wait 400\n" + Dump("open.txt") + kTapOk +
                          "wait 400\n" + Dump("closed.txt") + "quit\n");
    ASSERT_EQ(r.exitCode, 0) << r.out;

    const std::string open = Read("open.txt");
    EXPECT_EQ(LayerLine(open, "CGalleryMsgDlg", "CGalleryMsgDlg"),
              "CGalleryMsgDlg \"CGalleryMsgDlg\" 180,120,620,360 visible enabled \"\"")
        << open;
    EXPECT_NE(LayerLine(open, "CWceUiLayer", "msg").find("The slider is at 40; no city is picked yet."),
              std::string::npos)
        << open;
    EXPECT_NE(LayerLine(open, "CWceUiButton", "ok").find("visible enabled \"OK\" state=normal"),
              std::string::npos)
        << open;
    // The gallery under the box takes no pen meanwhile.
    EXPECT_NE(LayerLine(open, "CGalleryDlg", "CGalleryDlg").find(" disabled "), std::string::npos) << open;

    const std::string closed = Read("closed.txt");
    EXPECT_EQ(closed.find("CGalleryMsgDlg"), std::string::npos) << closed;
    EXPECT_NE(LayerLine(closed, "CGalleryDlg", "CGalleryDlg").find(" visible enabled "), std::string::npos)
        << closed;
    EXPECT_NE(LayerLine(closed, "CWceUiLayer", "status").find("\"The message box was closed.\""),
              std::string::npos)
        << closed;
}

TEST_F(GalleryTest, EscapeOrClosingTheWindowEndsIt) {
    // What follows the end is never run: no picture is taken.
    const std::string cases[] = {"key ESCAPE\n", std::string(kTapButton) + "wait 400\nclose\n"};
    for (const std::string& end : cases) {
        SCOPED_TRACE(end);
        std::filesystem::remove(File("late.png"));
        RunResult r = Gallery("wait 20\n" + end + "wait 1000\nshot " + File("late.png") + "\nquit\n");
        ASSERT_EQ(r.exitCode, 0) << r.out;
        EXPECT_FALSE(std::filesystem::exists(File("late.png")));
    }
}

TEST_F(GalleryTest, TypingGoesToTheTappedEditBoxOnly) {
    // A pen release on an edit box drops pen input queued up to that moment, so a tap comes a little
    // after the typing before it, as a hand would.
    const std::string script = std::string("wait 20\n") + "text lost\n" + Dump("before.txt") + kTapNameEnd +
                               "text  Byron\n" + "char U+0008\nkey LEFT\n" + Dump("name.txt") + "wait 20\n" +
                               kTapNoteStart + "text Hi\nchar U+000D\n" + Dump("note.txt") + "quit\n";
    RunResult r = Gallery(script);
    ASSERT_EQ(r.exitCode, 0) << r.out;

    // Without a tap nothing has the focus and nothing changes.
    const std::string before = Read("before.txt");
    EXPECT_NE(LayerLine(before, "CWceUiSEditBox", "name").find("caret=0:0 focus=no lines=1"),
              std::string::npos)
        << before;
    EXPECT_NE(LayerLine(before, "CWceUiMEditBox", "note").find("caret=0:0 focus=no lines=4"),
              std::string::npos)
        << before;
    EXPECT_EQ(before.find("lost"), std::string::npos) << before;

    // "Ada Lovelace" + " Byron", one backspace, one step left: the caret before the last letter. The
    // box's own dump line carries what it holds.
    const std::string name = Read("name.txt");
    EXPECT_NE(
        LayerLine(name, "CWceUiSEditBox", "name").find("\"Ada Lovelace Byro\" caret=0:16 focus=yes lines=1"),
        std::string::npos)
        << name;
    EXPECT_NE(LayerLine(name, "CWceUiLayer", "status").find("\"Single-line box: Ada Lovelace Byro\""),
              std::string::npos)
        << name;
    EXPECT_NE(LayerLine(name, "CWceUiMEditBox", "note").find("focus=no"), std::string::npos) << name;

    // The tap on the other box moves the focus there; the line break opens a line after "Hi".
    const std::string note = Read("note.txt");
    EXPECT_NE(LayerLine(note, "CWceUiSEditBox", "name").find("focus=no"), std::string::npos) << note;
    EXPECT_NE(LayerLine(note, "CWceUiMEditBox", "note").find(" \"Hi\\nTap a box to type"), std::string::npos)
        << note;
    EXPECT_NE(LayerLine(note, "CWceUiMEditBox", "note").find("caret=1:0 focus=yes lines=5"),
              std::string::npos)
        << note;
    EXPECT_NE(LayerLine(note, "CWceUiLayer", "status").find("\"Multi-line box: Hi / Tap a box to type"),
              std::string::npos)
        << note;
}

TEST_F(GalleryTest, TheSliderAndTheListAnswerThePen) {
    // The thumb's centre follows the pen; a row tapped is picked and checked; a drag scrolls the list.
    RunResult r = Gallery("wait 20\ndrag 154 180 280 180 300\nwait 50\n" + Dump("slider.txt") +
                          "tap 520 255\nwait 300\n" + Dump("picked.txt") +
                          "drag 600 400 600 150 600\nwait 2000\n" + Dump("scrolled.txt") + "quit\n");
    ASSERT_EQ(r.exitCode, 0) << r.out;

    const std::string slider = Read("slider.txt");
    EXPECT_NE(LayerLine(slider, "CWceUiSlider", "slider").find("range=0..100 pos=86"), std::string::npos)
        << slider;
    EXPECT_NE(LayerLine(slider, "CWceUiLayer", "value").find("\"86\""), std::string::npos) << slider;

    const std::string picked = Read("picked.txt");
    EXPECT_NE(LayerLine(picked, "CWceUiListBox", "cities").find("items=20 selected=3 top=0"),
              std::string::npos)
        << picked;
    EXPECT_NE(LayerLine(picked, "CWceUiLayer", "status").find("\"Picked: Bratislava\""), std::string::npos)
        << picked;

    const std::string scrolled = Read("scrolled.txt");
    const std::string list = LayerLine(scrolled, "CWceUiListBox", "cities");
    EXPECT_NE(list.find("selected=3"), std::string::npos) << scrolled;
    EXPECT_EQ(list.find("top=0"), std::string::npos) << scrolled;
    EXPECT_EQ(scrolled.find("item 0 \"Amsterdam\""), std::string::npos) << scrolled;
}

TEST_F(GalleryTest, BothLayoutsFitTheirScreens) {
    const struct {
        const char* screen;
        int w, h;
    } cases[] = {{"800x480", 800, 480}, {"480x272", 480, 272}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        RunResult r = Gallery("wait 20\n" + Dump("d.txt") + "quit\n", std::string("--screen ") + c.screen);
        ASSERT_EQ(r.exitCode, 0) << r.out;
        const std::string dump = Read("d.txt");
        const std::string screen = "0,0," + std::to_string(c.w) + "," + std::to_string(c.h);
        ASSERT_NE(LayerLine(dump, "CGalleryDlg", "CGalleryDlg").find(screen + " visible"), std::string::npos)
            << dump;
        // Every layer of the dialog lies on the screen, and every widget is there.
        std::istringstream in(dump);
        std::string line;
        int nLayers = 0;
        while (std::getline(in, line)) {
            int l = 0, t = 0, rr = 0, b = 0;
            const size_t q = line.find("\" ");
            if (line.find("__root_of_body__") != std::string::npos || q == std::string::npos ||
                std::sscanf(line.c_str() + q + 2, "%d,%d,%d,%d", &l, &t, &rr, &b) != 4) {
                continue;
            }
            ++nLayers;
            EXPECT_TRUE(l >= 0 && t >= 0 && rr <= c.w && b <= c.h && l < rr && t < b) << line;
        }
        EXPECT_EQ(nLayers, 18) << dump;
        for (const char* cls :
             {"CWceUiButton", "CWceUiSlider", "CWceUiSEditBox", "CWceUiMEditBox", "CWceUiListBox"}) {
            EXPECT_NE(dump.find(std::string(cls) + " \""), std::string::npos) << cls;
        }
    }
}

TEST_F(GalleryTest, TheGalleryAt800x480MatchesItsGoldenImage) {
    RunResult r = Gallery("wait 20\nshot " + File("gallery.png") + "\nquit\n");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    RgbaImage shot;
    std::string error;
    ASSERT_TRUE(ReadPng(File("gallery.png"), &shot, &error)) << error;
    golden::CheckGolden(GOLDEN_DIR, GOLDEN_OUT_DIR, "gallery_800x480", shot);
}

TEST_F(GalleryTest, BadOptionsAndAMissingSkinAreRefused) {
    RunResult bad = RunProgram(WCEUI_GALLERY_PATH, "--backend headless --frobnicate");
    EXPECT_EQ(bad.exitCode, 2) << bad.out;
    EXPECT_NE(bad.out.find("unknown option --frobnicate"), std::string::npos) << bad.out;
    RunResult badScript = Gallery("tap here\n");
    EXPECT_EQ(badScript.exitCode, 2) << badScript.out;

    // A copy of the program without its pack beside it: no gallery, exit 1 with the reason.
    const std::string lonely = File("bin/wceui-gallery");
    std::filesystem::create_directories(File("bin"));
    std::filesystem::copy_file(WCEUI_GALLERY_PATH, lonely);
    std::filesystem::permissions(lonely, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    RunResult missing = RunProgram(lonely, "--backend headless --device '" + m_tmp.Path() + "'");
    EXPECT_EQ(missing.exitCode, 1) << missing.out;
    EXPECT_NE(missing.out.find("wceui-gallery.pack"), std::string::npos) << missing.out;
}

// Without --device the gallery keeps its runtime state under the user's state folder, never in the
// current folder; without a display it says so instead of ending silently.
TEST(GalleryStateTest, StateGoesToTheUsersStateFolderAndNoDisplayIsSaid) {
    testsupport::TempFolder tmp;
    const std::string cwd = tmp.Path() + "/cwd";
    const std::string state = tmp.Path() + "/state";
    testsupport::MakeHostFolders(cwd);
    testsupport::WriteHostFile(tmp.Path() + "/script.txt", "wait 20\nquit\n");
    const std::filesystem::path here = std::filesystem::current_path();
    std::filesystem::current_path(cwd);
    RunResult headless =
        RunProgram(WCEUI_GALLERY_PATH, "--backend headless --script '" + tmp.Path() + "/script.txt'",
                   {"XDG_STATE_HOME=" + state, "WINCE_DEVICE_ROOT="});
    RunResult noDisplay =
        RunProgram(WCEUI_GALLERY_PATH, "", {"XDG_STATE_HOME=" + state, "DISPLAY=", "WAYLAND_DISPLAY="});
    std::filesystem::current_path(here);

    EXPECT_EQ(0, headless.exitCode) << headless.out;
    EXPECT_TRUE(std::filesystem::is_empty(cwd));
    EXPECT_TRUE(std::filesystem::is_directory(state + "/wceui-gallery/.wince"));

    EXPECT_EQ(1, noDisplay.exitCode) << noDisplay.out;
    EXPECT_NE(noDisplay.out.find("wceui-gallery: no display"), std::string::npos) << noDisplay.out;
    EXPECT_NE(noDisplay.out.find("--backend headless"), std::string::npos) << noDisplay.out;
}
