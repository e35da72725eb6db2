// Kernel services beyond files and time: named mutexes across processes, process creation, the
// power state, the one dynamic library of the device (coredll.dll with TouchCalibrate), the
// component runtime's per-thread set-up, and the device journal that records what the real unit
// would do outside the process.
#pragma once

#include "platform/WinTypes.h"

#include <string>

typedef LONG HRESULT;
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2

typedef int (*FARPROC)();

struct STARTUPINFOW;
typedef STARTUPINFOW* LPSTARTUPINFOW;
struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;

// Power states (SetSystemPowerState).
#define POWER_STATE_ON 0x00010000
#define POWER_STATE_OFF 0x00020000
#define POWER_STATE_SUSPEND 0x00200000
#define POWER_STATE_RESET 0x00800000
#define POWER_FORCE 0x00001000

// A named mutex is shared by every process on the same device root: the second CreateMutexW of a
// name while another handle to it lives (in any process) returns a handle and ERROR_ALREADY_EXISTS.
// The name is gone once every handle is closed or its process has died, even by a crash. Unnamed
// mutexes are private objects. CloseHandle releases a handle.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
#define CreateMutex CreateMutexW
BOOL ReleaseMutex(HANDLE mutex);

// Records "CreateProcessW <device path> <command line>" in the journal. The program must exist on the
// device (else FALSE, ERROR_FILE_NOT_FOUND). When the device root's ".wince/programs" maps the device
// path (lines "<device path>=<host command>", the path compared ignoring case), the host command runs
// through /bin/sh with the command line appended after a space; nothing waits for it.
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                    LPPROCESS_INFORMATION processInformation);
#define CreateProcess CreateProcessW
DWORD GetCurrentProcessId();

// Records "SetSystemPowerState 0x<state> 0x<flags>" (with the name after them, if any); ERROR_SUCCESS.
DWORD SetSystemPowerState(LPCWSTR name, DWORD state, DWORD flags);

// Only "coredll.dll" (any folder, any letter case) loads; its one entry is TouchCalibrate, which
// records "TouchCalibrate" and returns TRUE.
HMODULE LoadLibraryW(LPCWSTR fileName);
#define LoadLibrary LoadLibraryW
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);
FARPROC GetProcAddressA(HMODULE module, LPCSTR procName);
#define GetProcAddress GetProcAddressW
BOOL FreeLibrary(HMODULE module);

HRESULT CoInitializeEx(LPVOID reserved, DWORD coInit);
void CoUninitialize();

// The device journal ".wince/journal.log" in the device root: each call appends one UTF-8 line
// "<program name>: <text>" and flushes it at once. The program name is the module name without ".exe".
void PlatformJournal(const std::string& text);
// The journal's host path.
std::string PlatformJournalPath();
