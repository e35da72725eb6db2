// The SDL2 display backend: a real window showing the screen surface, zoomed, with the mouse as the
// pen, keys and text input, the wait cursor and the real clock.
#pragma once

#include "platform/display/DisplayBackend.h"
#include "platform/display/headless/EventScript.h"

#include <memory>
#include <string>
#include <vector>

// Null with a reason when SDL cannot open a window.
std::unique_ptr<DisplayBackend> CreateSdlBackend(std::vector<ScriptStep> script, int zoom,
                                                 std::string* error);
