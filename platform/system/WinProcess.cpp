#include "platform/system/WinProcess.h"
#include "platform/DeviceFileSystem.h"
#include "platform/KernelObject.h"
#include "platform/Platform.h"
#include "platform/WinFile.h"
#include "platform/WinString.h"
#include "platform/WinSystem.h"
#include "platform/windows/CrossProcess.h"

#include <cstdio>
#include <fcntl.h>
#include <cctype>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A named mutex holds a shared lock on its file for as long as the handle lives; whoever finds
// no other holder (an exclusive lock succeeds) created it.
class MutexObject : public KernelObject {
public:
    ~MutexObject() override {
        if (m_fd >= 0)
            close(m_fd);
    }
    int m_fd = -1;
};

class ProcessObject : public KernelObject {
public:
    DWORD m_pid = 0;
};

std::string MutexFileName(LPCWSTR name) {
    std::u16string lower(name);
    for (char16_t& c : lower)
        c = WCharLower(c);
    std::string out;
    for (unsigned char c : WideToUtf8(lower)) {
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.') {
            out += static_cast<char>(c);
        } else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            out += buf;
        }
    }
    return out + ".lock";
}

std::string ProgramName() {
    std::string name = WideToUtf8(PlatformModuleName());
    if (name.size() > 4) {
        std::string ext = name.substr(name.size() - 4);
        for (char& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".exe")
            name.resize(name.size() - 4);
    }
    return name;
}

BOOL WINAPI_TouchCalibrate() {
    PlatformJournal("TouchCalibrate");
    return TRUE;
}

int s_coredll; // its address is the module handle
HMODULE CoreDll() {
    return reinterpret_cast<HMODULE>(&s_coredll);
}

// The host command mapped to a device program in ".wince/programs", if any.
bool MappedHostCommand(const std::u16string& devicePath, std::string* command) {
    FILE* f = std::fopen((xproc::RuntimeFolder() + "programs").c_str(), "rb");
    if (!f)
        return false;
    char buf[4096];
    bool found = false;
    while (!found && std::fgets(buf, sizeof buf, f)) {
        std::string line = buf;
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        size_t eq = line.find('=');
        if (eq == std::string::npos || line[0] == '#')
            continue;
        std::u16string path = Utf8ToWide(line.substr(0, eq));
        if (WStrICmp(path.c_str(), devicePath.c_str()) == 0) {
            *command = line.substr(eq + 1);
            found = true;
        }
    }
    std::fclose(f);
    return found;
}

// Starts the command without waiting for it (a grandchild, so no zombie is left behind).
DWORD RunDetached(const std::string& command) {
    int pipefd[2];
    if (pipe(pipefd) != 0)
        return 0;
    pid_t child = fork();
    if (child < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        return 0;
    }
    if (child == 0) {
        close(pipefd[0]);
        pid_t grandchild = fork();
        if (grandchild == 0) {
            close(pipefd[1]);
            setsid();
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int pid = grandchild;
        if (write(pipefd[1], &pid, sizeof pid) != sizeof pid) {
            // The parent then reports no id.
        }
        _exit(0);
    }
    close(pipefd[1]);
    int pid = 0;
    if (read(pipefd[0], &pid, sizeof pid) != sizeof pid)
        pid = 0;
    close(pipefd[0]);
    waitpid(child, nullptr, 0);
    return static_cast<DWORD>(pid > 0 ? pid : 0);
}

} // namespace

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR name) {
    auto* m = new MutexObject;
    if (!name || !name[0]) {
        SetLastError(ERROR_SUCCESS);
        return m->Handle();
    }
    std::string folder = xproc::RuntimeFolder();
    mkdir((folder + "mutex").c_str(), 0777);
    // One guard for all names: the test for other holders and taking the shared lock are one step.
    int guard = open((folder + "mutex/.guard").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    m->m_fd = open((folder + "mutex/" + MutexFileName(name)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (guard < 0 || m->m_fd < 0) {
        if (guard >= 0)
            close(guard);
        m->Release();
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    flock(guard, LOCK_EX);
    bool existed = flock(m->m_fd, LOCK_EX | LOCK_NB) != 0;
    flock(m->m_fd, LOCK_SH);
    flock(guard, LOCK_UN);
    close(guard);
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return m->Handle();
}

BOOL ReleaseMutex(HANDLE mutex) {
    return KernelRef<MutexObject>(mutex) ? TRUE : FALSE;
}

BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                    BOOL, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION info) {
    std::u16string program = applicationName ? applicationName : u"";
    std::u16string args = commandLine ? commandLine : u"";
    if (program.empty()) {
        // Without a program name the first word of the command line names it.
        size_t space = args.find(u' ');
        program = args.substr(0, space);
        args = space == std::u16string::npos ? std::u16string() : args.substr(space + 1);
    }
    if (program.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD attributes = GetFileAttributesW(program.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    std::string tail;
    if (!args.empty()) {
        tail.push_back(' ');
        tail.append(WideToUtf8(args));
    }
    std::string line("CreateProcessW ");
    line.append(WideToUtf8(program)).append(tail);
    PlatformJournal(line);
    DWORD pid = 0;
    std::string command;
    if (MappedHostCommand(program, &command))
        pid = RunDetached(command.append(tail));
    if (info) {
        auto* process = new ProcessObject;
        process->m_pid = pid;
        auto* thread = new ProcessObject;
        thread->m_pid = pid;
        info->hProcess = process->Handle();
        info->hThread = thread->Handle();
        info->dwProcessId = pid;
        info->dwThreadId = pid;
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

DWORD GetCurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

DWORD SetSystemPowerState(LPCWSTR name, DWORD state, DWORD flags) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "SetSystemPowerState 0x%08X 0x%04X", state, flags);
    std::string line = buf;
    if (name && name[0])
        line.append(1, ' ').append(WideToUtf8(name));
    PlatformJournal(line);
    return ERROR_SUCCESS;
}

HMODULE LoadLibraryW(LPCWSTR fileName) {
    if (fileName) {
        LPCWSTR base = fileName;
        for (LPCWSTR p = fileName; *p; p++)
            if (*p == u'\\' || *p == u'/')
                base = p + 1;
        if (WStrICmp(base, u"coredll.dll") == 0 || WStrICmp(base, u"coredll") == 0)
            return CoreDll();
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName) {
    if (module != CoreDll()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (procName && WStrCmp(procName, u"TouchCalibrate") == 0)
        return reinterpret_cast<FARPROC>(&WINAPI_TouchCalibrate);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddressA(HMODULE module, LPCSTR procName) {
    std::u16string wide = procName ? Utf8ToWide(procName) : std::u16string();
    return GetProcAddressW(module, procName ? wide.c_str() : nullptr);
}

BOOL FreeLibrary(HMODULE module) {
    if (module != CoreDll()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

HRESULT CoInitializeEx(LPVOID, DWORD) {
    return S_OK;
}

void CoUninitialize() {}

std::string PlatformJournalPath() {
    return xproc::RuntimeFolder() + "journal.log";
}

void PlatformJournal(const std::string& text) {
    std::string line = ProgramName() + ": " + text + "\n";
    int fd = open(PlatformJournalPath().c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return;
    // One write per line: lines of processes writing at once never interleave.
    if (write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        // A full disk loses the line; the journal is a record, not a duty.
    }
    close(fd);
}
