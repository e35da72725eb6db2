// The registry calls the framework uses. The registry lives in the text file "registry.reg" in the
// device root (REGEDIT4 style), read at first use and written back whole after every change, so that
// a user can look at it and edit it with any text editor. A file over 4 MB is no registry: it reads as
// an empty one, and the changes that would have to write it fail with ERROR_CANTWRITE.
#pragma once

#include "platform/WinTypes.h"

typedef DWORD REGSAM;
typedef HKEY* PHKEY;

// The predefined root keys (sign-extended, as the Win32 headers define them on 64-bit hosts).
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

// Value types.
#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11

// Access rights (accepted and ignored, as on the device).
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x00000000L

// Dispositions of RegCreateKeyExW.
#define REG_CREATED_NEW_KEY 0x00000001L
#define REG_OPENED_EXISTING_KEY 0x00000002L

#ifndef ERROR_KEY_DELETED
#define ERROR_KEY_DELETED 1018L
#endif

// All return a LONG error code (ERROR_SUCCESS on success) and leave the last-error value alone.
// Key and value names compare ignoring letter case; keys keep the case they were created with.
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
// Creates the missing keys along subKey; disposition tells whether the last one was new.
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
// Null data asks for the size; a buffer that is too small gives ERROR_MORE_DATA with the size needed.
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
// Deletes the key together with all its subkeys, as on the device.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey);
LONG RegCloseKey(HKEY key);
