// The framework's diagnostic log (one UTF-16LE file beside the program) and the parameter check.
#pragma once

#include "platform/WinCe.h"

#include <functional>
#include <string>

#define WCEUI_LOG_INFO 1
#define WCEUI_LOG_WARNING 2
#define WCEUI_LOG_ERROR 3

// The longest message, in characters, that a log line may carry; a longer one is dropped whole.
#define WCEUI_LOG_MAX_MESSAGE 192

// Narrow printf-style writer (messages are ASCII; each byte becomes one UTF-16 unit).
void WceUiLog(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Wide writer: the format and any %s arguments are UTF-16 (see WSPrintf).
void WceUiLogW(int level, LPCWSTR format, ...);

// Logs "<operation>,check(<condition text>)fail" at error level when the condition is false, and
// evaluates to the condition, so that the caller can return its failure value:
//     if (!WCEUI_CHECK("CWceUiLayer::AppendChild", NULL != pNewChild)) return FALSE;
#define WCEUI_CHECK(operation, condition) WceUiCheck(static_cast<bool>(condition), operation, #condition)
bool WceUiCheck(bool condition, const char* operation, const char* conditionText);

// The log file. Created on first use and kept for the life of the process, so that every object
// that reports at exit can still write to it.
class CWceUiLogFile {
public:
    static CWceUiLogFile& Instance();

    enum { DEFAULT_MAX_SIZE = 512000, MIN_MAX_SIZE = 4096, MAX_MAX_SIZE = 10240000 };

    // Appends one finished line (time stamp, level word, message, CR LF) to the file.
    void AppendLine(const WCHAR* line, size_t length);
    // Sets the maximum size (clamped to MIN_MAX_SIZE..MAX_MAX_SIZE) and opens the file if it is not.
    void SetMaxSize(DWORD maxSize);
    bool IsOpen() const;
    // The full device path of the log file (empty while closed and never opened).
    std::u16string GetPath() const;

    // For tools: no log file is written; messages still reach the hook.
    void DisableFile();
    // For tests and tools: closes the file and opens it again from the program's current directory,
    // as on first use.
    void Reopen();
    // For tests and tools: every formatted message (without time stamp) is also passed to the hook.
    using Hook = std::function<void(int level, const std::u16string& message)>;
    void SetHook(Hook hook);

private:
    CWceUiLogFile();
    void OpenFromProgramDir();
    bool OpenPath();
    void Close();
    void TrimIfFull();
    void CallHook(int level, const std::u16string& message);

    HANDLE m_hFile = INVALID_HANDLE_VALUE;
    WCHAR m_szPath[MAX_PATH] = {};
    DWORD m_dwMaxSize = DEFAULT_MAX_SIZE;
    bool m_bTriedOpen = false;
    Hook m_hook;

    friend void WceUiLog(int, const char*, ...);
    friend void WceUiLogW(int, LPCWSTR, ...);
};
