#include "platform/DeviceFileSystem.h"
#include "platform/DeviceNames.h"
#include "platform/Platform.h"
#include "platform/WinString.h"
#include "platform/WinSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Mount {
    std::vector<std::u16string> components; // lower-case
    std::string host;
};

struct DeviceState {
    std::mutex lock;
    bool rootSet = false;
    std::string root;
    std::vector<Mount> mounts;
    std::u16string moduleName;
};

DeviceState& State() {
    static DeviceState* state = new DeviceState;
    return *state;
}

std::string ExecutablePath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0)
        return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

std::string ExecutableFolder() {
    std::string exe = ExecutablePath();
    size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

std::string NormaliseHostFolder(const std::string& folder) {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::absolute(folder, ec);
    std::string s = (ec ? std::filesystem::path(folder) : p).lexically_normal().string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

const std::string& Root() {
    DeviceState& s = State();
    if (!s.rootSet) {
        const char* env = getenv("WINCE_DEVICE_ROOT");
        s.root = NormaliseHostFolder(env && *env ? env : ".");
        s.rootSet = true;
    }
    return s.root;
}

std::u16string Lower(const std::u16string& s) {
    std::u16string out = s;
    for (auto& c : out)
        c = WCharLower(c);
    return out;
}

std::string JoinHost(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

bool HostExists(const std::string& path, bool* isDir = nullptr) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return false;
    if (isDir)
        *isDir = S_ISDIR(st.st_mode);
    return true;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// Letter case folds ASCII to ASCII and Latin-1 to Latin-1, so an ASCII name can only match an ASCII
// entry of the same length; that is decided on the bytes, without converting every entry.
bool SameIgnoringCase(const char* entry, const std::string& asciiName, const std::u16string& name) {
    if (asciiName.empty())
        return WStrICmp(Utf8ToWide(entry).c_str(), name.c_str()) == 0;
    size_t i = 0;
    for (; entry[i] != 0; ++i) {
        if (i >= asciiName.size() || AsciiLower(entry[i]) != AsciiLower(asciiName[i]))
            return false;
    }
    return i == asciiName.size();
}

// Finds the entry of a host folder whose name equals the given one ignoring case. The exact name
// wins; among several case variants the smallest name is taken, so the choice is stable.
bool FindEntryIgnoringCase(const std::string& folder, const std::u16string& name, std::string* found,
                           bool exactKnownMissing = false) {
    std::string exact = WideToUtf8(name);
    if (!exactKnownMissing && HostExists(JoinHost(folder, exact))) {
        *found = exact;
        return true;
    }
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return false;
    bool ascii = std::all_of(name.begin(), name.end(), [](char16_t c) { return c < 0x80; });
    const std::string asciiName = ascii ? exact : std::string();
    bool any = false;
    while (dirent* e = readdir(dir)) {
        if (SameIgnoringCase(e->d_name, asciiName, name)) {
            if (!any || std::string(e->d_name) < *found)
                *found = e->d_name;
            any = true;
        }
    }
    closedir(dir);
    return any;
}

} // namespace

namespace devicefs {

bool SplitPath(LPCWSTR path, std::vector<std::u16string>* components, bool allowWildcardsInLast) {
    components->clear();
    if (!path)
        return false;
    std::u16string current;
    std::vector<std::u16string> raw;
    for (LPCWSTR p = path;; ++p) {
        if (*p == u'\\' || *p == u'/' || *p == 0) {
            if (!current.empty())
                raw.push_back(current);
            current.clear();
            if (*p == 0)
                break;
        } else {
            current.push_back(*p);
        }
    }
    for (size_t i = 0; i < raw.size(); ++i) {
        const std::u16string& c = raw[i];
        bool last = i + 1 == raw.size();
        if (c != u"." && c != u".." && DeviceNameProblem(c, allowWildcardsInLast && last))
            return false;
        if (c == u".")
            continue;
        if (c == u"..") {
            if (!components->empty())
                components->pop_back();
            continue;
        }
        components->push_back(c);
    }
    return true;
}

Resolved ResolveComponents(const std::vector<std::u16string>& components) {
    Resolved r;
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);

    // The longest mount whose components match the start of the path.
    const Mount* best = nullptr;
    for (const Mount& m : s.mounts) {
        if (m.components.size() > components.size())
            continue;
        if (best && best->components.size() >= m.components.size())
            continue;
        bool match = true;
        for (size_t i = 0; i < m.components.size() && match; ++i)
            match = Lower(components[i]) == m.components[i];
        if (match)
            best = &m;
    }
    std::string host = best ? best->host : Root();
    size_t start = best ? best->components.size() : 0;

    // \Program is the device's own copy of the program folder when it has one, else the folder
    // that holds the executable.
    if (!best && !components.empty() && Lower(components[0]) == u"program") {
        std::string name;
        if (!FindEntryIgnoringCase(host, components[0], &name)) {
            host = ExecutableFolder();
            start = 1;
        }
    }

    // The exact name wins over its case variants, so the longest prefix that exists exactly as
    // written resolves to itself: one stat of the whole path (or of its folder, for a new entry)
    // stands for one stat per component. Only the rest is matched entry by entry.
    size_t exactEnd = start;
    if (start < components.size()) {
        std::vector<std::string> prefixes{host};
        for (size_t i = start; i < components.size(); ++i)
            prefixes.push_back(JoinHost(prefixes.back(), WideToUtf8(components[i])));
        for (size_t k = prefixes.size() - 1; k > 0; --k) {
            if (HostExists(prefixes[k])) {
                exactEnd = start + k;
                host = prefixes[k];
                break;
            }
        }
    }

    bool exists = true;
    r.parentExists = true;
    for (size_t i = exactEnd; i < components.size(); ++i) {
        if (i + 1 == components.size())
            r.parentExists = exists;
        std::string name;
        if (exists && FindEntryIgnoringCase(host, components[i], &name, i == exactEnd)) {
            host = JoinHost(host, name);
        } else {
            exists = false;
            host = JoinHost(host, WideToUtf8(components[i]));
        }
    }
    bool isDir = false;
    r.exists = exists && (exactEnd == components.size() || HostExists(host, &isDir));
    r.host = host;
    return r;
}

Resolved Resolve(LPCWSTR devicePath, bool allowWildcardsInLast) {
    Resolved r;
    if (!devicePath) {
        r.error = ERROR_INVALID_PARAMETER;
        return r;
    }
    if (WStrLen(devicePath) >= MAX_PATH) {
        r.error = ERROR_FILENAME_EXCED_RANGE;
        return r;
    }
    std::vector<std::u16string> components;
    if (!SplitPath(devicePath, &components, allowWildcardsInLast)) {
        r.error = ERROR_INVALID_NAME;
        return r;
    }
    r = ResolveComponents(components);
    // As on the device, a trailing separator names a folder: after an existing file it is an invalid
    // name, not that file.
    size_t length = WStrLen(devicePath);
    if (length > 0 && (devicePath[length - 1] == u'\\' || devicePath[length - 1] == u'/') && r.exists) {
        bool isDir = false;
        if (HostExists(r.host, &isDir) && !isDir) {
            r = Resolved();
            r.error = ERROR_INVALID_NAME;
        }
    }
    return r;
}

bool IsHiddenEntry(const std::string& hostFolder, const std::string& name) {
    return name == "." || name == ".." || (name == ".wince" && hostFolder == Root());
}

} // namespace devicefs

void PlatformSetDeviceRoot(const std::string& hostFolder) {
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.root = NormaliseHostFolder(hostFolder);
    s.rootSet = true;
}

std::string PlatformGetDeviceRoot() {
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    return Root();
}

void PlatformMount(LPCWSTR deviceFolder, const std::string& hostFolder) {
    std::vector<std::u16string> components;
    if (!devicefs::SplitPath(deviceFolder, &components, false))
        return;
    for (auto& c : components)
        c = Lower(c);
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.mounts.erase(std::remove_if(s.mounts.begin(), s.mounts.end(),
                                  [&](const Mount& m) { return m.components == components; }),
                   s.mounts.end());
    s.mounts.push_back(Mount{components, NormaliseHostFolder(hostFolder)});
}

void PlatformUnmount(LPCWSTR deviceFolder) {
    std::vector<std::u16string> components;
    if (!devicefs::SplitPath(deviceFolder, &components, false))
        return;
    for (auto& c : components)
        c = Lower(c);
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.mounts.erase(std::remove_if(s.mounts.begin(), s.mounts.end(),
                                  [&](const Mount& m) { return m.components == components; }),
                   s.mounts.end());
}

std::string PlatformHostPath(LPCWSTR devicePath) {
    return devicefs::Resolve(devicePath).host;
}

std::u16string PlatformDevicePath(const std::string& hostPath) {
    std::string path = NormaliseHostFolder(hostPath);
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    auto under = [&](const std::string& folder, std::string* rest) {
        if (folder == "/") {
            *rest = path.substr(1);
            return true;
        }
        if (path == folder) {
            rest->clear();
            return true;
        }
        if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
            path[folder.size()] == '/') {
            *rest = path.substr(folder.size() + 1);
            return true;
        }
        return false;
    };
    std::u16string prefix;
    std::string rest;
    size_t bestLength = 0;
    bool found = false;
    for (const Mount& m : s.mounts) {
        std::string r;
        if (m.host.size() >= bestLength && under(m.host, &r)) {
            bestLength = m.host.size();
            rest = r;
            prefix.clear();
            for (const auto& c : m.components)
                prefix += u"\\" + c;
            found = true;
        }
    }
    if (!found) {
        if (!under(Root(), &rest))
            return std::u16string();
    }
    std::u16string out = prefix + u"\\" + Utf8ToWide(rest);
    for (auto& c : out) {
        if (c == u'/')
            c = u'\\';
    }
    if (out.size() > 1 && out.back() == u'\\')
        out.pop_back();
    return out;
}

void PlatformUseHostRoot() {
    PlatformSetDeviceRoot("/");
}

void PlatformSetModuleName(LPCWSTR name) {
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.moduleName = name ? name : u"";
}

// The program's file name as the device would see it.
std::u16string PlatformModuleName() {
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.moduleName.empty()) {
        std::string exe = ExecutablePath();
        size_t slash = exe.rfind('/');
        std::string base = slash == std::string::npos ? exe : exe.substr(slash + 1);
        if (base.empty())
            base = "program";
        s.moduleName = Utf8ToWide(base) + u".exe";
    }
    return s.moduleName;
}

DWORD PlatformErrorFromErrno(int err) {
    switch (err) {
        case 0:
            return ERROR_SUCCESS;
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ERROR_ACCESS_DENIED;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case EEXIST:
            return ERROR_ALREADY_EXISTS;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case ENOTEMPTY:
            return ERROR_DIR_NOT_EMPTY;
        case EBUSY:
        case ETXTBSY:
            return ERROR_SHARING_VIOLATION;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EBADF:
            return ERROR_INVALID_HANDLE;
        case EINVAL:
            return ERROR_INVALID_PARAMETER;
        default:
            return ERROR_GEN_FAILURE;
    }
}
