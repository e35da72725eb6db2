#include "platform/WinFile.h"
#include "platform/DeviceFileSystem.h"
#include "platform/KernelObject.h"
#include "platform/Platform.h"
#include "platform/WinString.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

// Faults that tests ask for; each counter counts down to the call that fails. Any thread may make
// the calls, so the counters change under their lock.
struct Faults {
    int writeCountdown = 0;
    int writeFailures = 0;
    DWORD writeError = 0;
    int seekCountdown = 0;
    DWORD seekError = 0;
    int flushCountdown = 0;
    DWORD flushError = 0;
    int readCountdown = 0;
    DWORD readMax = 0;
    int createCountdown = 0;
    int createFailures = 0;
    DWORD createError = 0;
    int createCalls = 0;
    int moveCountdown = 0;
    DWORD moveError = 0;
    ULONGLONG freeSpaceLimit = 0; // 0: the host's own free space
    ULONGLONG volumeCapacity = 0; // 0: the host's own volume
    std::u16string volumeFolder;  // the device folder that volume holds
};

std::mutex& FaultLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

Faults& FaultState() {
    static Faults faults;
    return faults;
}

// Counts a call down; true for the one that fails. With repeats left, the next call fails too.
bool CountDown(int* countdown, int* failures) {
    if (*countdown <= 0 || --*countdown != 0)
        return false;
    if (failures && --*failures > 0)
        *countdown = 1;
    return true;
}

bool TakeCreateFault(DWORD* error) {
    std::lock_guard<std::mutex> guard(FaultLock());
    Faults& f = FaultState();
    ++f.createCalls;
    *error = f.createError;
    return CountDown(&f.createCountdown, &f.createFailures);
}

bool TakeWriteFault(DWORD* error) {
    std::lock_guard<std::mutex> guard(FaultLock());
    Faults& f = FaultState();
    *error = f.writeError;
    return CountDown(&f.writeCountdown, &f.writeFailures);
}

bool TakeSeekFault(DWORD* error) {
    std::lock_guard<std::mutex> guard(FaultLock());
    Faults& f = FaultState();
    *error = f.seekError;
    return CountDown(&f.seekCountdown, nullptr);
}

bool TakeFlushFault(DWORD* error) {
    std::lock_guard<std::mutex> guard(FaultLock());
    Faults& f = FaultState();
    *error = f.flushError;
    return CountDown(&f.flushCountdown, nullptr);
}

bool TakeMoveFault(DWORD* error) {
    std::lock_guard<std::mutex> guard(FaultLock());
    Faults& f = FaultState();
    *error = f.moveError;
    return CountDown(&f.moveCountdown, nullptr);
}

// The most bytes this read may return (all of them without a fault).
DWORD TakeReadLimit(DWORD bytes) {
    std::lock_guard<std::mutex> guard(FaultLock());
    Faults& f = FaultState();
    return CountDown(&f.readCountdown, nullptr) ? std::min(bytes, f.readMax) : bytes;
}

// Changes of the file system that tests cut or kill at (see PlatformCutPowerAt and WINCE_KILL_AT).
enum ChangeKind {
    CHANGE_CREATE,
    CHANGE_WRITE,
    CHANGE_FLUSH,
    CHANGE_TRUNCATE,
    CHANGE_MOVE,
    CHANGE_DELETE,
    CHANGE_RMDIR,
    CHANGE_MKDIR,
    CHANGE_ATTRIBUTES,
    CHANGE_KINDS
};
const char* const kChangeNames[CHANGE_KINDS] = {"create", "write", "flush", "truncate",  "move",
                                                "delete", "rmdir", "mkdir", "attributes"};

// "KIND:N[:TEXT]" of WINCE_KILL_AT and WINCE_HOOK_AT: the Nth change of KIND whose path holds TEXT.
struct ChangeRequest {
    int kind = -1; // CHANGE_KINDS: any kind
    int left = 0;
    std::u16string text; // folded
};

struct ChangeWatch {
    bool counting = false;
    std::u16string under; // folded, with a closing separator; empty: every path
    int changes = 0;
    int cutAt = 0;
    bool requestsRead = false;
    ChangeRequest kill;
    ChangeRequest hook;
    std::string hookCommand;
};

ChangeWatch& Watch() {
    static ChangeWatch watch;
    return watch;
}

// Device paths compared without case and with one kind of separator.
std::u16string FoldPath(const std::u16string& path) {
    std::u16string folded(path);
    for (char16_t& c : folded) {
        if (c == u'/')
            c = u'\\';
        else if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
    }
    if (folded.empty() || folded[0] != u'\\')
        folded.insert(folded.begin(), u'\\');
    return folded;
}

ChangeRequest ReadChangeRequest(const char* variable) {
    ChangeRequest r;
    const char* request = getenv(variable);
    if (!request || !*request)
        return r;
    std::string text(request);
    size_t colon = text.find(':');
    std::string kind = text.substr(0, colon);
    int found = kind == "any" ? CHANGE_KINDS : -1;
    for (int k = 0; k < CHANGE_KINDS; ++k) {
        if (kind == kChangeNames[k])
            found = k;
    }
    if (found < 0 || colon == std::string::npos)
        return r;
    r.kind = found;
    size_t second = text.find(':', colon + 1);
    r.left = atoi(text.substr(colon + 1, second - colon - 1).c_str());
    if (second != std::string::npos)
        r.text = FoldPath(Utf8ToWide(text.substr(second + 1)));
    if (!r.text.empty() && r.text[0] == u'\\' && text[second + 1] != '\\' && text[second + 1] != '/')
        r.text.erase(0, 1); // a text that does not start at a separator matches anywhere
    return r;
}

// Whether this change is the one the request waits for (counted down once per matching change).
bool RequestDue(ChangeRequest& r, ChangeKind kind, const std::u16string& folded,
                const std::u16string& foldedOther) {
    return r.left > 0 && (r.kind == CHANGE_KINDS || r.kind == kind) &&
           (folded.find(r.text) != std::u16string::npos ||
            (!foldedOther.empty() && foldedOther.find(r.text) != std::u16string::npos)) &&
           --r.left == 0;
}

// False when the change must not be made (the power is cut); never returns when a kill is due. A
// due hook command runs first, outside the lock, as another process acting at that moment would.
bool AllowChange(ChangeKind kind, const std::u16string& path, const std::u16string& other = {}) {
    std::u16string folded = FoldPath(path);
    std::u16string foldedOther = other.empty() ? std::u16string() : FoldPath(other);
    std::string command;
    {
        std::lock_guard<std::mutex> guard(FaultLock());
        ChangeWatch& w = Watch();
        if (!w.requestsRead) {
            w.requestsRead = true;
            w.kill = ReadChangeRequest("WINCE_KILL_AT");
            w.hook = ReadChangeRequest("WINCE_HOOK_AT");
            const char* hookCommand = getenv("WINCE_HOOK_COMMAND");
            w.hookCommand = hookCommand ? hookCommand : "";
        }
        if (RequestDue(w.hook, kind, folded, foldedOther))
            command.swap(w.hookCommand);
    }
    if (!command.empty() && system(command.c_str()) == -1)
        fprintf(stderr, "WINCE_HOOK_COMMAND could not be run\n");
    std::lock_guard<std::mutex> guard(FaultLock());
    ChangeWatch& w = Watch();
    if (RequestDue(w.kill, kind, folded, foldedOther))
        raise(SIGKILL);
    if (!w.counting)
        return true;
    auto under = [&](const std::u16string& p) {
        return w.under.empty() || p.compare(0, w.under.size(), w.under) == 0 || p + u"\\" == w.under;
    };
    if (!under(folded) && (other.empty() || !under(foldedOther)))
        return true;
    ++w.changes;
    return w.cutAt <= 0 || w.changes < w.cutAt;
}

// The refusal of a change after the power was cut.
BOOL PowerIsCut() {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
}

// Whether flushes reach the host's disk. They do unless WINCE_HOST_SYNC is 0: a test suite that
// simulates power cuts by fault injection loses nothing to the host's cache, and thousands of log
// lines each synced to disk would only slow it down.
bool HostSyncs() {
    static const bool syncs = [] {
        const char* value = getenv("WINCE_HOST_SYNC");
        return !(value && std::string(value) == "0");
    }();
    return syncs;
}

// Makes a folder's entries (a name just created or moved) durable on the host's disk.
void SyncFolder(const std::string& hostFolder) {
    if (!HostSyncs())
        return;
    int fd = open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

std::string HostParent(const std::string& hostPath) {
    size_t cut = hostPath.find_last_of('/');
    return cut == std::string::npos ? std::string(".")
           : cut == 0               ? std::string("/")
                                    : hostPath.substr(0, cut);
}

class FileObject;

// Open files by host identity, for the sharing rules.
struct OpenFiles {
    std::mutex lock;
    std::multimap<std::pair<dev_t, ino_t>, FileObject*> byId;
};

OpenFiles& Opened() {
    static OpenFiles* files = new OpenFiles;
    return *files;
}

class FileObject : public KernelObject {
public:
    FileObject(int fd, DWORD access, DWORD share, dev_t dev, ino_t ino)
        : m_fd(fd), m_access(access), m_share(share), m_id(dev, ino) {
        OpenFiles& o = Opened();
        std::lock_guard<std::mutex> guard(o.lock);
        o.byId.emplace(m_id, this);
    }
    ~FileObject() override {
        {
            OpenFiles& o = Opened();
            std::lock_guard<std::mutex> guard(o.lock);
            auto range = o.byId.equal_range(m_id);
            for (auto it = range.first; it != range.second; ++it) {
                if (it->second == this) {
                    o.byId.erase(it);
                    break;
                }
            }
        }
        close(m_fd);
    }
    int m_fd;
    DWORD m_access;
    DWORD m_share;
    std::pair<dev_t, ino_t> m_id;
    std::u16string m_devicePath;  // as it was opened, for the changes tests count
    std::string m_newEntryFolder; // the host folder whose new entry a flush makes durable
};

class FindObject : public KernelObject {
public:
    bool ClosedByCloseHandle() const override { return false; }
    std::vector<WIN32_FIND_DATAW> m_entries;
    size_t m_next = 0;
};

// Would opening the file with this access and sharing conflict with a handle already open?
bool SharingConflict(dev_t dev, ino_t ino, DWORD access, DWORD share) {
    OpenFiles& o = Opened();
    std::lock_guard<std::mutex> guard(o.lock);
    auto range = o.byId.equal_range({dev, ino});
    for (auto it = range.first; it != range.second; ++it) {
        const FileObject* f = it->second;
        if ((access & GENERIC_READ) && !(f->m_share & FILE_SHARE_READ))
            return true;
        if ((access & GENERIC_WRITE) && !(f->m_share & FILE_SHARE_WRITE))
            return true;
        if ((f->m_access & GENERIC_READ) && !(share & FILE_SHARE_READ))
            return true;
        if ((f->m_access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE))
            return true;
    }
    return false;
}

bool IsOpen(dev_t dev, ino_t ino) {
    OpenFiles& o = Opened();
    std::lock_guard<std::mutex> guard(o.lock);
    return o.byId.count({dev, ino}) != 0;
}

bool IsReadOnlyMode(mode_t mode) {
    return (mode & 0222) == 0;
}

DWORD AttributesFromStat(const struct stat& st) {
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY | (IsReadOnlyMode(st.st_mode) ? FILE_ATTRIBUTE_READONLY : 0);
    return FILE_ATTRIBUTE_ARCHIVE | (IsReadOnlyMode(st.st_mode) ? FILE_ATTRIBUTE_READONLY : 0);
}

FILETIME FileTimeFrom(const struct timespec& ts) {
    // 100-nanosecond intervals since 1601-01-01.
    const ULONGLONG epochOffset = 116444736000000000ull;
    ULONGLONG t = epochOffset + static_cast<ULONGLONG>(ts.tv_sec) * 10000000ull +
                  static_cast<ULONGLONG>(ts.tv_nsec) / 100;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(t);
    ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
    return ft;
}

// The error for a path that does not exist: a missing folder on the way is a path error.
DWORD MissingError(const devicefs::Resolved& r) {
    return r.parentExists ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

// The status of a resolved entry (lstat for a link, stat otherwise), from the walk when it read it;
// false when there is no such entry. A path the walk found missing is not looked for again.
bool EntryStatus(const devicefs::Resolved& r, struct stat* st) {
    if (r.hasStat) {
        *st = r.st;
        return true;
    }
    if (r.host.empty() || (r.beneath && !r.exists))
        return false;
    return (r.isLink ? lstat(r.host.c_str(), st) : stat(r.host.c_str(), st)) == 0;
}

bool MatchWildcard(const WCHAR* pattern, const WCHAR* name) {
    // Iterative glob with backtracking on the last '*'; letters compare ignoring case.
    const WCHAR* starPattern = nullptr;
    const WCHAR* starName = nullptr;
    while (*name) {
        if (*pattern == u'*') {
            starPattern = ++pattern;
            starName = name;
        } else if (*pattern == u'?' || (*pattern && WCharLower(*pattern) == WCharLower(*name))) {
            ++pattern;
            ++name;
        } else if (starPattern) {
            pattern = starPattern;
            name = ++starName;
        } else {
            return false;
        }
    }
    while (*pattern == u'*')
        ++pattern;
    return *pattern == 0;
}

bool HasWildcard(const std::u16string& s) {
    return s.find_first_of(u"*?") != std::u16string::npos;
}

bool FillFindData(const std::string& hostPath, const std::u16string& name, bool followLinks,
                  WIN32_FIND_DATAW* data) {
    struct stat st;
    if ((followLinks ? stat(hostPath.c_str(), &st) : lstat(hostPath.c_str(), &st)) != 0)
        return false;
    if (S_ISLNK(st.st_mode)) {
        // A link inside the device folder lists as an empty file of its own.
        st.st_mode = S_IFREG | 0666;
        st.st_size = 0;
    }
    memset(data, 0, sizeof(*data));
    data->dwFileAttributes = AttributesFromStat(st);
    data->ftCreationTime = FileTimeFrom(st.st_ctim);
    data->ftLastAccessTime = FileTimeFrom(st.st_atim);
    data->ftLastWriteTime = FileTimeFrom(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        data->nFileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(st.st_size) >> 32);
        data->nFileSizeLow = static_cast<DWORD>(st.st_size);
    }
    WStrCpyN(data->cFileName, MAX_PATH, name.c_str());
    return true;
}

// Lists the entries of a device folder whose names match a pattern, in case-insensitive order.
bool ListFolder(const std::vector<std::u16string>& folder, const std::u16string& pattern,
                std::vector<WIN32_FIND_DATAW>* out, DWORD* error) {
    devicefs::Resolved dir = devicefs::ResolveComponents(folder);
    if (dir.isLink) {
        devicefs::RefuseLink(dir.host);
        *error = ERROR_ACCESS_DENIED;
        return false;
    }
    struct stat st;
    if (dir.host.empty() || stat(dir.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = dir.host.empty() && dir.error ? dir.error : ERROR_PATH_NOT_FOUND;
        return false;
    }
    std::u16string effective = pattern == u"*.*" ? u"*" : pattern;
    DIR* d = opendir(dir.host.c_str());
    if (!d) {
        *error = PlatformErrorFromErrno(errno);
        return false;
    }
    while (dirent* e = readdir(d)) {
        if (devicefs::IsHiddenEntry(dir.host, e->d_name))
            continue;
        std::u16string name = HostNameToWide(e->d_name);
        if (name.size() >= MAX_PATH || !MatchWildcard(effective.c_str(), name.c_str()))
            continue;
        WIN32_FIND_DATAW data;
        if (FillFindData(dir.host + "/" + e->d_name, name, !dir.beneath, &data))
            out->push_back(data);
    }
    closedir(d);
    std::sort(out->begin(), out->end(), [](const WIN32_FIND_DATAW& a, const WIN32_FIND_DATAW& b) {
        int c = WStrICmp(a.cFileName, b.cFileName);
        return c != 0 ? c < 0 : WStrCmp(a.cFileName, b.cFileName) < 0;
    });
    return true;
}

std::u16string JoinDevice(const std::vector<std::u16string>& components) {
    std::u16string out;
    for (const auto& c : components)
        out += u"\\" + c;
    return out.empty() ? u"\\" : out;
}

// Gives a host name that shares its data with other names (hard links) a copy of its own: the copy
// is written beside it and renamed over the name. Returns 0 or the error.
DWORD DetachHardLink(const std::string& host, const struct stat& st) {
    size_t slash = host.rfind('/');
    std::string copy = host.substr(0, slash + 1) + ".wince-copy-" + std::to_string(getpid());
    int in = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    int out = in < 0 ? -1 : open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    DWORD error = in < 0 || out < 0 ? PlatformErrorFromErrno(errno) : 0;
    std::vector<char> buffer(1 << 16);
    while (!error) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? PlatformErrorFromErrno(errno) : 0;
            break;
        }
        for (ssize_t done = 0; done < n && !error;) {
            ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n - done));
            if (w < 0 && errno != EINTR)
                error = PlatformErrorFromErrno(errno);
            done += w > 0 ? w : 0;
        }
    }
    if (out >= 0 && close(out) != 0 && !error)
        error = PlatformErrorFromErrno(errno);
    if (in >= 0)
        close(in);
    if (!error && rename(copy.c_str(), host.c_str()) != 0)
        error = PlatformErrorFromErrno(errno);
    if (error && out >= 0)
        unlink(copy.c_str());
    return error;
}

} // namespace

void PlatformFailWrite(int nth, DWORD error, int count) {
    std::lock_guard<std::mutex> guard(FaultLock());
    FaultState().writeCountdown = nth;
    FaultState().writeFailures = count;
    FaultState().writeError = error;
}

void PlatformFailFlush(int nth, DWORD error) {
    std::lock_guard<std::mutex> guard(FaultLock());
    FaultState().flushCountdown = nth;
    FaultState().flushError = error;
}

void PlatformFailSeek(int nth, DWORD error) {
    std::lock_guard<std::mutex> guard(FaultLock());
    FaultState().seekCountdown = nth;
    FaultState().seekError = error;
}

void PlatformShortRead(int nth, DWORD maxBytes) {
    std::lock_guard<std::mutex> guard(FaultLock());
    FaultState().readCountdown = nth;
    FaultState().readMax = maxBytes;
}

void PlatformFailCreate(int nth, int count, DWORD error) {
    std::lock_guard<std::mutex> guard(FaultLock());
    FaultState().createCountdown = nth;
    FaultState().createFailures = count;
    FaultState().createError = error;
}

void PlatformFailMove(int nth, DWORD error) {
    std::lock_guard<std::mutex> guard(FaultLock());
    FaultState().moveCountdown = nth;
    FaultState().moveError = error;
}

void PlatformLimitFreeSpace(ULONGLONG maxBytes) {
    std::lock_guard<std::mutex> guard(FaultLock());
    FaultState().freeSpaceLimit = maxBytes;
}

void PlatformCountFileChanges(LPCWSTR underFolder) {
    std::lock_guard<std::mutex> guard(FaultLock());
    ChangeWatch& w = Watch();
    w.counting = true;
    w.changes = 0;
    w.cutAt = 0;
    w.under = underFolder && *underFolder ? FoldPath(underFolder) : std::u16string();
    if (!w.under.empty() && w.under.back() != u'\\')
        w.under += u'\\';
}

int PlatformFileChanges() {
    std::lock_guard<std::mutex> guard(FaultLock());
    return Watch().changes;
}

void PlatformCutPowerAt(int nth) {
    std::lock_guard<std::mutex> guard(FaultLock());
    Watch().cutAt = nth;
}

void PlatformSetVolumeCapacity(LPCWSTR deviceFolder, ULONGLONG bytes) {
    std::lock_guard<std::mutex> guard(FaultLock());
    FaultState().volumeCapacity = deviceFolder ? bytes : 0;
    FaultState().volumeFolder = deviceFolder ? deviceFolder : u"";
}

void PlatformClearFaults() {
    std::lock_guard<std::mutex> guard(FaultLock());
    FaultState() = Faults();
    ChangeWatch& w = Watch();
    w.counting = false;
    w.changes = 0;
    w.cutAt = 0;
    w.under.clear();
}

int PlatformCreateFileCalls() {
    std::lock_guard<std::mutex> guard(FaultLock());
    return FaultState().createCalls;
}

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE) {
    DWORD fault = 0;
    if (TakeCreateFault(&fault)) {
        SetLastError(fault);
        return INVALID_HANDLE_VALUE;
    }
    if (fileName && ((desiredAccess & GENERIC_WRITE) || disposition != OPEN_EXISTING) &&
        !AllowChange(CHANGE_CREATE, fileName)) {
        PowerIsCut();
        return INVALID_HANDLE_VALUE;
    }

    devicefs::Resolved r = devicefs::Resolve(fileName);
    if (r.host.empty()) {
        SetLastError(r.error);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // A link inside the device folder is never written through: creating the file replaces the link
    // with a file of its own, any other open is refused.
    bool replacing = false;
    if (r.exists && r.isLink) {
        if (disposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        if (disposition != CREATE_ALWAYS) {
            devicefs::RefuseLink(r.host);
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (unlink(r.host.c_str()) != 0) {
            SetLastError(PlatformErrorFromErrno(errno));
            return INVALID_HANDLE_VALUE;
        }
        r.exists = false;
        replacing = true;
    }
    // The resolution has just looked for the path; one it did not find needs no second look (a file
    // that appears in between makes the exclusive create below fail).
    struct stat st;
    bool exists = r.exists && EntryStatus(r, &st);
    // Only plain files open: a host pipe, socket or device has no counterpart on the unit, and opening
    // a pipe would wait for a writer that never comes.
    if (exists && !S_ISREG(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    if (!exists && !r.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    bool detached = false;
    if (exists) {
        if (disposition == CREATE_NEW) {
            SetLastError(ERROR_FILE_EXISTS);
            return INVALID_HANDLE_VALUE;
        }
        // A read-only file cannot be opened for writing, not even by root.
        bool writes = (desiredAccess & GENERIC_WRITE) || truncates;
        if (writes && IsReadOnlyMode(st.st_mode)) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        if (SharingConflict(st.st_dev, st.st_ino, desiredAccess, shareMode)) {
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        // Data that another host name shares (a hard link) is not written through this one: the
        // name gets data of its own first, empty when it is truncated anyway, else a copy.
        if (writes && S_ISREG(st.st_mode) && st.st_nlink > 1) {
            DWORD error = truncates ? (unlink(r.host.c_str()) == 0 ? 0 : PlatformErrorFromErrno(errno))
                                    : DetachHardLink(r.host, st);
            detached = true;
            if (error) {
                SetLastError(error);
                return INVALID_HANDLE_VALUE;
            }
            if (truncates) {
                exists = false;
                replacing = true;
            }
        }
    } else if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }

    int flags = O_CLOEXEC;
    if ((desiredAccess & GENERIC_READ) && (desiredAccess & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (desiredAccess & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (!exists)
        flags |= O_CREAT | O_EXCL;
    if (exists && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING)) {
        // Truncation needs a writable descriptor even when only read access was asked for.
        if ((flags & O_ACCMODE) == O_RDONLY)
            flags = (flags & ~O_ACCMODE) | O_RDWR;
        flags |= O_TRUNC;
    }
    mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    int fd = open(r.host.c_str(), flags, mode);
    if (fd < 0) {
        int err = errno;
        SetLastError(err == ENOENT ? ERROR_PATH_NOT_FOUND : PlatformErrorFromErrno(err));
        return INVALID_HANDLE_VALUE;
    }
    if (!exists || detached)
        devicefs::NoteEntryAdded(r.host);
    struct stat opened;
    fstat(fd, &opened);
    auto* file = new FileObject(fd, desiredAccess, shareMode, opened.st_dev, opened.st_ino);
    file->m_devicePath = fileName;
    if (!exists || replacing)
        file->m_newEntryFolder = HostParent(r.host);
    bool reportExisting =
        (exists || replacing) && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return file->Handle();
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED) {
    if (bytesRead)
        *bytesRead = 0;
    KernelRef<FileObject> f(file);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(f->m_access & GENERIC_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    bytesToRead = TakeReadLimit(bytesToRead);
    DWORD total = 0;
    auto* out = static_cast<char*>(buffer);
    while (total < bytesToRead) {
        ssize_t n = read(f->m_fd, out + total, bytesToRead - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SetLastError(PlatformErrorFromErrno(errno));
            if (bytesRead)
                *bytesRead = total;
            return FALSE;
        }
        if (n == 0)
            break;
        total += static_cast<DWORD>(n);
    }
    if (bytesRead)
        *bytesRead = total;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED) {
    if (bytesWritten)
        *bytesWritten = 0;
    KernelRef<FileObject> f(file);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(f->m_access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD fault = 0;
    if (TakeWriteFault(&fault)) {
        SetLastError(fault);
        return FALSE;
    }
    if (!AllowChange(CHANGE_WRITE, f->m_devicePath))
        return PowerIsCut();
    DWORD total = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (total < bytesToWrite) {
        ssize_t n = write(f->m_fd, in + total, bytesToWrite - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // What was written before the failure stays in the file, as on the device.
            SetLastError(PlatformErrorFromErrno(errno));
            if (bytesWritten)
                *bytesWritten = total;
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (bytesWritten)
        *bytesWritten = total;
    return TRUE;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD moveMethod) {
    KernelRef<FileObject> f(file);
    if (!f) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_SET_FILE_POINTER;
    }
    DWORD fault = 0;
    if (TakeSeekFault(&fault)) {
        SetLastError(fault);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t offset =
        distanceHigh
            ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                   static_cast<uint32_t>(distance))
            : static_cast<int64_t>(distance);
    int whence = moveMethod == FILE_BEGIN     ? SEEK_SET
                 : moveMethod == FILE_CURRENT ? SEEK_CUR
                 : moveMethod == FILE_END     ? SEEK_END
                                              : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    off_t base = whence == SEEK_SET ? 0 : lseek(f->m_fd, 0, whence);
    if (base + offset < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    off_t pos = lseek(f->m_fd, base + offset, SEEK_SET);
    if (pos < 0) {
        SetLastError(PlatformErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(pos) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(pos);
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    KernelRef<FileObject> f(file);
    struct stat st;
    if (!f || fstat(f->m_fd, &st) != 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_FILE_SIZE;
    }
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(st.st_size);
}

BOOL SetEndOfFile(HANDLE file) {
    KernelRef<FileObject> f(file);
    if (!f)
        return FALSE;
    if (!(f->m_access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (!AllowChange(CHANGE_TRUNCATE, f->m_devicePath))
        return PowerIsCut();
    off_t pos = lseek(f->m_fd, 0, SEEK_CUR);
    if (pos < 0 || ftruncate(f->m_fd, pos) != 0) {
        SetLastError(PlatformErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
    // As on the unit, a flushed file survives a power cut: its data, and the name it was created
    // under, are on the host's disk when this returns.
    KernelRef<FileObject> f(file);
    if (!f)
        return FALSE;
    if (!(f->m_access & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD fault = 0;
    if (TakeFlushFault(&fault)) {
        SetLastError(fault);
        return FALSE;
    }
    if (!AllowChange(CHANGE_FLUSH, f->m_devicePath))
        return PowerIsCut();
    if (HostSyncs() && fdatasync(f->m_fd) != 0) {
        SetLastError(PlatformErrorFromErrno(errno));
        return FALSE;
    }
    if (!f->m_newEntryFolder.empty()) {
        SyncFolder(f->m_newEntryFolder);
        f->m_newEntryFolder.clear();
    }
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR fileName) {
    devicefs::Resolved r = devicefs::Resolve(fileName);
    if (r.host.empty()) {
        SetLastError(r.error);
        return INVALID_FILE_ATTRIBUTES;
    }
    // A link inside the device folder is an entry of its own there, never what it points to.
    if (r.exists && r.isLink)
        return FILE_ATTRIBUTE_ARCHIVE;
    struct stat st;
    if (!EntryStatus(r, &st)) {
        SetLastError(MissingError(r));
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesFromStat(st);
}

BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
    devicefs::Resolved r = devicefs::Resolve(fileName);
    if (r.exists && r.isLink) {
        devicefs::RefuseLink(r.host);
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    struct stat st;
    if (r.host.empty() || stat(r.host.c_str(), &st) != 0) {
        SetLastError(r.host.empty() ? r.error : MissingError(r));
        return FALSE;
    }
    if (!AllowChange(CHANGE_ATTRIBUTES, fileName))
        return PowerIsCut();
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | 0200);
    if (chmod(r.host.c_str(), mode) != 0) {
        SetLastError(PlatformErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
    devicefs::Resolved r = devicefs::Resolve(pathName);
    if (r.host.empty()) {
        SetLastError(r.error);
        return FALSE;
    }
    if (r.exists) {
        // A link where a folder should be is the usual way out of a folder; say which one it was.
        if (r.isLink)
            devicefs::RefuseLink(r.host);
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!r.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!AllowChange(CHANGE_MKDIR, pathName))
        return PowerIsCut();
    if (mkdir(r.host.c_str(), 0777) != 0) {
        SetLastError(PlatformErrorFromErrno(errno));
        return FALSE;
    }
    // The unit's file system keeps a new folder once it is made; so does the host's disk here.
    SyncFolder(HostParent(r.host));
    devicefs::NoteEntryAdded(r.host);
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
    devicefs::Resolved r = devicefs::Resolve(pathName);
    struct stat st;
    if (r.host.empty() || lstat(r.host.c_str(), &st) != 0) {
        SetLastError(r.host.empty() ? r.error : MissingError(r));
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (!AllowChange(CHANGE_RMDIR, pathName))
        return PowerIsCut();
    if (rmdir(r.host.c_str()) != 0) {
        SetLastError(PlatformErrorFromErrno(errno == EEXIST ? ENOTEMPTY : errno));
        return FALSE;
    }
    devicefs::ForgetFolders();
    devicefs::NoteEntryRemoved(r.host);
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR fileName) {
    devicefs::Resolved r = devicefs::Resolve(fileName);
    struct stat st;
    // A link inside the device folder is deleted itself, never what it points to.
    if (r.host.empty() || !EntryStatus(r, &st)) {
        SetLastError(r.host.empty() ? r.error : MissingError(r));
        return FALSE;
    }
    if (S_ISDIR(st.st_mode) || IsReadOnlyMode(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (IsOpen(st.st_dev, st.st_ino)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (!AllowChange(CHANGE_DELETE, fileName))
        return PowerIsCut();
    if (unlink(r.host.c_str()) != 0) {
        SetLastError(PlatformErrorFromErrno(errno));
        return FALSE;
    }
    devicefs::NoteEntryRemoved(r.host);
    return TRUE;
}

BOOL MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName) {
    DWORD fault = 0;
    if (TakeMoveFault(&fault)) {
        SetLastError(fault);
        return FALSE;
    }
    devicefs::Resolved from = devicefs::Resolve(existingFileName);
    devicefs::Resolved to = devicefs::Resolve(newFileName);
    if (from.host.empty() || to.host.empty()) {
        SetLastError(from.host.empty() ? from.error : to.error);
        return FALSE;
    }
    struct stat st;
    if (from.hasStat)
        st = from.st;
    if (!from.exists || (!from.hasStat && lstat(from.host.c_str(), &st) != 0)) {
        SetLastError(MissingError(from));
        return FALSE;
    }
    // The unit moves no file that a handle holds open.
    if (!S_ISDIR(st.st_mode) && IsOpen(st.st_dev, st.st_ino)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (to.exists) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    if (!to.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    if (!AllowChange(CHANGE_MOVE, existingFileName, newFileName))
        return PowerIsCut();
    if (rename(from.host.c_str(), to.host.c_str()) != 0) {
        SetLastError(PlatformErrorFromErrno(errno));
        return FALSE;
    }
    // A move is how an update switches trees: it must survive a power cut once it is done.
    SyncFolder(HostParent(to.host));
    if (HostParent(from.host) != HostParent(to.host))
        SyncFolder(HostParent(from.host));
    if (S_ISDIR(st.st_mode))
        devicefs::ForgetFolders();
    devicefs::NoteEntryMoved(from.host, to.host);
    return TRUE;
}

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
    HANDLE in =
        CreateFileW(existingFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return FALSE;
    HANDLE out = CreateFileW(newFileName, GENERIC_WRITE, 0, nullptr,
                             failIfExists ? CREATE_NEW : CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        CloseHandle(in);
        SetLastError(error);
        return FALSE;
    }
    std::vector<char> buffer(1 << 16);
    BOOL ok = TRUE;
    for (;;) {
        DWORD got = 0, put = 0;
        if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
            ok = FALSE;
            break;
        }
        if (got == 0)
            break;
        if (!WriteFile(out, buffer.data(), got, &put, nullptr) || put != got) {
            ok = FALSE;
            break;
        }
    }
    DWORD error = GetLastError();
    CloseHandle(in);
    CloseHandle(out);
    SetLastError(ok ? ERROR_SUCCESS : error);
    return ok;
}

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
    std::vector<std::u16string> components;
    if (!fileName || WStrLen(fileName) >= MAX_PATH) {
        SetLastError(fileName ? ERROR_FILENAME_EXCED_RANGE : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (!devicefs::SplitPath(fileName, &components, true) || components.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    std::u16string pattern = components.back();
    components.pop_back();
    auto* find = new FindObject;
    DWORD error = 0;
    if (!ListFolder(components, pattern, &find->m_entries, &error)) {
        find->Release();
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    if (find->m_entries.empty()) {
        find->Release();
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    *findData = find->m_entries[0];
    find->m_next = 1;
    SetLastError(ERROR_SUCCESS);
    return find->Handle();
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW findData) {
    KernelRef<FindObject> find(handle);
    if (!find) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (find->m_next >= find->m_entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *findData = find->m_entries[find->m_next++];
    return TRUE;
}

BOOL FindClose(HANDLE handle) {
    return KernelObjectCloseAs<FindObject>(handle);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
    if (module != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    std::u16string path = u"\\Program\\" + PlatformModuleName();
    if (size == 0 || !fileName) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (!WStrCpyN(fileName, size, path.c_str())) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(path.size());
}

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailable,
                         PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes) {
    devicefs::Resolved r = devicefs::Resolve(directoryName ? directoryName : u"\\");
    struct statvfs vfs;
    if (r.host.empty() || !r.exists || r.isLink || statvfs(r.host.c_str(), &vfs) != 0) {
        SetLastError(r.host.empty() ? r.error : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    ULONGLONG unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
    ULONGLONG limit = 0;
    ULONGLONG capacity = 0;
    std::u16string volume;
    {
        std::lock_guard<std::mutex> guard(FaultLock());
        limit = FaultState().freeSpaceLimit;
        capacity = FaultState().volumeCapacity;
        volume = FaultState().volumeFolder;
    }
    ULONGLONG available = unit * vfs.f_bavail;
    std::u16string foldedVolume = FoldPath(volume);
    std::u16string asked = FoldPath(directoryName ? directoryName : u"\\");
    if (capacity && (asked == foldedVolume || asked.rfind(foldedVolume + u"\\", 0) == 0)) {
        // Every file takes whole blocks, every folder one.
        ULONGLONG used = 0;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(PlatformHostPath(volume.c_str()), ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code sizeError;
            ULONGLONG size = it->is_regular_file(sizeError) ? it->file_size(sizeError) : 0;
            used += it->is_directory(sizeError) ? unit : (size + unit - 1) / unit * unit;
        }
        available = std::min(available, capacity > used ? capacity - used : 0);
    }
    if (freeBytesAvailable)
        freeBytesAvailable->QuadPart = limit ? std::min<ULONGLONG>(limit, available) : available;
    if (totalBytes)
        totalBytes->QuadPart = unit * vfs.f_blocks;
    if (totalFreeBytes)
        totalFreeBytes->QuadPart = unit * vfs.f_bfree;
    return TRUE;
}

BOOL PlatformVolumeFreeEntries(LPCWSTR devicePath, ULONGLONG* freeEntries) {
    devicefs::Resolved r = devicefs::Resolve(devicePath ? devicePath : u"\\");
    struct statvfs vfs;
    if (!freeEntries || r.host.empty() || !r.exists || r.isLink || statvfs(r.host.c_str(), &vfs) != 0 ||
        vfs.f_files == 0)
        return FALSE;
    *freeEntries = vfs.f_favail;
    return TRUE;
}

BOOL CeGetVolumeInfoW(LPCWSTR rootPath, CE_VOLUME_INFO_LEVEL level, LPCE_VOLUME_INFO info) {
    if (!info || level != CeVolumeInfoLevelStandard || info->cbSize != sizeof(CE_VOLUME_INFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    devicefs::Resolved r = devicefs::Resolve(rootPath ? rootPath : u"\\");
    struct statvfs vfs;
    if (r.host.empty() || !r.exists || r.isLink || statvfs(r.host.c_str(), &vfs) != 0) {
        SetLastError(r.host.empty() ? r.error : ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    info->dwAttributes = 0;
    info->dwFlags = 0;
    info->dwBlockSize = static_cast<DWORD>(vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize);
    info->szStoreName[0] = 0;
    info->szPartitionName[0] = 0;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

namespace {

// Deletes a file or a whole folder tree; the shell's delete takes read-only files too.
DWORD DeleteTree(const std::u16string& devicePath) {
    DWORD attributes = GetFileAttributesW(devicePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return GetLastError();
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(devicePath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return DeleteFileW(devicePath.c_str()) ? 0 : GetLastError();
    DWORD firstError = 0;
    std::vector<std::u16string> components;
    devicefs::SplitPath(devicePath.c_str(), &components, false);
    std::vector<WIN32_FIND_DATAW> entries;
    DWORD error = 0;
    if (ListFolder(components, u"*", &entries, &error)) {
        for (const auto& e : entries) {
            DWORD r = DeleteTree(devicePath + u"\\" + e.cFileName);
            if (r && !firstError)
                firstError = r;
        }
    }
    if (!RemoveDirectoryW(devicePath.c_str()) && !firstError)
        firstError = GetLastError();
    return firstError;
}

DWORD ShellDelete(LPCWSTR from, bool filesOnly) {
    std::vector<std::u16string> components;
    if (!devicefs::SplitPath(from, &components, true) || components.empty())
        return ERROR_INVALID_NAME;
    std::u16string last = components.back();
    if (!HasWildcard(last))
        return DeleteTree(JoinDevice(components));
    components.pop_back();
    std::vector<WIN32_FIND_DATAW> entries;
    DWORD error = 0;
    if (!ListFolder(components, last, &entries, &error))
        return error;
    std::u16string folder = JoinDevice(components);
    if (folder == u"\\")
        folder.clear();
    DWORD firstError = 0;
    for (const auto& e : entries) {
        if (filesOnly && (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        DWORD r = DeleteTree(folder + u"\\" + e.cFileName);
        if (r && !firstError)
            firstError = r;
    }
    return firstError;
}

// Creates every missing folder of a device path.
void CreateParents(const std::vector<std::u16string>& components) {
    std::u16string path;
    for (const auto& c : components) {
        path += u"\\" + c;
        CreateDirectoryW(path.c_str(), nullptr);
    }
}

DWORD ShellCopy(LPCWSTR from, LPCWSTR to) {
    DWORD source = GetFileAttributesW(from);
    if (source == INVALID_FILE_ATTRIBUTES)
        return GetLastError();
    if (source & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_ACCESS_DENIED;
    std::vector<std::u16string> fromParts, toParts;
    if (!devicefs::SplitPath(from, &fromParts, false) || !devicefs::SplitPath(to, &toParts, false) ||
        toParts.empty())
        return ERROR_INVALID_NAME;
    DWORD target = GetFileAttributesW(to);
    if (target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY))
        toParts.push_back(fromParts.back());
    else
        CreateParents(std::vector<std::u16string>(toParts.begin(), toParts.end() - 1));
    std::u16string targetPath = JoinDevice(toParts);
    DWORD existing = GetFileAttributesW(targetPath.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(targetPath.c_str(), existing & ~FILE_ATTRIBUTE_READONLY);
    return CopyFileW(from, targetPath.c_str(), FALSE) ? 0 : GetLastError();
}

} // namespace

int SHFileOperationW(LPSHFILEOPSTRUCTW op) {
    if (!op || !op->pFrom)
        return ERROR_INVALID_PARAMETER;
    op->fAnyOperationsAborted = FALSE;
    DWORD firstError = 0;
    for (LPCWSTR from = op->pFrom; *from; from += WStrLen(from) + 1) {
        DWORD r;
        switch (op->wFunc) {
            case FO_DELETE:
                r = ShellDelete(from, (op->fFlags & FOF_FILESONLY) != 0);
                break;
            case FO_COPY:
                r = op->pTo && *op->pTo ? ShellCopy(from, op->pTo) : ERROR_INVALID_PARAMETER;
                break;
            default:
                r = ERROR_NOT_SUPPORTED;
                break;
        }
        if (r && !firstError)
            firstError = r;
    }
    return static_cast<int>(firstError);
}
