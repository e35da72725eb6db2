// bmptool animate: frames of the framework's window animations between two BMP files.
#pragma once

namespace bmptool {

// Runs "bmptool animate ..." (argv[1] is "animate"); returns the exit status.
int RunAnimate(int argc, char** argv);

} // namespace bmptool
