// The event script parser on arbitrary text: it either refuses with a line number or yields steps
// in time order whose times fit the clock.
#include "platform/display/headless/EventScript.h"

#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptStep> steps;
    std::string error;
    if (!ParseEventScript(text, "base", &steps, &error)) {
        if (error.rfind("line ", 0) != 0)
            std::abort();
        return 0;
    }
    DWORD last = 0;
    for (const ScriptStep& s : steps) {
        if (s.at < last || s.at > 0x40000000u || s.line < 1)
            std::abort();
        last = s.at;
    }
    return 0;
}
