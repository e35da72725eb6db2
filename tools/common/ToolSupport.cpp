#include "tools/common/ToolSupport.h"
#include "platform/Platform.h"
#include "wceui/core/FhDirectories.h"
#include "wceui/core/WceUiLog.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tooling {

const char* Version() {
    return TOOLING_VERSION;
}

void PrintVersion(const char* program) {
    std::printf("%s %s\n", program, Version());
}

int UsageError(const char* program, const std::string& message) {
    std::fprintf(stderr, "%s: %s\ntry '%s --help'\n", program, message.c_str(), program);
    return 2;
}

std::string Count(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void UseHostFileSystem() {
    PlatformUseHostRoot();
    CWceUiLogFile::Instance().DisableFile();
}

std::u16string DevicePath(const std::string& hostPath) {
    return PlatformDevicePath(hostPath);
}

void ConfineTo(const std::string& hostFolder) {
    PlatformConfine(hostFolder);
}

std::string RefusedLinkNote() {
    std::string link = PlatformTakeRefusedLink();
    if (link.empty())
        return link;
    return link + " is a symbolic link inside the destination; links there are never followed";
}

FolderLock::~FolderLock() {
    if (m_fd >= 0)
        close(m_fd);
}

bool FolderLock::TryLock(const std::string& hostFolder, std::string* why) {
    int fd = open(hostFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        *why = std::strerror(errno);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int err = errno;
        close(fd);
        *why = err == EWOULDBLOCK
                   ? "another extract or install is writing into it; try again when it has finished"
                   : std::strerror(err);
        return false;
    }
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
    return true;
}

bool WriteWholeFile(const std::u16string& devicePath, const void* data, size_t size, DWORD* error) {
    size_t slash = devicePath.find_last_of(u"\\/");
    if (slash != std::u16string::npos && slash > 0)
        WceUiCreateDirectories(devicePath.substr(0, slash).c_str());
    HANDLE file = CreateFileW(devicePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return false;
    }
    const auto* bytes = static_cast<const BYTE*>(data);
    bool ok = true;
    while (ok && size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        DWORD put = 0;
        ok = WriteFile(file, bytes, chunk, &put, nullptr) && put == chunk;
        bytes += chunk;
        size -= chunk;
    }
    *error = ok ? 0 : GetLastError();
    CloseHandle(file);
    return ok;
}

std::u16string HostPathsInMessage(const std::u16string& message, const std::vector<TypedPath>& paths) {
    // Where a path inside a message ends: the texts the framework's messages put after a path.
    static const char16_t* const kAfterPath[] = {
        u"'", u"\n", u" failed", u", GetLastError", u", error code", u" is damaged"};
    auto endsPath = [&](size_t at) {
        if (at >= message.size())
            return true;
        for (const char16_t* stop : kAfterPath) {
            if (message.compare(at, std::char_traits<char16_t>::length(stop), stop) == 0)
                return true;
        }
        return false;
    };
    std::u16string out;
    size_t i = 0;
    while (i < message.size()) {
        const TypedPath* match = nullptr;
        for (const TypedPath& p : paths) {
            size_t n = p.device.size();
            if (n == 0 || message.compare(i, n, p.device) != 0 || (match && match->device.size() >= n))
                continue;
            // Only a whole path or a path with more below it, not a longer name that starts alike.
            if (endsPath(i + n) || u'\\' == message[i + n] || u'/' == message[i + n])
                match = &p;
        }
        if (!match) {
            out.push_back(message[i++]);
            continue;
        }
        std::u16string typed = Utf8ToWide(match->typed);
        i += match->device.size();
        if (i < message.size() && !endsPath(i) && !typed.empty() && u'/' == typed.back())
            typed.pop_back(); // the separator comes from the message
        out += typed;
        for (; !endsPath(i); ++i)
            out.push_back(u'\\' == message[i] ? u'/' : message[i]);
    }
    return out;
}

LogLines::LogLines() {
    CWceUiLogFile::Instance().SetHook([this](int, const std::u16string& m) { m_lines.push_back(m); });
}

LogLines::~LogLines() {
    CWceUiLogFile::Instance().SetHook(nullptr);
}

void LogLines::Print(const char* indent) const {
    for (const auto& line : m_lines)
        std::fprintf(stderr, "%s%s\n", indent, WideToUtf8(line).c_str());
}

bool ReadHostFile(const std::filesystem::path& path, std::string* pOut) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    pOut->assign((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteHostFile(const std::filesystem::path& path, const std::string& bytes) {
    std::error_code ec;
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

std::string SystemErrorText(DWORD error) {
    switch (error) {
        case ERROR_SUCCESS:
            return "Success";
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_PATHNAME:
            return std::strerror(ENOENT);
        case ERROR_ACCESS_DENIED:
        case ERROR_CANTWRITE:
            return std::strerror(EACCES);
        case ERROR_SHARING_VIOLATION:
            return "The file is in use by another program";
        case ERROR_DISK_FULL:
            return std::strerror(ENOSPC);
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return std::strerror(EEXIST);
        case ERROR_TOO_MANY_OPEN_FILES:
            return std::strerror(EMFILE);
        case ERROR_FILENAME_EXCED_RANGE:
            return std::strerror(ENAMETOOLONG);
        case ERROR_DIR_NOT_EMPTY:
            return std::strerror(ENOTEMPTY);
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
            return std::strerror(ENOMEM);
        case ERROR_INVALID_HANDLE:
            return std::strerror(EBADF);
        case ERROR_INVALID_PARAMETER:
            return std::strerror(EINVAL);
        case ERROR_INVALID_NAME:
            return "Invalid file name";
        case ERROR_DIRECTORY:
            return std::strerror(ENOTDIR);
        case ERROR_NOT_READY:
            return "The device is not ready";
        case ERROR_HANDLE_EOF:
            return "Unexpected end of file";
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_CANTREAD:
        case ERROR_GEN_FAILURE:
            return std::strerror(EIO);
        case ERROR_NOT_SUPPORTED:
            return std::strerror(ENOTSUP);
        default:
            return "System error " + std::to_string(error);
    }
}

namespace {

double NowSeconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

} // namespace

std::string HumanBytes(uint64_t bytes) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
        value /= 1024;
        ++unit;
    }
    char buf[32];
    if (unit == 0)
        std::snprintf(buf, sizeof buf, "%llu B", static_cast<unsigned long long>(bytes));
    else
        std::snprintf(buf, sizeof buf, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
    return buf;
}

ProgressBar::ProgressBar(const char* label, Units units)
    : m_label(label), m_units(units), m_enabled(isatty(STDERR_FILENO) != 0), m_start(NowSeconds()) {}

void ProgressBar::Show(uint64_t done, uint64_t total) {
    if (!m_enabled || total == 0)
        return;
    const int percent = static_cast<int>(static_cast<double>(done) * 100 / static_cast<double>(total));
    const double now = NowSeconds();
    if (percent == m_lastPercent && now - m_lastDraw < 0.5)
        return;
    m_lastPercent = percent;
    m_lastDraw = now;
    const int width = 30;
    const int filled = percent * width / 100;
    std::string tail;
    if (m_units == Units::Items) {
        tail = std::to_string(done) + "/" + std::to_string(total);
    } else {
        tail = HumanBytes(done) + " of " + HumanBytes(total);
        const double elapsed = now - m_start;
        if (elapsed >= 0.5 && done > 0) {
            const double rate = static_cast<double>(done) / elapsed;
            const long left = static_cast<long>(static_cast<double>(total - done) / rate + 0.5);
            char buf[64];
            std::snprintf(buf, sizeof buf, ", %s/s, %ld:%02ld left",
                          HumanBytes(static_cast<uint64_t>(rate)).c_str(), left / 60, left % 60);
            tail += buf;
        }
    }
    // Pads over the end of a longer previous line.
    std::fprintf(stderr, "\r%-11s [%s%s] %3d%% %-40s", m_label,
                 std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(width - filled), ' ').c_str(), percent, tail.c_str());
    std::fflush(stderr);
    m_shown = true;
}

void ProgressBar::Done() {
    if (m_shown)
        std::fputc('\n', stderr);
    m_shown = false;
    m_lastPercent = -1;
}

} // namespace tooling
