// Invariants stated where they live. Unlike WCEUI_CHECK, which catches a caller's bad argument and lets
// the caller fail softly, an assertion guards against our own faults: a state the code relies on and
// tests cannot see directly.
#pragma once

// Compiled in Debug builds and wherever WCEUI_ASSERTS is defined (the sanitizer build defines it);
// elsewhere the condition is not evaluated. A false one logs "assert(<condition text>)fail at
// <file>:<line>", says the same on stderr and aborts.
#if !defined(NDEBUG) || defined(WCEUI_ASSERTS)
#define WCEUI_ASSERTS_ON 1
#define WCEUI_ASSERT(condition)                                                                              \
    (static_cast<bool>(condition) ? static_cast<void>(0) : WceUiAssertFailed(#condition, __FILE__, __LINE__))
#else
#define WCEUI_ASSERTS_ON 0
#define WCEUI_ASSERT(condition) static_cast<void>(sizeof(static_cast<bool>(condition)))
#endif

[[noreturn]] void WceUiAssertFailed(const char* conditionText, const char* file, int line);
