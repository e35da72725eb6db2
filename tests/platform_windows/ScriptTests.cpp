#include "WindowTestUtil.h"
#include "platform/display/headless/EventScript.h"

#include <sys/stat.h>

namespace {

std::string ParseError(const std::string& text) {
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_FALSE(ParseEventScript(text, "", &steps, &error)) << text;
    return error;
}

} // namespace

TEST(EventScript, RefusesBadLinesWithTheirNumber) {
    EXPECT_EQ("line 3: unknown command 'tapp'", ParseError("# comment\n\ntapp 1 2\n"));
    EXPECT_EQ("line 1: bad number '1x'", ParseError("down 1x 2"));
    EXPECT_EQ("line 2: 'tap' takes 2 numbers", ParseError("wait 5\ntap 1\n"));
    EXPECT_EQ("line 1: bad number '-5'", ParseError("wait -5"));
    EXPECT_EQ("line 1: unknown key 'RETRN'", ParseError("key RETRN"));
    EXPECT_EQ("line 1: bad key number '300'", ParseError("key 300"));
    EXPECT_EQ("line 1: 'char' takes one character, SPACE or U+XXXX, not 'ab'", ParseError("char ab"));
    EXPECT_EQ("line 1: bad character 'U+D800'", ParseError("char U+D800"));
    EXPECT_EQ("line 1: 'shot' takes a file name ending in .png", ParseError("shot a.bmp"));
    EXPECT_EQ("line 1: 'quit' takes nothing", ParseError("quit now"));
    EXPECT_EQ("line 2: the script runs too long", ParseError("wait 1000000000\nwait 1000000000\n"));
    EXPECT_EQ("line 1: bad number '99999999999'", ParseError("wait 99999999999"));
    // A drag is expanded into a move every 16 ms up front, so its length is bounded.
    EXPECT_EQ("line 2: a drag lasts at most 60000 ms", ParseError("tap 1 1\ndrag 0 0 50 50 1000000099\n"));
    std::string manyDrags;
    for (int i = 0; i < 300; i++)
        manyDrags += "drag 0 0 50 50 60000\n";
    EXPECT_EQ("line 267: the script has more than 1000000 steps", ParseError(manyDrags));
}

// A script is made into steps whole before it runs, a text line into one step per character, so
// the script's size, its lines and its steps are bounded before anything is made of them.
TEST(EventScript, RefusesOversizedLinesScriptsAndStepCounts) {
    std::vector<ScriptStep> steps;
    std::string error;
    // A line of 64 KB is taken, also before a CR LF; a byte more is refused, in a comment too.
    const std::string fullLine = "text " + std::string(kMaxEventScriptLineBytes - 5, 'x');
    ASSERT_TRUE(ParseEventScript("wait 1\r\n" + fullLine + "\r\nquit\r\n", "", &steps, &error)) << error;
    EXPECT_EQ(kMaxEventScriptLineBytes - 5 + 1, steps.size());
    EXPECT_EQ("line 2: the line is longer than 65536 bytes", ParseError("wait 1\n" + fullLine + "y\nquit\n"));
    EXPECT_EQ("line 1: the line is longer than 65536 bytes",
              ParseError("#" + std::string(kMaxEventScriptLineBytes, ' ') + "\n"));

    // A script of exactly 4 MB is taken. The byte after it is refused on the line it falls in, even
    // when it is that line's break: the file reader hands over no more than that byte, so a longer
    // file must never pass as a shorter one.
    const std::string comment = "#" + std::string(1022, '.') + "\n";
    std::string comments;
    while (comments.size() < kMaxEventScriptBytes)
        comments += comment;
    ASSERT_EQ(kMaxEventScriptBytes, comments.size());
    EXPECT_TRUE(ParseEventScript(comments, "", &steps, &error)) << error;
    EXPECT_EQ("line 4097: the script is longer than 4194304 bytes", ParseError(comments + "q"));
    comments.back() = '#';
    EXPECT_EQ("line 4096: the script is longer than 4194304 bytes", ParseError(comments + "\n"));

    // Text counts against the million steps as drags do: 15 full lines and one of the rest.
    std::string text;
    for (int i = 0; i < 15; i++)
        text += fullLine + "\n";
    const size_t rest = 1000000 - 15 * (kMaxEventScriptLineBytes - 5);
    ASSERT_TRUE(ParseEventScript(text + "text " + std::string(rest, 'y'), "", &steps, &error)) << error;
    EXPECT_EQ(1000000u, steps.size());
    EXPECT_EQ("line 16: the script has more than 1000000 steps",
              ParseError(text + "text " + std::string(rest + 1, 'y')));
}

// Commands are found by name in any letter case; the pen commands share one reader and must each
// still make their own kind of step, and the messages name the command as the table knows it.
TEST(EventScript, CommandsAreFoundInAnyCaseAndKeepTheirOwnKind) {
    std::vector<ScriptStep> s;
    std::string error;
    ASSERT_TRUE(ParseEventScript("DOWN 1 2\nMove 3 4\nuP 5 6\nClose\nQUIT\n", "", &s, &error)) << error;
    using K = ScriptStep::Kind;
    ASSERT_EQ(5u, s.size());
    EXPECT_EQ(K::PenDown, s[0].kind);
    EXPECT_EQ(K::PenMove, s[1].kind);
    EXPECT_EQ(3, s[1].x);
    EXPECT_EQ(K::PenUp, s[2].kind);
    EXPECT_EQ(6, s[2].y);
    EXPECT_EQ(K::Close, s[3].kind);
    EXPECT_EQ(K::Quit, s[4].kind);
    EXPECT_EQ(5, s[4].line);
    EXPECT_EQ("line 1: 'move' takes 2 numbers", ParseError("MOVE 1"));
    EXPECT_EQ("line 1: 'close' takes nothing", ParseError("Close 1"));
    EXPECT_EQ("line 1: unknown command 'Downn'", ParseError("Downn 1 2"));
}

TEST(EventScript, ExpandsCommandsIntoTimedSteps) {
    std::vector<ScriptStep> s;
    std::string error;
    ASSERT_TRUE(ParseEventScript("tap 5 6\r\nwait 10\r\ndrag 0 0 100 50 40\r\nkey f12\r\nchar U+1F600\r\n"
                                 "text a b\r\nshot out.png\r\n  # x\r\ndump d.txt\r\nclose\r\nquit\r\n",
                                 "/base", &s, &error))
        << error;
    using K = ScriptStep::Kind;
    std::vector<std::tuple<K, DWORD, int, int>> got;
    for (const ScriptStep& st : s)
        got.emplace_back(st.kind, st.at, st.x, st.y);
    ASSERT_EQ(18u, s.size());
    EXPECT_EQ(std::make_tuple(K::PenDown, 0u, 5, 6), got[0]);
    EXPECT_EQ(std::make_tuple(K::PenUp, 50u, 5, 6), got[1]);
    EXPECT_EQ(std::make_tuple(K::PenDown, 60u, 0, 0), got[2]);
    EXPECT_EQ(std::make_tuple(K::PenMove, 76u, 40, 20), got[3]); // 16 ms in
    EXPECT_EQ(std::make_tuple(K::PenMove, 92u, 80, 40), got[4]);
    EXPECT_EQ(std::make_tuple(K::PenMove, 100u, 100, 50), got[5]);
    EXPECT_EQ(std::make_tuple(K::PenUp, 100u, 100, 50), got[6]);
    EXPECT_EQ(K::KeyDown, s[7].kind);
    EXPECT_EQ(static_cast<UINT>(VK_F12), s[7].code);
    EXPECT_EQ(K::KeyUp, s[8].kind);
    EXPECT_EQ(0xD83Du, s[9].code); // a surrogate pair: two character messages
    EXPECT_EQ(0xDE00u, s[10].code);
    EXPECT_EQ(u'a', s[11].code);
    EXPECT_EQ(u' ', s[12].code);
    EXPECT_EQ(u'b', s[13].code);
    EXPECT_EQ("/base/out.png", s[14].path);
    EXPECT_EQ(K::Dump, s[15].kind);
    EXPECT_EQ(9, s[15].line);
    EXPECT_EQ(K::Close, s[16].kind);
    EXPECT_EQ(K::Quit, s[17].kind);
}

TEST_F(WindowTest, BadScriptIsRefusedBeforeAnythingRuns) {
    PlatformDisplayOptions options;
    options.backend = "headless";
    options.scriptText = "tap 1 1\nfly 2 2\n";
    std::string error;
    EXPECT_EQ(2, PlatformStartDisplay(options, &error));
    EXPECT_EQ("script: line 2: unknown command 'fly'", error);
    options.scriptText.clear();
    options.bitsPerPixel = 24;
    EXPECT_EQ(2, PlatformStartDisplay(options, &error));
}

// Only a regular file is a script: a pipe is refused without waiting for a writer and a folder
// instead of passing as an empty script. A larger file is read no further than a byte past the
// limit, which the parser then refuses.
TEST_F(WindowTest, OnlyARegularFileIsAScriptAndItIsReadNoFurtherThanTheLimit) {
    const std::string pipe = Root() + "/pipe.txt";
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0600));
    const std::string folder = Root() + "/folder.txt";
    testsupport::MakeHostFolders(folder);
    const std::string missing = Root() + "/missing.txt";
    const std::pair<std::string, std::string> cases[] = {
        {pipe, "the script " + pipe + " is a pipe, not a file"},
        {folder, "the script " + folder + " is a folder, not a file"},
        {missing, "cannot read the script " + missing + ": No such file or directory"},
    };
    PlatformDisplayOptions options;
    options.backend = "headless";
    std::string error;
    for (const auto& [path, message] : cases) {
        options.scriptPath = path;
        EXPECT_EQ(2, PlatformStartDisplay(options, &error));
        EXPECT_EQ(message, error);
    }

    const std::string big = Root() + "/big.txt";
    testsupport::WriteHostFile(big, "text " + std::string(10 << 20, 'x') + "\nquit\n");
    std::string text;
    ASSERT_TRUE(ReadEventScriptFile(big, &text, &error)) << error;
    EXPECT_EQ(kMaxEventScriptBytes + 1, text.size());
    options.scriptPath = big;
    EXPECT_EQ(2, PlatformStartDisplay(options, &error));
    EXPECT_EQ(big + ": line 1: the line is longer than 65536 bytes", error);
}

// Screenshots and dumps wait until the input before them has been handled and painted; the same
// content gives the same file at either depth.
TEST_F(WindowTest, ShotsAndDumpsFollowTheInput) {
    std::string a = Root() + "/a.png", b = Root() + "/b.png", d = Root() + "/d.txt";
    StartScript("shot " + a + "\ntap 50 50\nshot " + b + "\ndump " + d + "\n");
    HWND w = MakeWindow(u"Shots", WS_VISIBLE, 0, 0, 320, 240);
    bool tapped = false;
    s_hook = [&](HWND h, UINT m, WPARAM, LPARAM) {
        if (m == WM_LBUTTONUP) {
            tapped = true;
            InvalidateRect(h, nullptr, FALSE);
        }
        if (m == WM_PAINT) {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(h, &ps);
            HBRUSH br = CreateSolidBrush(tapped ? RGB(0, 255, 0) : RGB(0, 0, 255));
            FillRect(dc, &ps.rcPaint, br);
            DeleteObject(br);
            EndPaint(h, &ps);
            return true;
        }
        return false;
    };
    RunLoop();
    std::string shotA = testsupport::ReadHostFile(a);
    std::string shotB = testsupport::ReadHostFile(b);
    ASSERT_GT(shotA.size(), 8u);
    EXPECT_EQ("\x89PNG", shotA.substr(0, 4));
    EXPECT_NE(shotA, shotB);
    EXPECT_EQ("TestWnd \"Shots\" 0,0,320,240 visible enabled\n", testsupport::ReadHostFile(d));
    (void)w;

    // The same green screen at 32 bits.
    std::string c = Root() + "/c.png";
    StartScript("tap 50 50\nshot " + c + "\n", 32);
    tapped = false;
    MakeWindow(u"Shots", WS_VISIBLE, 0, 0, 320, 240);
    RunLoop();
    EXPECT_EQ(shotB, testsupport::ReadHostFile(c));

    // The dump hook replaces the window list.
    PlatformSetDumpHook([] { return std::string("layers\n"); });
    std::string error;
    ASSERT_TRUE(PlatformWriteDump(d, &error)) << error;
    PlatformSetDumpHook(nullptr);
    EXPECT_EQ("layers\n", testsupport::ReadHostFile(d));
}

TEST_F(WindowTest, CloseAndQuitCommands) {
    StartScript("close\nwait 10\nquit\nwait 100000\ntap 1 1\n");
    HWND back = MakeWindow(u"back");
    HWND front = MakeWindow(u"front");
    SetTimer(back, 1, 1000, nullptr); // would keep the run alive without quit
    DWORD start = GetTickCount();
    RunLoop();
    EXPECT_FALSE(IsWindow(front)); // the default close handling destroys it
    EXPECT_TRUE(IsWindow(back));
    EXPECT_EQ(start + 10, GetTickCount());
    EXPECT_EQ(0u, Of(WM_LBUTTONDOWN).size());
    MSG msg;
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0)); // every later loop ends too
}

// The script's clock starts with the first message loop, not with the display.
TEST_F(WindowTest, ScriptStartsWithTheFirstLoop) {
    StartScript("wait 20\ntap 10 10\n");
    MakeWindow(u"late");
    Sleep(1000);
    DWORD start = GetTickCount();
    RunLoop();
    std::vector<Seen> downs = Of(WM_LBUTTONDOWN);
    ASSERT_EQ(1u, downs.size());
    EXPECT_EQ(start + 20, downs[0].time);
}
