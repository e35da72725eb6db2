// Helpers of the end-to-end runs of the real travlek: a device folder per test made by
// travlek-device, headless runs with an event script, and readers for what a run leaves behind
// (the journal, the log file, the device tree and the layer-tree dumps).
#pragma once

#include "support/TestSupport.h"

#include <string>
#include <vector>

namespace e2e {

struct RunResult {
    int exitCode = -1;
    std::string out; // stdout and stderr together
};

// Runs a program with the arguments (already quoted for the shell) and waits for it.
RunResult RunProgram(const std::string& program, const std::string& args);

// One line of a layer-tree dump; the item lines of a list box belong to the list box.
struct DumpLayer {
    int depth = 0;
    std::string cls;
    std::string name;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
    bool enabled = false;
    std::string text;
    std::string extra; // the key=value pairs after the text
    std::vector<std::string> items;

    std::string Rect() const;
    // The centre as "X Y", for a tap.
    std::string Centre() const;
};

class LayerDump {
public:
    explicit LayerDump(const std::string& text);
    bool Empty() const { return m_layers.empty(); }
    // The first layer of the name, or null.
    const DumpLayer* Find(const std::string& name) const;
    bool Visible(const std::string& name) const;
    const std::vector<DumpLayer>& Layers() const { return m_layers; }
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
    std::vector<DumpLayer> m_layers;
};

class TravlekDeviceTest : public ::testing::Test {
protected:
    std::string Dev() const { return m_tmp.Path() + "/dev"; }
    // A host file beside the device folder (scripts, dumps, shots).
    std::string File(const std::string& name) const { return m_tmp.Path() + "/" + name; }

    // travlek-device init on Dev() with the arguments; the test fails when it does.
    void Init(const std::string& args = "");
    // A package folder for --package of count entries: the program file and filler files beside it.
    std::string PackageFolder(const std::string& program, int count);
    // Runs travlek headless on Dev() with the script (one command a line).
    RunResult Travlek(const std::string& script, const std::string& args = "");

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
