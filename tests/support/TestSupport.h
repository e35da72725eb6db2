// Shared helpers for the test suites: a temporary device folder per test, host file helpers and a
// capture of the framework's log messages.
#pragma once

#include "platform/Platform.h"
#include "platform/WinCe.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

// A fresh host folder under the system's temporary folder, removed again by the destructor.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string ReadHostFile(const std::string& path);
void WriteHostFile(const std::string& path, const std::string& bytes);
bool HostExists(const std::string& path);
void MakeHostFolders(const std::string& path);
// The UTF-16LE bytes of a text, without a terminator.
std::string Utf16Bytes(const std::u16string& text);

// Collects the messages the framework logs while it lives.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    const std::vector<std::u16string>& Messages() const { return m_messages; }
    // True when some message contains the text.
    bool Contains(const std::u16string& text) const;
    void Clear() { m_messages.clear(); }

private:
    std::vector<std::u16string> m_messages;
};

} // namespace testsupport

// A test whose device root is a fresh temporary folder; faults are cleared before and after.
class DeviceFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The host path of a device path (through the platform's own resolution).
    std::string HostPath(LPCWSTR devicePath) const { return PlatformHostPath(devicePath); }
    const std::string& Root() const { return m_root->Path(); }

    std::unique_ptr<testsupport::TempFolder> m_root;
};
