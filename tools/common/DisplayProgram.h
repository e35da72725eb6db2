// What the programs that open a display (travlek, wceui-gallery, wceui-demo) share: their command
// line, and the checks before they start it, so that they write nothing where the user did not ask and
// never end silently. Kept apart from ToolSupport so that the other tools do not link the display.
#pragma once

#include "platform/display/Display.h"

#include <cstdio>

namespace tooling {

// The command line of a program that takes the display options and no others: --help or -h (usage
// on stdout, exit 0), --version (exit 0), or a usage error as above (exit 2). Returns -1 to go on.
// *pScreenGiven, when given, tells whether the command line named the screen size.
int ParseDisplayArgs(const char* program, int argc, char** argv, PlatformDisplayOptions* options,
                     void (*usage)(FILE* out), bool* pScreenGiven = nullptr);

// Without --device on the command line and without $WINCE_DEVICE_ROOT, the program's device (its
// runtime state: locks, journal, registry) is a folder of its own under the user's state folder,
// $XDG_STATE_HOME/PROGRAM (else ~/.local/state/PROGRAM), made when missing; never the current
// folder. Without a display (no $DISPLAY or $WAYLAND_DISPLAY) the program stops with a message unless
// a backend was named. Returns -1 to go on, else the exit status, the message already printed.
int PrepareDisplayProgram(const char* program, int argc, char** argv, const PlatformDisplayOptions& options);

} // namespace tooling
