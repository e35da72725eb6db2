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

// The pseudo-random generator: each call gives the next value of one process-wide sequence, 0 to
// 0x7FFFFFFF. The sequence starts from seed 1; SeedRandom restarts it, so that runs can be repeated.
DWORD Random();
void SeedRandom(DWORD seed);

// Closes any handle of the platform's kernel objects (files, find handles, mutexes, processes).
BOOL CloseHandle(HANDLE handle);

#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

// System metrics of the screen.
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
int GetSystemMetrics(int index);
