#include "wceui/core/WceUiLog.h"
#include "wceui/core/WceUiAssert.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char* LevelWord(int level) {
    switch (level) {
        case WCEUI_LOG_INFO:
            return "info: ";
        case WCEUI_LOG_WARNING:
            return "warning: ";
        case WCEUI_LOG_ERROR:
            return "error: ";
        default:
            return "";
    }
}

// "hh:mm:ss yyyy-mm-dd  " followed by the level word, as UTF-16.
std::u16string LinePrefix(int level) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char prefix[64];
    snprintf(prefix, sizeof(prefix), "%02d:%02d:%02d %04d-%02d-%02d  %s", t.wHour, t.wMinute, t.wSecond,
             t.wYear, t.wMonth, t.wDay, LevelWord(level));
    std::u16string out;
    for (const char* p = prefix; *p; ++p)
        out.push_back(static_cast<unsigned char>(*p));
    return out;
}

void WriteLine(int level, const std::u16string& message) {
    std::u16string line = LinePrefix(level) + message + u"\r\n";
    CWceUiLogFile::Instance().AppendLine(line.data(), line.size());
}

const BYTE kByteOrderMark[2] = {0xFF, 0xFE};

} // namespace

CWceUiLogFile& CWceUiLogFile::Instance() {
    static CWceUiLogFile* log = new CWceUiLogFile;
    return *log;
}

CWceUiLogFile::CWceUiLogFile() = default;

bool CWceUiLogFile::IsOpen() const {
    return m_hFile != INVALID_HANDLE_VALUE;
}

std::u16string CWceUiLogFile::GetPath() const {
    return m_szPath;
}

void CWceUiLogFile::SetHook(Hook hook) {
    m_hook = std::move(hook);
}

void CWceUiLogFile::CallHook(int level, const std::u16string& message) {
    if (m_hook)
        m_hook(level, message);
}

void CWceUiLogFile::Close() {
    if (m_hFile != INVALID_HANDLE_VALUE)
        CloseHandle(m_hFile);
    m_hFile = INVALID_HANDLE_VALUE;
}

void CWceUiLogFile::Reopen() {
    Close();
    m_szPath[0] = 0;
    m_bTriedOpen = false;
}

void CWceUiLogFile::DisableFile() {
    Close();
    m_szPath[0] = 0;
    m_bTriedOpen = true;
}

void CWceUiLogFile::SetMaxSize(DWORD maxSize) {
    if (maxSize < MIN_MAX_SIZE)
        maxSize = MIN_MAX_SIZE;
    if (maxSize > MAX_MAX_SIZE)
        maxSize = MAX_MAX_SIZE;
    m_dwMaxSize = maxSize;
    if (!m_bTriedOpen)
        OpenFromProgramDir();
}

void CWceUiLogFile::OpenFromProgramDir() {
    m_bTriedOpen = true;
    WCHAR module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    LPCWSTR lastSlash = WStrRChr(module, u'\\');
    if (!lastSlash)
        return;
    WCHAR dir[MAX_PATH];
    WStrCpyN(dir, static_cast<size_t>(lastSlash - module) + 2, module);
    DWORD attributes = GetFileAttributesW(dir);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    size_t dirLength = WStrLen(dir);
    bool endsWithSeparator = dirLength > 0 && (dir[dirLength - 1] == u'\\' || dir[dirLength - 1] == u'/');
    if (WSPrintf(m_szPath, MAX_PATH, endsWithSeparator ? u"%s%s%s" : u"%s\\%s%s", dir, lastSlash + 1,
                 u".wceuilog") < 0) {
        m_szPath[0] = 0;
        return;
    }
    OpenPath();
}

bool CWceUiLogFile::OpenPath() {
    Close();
    // Create the missing folders of the path one level at a time.
    WCHAR folder[MAX_PATH];
    for (size_t i = 1; m_szPath[i]; ++i) {
        if (m_szPath[i] == u'\\' || m_szPath[i] == u'/') {
            WStrCpyN(folder, i + 1, m_szPath);
            CreateDirectoryW(folder, nullptr);
        }
    }
    m_hFile = CreateFileW(m_szPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD size = GetFileSize(m_hFile, nullptr);
    bool ok = size != INVALID_FILE_SIZE;
    if (ok && size == 0) {
        DWORD written = 0;
        ok = WriteFile(m_hFile, kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr) &&
             written == sizeof(kByteOrderMark);
    } else if (ok) {
        ok = SetFilePointer(m_hFile, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER;
    }
    if (!ok)
        Close();
    return ok;
}

void CWceUiLogFile::AppendLine(const WCHAR* line, size_t length) {
    if (!m_bTriedOpen)
        OpenFromProgramDir();
    if (!IsOpen())
        return;
    DWORD bytes = static_cast<DWORD>(length * sizeof(WCHAR));
    DWORD written = 0;
    if (!WriteFile(m_hFile, line, bytes, &written, nullptr) || written != bytes) {
        // One more try on a fresh handle; after that the log stays closed.
        if (!OpenPath())
            return;
        if (!WriteFile(m_hFile, line, bytes, &written, nullptr) || written != bytes) {
            Close();
            return;
        }
    }
    FlushFileBuffers(m_hFile);
    TrimIfFull();
}

// Keeps the newest three quarters of a full log. The kept part may begin inside a line.
void CWceUiLogFile::TrimIfFull() {
    DWORD size = GetFileSize(m_hFile, nullptr);
    if (size == INVALID_FILE_SIZE) {
        Close();
        return;
    }
    if (size < m_dwMaxSize)
        return;
    DWORD keep = (size - size / 4) & ~1u;
    std::vector<BYTE> kept(keep);
    HANDLE reader = CreateFileW(m_szPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    bool ok = reader != INVALID_HANDLE_VALUE;
    DWORD got = 0;
    ok = ok && SetFilePointer(reader, static_cast<LONG>(size - keep), nullptr, FILE_BEGIN) !=
                   INVALID_SET_FILE_POINTER;
    ok = ok && ReadFile(reader, kept.data(), keep, &got, nullptr) && got == keep;
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
    Close();
    if (!ok)
        return;
    m_hFile = CreateFileW(m_szPath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hFile == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ok = WriteFile(m_hFile, kByteOrderMark, sizeof(kByteOrderMark), &written, nullptr) &&
         written == sizeof(kByteOrderMark);
    ok = ok && WriteFile(m_hFile, kept.data(), keep, &written, nullptr) && written == keep;
    ok = ok && FlushFileBuffers(m_hFile);
    if (!ok)
        Close();
}

void WceUiLog(int level, const char* format, ...) {
    char message[WCEUI_LOG_MAX_MESSAGE + 1];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(message, sizeof(message), format, args);
    va_end(args);
    if (n <= 0 || n > WCEUI_LOG_MAX_MESSAGE)
        return;
    std::u16string wide;
    wide.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        wide.push_back(static_cast<unsigned char>(message[i]));
    CWceUiLogFile::Instance().CallHook(level, wide);
    WriteLine(level, wide);
}

void WceUiLogW(int level, LPCWSTR format, ...) {
    WCHAR message[WCEUI_LOG_MAX_MESSAGE + 1];
    va_list args;
    va_start(args, format);
    int n = WVSPrintf(message, WCEUI_LOG_MAX_MESSAGE + 1, format, args);
    va_end(args);
    if (n <= 0)
        return;
    std::u16string wide(message, static_cast<size_t>(n));
    CWceUiLogFile::Instance().CallHook(level, wide);
    WriteLine(level, wide);
}

bool WceUiCheck(bool condition, const char* operation, const char* conditionText) {
    if (!condition)
        WceUiLog(WCEUI_LOG_ERROR, "%s,check(%s)fail", operation, conditionText);
    return condition;
}

void WceUiAssertFailed(const char* conditionText, const char* file, int line) {
    // The file's own name is enough to find the line, and keeps the message within a log line's room.
    const char* name = std::strrchr(file, '/');
    name = name ? name + 1 : file;
    WceUiLog(WCEUI_LOG_ERROR, "assert(%s)fail at %s:%d", conditionText, name, line);
    std::fprintf(stderr, "assert(%s)fail at %s:%d\n", conditionText, name, line);
    std::abort();
}
