#include "TravlekRun.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace e2e {

RunResult RunProgram(const std::string& program, const std::string& args) {
    RunResult r;
    FILE* p = popen(("'" + program + "' " + args + " 2>&1").c_str(), "r");
    if (!p) {
        return r;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) {
        r.out.append(buf, n);
    }
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    static const std::regex item(R"re(^ *item \d+ "((?:[^"\\]|\\.)*)"$)re");
    std::istringstream in(text);
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, item) && !m_layers.empty()) {
            m_layers.back().items.push_back(Unescape(m[1]));
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

void TravlekDeviceTest::Init(const std::string& args) {
    RunResult r = RunProgram(TRAVLEK_DEVICE_PATH, "init '" + Dev() + "' " + args);
    ASSERT_EQ(r.exitCode, 0) << r.out;
}

std::string TravlekDeviceTest::PackageFolder(const std::string& program, int count) {
    const std::string folder = File("package-" + std::to_string(count));
    testsupport::WriteHostFile(folder + "/" + program, "new " + program + "\n");
    for (int i = 1; i < count; ++i) {
        testsupport::WriteHostFile(folder + "/part" + std::to_string(100 + i) + ".dat",
                                   std::string(100 + i, static_cast<char>('a' + i % 26)));
    }
    return folder;
}

RunResult TravlekDeviceTest::Travlek(const std::string& script, const std::string& args) {
    testsupport::WriteHostFile(File("script.txt"), script);
    return RunProgram(TRAVLEK_PATH, "--backend headless --device '" + Dev() + "' --script '" +
                                        File("script.txt") + "' " + args);
}

std::string TravlekDeviceTest::Journal() const {
    return testsupport::ReadHostFile(Dev() + "/.wince/journal.log");
}

std::vector<std::string> TravlekDeviceTest::JournalLines() const {
    std::vector<std::string> lines;
    std::istringstream in(Journal());
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

int TravlekDeviceTest::JournalIndex(const std::string& start) const {
    const std::vector<std::string> lines = JournalLines();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (0 == lines[i].rfind("travlek: " + start, 0)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string TravlekDeviceTest::Log() const {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Dev() + "/Program", ec)) {
        if (entry.path().extension() != ".wceuilog") {
            continue;
        }
        // UTF-16LE with a byte-order mark; the messages are ASCII.
        const std::string bytes = testsupport::ReadHostFile(entry.path().string());
        std::string text;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            const char c = bytes[i];
            if ('\r' != c) {
                text += 0 == bytes[i + 1] ? c : '?';
            }
        }
        return text;
    }
    return "";
}

std::string TravlekDeviceTest::Tree(const std::string& folder) const {
    std::vector<std::string> lines;
    const fs::path root = Dev() + "/" + folder;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (it->is_regular_file()) {
            lines.push_back(fs::relative(it->path(), root).string() + " " + std::to_string(it->file_size()));
        }
    }
    std::sort(lines.begin(), lines.end());
    std::string tree;
    for (const std::string& line : lines) {
        tree += line + "\n";
    }
    return tree;
}

LayerDump TravlekDeviceTest::Dump(const std::string& name) const {
    return LayerDump(testsupport::ReadHostFile(File(name)));
}

void TravlekDeviceTest::AppendToRegistry(const std::string& text) {
    testsupport::WriteHostFile(Dev() + "/registry.reg",
                               testsupport::ReadHostFile(Dev() + "/registry.reg") + text);
}

} // namespace e2e
