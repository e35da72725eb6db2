// No device path leads out of the device folder, whatever links the host folder holds, and no write
// goes through another name of the same data.
#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::HostExists;
using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

class Jail : public DeviceFolderTest {
protected:
    void SetUp() override {
        DeviceFolderTest::SetUp();
        m_outside = std::make_unique<testsupport::TempFolder>();
        WriteHostFile(Outside() + "/victim", "precious");
        PlatformTakeRefusedLink();
    }
    const std::string& Outside() const { return m_outside->Path(); }
    void Link(const std::string& target, const std::string& relative) {
        testsupport::MakeHostFolders(std::filesystem::path(Root() + "/" + relative).parent_path().string());
        ASSERT_EQ(symlink(target.c_str(), (Root() + "/" + relative).c_str()), 0);
    }
    std::unique_ptr<testsupport::TempFolder> m_outside;
};

bool WriteDeviceFile(LPCWSTR path, const std::string& bytes, DWORD disposition = CREATE_ALWAYS) {
    HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(f);
    return ok && put == bytes.size();
}

std::string ReadDeviceFile(LPCWSTR path) {
    HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "<error " + std::to_string(GetLastError()) + ">";
    char buf[256];
    DWORD got = 0;
    ReadFile(f, buf, sizeof(buf), &got, nullptr);
    CloseHandle(f);
    return std::string(buf, got);
}

size_t OutsideEntries(const std::string& folder) {
    size_t n = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(folder);
         it != std::filesystem::recursive_directory_iterator(); ++it)
        ++n;
    return n;
}

} // namespace

// A folder link, the same link named in another case, and a link standing for the whole tree: every
// call through them is refused, and the refusal names the link.
TEST_F(Jail, PathsThroughFolderLinksAreRefused) {
    Link(Outside(), "app/config");
    Link(Outside(), "tree");
    for (LPCWSTR path : {u"\\app\\config\\victim", u"\\app\\CONFIG\\victim", u"\\TREE\\victim"}) {
        EXPECT_FALSE(WriteDeviceFile(path, "overwritten")) << WideToUtf8(path);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(ReadDeviceFile(path), "<error 5>");
        EXPECT_EQ(GetFileAttributesW(path), INVALID_FILE_ATTRIBUTES);
        EXPECT_FALSE(DeleteFileW(path));
        EXPECT_FALSE(SetFileAttributesW(path, FILE_ATTRIBUTE_READONLY));
    }
    EXPECT_EQ(PlatformTakeRefusedLink(), Root() + "/tree");
    EXPECT_EQ(PlatformTakeRefusedLink(), "");
    EXPECT_FALSE(CreateDirectoryW(u"\\app\\config\\sub", nullptr));
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(u"\\app\\config\\*", &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(PlatformTakeRefusedLink(), Root() + "/app/config");
    EXPECT_EQ(GetFileAttributesW(u"\\tree\\"), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(MoveFileW(u"\\tree\\victim", u"\\moved"));

    EXPECT_EQ(ReadHostFile(Outside() + "/victim"), "precious");
    EXPECT_EQ(OutsideEntries(Outside()), 1u);
    EXPECT_FALSE(HostExists(Root() + "/moved"));
}

// A file link is an entry of its own: creating the file replaces the link, any other open is refused,
// deleting removes the link, and listings show neither the target's size nor its kind.
TEST_F(Jail, FileLinksAreReplacedNotWrittenThrough) {
    Link(Outside() + "/victim", "app/target.txt");
    Link(Outside(), "app/folder");
    EXPECT_FALSE(WriteDeviceFile(u"\\app\\target.txt", "x", OPEN_EXISTING));
    EXPECT_FALSE(WriteDeviceFile(u"\\app\\target.txt", "x", OPEN_ALWAYS));
    EXPECT_FALSE(WriteDeviceFile(u"\\app\\target.txt", "x", TRUNCATE_EXISTING));
    EXPECT_EQ(ReadDeviceFile(u"\\app\\target.txt"), "<error 5>");
    EXPECT_FALSE(WriteDeviceFile(u"\\app\\target.txt", "x", CREATE_NEW));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(GetFileAttributesW(u"\\app\\folder"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));

    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\app\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u) << WideToUtf8(data.cFileName);
        EXPECT_EQ(data.nFileSizeLow, 0u);
    } while (FindNextFileW(find, &data));
    FindClose(find);

    ASSERT_TRUE(WriteDeviceFile(u"\\APP\\Target.TXT", "replaced"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    struct stat st;
    ASSERT_EQ(lstat((Root() + "/app/target.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(ReadDeviceFile(u"\\app\\target.txt"), "replaced");

    // Deleting the tree removes the links, never what they point to.
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = u"\\app\0";
    EXPECT_EQ(SHFileOperationW(&op), 0);
    EXPECT_FALSE(HostExists(Root() + "/app"));
    EXPECT_EQ(ReadHostFile(Outside() + "/victim"), "precious");
    EXPECT_EQ(OutsideEntries(Outside()), 1u);
}

TEST_F(Jail, HardLinkedDataIsNotWrittenThrough) {
    ASSERT_EQ(link((Outside() + "/victim").c_str(), (Root() + "/a.txt").c_str()), 0);
    ASSERT_EQ(link((Outside() + "/victim").c_str(), (Root() + "/b.txt").c_str()), 0);
    ASSERT_TRUE(WriteDeviceFile(u"\\a.txt", "new a"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadHostFile(Root() + "/a.txt"), "new a");

    // Writing into the existing data gives the name a copy of its own first.
    HANDLE f = CreateFileW(u"\\b.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(f, "PRE", 3, &put, nullptr));
    CloseHandle(f);
    EXPECT_EQ(ReadHostFile(Root() + "/b.txt"), "PREcious");
    EXPECT_EQ(ReadHostFile(Outside() + "/victim"), "precious");
    EXPECT_EQ(OutsideEntries(Root()), 2u); // no copy left behind
}

// Names that differ only by an unpaired surrogate stay different host files, and find gives each
// name back as written.
TEST_F(Jail, UnpairedSurrogatesKeepNamesApart) {
    const std::u16string names[] = {u"a\xD800", u"a\xDC00", u"a\xFFFD", u"a\xD800\xDC00",
                                    u"\xDBFF"
                                    u"b"};
    for (size_t i = 0; i < 5; ++i)
        ASSERT_TRUE(WriteDeviceFile((u"\\" + names[i]).c_str(), std::to_string(i))) << i;
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(ReadDeviceFile((u"\\" + names[i]).c_str()), std::to_string(i)) << i;
    EXPECT_EQ(OutsideEntries(Root()), 5u);
    std::vector<std::u16string> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        found.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    for (const auto& name : names)
        EXPECT_NE(std::find(found.begin(), found.end(), name), found.end()) << name.size();
    // The host's own form of a pair (four bytes) is the same name as the pair.
    EXPECT_TRUE(HostExists(Root() + "/a\xF0\x90\x80\x80"));
}

// Tools work on host paths (the root is the host's "/", where links are the user's own); the folder
// they write to is a confinement.
TEST_F(Jail, ConfinedFolderUnderTheHostRoot) {
    std::string dest = Root() + "/dest";
    testsupport::MakeHostFolders(dest);
    Link(Outside(), "dest/config");
    Link(Outside(), "via");
    PlatformUseHostRoot();
    PlatformConfine(dest);
    std::u16string inside = PlatformDevicePath(dest + "/config/victim");
    EXPECT_FALSE(WriteDeviceFile(inside.c_str(), "overwritten"));
    EXPECT_EQ(PlatformTakeRefusedLink(), dest + "/config");
    // Outside the confinement a host link is followed as the host follows it.
    std::u16string via = PlatformDevicePath(Root() + "/via/victim");
    EXPECT_EQ(ReadDeviceFile(via.c_str()), "precious");
    EXPECT_EQ(ReadHostFile(Outside() + "/victim"), "precious");
    PlatformUnmount(PlatformDevicePath(dest).c_str());
}
