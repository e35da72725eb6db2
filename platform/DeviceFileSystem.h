// Internal to the platform layer: how device paths become host paths.
#pragma once

#include "platform/WinTypes.h"

#include <string>
#include <sys/stat.h>
#include <vector>

namespace devicefs {

struct Resolved {
    std::string host;    // the host path (empty when the device path is not valid)
    bool exists = false; // the whole path names an existing entry
    bool parentExists = false;
    bool isLink = false;  // the last component is a symbolic link below the root or a mount
    bool beneath = false; // resolved below the root or a mount, where links are not followed
    DWORD error = 0;      // set when host is empty
    // The entry's own status (lstat; the same as stat unless isLink) when the walk read it, so that
    // a call need not ask the host again.
    bool hasStat = false;
    struct stat st {};
};

// Splits a device path into components; "\\" and "/" both separate, "." is dropped and ".." removes
// one component (never above the root). Returns false for a name the device refuses.
bool SplitPath(LPCWSTR path, std::vector<std::u16string>* components, bool allowWildcardsInLast);

// Below the device root and below every mounted folder no symbolic link is followed: a path through a
// link fails with ERROR_ACCESS_DENIED, a link as the last component comes back with isLink. Under a
// root of "/" (tools working on host paths) links are followed, since no path can leave that root.
Resolved Resolve(LPCWSTR devicePath, bool allowWildcardsInLast = false);
Resolved ResolveComponents(const std::vector<std::u16string>& components);

// Forgets the folders known to be real and every folder listing (after the platform removed or
// moved a folder).
void ForgetFolders();
// The platform created (or replaced) or removed a host entry: keeps the folder listings current.
void NoteEntryAdded(const std::string& hostPath);
void NoteEntryRemoved(const std::string& hostPath);
void NoteEntryMoved(const std::string& fromHostPath, const std::string& toHostPath);
// Records the link a call refused (see PlatformTakeRefusedLink).
void RefuseLink(const std::string& hostPath);

// True when a host folder entry is the platform's own runtime folder at the device root.
bool IsHiddenEntry(const std::string& hostFolder, const std::string& name);

} // namespace devicefs

// The program's file name as the device sees it (see PlatformSetModuleName).
std::u16string PlatformModuleName();
