// Runs of the built programs for the end-to-end tests, and a reader of the layer-tree dumps they
// write.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct RunResult {
    int exitCode = -1;
    std::string out; // stdout and stderr together
};

// Runs a program with the arguments (already quoted for the shell) and waits for it, at most 90 s:
// a program still running then is killed and the exit code is 124; one killed by a signal has 128
// plus the signal's number. env adds "NAME=value" settings to the program's environment.
RunResult RunProgram(const std::string& program, const std::string& args,
                     const std::vector<std::string>& env = {});

// The text in single quotes for the shell, whatever it holds.
std::string ShellQuote(const std::string& text);

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
    std::vector<std::string> checked; // the items among them that show a check mark

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

} // namespace e2e
