#include "ProgramRun.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <sstream>
#include <sys/wait.h>

namespace e2e {

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += '\'' == c ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

RunResult RunProgram(const std::string& program, const std::string& args,
                     const std::vector<std::string>& env) {
    RunResult r;
    std::string settings;
    for (const std::string& setting : env) {
        settings += " " + ShellQuote(setting);
    }
    // A program that hangs is killed, so that the test fails with exit code 124 instead of waiting.
    FILE* p = popen(("timeout -k 5 90 env" + settings + " '" + program + "' " + args + " 2>&1").c_str(), "r");
    if (!p) {
        return r;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) {
        r.out.append(buf, n);
    }
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    return r;
}

std::string DumpLayer::Rect() const {
    return std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(right) + "," +
           std::to_string(bottom);
}

std::string DumpLayer::Centre() const {
    return std::to_string((left + right) / 2) + " " + std::to_string((top + bottom) / 2);
}

namespace {

// The text of a quoted dump field with its escapes undone.
std::string Unescape(const std::string& quoted) {
    std::string out;
    for (size_t i = 0; i < quoted.size(); ++i) {
        if ('\\' == quoted[i] && i + 1 < quoted.size()) {
            ++i;
            out += 'n' == quoted[i] ? '\n' : quoted[i];
        } else {
            out += quoted[i];
        }
    }
    return out;
}

} // namespace

LayerDump::LayerDump(const std::string& text) : m_text(text) {
    static const std::regex layer(
        R"re(^( *)(\S+) "((?:[^"\\]|\\.)*)" (-?\d+),(-?\d+),(-?\d+),(-?\d+) (visible|hidden) (enabled|disabled) "((?:[^"\\]|\\.)*)"(.*)$)re");
    static const std::regex item(R"re(^ *item \d+ "((?:[^"\\]|\\.)*)"( checked)?$)re");
    std::istringstream in(text);
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, item) && !m_layers.empty()) {
            m_layers.back().items.push_back(Unescape(m[1]));
            if (m[2].matched) {
                m_layers.back().checked.push_back(Unescape(m[1]));
            }
        } else if (std::regex_match(line, m, layer)) {
            DumpLayer l;
            l.depth = static_cast<int>(m[1].length()) / 2;
            l.cls = m[2];
            l.name = Unescape(m[3]);
            l.left = std::stoi(m[4]);
            l.top = std::stoi(m[5]);
            l.right = std::stoi(m[6]);
            l.bottom = std::stoi(m[7]);
            l.visible = "visible" == m[8];
            l.enabled = "enabled" == m[9];
            l.text = Unescape(m[10]);
            l.extra = m[11];
            m_layers.push_back(l);
        } else {
            ADD_FAILURE() << "not a dump line: " << line;
        }
    }
}

const DumpLayer* LayerDump::Find(const std::string& name) const {
    for (const DumpLayer& l : m_layers) {
        if (l.name == name) {
            return &l;
        }
    }
    return nullptr;
}

bool LayerDump::Visible(const std::string& name) const {
    const DumpLayer* l = Find(name);
    return nullptr != l && l->visible;
}

} // namespace e2e
