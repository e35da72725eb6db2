#include "platform/DeviceFileSystem.h"
#include "platform/DeviceNames.h"
#include "platform/Platform.h"
#include "platform/WinString.h"
#include "platform/WinSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

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
    // Host folders below the root or a mount that a walk found to be real folders, not links, with
    // their identity then.
    std::unordered_map<std::string, std::pair<dev_t, ino_t>> realFolders;
    struct Listing {
        dev_t dev;
        ino_t ino;
        struct timespec mtime;
        // Read while the folder's change time was recent: file systems with coarse time stamps may
        // give a change right after it the same time, so the listing is read again next time.
        bool racy;
        // Every name of each folded name, smallest first: removing one case variant leaves the
        // others known.
        std::unordered_map<std::u16string, std::vector<std::string>> byFold;
    };
    std::unordered_map<std::string, Listing> listings; // by host folder
};

const size_t kListingMemory = 64;

const size_t kRealFolderMemory = 4096;

// The link the last refused path of this thread ran into.
thread_local std::string t_refusedLink;

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

// Whether a name folds to the given lower-case one (Lower(name) == lowered, without the copy).
bool EqualsLowered(const std::u16string& name, const std::u16string& lowered) {
    if (name.size() != lowered.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (WCharLower(name[i]) != lowered[i])
            return false;
    }
    return true;
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

bool SameTime(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The entries of a host folder by their letter-case folded names, as last read, and the folder's
// identity and change time then. A name that does not exist as written is looked up here instead of
// reading the folder again, which made writing N new files into one folder cost N folder reads. The
// platform's own changes update the listing in place (NoteEntryAdded/NoteEntryRemoved); any other
// change of the folder shows in its change time and the folder is read again.
// folderStat, when given, is the folder's status just read by the caller.
const DeviceState::Listing* CurrentListing(DeviceState& s, const std::string& folder,
                                           const struct stat* folderStat) {
    struct stat st;
    if (folderStat)
        st = *folderStat;
    if ((!folderStat && stat(folder.c_str(), &st) != 0) || !S_ISDIR(st.st_mode)) {
        s.listings.erase(folder);
        return nullptr;
    }
    auto known = s.listings.find(folder);
    if (known != s.listings.end() && known->second.dev == st.st_dev && known->second.ino == st.st_ino &&
        SameTime(known->second.mtime, st.st_mtim) && !known->second.racy)
        return &known->second;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return nullptr;
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const long long kCoarseNs = 20000000; // well above a kernel tick
    long long age = (static_cast<long long>(now.tv_sec) - st.st_mtim.tv_sec) * 1000000000ll +
                    (now.tv_nsec - st.st_mtim.tv_nsec);
    DeviceState::Listing listing{st.st_dev, st.st_ino, st.st_mtim, age < kCoarseNs, {}};
    while (dirent* e = readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::vector<std::string>& names = listing.byFold[Lower(HostNameToWide(name))];
        // Among case variants the smallest name first, so the choice is stable.
        names.insert(std::lower_bound(names.begin(), names.end(), name), name);
    }
    closedir(dir);
    if (s.listings.size() >= kListingMemory)
        s.listings.clear();
    return &(s.listings[folder] = std::move(listing));
}

// Finds the entry of a host folder whose name equals the given one ignoring case. The exact name
// wins; among several case variants the smallest name is taken.
bool FindEntryIgnoringCase(DeviceState& s, const std::string& folder, const std::u16string& name,
                           std::string* found, bool exactKnownMissing = false,
                           const struct stat* folderStat = nullptr) {
    std::string exact = WideToHostName(name);
    if (!exactKnownMissing && HostExists(JoinHost(folder, exact))) {
        *found = exact;
        return true;
    }
    const DeviceState::Listing* listing = CurrentListing(s, folder, folderStat);
    if (!listing)
        return false;
    auto entry = listing->byFold.find(Lower(name));
    if (entry == listing->byFold.end() || entry->second.empty())
        return false;
    *found = entry->second.front();
    return true;
}

// The host's own root folder holds every path, so nothing can leave it: there links are the host's
// business and are followed. The exact name wins over its case variants, so the longest prefix that
// exists exactly as written resolves to itself: one stat of the whole path (or of its folder, for a
// new entry) stands for one stat per component. Only the rest is matched entry by entry.
void ResolveFollowingLinks(DeviceState& s, const std::vector<std::u16string>& components, size_t start,
                           std::string host, devicefs::Resolved* r) {
    size_t exactEnd = start;
    if (start < components.size()) {
        std::vector<std::string> prefixes{host};
        for (size_t i = start; i < components.size(); ++i)
            prefixes.push_back(JoinHost(prefixes.back(), WideToHostName(components[i])));
        for (size_t k = prefixes.size() - 1; k > 0; --k) {
            if (HostExists(prefixes[k])) {
                exactEnd = start + k;
                host = prefixes[k];
                break;
            }
        }
    }
    bool exists = true;
    r->parentExists = true;
    for (size_t i = exactEnd; i < components.size(); ++i) {
        if (i + 1 == components.size())
            r->parentExists = exists;
        std::string name;
        if (exists && FindEntryIgnoringCase(s, host, components[i], &name, i == exactEnd)) {
            host = JoinHost(host, name);
        } else {
            exists = false;
            host = JoinHost(host, WideToHostName(components[i]));
        }
    }
    r->exists = exists && (exactEnd == components.size() || HostExists(host));
    r->host = host;
}

// Below the device root or a mounted folder no link is followed, so no device path leads out of it
// whatever the host folder holds: the walk goes component by component with lstat, a link on the way
// refuses the path, and a link at the end is reported as one. Folders already walked are remembered
// so that a path in a known folder costs two lstat calls (the folder, to see that it is still the one
// walked, and the entry), as the whole-path stat above costs one or two. A folder on the way that
// another program replaces by a link while this one runs is not noticed; one that is there before
// is.
void ResolveBeneath(DeviceState& s, const std::vector<std::u16string>& components, size_t start,
                    std::string host, devicefs::Resolved* r) {
    if (start == components.size()) {
        // The root or the mounted folder itself.
        struct stat st;
        r->exists = stat(host.c_str(), &st) == 0;
        r->parentExists = true;
        r->host = host;
        r->beneath = true;
        return;
    }
    std::vector<std::string> prefixes{host};
    for (size_t i = start; i + 1 < components.size(); ++i)
        prefixes.push_back(JoinHost(prefixes.back(), WideToHostName(components[i])));
    size_t from = start;
    // The status of the folder host names once it has been read (a real folder, not a link): the
    // folder's listing is checked against it without asking the host again.
    struct stat hostStat;
    bool haveHostStat = false;
    for (size_t k = prefixes.size() - 1; k > 0; --k) {
        auto known = s.realFolders.find(prefixes[k]);
        if (known == s.realFolders.end())
            continue;
        if (lstat(prefixes[k].c_str(), &hostStat) == 0 && S_ISDIR(hostStat.st_mode) &&
            known->second == std::make_pair(hostStat.st_dev, hostStat.st_ino)) {
            from = start + k;
            host = prefixes[k];
            haveHostStat = true;
            break;
        }
        s.realFolders.erase(known);
    }
    bool exists = true;
    r->parentExists = true;
    for (size_t i = from; i < components.size(); ++i) {
        bool last = i + 1 == components.size();
        if (last)
            r->parentExists = exists;
        std::string name = WideToHostName(components[i]);
        if (!exists) {
            host = JoinHost(host, name);
            continue;
        }
        struct stat st;
        std::string path = JoinHost(host, name);
        bool found = lstat(path.c_str(), &st) == 0;
        std::string variant;
        if (!found && FindEntryIgnoringCase(s, host, components[i], &variant, true,
                                            haveHostStat ? &hostStat : nullptr)) {
            path = JoinHost(host, variant);
            found = lstat(path.c_str(), &st) == 0;
        }
        if (!found) {
            exists = false;
            host = JoinHost(host, name);
            continue;
        }
        host = path;
        hostStat = st;
        haveHostStat = true;
        if (last) {
            r->st = st;
            r->hasStat = true;
        }
        if (S_ISLNK(st.st_mode)) {
            if (!last) {
                t_refusedLink = path;
                *r = devicefs::Resolved();
                r->error = ERROR_ACCESS_DENIED;
                return;
            }
            r->isLink = true;
        } else if (S_ISDIR(st.st_mode)) {
            if (!last) {
                if (s.realFolders.size() >= kRealFolderMemory)
                    s.realFolders.clear();
                s.realFolders[path] = {st.st_dev, st.st_ino};
            }
        } else if (!last) {
            exists = false; // a file on the way: nothing is below it
        }
    }
    r->exists = exists;
    r->host = host;
    r->beneath = true;
}

} // namespace

namespace devicefs {

bool SplitPath(LPCWSTR path, std::vector<std::u16string>* components, bool allowWildcardsInLast) {
    components->clear();
    if (!path)
        return false;
    auto separator = [](char16_t c) { return c == u'\\' || c == u'/'; };
    LPCWSTR p = path;
    for (;;) {
        while (separator(*p))
            ++p;
        if (*p == 0)
            break;
        LPCWSTR begin = p;
        while (*p != 0 && !separator(*p))
            ++p;
        std::u16string_view c(begin, static_cast<size_t>(p - begin));
        if (c == u".")
            continue;
        if (c == u"..") {
            if (!components->empty())
                components->pop_back();
            continue;
        }
        LPCWSTR rest = p;
        while (separator(*rest))
            ++rest;
        if (DeviceNameProblem(c, allowWildcardsInLast && *rest == 0))
            return false;
        components->emplace_back(c);
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
            match = EqualsLowered(components[i], m.components[i]);
        if (match)
            best = &m;
    }
    std::string host = best ? best->host : Root();
    size_t start = best ? best->components.size() : 0;

    // \Program is the device's own copy of the program folder when it has one, else the folder
    // that holds the executable.
    if (!best && !components.empty() && EqualsLowered(components[0], u"program")) {
        std::string name;
        if (!FindEntryIgnoringCase(s, host, components[0], &name)) {
            host = ExecutableFolder();
            start = 1;
        }
    }

    if (host == "/")
        ResolveFollowingLinks(s, components, start, host, &r);
    else
        ResolveBeneath(s, components, start, host, &r);
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
    bool trailing = length > 0 && (devicePath[length - 1] == u'\\' || devicePath[length - 1] == u'/');
    if (trailing && r.isLink) {
        t_refusedLink = r.host;
        r = Resolved();
        r.error = ERROR_ACCESS_DENIED;
    } else if (trailing && r.exists) {
        bool isDir = false;
        if (HostExists(r.host, &isDir) && !isDir) {
            r = Resolved();
            r.error = ERROR_INVALID_NAME;
        }
    }
    return r;
}

void ForgetFolders() {
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    s.realFolders.clear();
    s.listings.clear();
}

namespace {

std::string FolderOf(const std::string& hostPath, std::string* name) {
    size_t slash = hostPath.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    *name = hostPath.substr(slash + 1);
    return slash == 0 ? std::string("/") : hostPath.substr(0, slash);
}

// After the platform itself changed a folder: the listing takes the change and the folder's new
// change time. A change by another program within the same time stamp as ours is taken for ours; it
// only matters for names that differ from existing ones in letter case. Removed and added are names
// of entries in the folder (either may be empty).
void NoteChange(const std::string& folder, const std::string& removed, const std::string& added) {
    if (folder.empty())
        return;
    DeviceState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    auto known = s.listings.find(folder);
    if (known == s.listings.end())
        return;
    struct stat st;
    DeviceState::Listing& listing = known->second;
    if (stat(folder.c_str(), &st) != 0 || listing.dev != st.st_dev || listing.ino != st.st_ino) {
        s.listings.erase(known);
        return;
    }
    if (!removed.empty()) {
        std::vector<std::string>& names = listing.byFold[Lower(HostNameToWide(removed))];
        auto at = std::lower_bound(names.begin(), names.end(), removed);
        if (at != names.end() && *at == removed)
            names.erase(at);
    }
    if (!added.empty()) {
        std::vector<std::string>& names = listing.byFold[Lower(HostNameToWide(added))];
        auto at = std::lower_bound(names.begin(), names.end(), added);
        if (at == names.end() || *at != added)
            names.insert(at, added);
    }
    listing.mtime = st.st_mtim;
    listing.racy = false; // our own change is in it
}

} // namespace

void NoteEntryAdded(const std::string& hostPath) {
    std::string name;
    std::string folder = FolderOf(hostPath, &name);
    NoteChange(folder, std::string(), name);
}

void NoteEntryRemoved(const std::string& hostPath) {
    std::string name;
    std::string folder = FolderOf(hostPath, &name);
    NoteChange(folder, name, std::string());
}

void NoteEntryMoved(const std::string& fromHostPath, const std::string& toHostPath) {
    std::string from, to;
    std::string fromFolder = FolderOf(fromHostPath, &from);
    std::string toFolder = FolderOf(toHostPath, &to);
    if (fromFolder == toFolder) {
        NoteChange(fromFolder, from, to);
        return;
    }
    NoteChange(fromFolder, from, std::string());
    NoteChange(toFolder, std::string(), to);
}

void RefuseLink(const std::string& hostPath) {
    t_refusedLink = hostPath;
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
    s.realFolders.clear();
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
    s.realFolders.clear();
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
    s.realFolders.clear();
}

std::string PlatformTakeRefusedLink() {
    std::string link;
    link.swap(t_refusedLink);
    return link;
}

void PlatformConfine(const std::string& hostFolder) {
    std::u16string device = PlatformDevicePath(hostFolder);
    if (!device.empty())
        PlatformMount(device.c_str(), hostFolder);
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
    std::u16string out = prefix + u"\\" + HostNameToWide(rest);
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
