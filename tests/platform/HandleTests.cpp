// Calls that must fail where the unit fails, and handles shared between threads.
#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using testsupport::HostExists;
using testsupport::WriteHostFile;

namespace {

class DeviceHandles : public DeviceFolderTest {};

HANDLE Open(LPCWSTR path, DWORD access, DWORD share) {
    return CreateFileW(path, access, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

} // namespace

TEST_F(DeviceHandles, MovingAnOpenFileIsASharingViolation) {
    WriteHostFile(Root() + "/a.txt", "data");
    HANDLE f = Open(u"\\a.txt", GENERIC_READ, 0);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(MoveFileW(u"\\a.txt", u"\\b.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(HostExists(Root() + "/a.txt"));
    EXPECT_FALSE(HostExists(Root() + "/b.txt"));
    CloseHandle(f);
    EXPECT_TRUE(MoveFileW(u"\\a.txt", u"\\b.txt"));
    EXPECT_TRUE(HostExists(Root() + "/b.txt"));
}

TEST_F(DeviceHandles, CloseHandleRefusesFindHandlesAndRegistryKeys) {
    WriteHostFile(Root() + "/a.txt", "data");
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(u"\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(CloseHandle(find));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    // The find handle is still alive and closes the proper way.
    EXPECT_FALSE(FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(FindClose(find));

    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Test", 0, nullptr, 0, 0, nullptr, &key, &disposition),
        ERROR_SUCCESS);
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(key)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    // And the file calls take no find handle for a file.
    find = FindFirstFileW(u"\\*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(find, nullptr), INVALID_FILE_SIZE);
    EXPECT_TRUE(FindClose(find));
}

TEST_F(DeviceHandles, ReadOnlyHandlesCannotFlushOrTruncate) {
    WriteHostFile(Root() + "/a.txt", "0123456789");
    HANDLE f = Open(u"\\a.txt", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FlushFileBuffers(f));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(SetFilePointer(f, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_FALSE(SetEndOfFile(f));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetFileSize(f, nullptr), 10u);
    CloseHandle(f);

    f = Open(u"\\a.txt", GENERIC_WRITE, 0);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FlushFileBuffers(f));
    EXPECT_EQ(SetFilePointer(f, 4, nullptr, FILE_BEGIN), 4u);
    EXPECT_TRUE(SetEndOfFile(f));
    EXPECT_EQ(GetFileSize(f, nullptr), 4u);
    CloseHandle(f);
}

// Every injected failure happens exactly once, however many threads write.
TEST_F(DeviceHandles, InjectedFaultsCountAcrossThreads) {
    const int kThreads = 4, kWrites = 4000, kFailures = 6000;
    std::vector<HANDLE> files;
    for (int t = 0; t < kThreads; ++t) {
        std::u16string name = u"\\f" + std::u16string(1, static_cast<char16_t>(u'0' + t));
        HANDLE f = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        files.push_back(f);
    }
    PlatformFailWrite(1, ERROR_DISK_FULL, kFailures);
    std::atomic<int> failed{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kWrites; ++i) {
                DWORD put = 0;
                if (!WriteFile(files[static_cast<size_t>(t)], "x", 1, &put, nullptr))
                    ++failed;
            }
        });
    }
    for (auto& th : threads)
        th.join();
    PlatformClearFaults();
    EXPECT_EQ(failed.load(), kFailures);
    for (HANDLE f : files)
        CloseHandle(f);
}

// A handle closed on one thread while another uses or closes it: exactly one close succeeds and no
// call sees a destroyed object.
TEST_F(DeviceHandles, ClosingAHandleRacesSafelyWithItsUse) {
    WriteHostFile(Root() + "/a.txt", "0123456789");
    for (int round = 0; round < 300; ++round) {
        HANDLE f = Open(u"\\a.txt", GENERIC_READ, FILE_SHARE_READ);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        std::atomic<int> closed{0};
        std::atomic<bool> go{false};
        auto closer = [&] {
            while (!go.load()) {
            }
            if (CloseHandle(f))
                ++closed;
        };
        auto user = [&] {
            while (!go.load()) {
            }
            for (int i = 0; i < 20; ++i) {
                DWORD size = GetFileSize(f, nullptr);
                EXPECT_TRUE(size == 10u || size == INVALID_FILE_SIZE);
            }
        };
        std::thread a(closer), b(closer), c(user);
        go = true;
        a.join();
        b.join();
        c.join();
        ASSERT_EQ(closed.load(), 1) << "round " << round;
    }
}
