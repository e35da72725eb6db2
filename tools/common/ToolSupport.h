// What the command-line tools share: host paths as device paths, the framework's log lines on
// stderr instead of a log file, a progress bar for long work, and the conventions of their command
// lines (--version, usage errors).
#pragma once

#include "platform/WinCe.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tooling {

// The version of this build, the same for every program (set once, in the top-level CMakeLists).
const char* Version();
// For --version: "PROGRAM VERSION" on stdout.
void PrintVersion(const char* program);
// A mistake on the command line: "PROGRAM: message" and "try 'PROGRAM --help'" on stderr, two lines
// instead of the whole help. Returns 2, the exit status of a usage error.
int UsageError(const char* program, const std::string& message);

// "1 file", "3 files": a count and its noun, singular for exactly one.
std::string Count(uint64_t n, const char* one, const char* many);

// Tools take host paths: the device root becomes the host's "/", so that every absolute host path
// is also a device path, and no log file is written beside the tool.
void UseHostFileSystem();

// The device path of a host path (relative paths are taken from the current folder).
std::u16string DevicePath(const std::string& hostPath);

// Makes a destination folder given as a host path a confinement: below it no symbolic link is
// followed, so nothing written there lands outside it (a link there is refused or, for a file that is
// written whole, replaced).
void ConfineTo(const std::string& hostFolder);
// After a refused write: the line that names the link inside the destination it met; empty when the
// failure had nothing to do with a link.
std::string RefusedLinkNote();

// An exclusive lock on a host folder, held while the object lives: the folder itself is locked
// (flock), so nothing is created for it, nothing is left behind, and the kernel lets go when the
// process ends, however it ends.
class FolderLock {
public:
    FolderLock() = default;
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    // Takes the lock without waiting. False when another holder has it or the folder cannot be
    // opened, with the reason in why.
    bool TryLock(const std::string& hostFolder, std::string* why);

private:
    int m_fd = -1;
};

// A whole host file into *pOut; false when it cannot be opened or read.
bool ReadHostFile(const std::filesystem::path& path, std::string* pOut);
// Writes a whole host file, creating the folders on the way; false when it cannot be written.
bool WriteHostFile(const std::filesystem::path& path, const std::string& bytes);

// Writes a whole file at a device path, creating the folders on the way. On failure returns false
// with the platform's error code.
bool WriteWholeFile(const std::u16string& devicePath, const void* data, size_t size, DWORD* error);

// A framework message with host paths as the user typed them: every occurrence of the device form
// of a typed path becomes the typed text, and the rest of a path that goes on below it takes "/" as
// its separator.
struct TypedPath {
    std::u16string device;
    std::string typed;
};
std::u16string HostPathsInMessage(const std::u16string& message, const std::vector<TypedPath>& paths);

// Collects the framework's log lines while it lives, for printing when an operation fails.
class LogLines {
public:
    LogLines();
    ~LogLines();
    LogLines(const LogLines&) = delete;
    LogLines& operator=(const LogLines&) = delete;
    // Prints every collected line to stderr, each after the indent.
    void Print(const char* indent) const;
    const std::vector<std::u16string>& Lines() const { return m_lines; }
    void Clear() { m_lines.clear(); }

private:
    std::vector<std::u16string> m_lines;
};

// The words for one of the platform's error codes, as the C library says them ("No such file or
// directory"), so a tool reports a system error as a sentence and not as a number.
std::string SystemErrorText(DWORD error);

// A progress bar on stderr, drawn only when stderr is a terminal, and redrawn only when the
// percentage changes or half a second has passed. Counting bytes, it also shows the amount, the rate
// and the time left.
class ProgressBar {
public:
    enum class Units { Items, Bytes };
    explicit ProgressBar(const char* label, Units units = Units::Items);
    ~ProgressBar() { Done(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    void Show(uint64_t done, uint64_t total);
    // Ends the bar's line, if one was drawn.
    void Done();

private:
    const char* m_label;
    Units m_units;
    bool m_enabled;
    bool m_shown = false;
    int m_lastPercent = -1;
    double m_start;
    double m_lastDraw = 0;
};

// "1.5 MB", "320 KB", "12 B": an amount of bytes for people, in powers of 1024.
std::string HumanBytes(uint64_t bytes);

} // namespace tooling
