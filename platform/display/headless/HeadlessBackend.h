// The headless display backend: the screen is the memory surface alone, input comes from the event
// script, and the clock is virtual unless real time is asked for.
#pragma once

#include "platform/display/DisplayBackend.h"
#include "platform/display/headless/EventScript.h"

#include <memory>
#include <vector>

std::unique_ptr<DisplayBackend> CreateHeadlessBackend(std::vector<ScriptStep> script, bool realClock);

// Releases the script steps due at now: input goes to the input queue; a shot or dump waits until
// the input released before it has been handled (the caller pumps only when the queue is idle).
// True when something was released or run. Shared by both backends.
bool PlayDueScriptSteps(ScriptPlayer& player, DWORD now);
