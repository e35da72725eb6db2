// Kernel services other than files: last error, time, interlocked counters, handles.
#pragma once

#include "platform/WinTypes.h"

DWORD GetLastError();
void SetLastError(DWORD error);

// Milliseconds since the platform started; virtual in the headless backend (see Platform.h).
DWORD GetTickCount();
void Sleep(DWORD milliseconds);
void GetLocalTime(SYSTEMTIME* time);

LONG InterlockedIncrement(LONG volatile* value);
LONG InterlockedDecrement(LONG volatile* value);
LONG InterlockedExchange(LONG volatile* target, LONG value);

// Closes any handle of the platform's kernel objects (files, find handles, mutexes, processes).
BOOL CloseHandle(HANDLE handle);

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// System metrics of the screen.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
int GetSystemMetrics(int index);
