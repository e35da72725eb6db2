#include "tools/common/ToolSupport.h"
#include "platform/Platform.h"
#include "wceui/core/WceUiLog.h"

#include <cstdio>
#include <unistd.h>

namespace tooling {

void UseHostFileSystem() {
    PlatformUseHostRoot();
    CWceUiLogFile::Instance().DisableFile();
}

std::u16string DevicePath(const std::string& hostPath) {
    return PlatformDevicePath(hostPath);
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

ProgressBar::ProgressBar(const char* label) : m_label(label), m_enabled(isatty(STDERR_FILENO) != 0) {}

void ProgressBar::Show(size_t done, size_t total) {
    if (!m_enabled || total == 0)
        return;
    int percent = static_cast<int>(done * 100 / total);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    const int width = 40;
    int filled = percent * width / 100;
    std::fprintf(stderr, "\r%-11s [%s%s] %3d%% %zu/%zu", m_label,
                 std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(width - filled), ' ').c_str(), percent, done, total);
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
