// Helpers of the end-to-end runs of the real travlek: a device folder per test made by
// travlek-device, headless runs with an event script, and readers for what a run leaves behind
// (the journal, the log file, the device tree and the layer-tree dumps).
#pragma once

#include "ProgramRun.h"
#include "support/TestSupport.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// travlek's exit statuses: the last update run succeeded, it failed, or no update ran.
constexpr int kUpdated = 0;
constexpr int kUpdateFailed = 3;
constexpr int kNothingToDo = 4;

// Bytes that are no file format at all and do not compress; the same seed gives the same bytes.
std::string Noise(size_t size, uint32_t seed);

class TravlekDeviceTest : public ::testing::Test {
protected:
    std::string Dev() const { return m_tmp.Path() + "/dev"; }
    // A host file beside the device folder (scripts, dumps, shots).
    std::string File(const std::string& name) const { return m_tmp.Path() + "/" + name; }

    // travlek-device init on Dev() with the arguments; the test fails when it does.
    void Init(const std::string& args = "");
    // A package folder for --package of count entries: the program file and filler files beside it.
    std::string PackageFolder(const std::string& program, int count);
    // Runs travlek headless on Dev() with the script (one command a line); env as RunProgram's.
    RunResult Travlek(const std::string& script, const std::string& args = "",
                      const std::vector<std::string>& env = {});

    std::string Journal() const;
    std::vector<std::string> JournalLines() const;
    // Index of the first journal line that starts with "travlek: " + start, or -1.
    int JournalIndex(const std::string& start) const;
    // The updater's log file beside its pack, as UTF-8 with LF line ends.
    std::string Log() const;
    // Every file under a folder of the device with its contents' size: "path size" lines, sorted.
    std::string Tree(const std::string& folder) const;
    LayerDump Dump(const std::string& name) const;
    // Appends text to the device's registry.reg.
    void AppendToRegistry(const std::string& text);

    testsupport::TempFolder m_tmp;
};

} // namespace e2e
