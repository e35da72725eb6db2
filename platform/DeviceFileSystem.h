// Internal to the platform layer: how device paths become host paths.
#pragma once

#include "platform/WinTypes.h"

#include <string>
#include <vector>

namespace devicefs {

struct Resolved {
    std::string host;    // the host path (empty when the device path is not valid)
    bool exists = false; // the whole path names an existing entry
    bool parentExists = false;
    DWORD error = 0; // set when host is empty
};

// Splits a device path into components; "\\" and "/" both separate, "." is dropped and ".." removes
// one component (never above the root). Returns false for a name the device refuses.
bool SplitPath(LPCWSTR path, std::vector<std::u16string>* components, bool allowWildcardsInLast);

Resolved Resolve(LPCWSTR devicePath, bool allowWildcardsInLast = false);
Resolved ResolveComponents(const std::vector<std::u16string>& components);

// True when a host folder entry is the platform's own runtime folder at the device root.
bool IsHiddenEntry(const std::string& hostFolder, const std::string& name);

} // namespace devicefs

// The program's file name as the device sees it (see PlatformSetModuleName).
std::u16string PlatformModuleName();
