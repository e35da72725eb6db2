// What the device's file system takes as a name and as a path. Every place that decides whether a
// name can exist on the unit (the file system calls, the package and pack writers and readers, the
// tools) asks here, so a name is either good everywhere or refused everywhere.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <string_view>

// The longest name (one path component) the host side can hold, in bytes of its UTF-8 form.
#define DEVICE_NAME_MAX_HOST_BYTES 255

// Why the file system refuses a name (one component of a path), or NULL when it takes it: an empty
// name, a control character (below 0x20, or 0x7F), one of < > : " | and, unless wildcards are
// allowed (a search pattern), * and ?, and a name longer than DEVICE_NAME_MAX_HOST_BYTES in its host
// form. "." and ".." are path steps, not names: see DeviceRelativePathProblem.
const char* DeviceNameProblem(std::u16string_view name, bool allowWildcards = false);

// Why a path relative to a device folder cannot name something that may be created there, or NULL:
// empty and "." components are passed over (the file system does the same), ".." is refused (it
// would climb out of the folder), a leading separator makes it absolute, and every other component
// must pass DeviceNameProblem. prefixLength is the length of the folder's own path including its
// closing separator; the whole path must stay below MAX_PATH units.
const char* DeviceRelativePathProblem(std::u16string_view path, size_t prefixLength);

// True for the two separators of device paths, "\" and "/".
inline bool IsDeviceSeparator(WCHAR c) {
    return u'\\' == c || u'/' == c;
}
