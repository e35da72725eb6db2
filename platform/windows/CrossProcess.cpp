#include "platform/windows/CrossProcess.h"
#include "platform/Platform.h"
#include "platform/WinString.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace xproc {

namespace {

struct Own {
    std::mutex lock;
    std::string root; // the device root the entries below belong to
    int lockFd = -1;  // held for the life of the process: others see it alive
    bool published = false;
    std::chrono::steady_clock::time_point lastPoll{};
};

Own& O() {
    static Own* o = new Own;
    return *o;
}

void MakeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); i++) {
        if (i == path.size() || path[i] == '/')
            mkdir(path.substr(0, i).c_str(), 0777);
    }
}

std::string Folder(const char* sub) {
    std::string f = RuntimeFolder() + sub + "/";
    MakeFolders(f.substr(0, f.size() - 1));
    return f;
}

bool ReadAll(const std::string& path, std::string* out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char buf[4096];
    size_t n;
    out->clear();
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out->append(buf, n);
    std::fclose(f);
    return true;
}

// True while the process holds its lock file (a dead process's lock is free again).
bool Alive(DWORD pid) {
    if (pid == static_cast<DWORD>(getpid()))
        return true;
    std::string path = Folder("windows") + std::to_string(pid) + ".lock";
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool alive = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(fd);
    return alive;
}

void RemoveEntries(DWORD pid) {
    std::string base = Folder("windows") + std::to_string(pid);
    unlink((base + ".list").c_str());
    unlink((base + ".lock").c_str());
    unlink((Folder("requests") + std::to_string(pid)).c_str());
}

// Parses "<handle hex> <0|1> <title>" lines.
std::vector<WindowEntry> ParseList(const std::string& text) {
    std::vector<WindowEntry> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        unsigned long long h = 0;
        int visible = 0;
        int consumed = 0;
        if (std::sscanf(line.c_str(), "%llx %d %n", &h, &visible, &consumed) < 2 || consumed <= 0)
            continue;
        WindowEntry e;
        e.handle = h;
        e.visible = visible != 0;
        e.title = Utf8ToWide(line.substr(static_cast<size_t>(consumed)));
        out.push_back(e);
    }
    return out;
}

} // namespace

std::string RuntimeFolder() {
    std::string folder = PlatformGetDeviceRoot();
    if (folder.empty())
        folder.push_back('.');
    if (folder.back() != '/')
        folder.push_back('/');
    folder.append(".wince");
    MakeFolders(folder);
    return folder + "/";
}

void PublishWindows(const std::vector<WindowEntry>& windows) {
    Own& o = O();
    std::lock_guard<std::mutex> guard(o.lock);
    std::string root = PlatformGetDeviceRoot();
    if (o.lockFd >= 0 && o.root != root) {
        close(o.lockFd);
        o.lockFd = -1;
    }
    if (windows.empty() && o.lockFd < 0)
        return;
    std::string base = Folder("windows") + std::to_string(getpid());
    if (o.lockFd < 0) {
        o.lockFd = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (o.lockFd < 0)
            return;
        flock(o.lockFd, LOCK_EX);
        o.root = root;
    }
    std::string text;
    for (const WindowEntry& w : windows) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%llx %d ", static_cast<unsigned long long>(w.handle),
                      w.visible ? 1 : 0);
        std::string title = WideToUtf8(w.title);
        for (char& c : title)
            if (c == '\n' || c == '\r')
                c = ' ';
        text += buf + title + "\n";
    }
    // Readers see either the old list or the new one.
    std::string tmp = base + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
    std::rename(tmp.c_str(), (base + ".list").c_str());
    o.published = true;
}

void WithdrawWindows() {
    Own& o = O();
    std::lock_guard<std::mutex> guard(o.lock);
    if (o.lockFd < 0)
        return;
    std::string base = o.root;
    if (!base.empty() && base.back() != '/')
        base += '/';
    base += ".wince/windows/" + std::to_string(getpid());
    unlink((base + ".list").c_str());
    unlink((base + ".lock").c_str());
    close(o.lockFd);
    o.lockFd = -1;
    o.published = false;
}

bool FindRemoteWindow(const std::u16string& title, DWORD* pid, WindowEntry* window) {
    std::string folder = Folder("windows");
    DIR* d = opendir(folder.c_str());
    if (!d)
        return false;
    std::vector<DWORD> pids;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() > 5 && name.compare(name.size() - 5, 5, ".list") == 0)
            pids.push_back(static_cast<DWORD>(std::strtoul(name.c_str(), nullptr, 10)));
    }
    closedir(d);
    std::sort(pids.begin(), pids.end());
    DWORD self = static_cast<DWORD>(getpid());
    for (DWORD p : pids) {
        if (p == self || p == 0)
            continue;
        if (!Alive(p)) {
            RemoveEntries(p);
            continue;
        }
        std::string text;
        if (!ReadAll(folder + std::to_string(p) + ".list", &text))
            continue;
        for (const WindowEntry& w : ParseList(text)) {
            if (w.title == title) {
                *pid = p;
                *window = w;
                return true;
            }
        }
    }
    return false;
}

bool RemoteWindowAlive(DWORD pid, uint64_t handle, std::u16string* title) {
    if (!Alive(pid))
        return false;
    std::string text;
    if (!ReadAll(Folder("windows") + std::to_string(pid) + ".list", &text))
        return false;
    for (const WindowEntry& w : ParseList(text)) {
        if (w.handle == handle) {
            if (title)
                *title = w.title;
            return true;
        }
    }
    return false;
}

bool SendRequest(DWORD pid, uint64_t, const std::string& what) {
    std::string path = Folder("requests") + std::to_string(pid);
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    flock(fd, LOCK_EX);
    std::string line = what + "\n";
    bool ok = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    flock(fd, LOCK_UN);
    close(fd);
    return ok;
}

std::vector<std::string> TakeRequests() {
    Own& o = O();
    std::vector<std::string> out;
    {
        std::lock_guard<std::mutex> guard(o.lock);
        if (!o.published)
            return out;
        // Looking costs a system call: at most every few milliseconds of real time.
        auto now = std::chrono::steady_clock::now();
        if (now - o.lastPoll < std::chrono::milliseconds(10))
            return out;
        o.lastPoll = now;
    }
    std::string path = Folder("requests") + std::to_string(getpid());
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || st.st_size == 0)
        return out;
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return out;
    flock(fd, LOCK_EX);
    std::string text;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0)
        text.append(buf, static_cast<size_t>(n));
    if (ftruncate(fd, 0) != 0) {
        // Nothing better to do: the same requests would come again, which is harmless.
    }
    flock(fd, LOCK_UN);
    close(fd);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        if (end > pos)
            out.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

} // namespace xproc
