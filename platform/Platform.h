// Settings and test hooks of our platform layer itself. These have no counterpart on the device: the
// programs and tests that host the framework on Linux use them to say where the device lives, what
// its screen is like and which faults to simulate.
#pragma once

#include "platform/WinTypes.h"

#include <string>

// The device root folder on the host. Default: $WINCE_DEVICE_ROOT, else the current folder.
void PlatformSetDeviceRoot(const std::string& hostFolder);
std::string PlatformGetDeviceRoot();

// Maps a device folder (such as u"\\Program") onto a host folder; the longest matching prefix wins.
// \Program maps to <device>/Program when that folder exists, else to the executable's folder.
void PlatformMount(LPCWSTR deviceFolder, const std::string& hostFolder);
void PlatformUnmount(LPCWSTR deviceFolder);

// Makes a host folder a confinement: below it no symbolic link is followed, so no device path leads
// out of it (a mount of the folder onto its own device path). Tools that write under a destination
// given as a host path call this for it.
void PlatformConfine(const std::string& hostFolder);
// The host path of the symbolic link that the last refused call of this thread met (a link inside
// the device root or a mount, which is never followed), and forgets it; empty when there was none.
std::string PlatformTakeRefusedLink();

// The host path a device path resolves to (existing components matched ignoring case; missing ones
// kept as written). Empty when the path cannot be mapped.
std::string PlatformHostPath(LPCWSTR devicePath);
// The device path of a host path under the device root or a mount; empty when it is under neither.
std::u16string PlatformDevicePath(const std::string& hostPath);
// For tools that take host paths: the device root becomes the host's "/", so that any absolute host
// path is also a device path (see PlatformDevicePath).
void PlatformUseHostRoot();

// The program file name that GetModuleFileNameW reports (default: the executable's name + ".exe").
void PlatformSetModuleName(LPCWSTR name);

// Time. With the virtual clock, GetTickCount only moves when Sleep or PlatformAdvanceClock move it.
void PlatformUseVirtualClock(BOOL on);
void PlatformAdvanceClock(DWORD milliseconds);
// Sets the virtual clock's time (the headless display starts every run at the same tick).
void PlatformSetClock(DWORD now);
// A fixed local time for reproducible logs; null returns to the host clock.
void PlatformSetLocalTime(const SYSTEMTIME* time);

// The screen (default 800 x 480, 16 bits per pixel).
void PlatformSetScreen(int width, int height, int bitsPerPixel);
int PlatformScreenWidth();
int PlatformScreenHeight();
int PlatformScreenBitsPerPixel();

// How many more files and folders the volume that holds a device path can take (the host's free
// inodes); FALSE when the volume sets no such limit or the path cannot be read (the unit's own
// storage manager has no such count: callers take FALSE as no limit).
BOOL PlatformVolumeFreeEntries(LPCWSTR devicePath, ULONGLONG* freeEntries);

// Fault injection for tests. Counting starts at the call: nth = 1 is the next call.
// count WriteFile calls, starting with the nth, fail with the error, writing nothing.
void PlatformFailWrite(int nth, DWORD error, int count = 1);
// The nth SetFilePointer fails with the error and leaves the position where it was.
void PlatformFailSeek(int nth, DWORD error);
// The nth FlushFileBuffers (of a handle open for writing) fails with the error.
void PlatformFailFlush(int nth, DWORD error);
// The nth ReadFile returns at most maxBytes bytes.
void PlatformShortRead(int nth, DWORD maxBytes);
// The nth MoveFileW fails with the error and moves nothing.
void PlatformFailMove(int nth, DWORD error);
// count CreateFileW calls, starting with the nth, fail with the error.
void PlatformFailCreate(int nth, int count, DWORD error);
// Makes a device folder a volume of its own of this many bytes (0: the host's own volume), as the
// unit's resident flash is: GetDiskFreeSpaceExW at or below the folder reports what is left once the
// files and folders below it take their blocks. Writes are not limited.
void PlatformSetVolumeCapacity(LPCWSTR deviceFolder, ULONGLONG bytes);
// GetDiskFreeSpaceExW reports at most maxBytes available (0: no limit); writes are not limited.
void PlatformLimitFreeSpace(ULONGLONG maxBytes);
// Power cuts and kills at a chosen change of the file system. Every call that changes it (a create
// or open for writing, a write, a flush, a truncation, a move, a delete, a folder made or removed,
// new attributes) counts once when the device path it changes lies under the counted folder.
// Counting starts at zero under that folder (null: every path).
void PlatformCountFileChanges(LPCWSTR underFolder);
int PlatformFileChanges();
// The nth counted change and every one after it fail with ERROR_NOT_READY and change nothing, as
// after the unit lost its power (0: no cut). The caller "restarts" by clearing it.
void PlatformCutPowerAt(int nth);
// The environment variable WINCE_KILL_AT="KIND:N[:TEXT]" kills the process (SIGKILL, before the
// change is made) at the Nth change of that kind whose device path contains TEXT (ignoring case);
// KIND is create, write, flush, move, delete, rmdir, mkdir or any. Read once, at the first change.
// WINCE_HOOK_AT (same form) with WINCE_HOOK_COMMAND="shell command" runs the command once (system())
// just before its change is made, and before a kill at that same change: another writer acting at a
// chosen moment of an update (a package replaced, a flash filled).
void PlatformClearFaults();
// How many CreateFileW calls were made since the last PlatformClearFaults.
int PlatformCreateFileCalls();

// Maps a host errno value onto the platform's error code.
DWORD PlatformErrorFromErrno(int err);

// The caret as the window manager keeps it: owner, rectangle in the owner's client coordinates, and
// whether it is shown (blinking aside; see GetCaretBlinkTime). FALSE when there is no caret.
BOOL PlatformCaretState(HWND* owner, RECT* rect, BOOL* shown);

// Registers a window message at a number of the registered range (WM_REGISTERED_FIRST and up) that
// every process gives it, where processes must agree on a message without a shared table: each makes
// the same calls at start, before anything registers by name alone. Returns the number; 0 with
// ERROR_INVALID_PARAMETER for an empty name or a number outside the range, and with
// ERROR_ALREADY_EXISTS when the number belongs to another name or the name to another number.
// Repeating a registration is harmless. Later RegisterWindowMessageW calls of the name return it.
UINT PlatformRegisterWindowMessageAt(LPCWSTR name, UINT message);
