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

bool ParseEventScript(const std::string& text, const std::string& baseDir, std::vector<ScriptStep>* steps,
                      std::string* error) {
    std::vector<ScriptStep> out;
    uint64_t now = 0;
    int lineNo = 0;
    size_t pos = 0;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        lineNo++;
        // Checked before the line is copied: a text line becomes a step per character.
        size_t length = end - pos;
        if (length > 0 && text[end - 1] == '\r')
            length--;
        if (length > kMaxEventScriptLineBytes)
            return fail("the line is longer than " + std::to_string(kMaxEventScriptLineBytes) + " bytes");
        if (text.size() > kMaxEventScriptBytes && end >= kMaxEventScriptBytes)
            return fail("the script is longer than " + std::to_string(kMaxEventScriptBytes) + " bytes");
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        line = line.substr(first);
        size_t cmdEnd = line.find_first_of(" \t");
        std::string cmd = line.substr(0, cmdEnd);
        // The rest of the line after one separator, for text; trimmed, for file names.
        std::string rest = cmdEnd == std::string::npos ? std::string() : line.substr(cmdEnd + 1);
        std::vector<std::string> args;
        {
            std::istringstream in(rest);
            std::string a;
            while (in >> a)
                args.push_back(a);
        }
        std::string lower = cmd;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));

        auto step = [&](ScriptStep::Kind kind, uint64_t at) {
            ScriptStep s;
            s.kind = kind;
            s.at = static_cast<DWORD>(at);
            s.line = lineNo;
            out.push_back(s);
            return &out.back();
        };
        auto numbers = [&](size_t count, bool negativeFrom, int64_t* values) {
            if (args.size() != count)
                return fail("'" + lower + "' takes " + std::to_string(count) + " numbers");
            for (size_t i = 0; i < count; i++)
                if (!ParseInt(args[i], i < negativeFrom, &values[i]))
                    return fail("bad number '" + args[i] + "'");
            return true;
        };
        auto trimmedRest = [&]() {
            std::string r = rest;
            size_t b = r.find_first_not_of(" \t");
            size_t e = r.find_last_not_of(" \t");
            return b == std::string::npos ? std::string() : r.substr(b, e - b + 1);
        };

        if (lower == "down" || lower == "move" || lower == "up") {
            int64_t v[2];
            if (!numbers(2, 2, v))
                return false;
            ScriptStep::Kind k = lower == "down"   ? ScriptStep::Kind::PenDown
                                 : lower == "move" ? ScriptStep::Kind::PenMove
                                                   : ScriptStep::Kind::PenUp;
            ScriptStep* s = step(k, now);
            s->x = static_cast<int>(v[0]);
            s->y = static_cast<int>(v[1]);
        } else if (lower == "tap") {
            int64_t v[2];
            if (!numbers(2, 2, v))
                return false;
            ScriptStep* s = step(ScriptStep::Kind::PenDown, now);
            s->x = static_cast<int>(v[0]);
            s->y = static_cast<int>(v[1]);
            now += 50;
            s = step(ScriptStep::Kind::PenUp, now);
            s->x = static_cast<int>(v[0]);
            s->y = static_cast<int>(v[1]);
        } else if (lower == "drag") {
            int64_t v[5];
            if (!numbers(5, 4, v))
                return false;
            int64_t ms = v[4];
            if (ms <= 0)
                return fail("a drag takes a positive time");
            if (ms > kMaxDragTime)
                return fail("a drag lasts at most " + std::to_string(kMaxDragTime) + " ms");
            if (now + ms > kMaxScriptTime)
                return fail("the script runs too long");
            ScriptStep* s = step(ScriptStep::Kind::PenDown, now);
            s->x = static_cast<int>(v[0]);
            s->y = static_cast<int>(v[1]);
            for (int64_t t = 16; t < ms; t += 16) {
                s = step(ScriptStep::Kind::PenMove, now + t);
                s->x = static_cast<int>(v[0] + (v[2] - v[0]) * t / ms);
                s->y = static_cast<int>(v[1] + (v[3] - v[1]) * t / ms);
            }
            now += ms;
            s = step(ScriptStep::Kind::PenMove, now);
            s->x = static_cast<int>(v[2]);
            s->y = static_cast<int>(v[3]);
            s = step(ScriptStep::Kind::PenUp, now);
            s->x = static_cast<int>(v[2]);
            s->y = static_cast<int>(v[3]);
        } else if (lower == "key") {
            if (args.size() != 1)
                return fail("'key' takes one key");
            UINT vk = 0;
            int64_t n;
            uint32_t h;
            if (ParseInt(args[0], false, &n)) {
                if (n < 1 || n > 254)
                    return fail("bad key number '" + args[0] + "'");
                vk = static_cast<UINT>(n);
            } else if (args[0].size() > 2 && args[0][0] == '0' && (args[0][1] == 'x' || args[0][1] == 'X')) {
                if (!ParseHex(args[0].substr(2), 254, &h) || h == 0)
                    return fail("bad key number '" + args[0] + "'");
                vk = h;
            } else {
                vk = ScriptKeyByName(args[0]);
                if (!vk)
                    return fail("unknown key '" + args[0] + "'");
            }
            step(ScriptStep::Kind::KeyDown, now)->code = vk;
            step(ScriptStep::Kind::KeyUp, now)->code = vk;
        } else if (lower == "char") {
            if (args.size() != 1)
                return fail("'char' takes one character");
            std::vector<UINT> units;
            const std::string& a = args[0];
            if (Upper(a) == "SPACE") {
                units.push_back(' ');
            } else if (a.size() > 2 && (a[0] == 'U' || a[0] == 'u') && a[1] == '+') {
                uint32_t cp;
                if (!ParseHex(a.substr(2), 0x10FFFF, &cp) || (cp >= 0xD800 && cp <= 0xDFFF))
                    return fail("bad character '" + a + "'");
                AppendUnits(cp, &units);
            } else {
                std::u16string w = Utf8ToWide(a);
                size_t n = w.size();
                bool pair = n == 2 && w[0] >= 0xD800 && w[0] < 0xDC00;
                if (!(n == 1 || pair) || w[0] == 0xFFFD)
                    return fail("'char' takes one character, SPACE or U+XXXX, not '" + a + "'");
                for (char16_t u : w)
                    units.push_back(u);
            }
            for (UINT u : units)
                step(ScriptStep::Kind::Char, now)->code = u;
        } else if (lower == "text") {
            std::u16string w = Utf8ToWide(rest);
            for (char16_t u : w)
                step(ScriptStep::Kind::Char, now)->code = u;
        } else if (lower == "wait") {
            int64_t v[1];
            if (!numbers(1, 0, v))
                return false;
            now += static_cast<uint64_t>(v[0]);
        } else if (lower == "shot") {
            std::string file = trimmedRest();
            if (file.size() < 5 || Upper(file.substr(file.size() - 4)) != ".PNG")
                return fail("'shot' takes a file name ending in .png");
            step(ScriptStep::Kind::Shot, now)->path = JoinPath(baseDir, file);
        } else if (lower == "dump") {
            std::string file = trimmedRest();
            if (file.empty())
                return fail("'dump' takes a file name");
            step(ScriptStep::Kind::Dump, now)->path = JoinPath(baseDir, file);
        } else if (lower == "close" || lower == "quit") {
            if (!args.empty())
                return fail("'" + lower + "' takes nothing");
            step(lower == "close" ? ScriptStep::Kind::Close : ScriptStep::Kind::Quit, now);
        } else {
            return fail("unknown command '" + cmd + "'");
        }
        if (now > kMaxScriptTime)
            return fail("the script runs too long");
        if (out.size() > kMaxScriptSteps)
            return fail("the script has more than " + std::to_string(kMaxScriptSteps) + " steps");
    }
    if (steps)
        *steps = std::move(out);
    return true;
}
