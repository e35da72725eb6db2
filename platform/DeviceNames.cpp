#include "platform/DeviceNames.h"

namespace {

// Bytes of a name in the host's UTF-8 form (an unpaired surrogate takes three, like any other unit
// of the Basic Multilingual Plane above U+07FF).
size_t HostBytes(std::u16string_view name) {
    size_t bytes = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        WCHAR c = name[i];
        if (c < 0x80) {
            bytes += 1;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
                   name[i + 1] <= 0xDFFF) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

} // namespace

const char* DeviceNameProblem(std::u16string_view name, bool allowWildcards) {
    if (name.empty())
        return "empty name";
    for (WCHAR c : name) {
        if (c < 0x20 || c == 0x7F)
            return "control character";
        switch (c) {
            case u'<':
            case u'>':
            case u':':
            case u'"':
            case u'|':
                return "character the device does not allow in names (< > : \" |)";
            case u'*':
            case u'?':
                if (!allowWildcards)
                    return "wildcard character in a name (* ?)";
                break;
            case u'\\':
            case u'/':
                return "separator in a name";
            default:
                break;
        }
    }
    if (HostBytes(name) > DEVICE_NAME_MAX_HOST_BYTES)
        return "name too long";
    return NULL;
}

const char* DeviceRelativePathProblem(std::u16string_view path, size_t prefixLength) {
    if (!path.empty() && IsDeviceSeparator(path[0]))
        return "absolute path";
    if (prefixLength + path.size() >= MAX_PATH)
        return "path too long";
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !IsDeviceSeparator(path[i]))
            continue;
        std::u16string_view component = path.substr(start, i - start);
        start = i + 1;
        if (component.empty() || component == u".")
            continue;
        if (component == u"..")
            return "parent folder component";
        if (const char* why = DeviceNameProblem(component))
            return why;
    }
    return NULL;
}
