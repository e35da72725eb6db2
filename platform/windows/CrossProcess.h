// Inside the platform: what processes on the same device root share under its runtime folder
// ".wince": the list of each process's top-level windows and the requests one process makes of
// another's windows. A process's entries live as long as it does: each holds a lock file that the
// kernel releases when it dies, even by a crash, and readers skip (and clear) entries of dead ones.
#pragma once

#include "platform/WinTypes.h"

#include <string>
#include <vector>

namespace xproc {

// The host path of the device's runtime folder (created on demand), with a trailing '/'.
std::string RuntimeFolder();

struct WindowEntry {
    uint64_t handle = 0;
    bool visible = false;
    std::u16string title;
};

// Replaces this process's published list of top-level windows.
void PublishWindows(const std::vector<WindowEntry>& windows);
// Withdraws this process's list (at shutdown).
void WithdrawWindows();

// The first window of another live process with this title (exact match).
bool FindRemoteWindow(const std::u16string& title, DWORD* pid, WindowEntry* window);
// True when the process still lives and lists the window.
bool RemoteWindowAlive(DWORD pid, uint64_t handle, std::u16string* title);

// Appends a request line ("<handle hex> show <cmd>" or "<handle hex> foreground") for the process.
bool SendRequest(DWORD pid, uint64_t handle, const std::string& what);
// The requests other processes made of this one since the last call (cheap when there are none).
std::vector<std::string> TakeRequests();

} // namespace xproc
