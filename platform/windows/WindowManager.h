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
// Whether the caret is to be seen at the clock time now (created, shown, its window visible, in the on
// half of its blink), and where on the screen. The screen surface never holds the caret: screenshots
// and the display invert these pixels as they show the surface.
bool WindowManagerCaretOnScreen(DWORD now, RECT* screenRect);
