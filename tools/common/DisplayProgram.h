// What the programs that open a display (wceui-gallery, wceui-demo) check before they start it, so
// that they write nothing where the user did not ask and never end silently.
#pragma once

#include "platform/display/Display.h"

namespace tooling {

// Without --device on the command line and without $WINCE_DEVICE_ROOT, the program's device (its
// runtime state: locks, journal, registry) is a folder of its own under the user's state folder,
// $XDG_STATE_HOME/PROGRAM (else ~/.local/state/PROGRAM), made when missing; never the current
// folder. Without a display (no $DISPLAY or $WAYLAND_DISPLAY) the program stops with a message unless
// a backend was named. Returns -1 to go on, else the exit status, the message already printed.
int PrepareDisplayProgram(const char* program, int argc, char** argv, const PlatformDisplayOptions& options);

} // namespace tooling
