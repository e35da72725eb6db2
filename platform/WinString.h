// UTF-16 string helpers. The C library's wide functions work on 32-bit wchar_t here, so the framework
// uses these instead; they follow the C library's rules (including wcstol/wcstoul's parsing).
#pragma once

#include "platform/WinTypes.h"

#include <cstdarg>
#include <string>
#include <string_view>

size_t WStrLen(LPCWSTR s);
int WStrCmp(LPCWSTR a, LPCWSTR b);
int WStrNCmp(LPCWSTR a, LPCWSTR b, size_t n);
// Compares ignoring letter case (ASCII and Latin-1 letters, as the device's file system does).
int WStrICmp(LPCWSTR a, LPCWSTR b);
int WStrNICmp(LPCWSTR a, LPCWSTR b, size_t n);
LPWSTR WStrCpy(LPWSTR dst, LPCWSTR src);
// Copies at most count - 1 units and always terminates (count > 0); returns FALSE when src was cut.
BOOL WStrCpyN(LPWSTR dst, size_t count, LPCWSTR src);
LPWSTR WStrCat(LPWSTR dst, LPCWSTR src);
LPCWSTR WStrChr(LPCWSTR s, WCHAR c);
LPCWSTR WStrRChr(LPCWSTR s, WCHAR c);
LPCWSTR WStrStr(LPCWSTR haystack, LPCWSTR needle);
long WStrToL(LPCWSTR s, LPWSTR* end, int base);
unsigned long WStrToUL(LPCWSTR s, LPWSTR* end, int base);
WCHAR WCharLower(WCHAR c);
WCHAR WCharUpper(WCHAR c);
// Lower-cases in place.
void WStrLwr(LPWSTR s);

// printf-style formatting into a UTF-16 buffer of count units. Conversions: %s (wide string; null
// prints "(null)"), %hs (narrow string), %c, %d, %i, %u, %x, %X, %p, %%, with flags '-' and '0', a
// width (or '*') and a precision for strings; 'l' and 'll' size modifiers. Returns the number of units
// written without the terminator, or -1 when the text does not fit (the buffer then holds as much as
// fits, terminated).
int WSPrintf(LPWSTR buf, size_t count, LPCWSTR fmt, ...);
int WVSPrintf(LPWSTR buf, size_t count, LPCWSTR fmt, va_list args);
// The same into a growing string.
std::u16string WFormat(LPCWSTR fmt, ...);
std::u16string WVFormat(LPCWSTR fmt, va_list args);

// Conversions for tools and the host side of the platform. Invalid sequences become U+FFFD.
std::u16string Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::u16string_view wide);
inline std::string WideToUtf8(LPCWSTR wide) {
    return wide ? WideToUtf8(std::u16string_view(wide)) : std::string();
}

// Host file names of device names: UTF-8, except that an unpaired surrogate keeps a three-byte form
// of its own (WTF-8), so that two device names never share one host name. Host names that are not
// such text read with U+FFFD in place of the bytes that make no sense.
std::string WideToHostName(std::u16string_view wide);
std::u16string HostNameToWide(std::string_view name);
