// Choosing and running the display backend: for the programs that host the framework on Linux and
// for tests. No counterpart on the device.
//
//   headless  the screen is a memory surface; the clock is virtual (GetTickCount and Sleep use it,
//             and it jumps to the next timer or scripted event when the queue is idle); input comes
//             from an event script (EventScript.h). GetMessageW returns 0 once nothing is queued, no
//             timer is pending and the script is done, so every run ends.
//   sdl       a real window of the screen size times the zoom, the mouse as the pen, keys and text
//             input, the real clock. Works under SDL's offscreen and dummy video drivers. A script
//             may drive it too (in real time).
#pragma once

#include "platform/WinTypes.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

struct PlatformDisplayOptions {
    std::string backend; // "headless", "sdl", or empty: sdl when a display is set, else headless
    int width = 800;     // screen size and depth (16 or 32)
    int height = 480;
    int bitsPerPixel = 16;
    int zoom = 1;           // sdl: window pixels per screen pixel
    std::string scriptPath; // event script file (host path); relative names in it are
                            // taken from its folder
    std::string scriptText; // or the script itself (relative names from the current folder)
    std::string exitShot;   // screenshot written by PlatformStopDisplay (PNG); empty: none
    bool realClock = false; // headless: real time instead of the virtual clock
};

// Sets the screen, parses the script and opens the backend. Returns 0, 2 for a bad script or
// option (the message names the script line) or a script path that is no regular file, 1 when the
// backend cannot open. A running display is stopped first.
int PlatformStartDisplay(const PlatformDisplayOptions& options, std::string* error);
// Writes the exit screenshot, destroys every window of the process, empties the queues and closes
// the backend. The next window call opens a plain headless display again.
void PlatformStopDisplay();
// "headless" or "sdl"; empty before any display is open.
std::string PlatformDisplayBackendName();

// Reads the display options a program takes: --backend NAME, --screen WxH, --bpp 16|32,
// --script FILE, --zoom N, --shot FILE.png (at exit), --realtime, --device DIR (the device root).
// Returns 1 when argv[*index] was one of them (*index moves past its value), 0 when it is not a
// display option, -1 with a message for a bad value.
int PlatformParseDisplayOption(int argc, char** argv, int* index, PlatformDisplayOptions* options,
                               std::string* error);
// The usage lines of those options.
const char* PlatformDisplayOptionsUsage();

// The screen as it is seen now: the surface as RGB rows, top row first, with the caret's pixels
// inverted while it is in the on half of its blink (by the clock GetTickCount reads).
bool PlatformScreenRgb(std::vector<unsigned char>* rgb, int* width, int* height);
// Writes the screen as it is seen now as an RGB PNG file.
bool PlatformSaveScreenshot(const std::string& hostPath, std::string* error);
// The host files written by PlatformSaveScreenshot and PlatformWriteDump (the script's shots and
// dumps, the exit screenshot) since the last PlatformStartDisplay, in order, and the paths that could
// not be written, so a program can list what it wrote and fail when a picture is missing.
const std::vector<std::string>& PlatformDisplayFilesWritten();
const std::vector<std::string>& PlatformDisplayWriteFailures();

// The text a script's dump command writes (UTF-8). The default lists the windows; the framework's
// layers replace it with their own description. Null restores the default.
typedef std::function<std::string()> PlatformDumpHook;
void PlatformSetDumpHook(PlatformDumpHook hook);
// Runs the hook and writes its text to the file.
bool PlatformWriteDump(const std::string& hostPath, std::string* error);
// The default dump: one line per window, top-level windows front first, children indented by two
// spaces: <class> "<title>" <l>,<t>,<r>,<b> <visible|hidden> <enabled|disabled> (screen rectangle).
std::string PlatformWindowListText();
