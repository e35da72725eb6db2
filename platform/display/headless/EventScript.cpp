#include "platform/display/headless/EventScript.h"
#include "platform/WinString.h"
#include "platform/windows/WinUser.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Longest script run we accept, so that time sums never wrap the 32-bit clock.
const uint64_t kMaxScriptTime = 0x40000000ull;
// A drag becomes a pen move every 16 ms and a text line a character message per character, all made
// up front: a finger's drag lasts seconds, and these limits with the size limits of the script keep a
// hostile script from asking for millions of steps.
const int64_t kMaxDragTime = 60000;
const size_t kMaxScriptSteps = 1000000;

struct KeyName {
    const char* name;
    UINT vk;
};
const KeyName kKeys[] = {
    {"BACK", VK_BACK},     {"BACKSPACE", VK_BACK}, {"TAB", VK_TAB},         {"RETURN", VK_RETURN},
    {"ENTER", VK_RETURN},  {"SHIFT", VK_SHIFT},    {"CONTROL", VK_CONTROL}, {"MENU", VK_MENU},
    {"ESCAPE", VK_ESCAPE}, {"ESC", VK_ESCAPE},     {"SPACE", VK_SPACE},     {"PRIOR", VK_PRIOR},
    {"PAGEUP", VK_PRIOR},  {"NEXT", VK_NEXT},      {"PAGEDOWN", VK_NEXT},   {"END", VK_END},
    {"HOME", VK_HOME},     {"LEFT", VK_LEFT},      {"UP", VK_UP},           {"RIGHT", VK_RIGHT},
    {"DOWN", VK_DOWN},     {"INSERT", VK_INSERT},  {"DELETE", VK_DELETE},
};

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// A whole-token integer: optional '-' (when allowed), decimal digits; false for anything else.
bool ParseInt(const std::string& token, bool allowNegative, int64_t* out) {
    size_t i = 0;
    bool negative = false;
    if (allowNegative && !token.empty() && token[0] == '-') {
        negative = true;
        i = 1;
    }
    if (i >= token.size() || token.size() - i > 10)
        return false;
    int64_t v = 0;
    for (; i < token.size(); i++) {
        if (token[i] < '0' || token[i] > '9')
            return false;
        v = v * 10 + (token[i] - '0');
    }
    if (v > 0x7FFFFFFF)
        return false;
    *out = negative ? -v : v;
    return true;
}

bool ParseHex(const std::string& digits, uint32_t maxValue, uint32_t* out) {
    if (digits.empty() || digits.size() > 8)
        return false;
    uint64_t v = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * 16 + d;
    }
    if (v > maxValue)
        return false;
    *out = static_cast<uint32_t>(v);
    return true;
}

// Appends the UTF-16 units of a code point.
void AppendUnits(uint32_t cp, std::vector<UINT>* units) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        units->push_back(0xD800 + (cp >> 10));
        units->push_back(0xDC00 + (cp & 0x3FF));
    } else {
        units->push_back(cp);
    }
}

std::string JoinPath(const std::string& baseDir, const std::string& path) {
    if (baseDir.empty() || path.empty() || path[0] == '/')
        return path;
    return baseDir + (baseDir.back() == '/' ? "" : "/") + path;
}

} // namespace

UINT ScriptKeyByName(const std::string& name) {
    std::string u = Upper(name);
    for (const KeyName& k : kKeys)
        if (u == k.name)
            return k.vk;
    if (u.size() >= 2 && u.size() <= 3 && u[0] == 'F') {
        int64_t n;
        if (ParseInt(u.substr(1), false, &n) && n >= 1 && n <= 12)
            return static_cast<UINT>(VK_F1 + n - 1);
    }
    if (u.size() == 1 && ((u[0] >= 'A' && u[0] <= 'Z') || (u[0] >= '0' && u[0] <= '9')))
        return static_cast<UINT>(u[0]);
    return 0;
}

bool ReadEventScriptFile(const std::string& path, std::string* text, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    // Without O_NONBLOCK, opening a pipe would wait for a writer before the type can be checked.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail("cannot read the script " + path + ": " + std::strerror(errno));
    struct stat st;
    if (fstat(fd, &st) != 0) {
        int e = errno;
        close(fd);
        return fail("cannot read the script " + path + ": " + std::strerror(e));
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        const char* kind = S_ISDIR(st.st_mode) ? "a folder" : S_ISFIFO(st.st_mode) ? "a pipe" : "a device";
        return fail("the script " + path + " is " + kind + ", not a file");
    }
    text->clear();
    char buf[65536];
    while (text->size() <= kMaxEventScriptBytes) {
        ssize_t got = read(fd, buf, std::min(sizeof buf, kMaxEventScriptBytes + 1 - text->size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            int e = errno;
            close(fd);
            return fail("cannot read the script " + path + ": " + std::strerror(e));
        }
        if (got == 0)
            break;
        text->append(buf, static_cast<size_t>(got));
    }
    close(fd);
    return true;
}

namespace {

// One command line, cut up: the command in lower case, the rest after one separator (the text of
// "text", file names once trimmed) and the rest's blank-separated words.
struct ScriptLine {
    std::string cmd;
    std::string rest;
    std::vector<std::string> args;
};

// The steps made so far, the clock of the script and the failure of the line being read.
struct ScriptBuilder {
    std::vector<ScriptStep> out;
    uint64_t now = 0;
    int lineNo = 0;
    std::string why;

    ScriptStep* Step(ScriptStep::Kind kind, uint64_t at) {
        ScriptStep s;
        s.kind = kind;
        s.at = static_cast<DWORD>(at);
        s.line = lineNo;
        out.push_back(s);
        return &out.back();
    }
    void Pen(ScriptStep::Kind kind, uint64_t at, int64_t x, int64_t y) {
        ScriptStep* s = Step(kind, at);
        s->x = static_cast<int>(x);
        s->y = static_cast<int>(y);
    }
    bool Fail(const std::string& text) {
        why = text;
        return false;
    }
    // Exactly count whole numbers; those before negativeFrom may be negative.
    bool Numbers(const ScriptLine& line, size_t count, size_t negativeFrom, int64_t* values) {
        if (line.args.size() != count)
            return Fail("'" + line.cmd + "' takes " + std::to_string(count) + " numbers");
        for (size_t i = 0; i < count; i++)
            if (!ParseInt(line.args[i], i < negativeFrom, &values[i]))
                return Fail("bad number '" + line.args[i] + "'");
        return true;
    }
};

// A command's reader: appends its steps (kind is the table's, for the commands that share a reader).
using CommandReader = bool (*)(const ScriptLine& line, ScriptStep::Kind kind, const std::string& baseDir,
                               ScriptBuilder& b);

std::string Trimmed(const std::string& r) {
    size_t first = r.find_first_not_of(" \t");
    size_t last = r.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : r.substr(first, last - first + 1);
}

bool ReadPen(const ScriptLine& line, ScriptStep::Kind kind, const std::string&, ScriptBuilder& b) {
    int64_t v[2];
    if (!b.Numbers(line, 2, 2, v))
        return false;
    b.Pen(kind, b.now, v[0], v[1]);
    return true;
}

bool ReadTap(const ScriptLine& line, ScriptStep::Kind, const std::string&, ScriptBuilder& b) {
    int64_t v[2];
    if (!b.Numbers(line, 2, 2, v))
        return false;
    b.Pen(ScriptStep::Kind::PenDown, b.now, v[0], v[1]);
    b.now += 50;
    b.Pen(ScriptStep::Kind::PenUp, b.now, v[0], v[1]);
    return true;
}

bool ReadDrag(const ScriptLine& line, ScriptStep::Kind, const std::string&, ScriptBuilder& b) {
    int64_t v[5];
    if (!b.Numbers(line, 5, 4, v))
        return false;
    int64_t ms = v[4];
    if (ms <= 0)
        return b.Fail("a drag takes a positive time");
    if (ms > kMaxDragTime)
        return b.Fail("a drag lasts at most " + std::to_string(kMaxDragTime) + " ms");
    if (b.now + ms > kMaxScriptTime)
        return b.Fail("the script runs too long");
    b.Pen(ScriptStep::Kind::PenDown, b.now, v[0], v[1]);
    for (int64_t t = 16; t < ms; t += 16)
        b.Pen(ScriptStep::Kind::PenMove, b.now + t, v[0] + (v[2] - v[0]) * t / ms,
              v[1] + (v[3] - v[1]) * t / ms);
    b.now += ms;
    b.Pen(ScriptStep::Kind::PenMove, b.now, v[2], v[3]);
    b.Pen(ScriptStep::Kind::PenUp, b.now, v[2], v[3]);
    return true;
}

bool ReadKey(const ScriptLine& line, ScriptStep::Kind, const std::string&, ScriptBuilder& b) {
    if (line.args.size() != 1)
        return b.Fail("'key' takes one key");
    const std::string& a = line.args[0];
    UINT vk = 0;
    int64_t n;
    uint32_t h;
    if (ParseInt(a, false, &n)) {
        if (n < 1 || n > 254)
            return b.Fail("bad key number '" + a + "'");
        vk = static_cast<UINT>(n);
    } else if (a.size() > 2 && a[0] == '0' && (a[1] == 'x' || a[1] == 'X')) {
        if (!ParseHex(a.substr(2), 254, &h) || h == 0)
            return b.Fail("bad key number '" + a + "'");
        vk = h;
    } else {
        vk = ScriptKeyByName(a);
        if (!vk)
            return b.Fail("unknown key '" + a + "'");
    }
    b.Step(ScriptStep::Kind::KeyDown, b.now)->code = vk;
    b.Step(ScriptStep::Kind::KeyUp, b.now)->code = vk;
    return true;
}

bool ReadChar(const ScriptLine& line, ScriptStep::Kind, const std::string&, ScriptBuilder& b) {
    if (line.args.size() != 1)
        return b.Fail("'char' takes one character");
    std::vector<UINT> units;
    const std::string& a = line.args[0];
    if (Upper(a) == "SPACE") {
        units.push_back(' ');
    } else if (a.size() > 2 && (a[0] == 'U' || a[0] == 'u') && a[1] == '+') {
        uint32_t cp;
        if (!ParseHex(a.substr(2), 0x10FFFF, &cp) || (cp >= 0xD800 && cp <= 0xDFFF))
            return b.Fail("bad character '" + a + "'");
        AppendUnits(cp, &units);
    } else {
        std::u16string w = Utf8ToWide(a);
        size_t n = w.size();
        bool pair = n == 2 && w[0] >= 0xD800 && w[0] < 0xDC00;
        if (!(n == 1 || pair) || w[0] == 0xFFFD)
            return b.Fail("'char' takes one character, SPACE or U+XXXX, not '" + a + "'");
        for (char16_t u : w)
            units.push_back(u);
    }
    for (UINT u : units)
        b.Step(ScriptStep::Kind::Char, b.now)->code = u;
    return true;
}

bool ReadText(const ScriptLine& line, ScriptStep::Kind, const std::string&, ScriptBuilder& b) {
    for (char16_t u : Utf8ToWide(line.rest))
        b.Step(ScriptStep::Kind::Char, b.now)->code = u;
    return true;
}

bool ReadWait(const ScriptLine& line, ScriptStep::Kind, const std::string&, ScriptBuilder& b) {
    int64_t v[1];
    if (!b.Numbers(line, 1, 0, v))
        return false;
    b.now += static_cast<uint64_t>(v[0]);
    return true;
}

bool ReadShot(const ScriptLine& line, ScriptStep::Kind, const std::string& baseDir, ScriptBuilder& b) {
    std::string file = Trimmed(line.rest);
    if (file.size() < 5 || Upper(file.substr(file.size() - 4)) != ".PNG")
        return b.Fail("'shot' takes a file name ending in .png");
    b.Step(ScriptStep::Kind::Shot, b.now)->path = JoinPath(baseDir, file);
    return true;
}

bool ReadDump(const ScriptLine& line, ScriptStep::Kind, const std::string& baseDir, ScriptBuilder& b) {
    std::string file = Trimmed(line.rest);
    if (file.empty())
        return b.Fail("'dump' takes a file name");
    b.Step(ScriptStep::Kind::Dump, b.now)->path = JoinPath(baseDir, file);
    return true;
}

// close and quit: a step of their own and no arguments.
bool ReadBare(const ScriptLine& line, ScriptStep::Kind kind, const std::string&, ScriptBuilder& b) {
    if (!line.args.empty())
        return b.Fail("'" + line.cmd + "' takes nothing");
    b.Step(kind, b.now);
    return true;
}

struct ScriptCommand {
    const char* name;
    CommandReader read;
    ScriptStep::Kind kind; // for the readers that serve several commands
};
const ScriptCommand kCommands[] = {
    {"down", ReadPen, ScriptStep::Kind::PenDown},  {"move", ReadPen, ScriptStep::Kind::PenMove},
    {"up", ReadPen, ScriptStep::Kind::PenUp},      {"tap", ReadTap, ScriptStep::Kind::PenDown},
    {"drag", ReadDrag, ScriptStep::Kind::PenDown}, {"key", ReadKey, ScriptStep::Kind::KeyDown},
    {"char", ReadChar, ScriptStep::Kind::Char},    {"text", ReadText, ScriptStep::Kind::Char},
    {"wait", ReadWait, ScriptStep::Kind::Quit},    {"shot", ReadShot, ScriptStep::Kind::Shot},
    {"dump", ReadDump, ScriptStep::Kind::Dump},    {"close", ReadBare, ScriptStep::Kind::Close},
    {"quit", ReadBare, ScriptStep::Kind::Quit},
};

// Cuts a command line (neither blank nor a comment) into its command and arguments; false for a blank
// or comment line.
bool CutLine(const std::string& raw, ScriptLine* line, std::string* written) {
    size_t first = raw.find_first_not_of(" \t");
    if (first == std::string::npos || raw[first] == '#')
        return false;
    std::string text = raw.substr(first);
    size_t cmdEnd = text.find_first_of(" \t");
    *written = text.substr(0, cmdEnd);
    line->cmd = *written;
    for (char& c : line->cmd)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    line->rest = cmdEnd == std::string::npos ? std::string() : text.substr(cmdEnd + 1);
    line->args.clear();
    std::istringstream in(line->rest);
    std::string a;
    while (in >> a)
        line->args.push_back(a);
    return true;
}

} // namespace

bool ParseEventScript(const std::string& text, const std::string& baseDir, std::vector<ScriptStep>* steps,
                      std::string* error) {
    ScriptBuilder b;
    size_t pos = 0;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "line " + std::to_string(b.lineNo) + ": " + why;
        return false;
    };
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        b.lineNo++;
        // Checked before the line is copied: a text line becomes a step per character.
        size_t length = end - pos;
        if (length > 0 && text[end - 1] == '\r')
            length--;
        if (length > kMaxEventScriptLineBytes)
            return fail("the line is longer than " + std::to_string(kMaxEventScriptLineBytes) + " bytes");
        if (text.size() > kMaxEventScriptBytes && end >= kMaxEventScriptBytes)
            return fail("the script is longer than " + std::to_string(kMaxEventScriptBytes) + " bytes");
        std::string raw = text.substr(pos, length);
        pos = end + 1;
        ScriptLine line;
        std::string written;
        if (!CutLine(raw, &line, &written))
            continue;
        const ScriptCommand* command = nullptr;
        for (const ScriptCommand& c : kCommands)
            if (line.cmd == c.name)
                command = &c;
        if (!command)
            return fail("unknown command '" + written + "'");
        if (!command->read(line, command->kind, baseDir, b))
            return fail(b.why);
        if (b.now > kMaxScriptTime)
            return fail("the script runs too long");
        if (b.out.size() > kMaxScriptSteps)
            return fail("the script has more than " + std::to_string(kMaxScriptSteps) + " steps");
    }
    if (steps)
        *steps = std::move(b.out);
    return true;
}
