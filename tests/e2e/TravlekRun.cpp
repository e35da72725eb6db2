#include "TravlekRun.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace e2e {

std::string Noise(size_t size, uint32_t seed) {
    std::string noise(size, 0);
    for (char& c : noise) {
        seed = seed * 1103515245 + 12345;
        c = static_cast<char>(seed >> 24);
    }
    return noise;
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

RunResult TravlekDeviceTest::Travlek(const std::string& script, const std::string& args,
                                     const std::vector<std::string>& env) {
    testsupport::WriteHostFile(File("script.txt"), script);
    return RunProgram(
        TRAVLEK_PATH,
        "--backend headless --device '" + Dev() + "' --script '" + File("script.txt") + "' " + args, env);
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
