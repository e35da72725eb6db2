// The framework's path rule and the small path helpers built on it.
#pragma once

#include "platform/WinCe.h"

#include <cstddef>

// True for the two separators the device's file system accepts.
inline bool FhIsPathSeparator(WCHAR c) {
    return u'\\' == c || u'/' == c;
}

// Resolves pPath against the directory pDir into pFullPath (nCount units, terminator included).
// A path that starts with "\" or has ":" as its second unit is absolute and copied unchanged.
// Otherwise its components ("\" or "/" separated) are appended to the directory one by one, each with
// the separator that followed it: "." and empty components are skipped, ".." removes the last
// component. A directory that does not end with a separator gets a "\" first; a null or empty
// directory resolves relative paths against nothing. FALSE when the result does not fit.
BOOL FhMakeFullPath(LPCWSTR pDir, LPCWSTR pPath, LPWSTR pFullPath, size_t nCount);

// Cuts a file path in place just after its last "\" or "/" (the separator stays). FALSE, with the
// path unchanged, when it has no separator.
BOOL FhGetDirPathFromFilePath(LPWSTR pFilePath);

// The running program's directory (its file path up to and including the last separator).
BOOL FhGetModuleDir(LPWSTR pDir, size_t nCount);

// FhMakeFullPath against the program's directory.
BOOL FhMakeFullPathFromModuleDir(LPCWSTR pPath, LPWSTR pFullPath, size_t nCount);
