#include "support/TestSupport.h"
#include "wceui/core/WceUiLog.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace testsupport {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "wceui-test-XXXXXX").string();
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    if (!mkdtemp(buf.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = buf.data();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Read-only files and folders made by tests must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(m_path, ec);
}

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
    std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool HostExists(const std::string& path) {
    return std::filesystem::exists(path);
}

void MakeHostFolders(const std::string& path) {
    std::filesystem::create_directories(path);
}

std::string Utf16Bytes(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

LogCapture::LogCapture() {
    CWceUiLogFile::Instance().SetHook([this](int, const std::u16string& m) { m_messages.push_back(m); });
}

LogCapture::~LogCapture() {
    CWceUiLogFile::Instance().SetHook(nullptr);
}

bool LogCapture::Contains(const std::u16string& text) const {
    for (const auto& m : m_messages) {
        if (m.find(text) != std::u16string::npos)
            return true;
    }
    return false;
}

} // namespace testsupport

void DeviceFolderTest::SetUp() {
    m_root = std::make_unique<testsupport::TempFolder>();
    PlatformSetDeviceRoot(m_root->Path());
    PlatformClearFaults();
}

void DeviceFolderTest::TearDown() {
    PlatformClearFaults();
    // The log may hold a file inside the folder that is about to go.
    CWceUiLogFile::Instance().Reopen();
    m_root.reset();
}
