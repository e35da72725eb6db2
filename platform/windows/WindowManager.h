// Inside the platform: how the display code reaches the window manager.
#pragma once

#include "platform/display/DisplayBackend.h"
#include "platform/system/WinProcess.h"
#include "platform/windows/WinUser.h"

#include <memory>

// Installs the backend (replacing any); windows and queues are left as they are.
void WindowManagerSetBackend(std::unique_ptr<DisplayBackend> backend);
// The backend, or null before any window call or display start.
DisplayBackend* WindowManagerBackend();
// Destroys every window of the process, empties the queues and drops the backend.
void WindowManagerReset();
