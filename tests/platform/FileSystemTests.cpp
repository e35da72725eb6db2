#include "platform/Platform.h"
#include "platform/WinCe.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using testsupport::HostExists;
using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

class DeviceFiles : public DeviceFolderTest {};

HANDLE OpenRead(LPCWSTR path) {
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::u16string ListNames(LPCWSTR pattern) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern, &data);
    std::u16string names;
    if (find == INVALID_HANDLE_VALUE)
        return u"<none>";
    do {
        names += data.cFileName;
        names += (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? u"/ " : u" ";
    } while (FindNextFileW(find, &data));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    FindClose(find);
    return names;
}

} // namespace

TEST_F(DeviceFiles, ExistingEntriesMatchIgnoringCaseNewOnesKeepTheirCase) {
    WriteHostFile(Root() + "/SDMMC/gpsApp.msk", "package");
    HANDLE f = OpenRead(u"\\sdmmc\\GPSAPP.MSK");
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    char buf[16] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(f, buf, sizeof(buf), &got, nullptr));
    EXPECT_EQ(std::string(buf, got), "package");
    EXPECT_TRUE(CloseHandle(f));

    ASSERT_TRUE(CreateDirectoryW(u"/sdmmc/NewFolder", nullptr));
    EXPECT_TRUE(HostExists(Root() + "/SDMMC/NewFolder"));
    EXPECT_FALSE(CreateDirectoryW(u"\\SDMMC\\newfolder", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    // ".." never leaves the device root.
    EXPECT_EQ(PlatformHostPath(u"\\..\\..\\SDMMC"), Root() + "/SDMMC");
}

TEST_F(DeviceFiles, CreateDispositionsAndTheirErrors) {
    HANDLE f = CreateFileW(u"\\missing\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_EQ(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(OpenRead(u"\\a.txt"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    f = CreateFileW(u"\\a.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(f, "hello world", 11, &written, nullptr));
    EXPECT_EQ(written, 11u);
    CloseHandle(f);

    EXPECT_EQ(CreateFileW(u"\\A.TXT", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    f = CreateFileW(u"\\A.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(GetFileSize(f, nullptr), 0u); // replaced, under its existing name
    CloseHandle(f);
    EXPECT_EQ(ReadHostFile(Root() + "/a.txt"), "");
    EXPECT_FALSE(HostExists(Root() + "/A.txt"));

    // A folder cannot be opened as a file; a bad handle fails cleanly.
    CreateDirectoryW(u"\\dir", nullptr);
    EXPECT_EQ(OpenRead(u"\\dir"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    // Nor a pipe, which would wait for a writer.
    ASSERT_EQ(0, mkfifo((Root() + "/pipe.msk").c_str(), 0600));
    EXPECT_EQ(OpenRead(u"\\pipe.msk"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(0x1234)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CreateDirectoryW(u"\\bad|name", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

// A device path has at most 259 units; one more is refused by every call before the host is asked.
TEST_F(DeviceFiles, PathsOf259UnitsWorkAndOf260AreRefused) {
    const std::u16string folder = u"\\" + std::u16string(200, u'd');
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    auto pathOf = [&](size_t units) {
        return folder + u"\\" + std::u16string(units - folder.size() - 1, u'f');
    };
    const std::u16string fits = pathOf(259);
    const std::u16string tooLong = pathOf(260);
    HANDLE f = CreateFileW(fits.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    CloseHandle(f);
    EXPECT_EQ(GetFileAttributesW(fits.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(ListNames(fits.c_str()), fits.substr(folder.size() + 1) + u" ");
    EXPECT_TRUE(DeleteFileW(fits.c_str()));
    EXPECT_TRUE(CreateDirectoryW(fits.c_str(), nullptr));
    EXPECT_TRUE(RemoveDirectoryW(fits.c_str()));

    const DWORD kTooLong = ERROR_FILENAME_EXCED_RANGE;
    EXPECT_EQ(CreateFileW(tooLong.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), kTooLong);
    EXPECT_FALSE(CreateDirectoryW(tooLong.c_str(), nullptr));
    EXPECT_EQ(GetLastError(), kTooLong);
    EXPECT_TRUE(std::filesystem::is_empty(Root() + "/" + std::string(200, 'd')));
    WriteHostFile(Root() + "/" + std::string(200, 'd') + "/" + std::string(59, 'f'), "on the host");
    EXPECT_EQ(GetFileAttributesW(tooLong.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), kTooLong);
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFileW(tooLong.c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), kTooLong);
}

TEST_F(DeviceFiles, SeekReadShortAndPositions) {
    WriteHostFile(Root() + "/data.bin", "0123456789");
    HANDLE f = OpenRead(u"\\data.bin");
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SetFilePointer(f, 4, nullptr, FILE_BEGIN), 4u);
    char buf[16];
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(f, buf, 3, &got, nullptr));
    EXPECT_EQ(std::string(buf, got), "456");
    EXPECT_EQ(SetFilePointer(f, -2, nullptr, FILE_END), 8u);
    EXPECT_EQ(SetFilePointer(f, -20, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_TRUE(ReadFile(f, buf, 16, &got, nullptr)); // reads to the end: a short count, no error
    EXPECT_EQ(got, 2u);
    EXPECT_TRUE(ReadFile(f, buf, 16, &got, nullptr));
    EXPECT_EQ(got, 0u);
    DWORD written = 5;
    EXPECT_FALSE(WriteFile(f, "x", 1, &written, nullptr)); // opened for reading only
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(written, 0u);
    CloseHandle(f);
}

TEST_F(DeviceFiles, SharingAndReadOnlyRules) {
    WriteHostFile(Root() + "/f.txt", "abc");
    HANDLE writer = CreateFileW(u"\\f.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenRead(u"\\F.TXT"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileW(u"\\f.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(writer);

    // A writer that shares reading lets readers in, and they must share writing back.
    writer = CreateFileW(u"\\f.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(OpenRead(u"\\f.txt"), INVALID_HANDLE_VALUE);
    HANDLE reader = CreateFileW(u"\\f.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    CloseHandle(writer);

    ASSERT_TRUE(SetFileAttributesW(u"\\f.txt", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(GetFileAttributesW(u"\\f.txt") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(CreateFileW(u"\\f.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)); // even for root
    EXPECT_FALSE(DeleteFileW(u"\\f.txt"));
    EXPECT_TRUE(SetFileAttributesW(u"\\f.txt", FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileW(u"\\f.txt"));
}

TEST_F(DeviceFiles, FindListsInCaseInsensitiveOrderAndHidesTheRuntimeFolder) {
    for (const char* name : {"b.txt", "A.msk", "c.MSK", "d"})
        WriteHostFile(Root() + "/SDMMC/" + name, "x");
    testsupport::MakeHostFolders(Root() + "/SDMMC/Zeta");
    testsupport::MakeHostFolders(Root() + "/.wince");
    EXPECT_EQ(ListNames(u"\\SDMMC\\*.*"), u"A.msk b.txt c.MSK d Zeta/ ");
    EXPECT_EQ(ListNames(u"\\sdmmc\\*.msk"), u"A.msk c.MSK ");
    EXPECT_EQ(ListNames(u"\\SDMMC\\?.txt"), u"b.txt ");
    EXPECT_EQ(ListNames(u"\\SDMMC\\B.TXT"), u"b.txt ");
    EXPECT_EQ(ListNames(u"\\*"), u"SDMMC/ ");
    EXPECT_EQ(ListNames(u"\\SDMMC\\*.zip"), u"<none>");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ListNames(u"\\nowhere\\*"), u"<none>");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(DeviceFiles, ShellDeleteWithWildcardKeepsTheFolderAndCopyMakesParents) {
    WriteHostFile(Root() + "/Residentflash2/app/a.exe", "a");
    WriteHostFile(Root() + "/Residentflash2/app/sub/deep/b.dat", "b");
    WriteHostFile(Root() + "/Residentflash2/other.txt", "keep");
    chmod((Root() + "/Residentflash2/app/a.exe").c_str(), 0444);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = u"\\Residentflash2\\app\\*.*\0";
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    EXPECT_EQ(SHFileOperationW(&op), 0);
    EXPECT_TRUE(HostExists(Root() + "/Residentflash2/app"));
    EXPECT_EQ(ListNames(u"\\Residentflash2\\app\\*"), u"<none>");
    EXPECT_TRUE(HostExists(Root() + "/Residentflash2/other.txt"));

    WriteHostFile(Root() + "/SDMMC/FactoryConfig.xml", "<cfg/>");
    SHFILEOPSTRUCTW copy = {};
    copy.wFunc = FO_COPY;
    copy.pFrom = u"\\SDMMC\\FactoryConfig.xml\0";
    copy.pTo = u"\\Residentflash2\\app\\config\\FactoryConfig.xml\0";
    copy.fFlags = 0x414;
    EXPECT_EQ(SHFileOperationW(&copy), 0);
    EXPECT_EQ(ReadHostFile(Root() + "/Residentflash2/app/config/FactoryConfig.xml"), "<cfg/>");
    copy.pFrom = u"\\SDMMC\\missing.xml\0";
    EXPECT_EQ(SHFileOperationW(&copy), static_cast<int>(ERROR_FILE_NOT_FOUND));
}

TEST_F(DeviceFiles, ProgramFolderAndMounts) {
    WCHAR module[MAX_PATH];
    PlatformSetModuleName(u"travlek.exe");
    EXPECT_EQ(GetModuleFileNameW(nullptr, module, MAX_PATH), 20u);
    EXPECT_EQ(std::u16string(module), u"\\Program\\travlek.exe");
    EXPECT_EQ(GetModuleFileNameW(nullptr, module, 5), 5u); // truncated
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    PlatformSetModuleName(nullptr);

    // Without a Program folder on the device, \Program is the executable's own folder.
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof(exe) - 1);
    ASSERT_GT(n, 0);
    std::string exeFolder(exe, static_cast<size_t>(n));
    exeFolder.erase(exeFolder.rfind('/'));
    EXPECT_EQ(PlatformHostPath(u"\\Program\\x.pack"), exeFolder + "/x.pack");
    testsupport::MakeHostFolders(Root() + "/Program");
    EXPECT_EQ(PlatformHostPath(u"\\program\\x.pack"), Root() + "/Program/x.pack");

    testsupport::TempFolder card;
    PlatformMount(u"\\SDMMC", card.Path());
    WriteHostFile(card.Path() + "/nvqApp.msk", "n");
    EXPECT_NE(GetFileAttributesW(u"\\SDMMC\\NVQAPP.msk"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(PlatformDevicePath(card.Path() + "/nvqApp.msk"), u"\\sdmmc\\nvqApp.msk");
    PlatformUnmount(u"\\SDMMC");
    EXPECT_EQ(GetFileAttributesW(u"\\SDMMC\\nvqApp.msk"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(PlatformDevicePath(Root() + "/a/b"), u"\\a\\b");
}

TEST_F(DeviceFiles, InjectedFaults) {
    PlatformFailCreate(2, 2, ERROR_SHARING_VIOLATION);
    HANDLE ok = CreateFileW(u"\\x", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(ok, INVALID_HANDLE_VALUE);
    CloseHandle(ok);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(CreateFileW(u"\\x", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    }
    HANDLE f = CreateFileW(u"\\x", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    EXPECT_EQ(PlatformCreateFileCalls(), 4);

    PlatformFailWrite(2, ERROR_WRITE_FAULT);
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(f, "abcdef", 6, &n, nullptr));
    EXPECT_FALSE(WriteFile(f, "ghi", 3, &n, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
    EXPECT_TRUE(WriteFile(f, "jk", 2, &n, nullptr));

    PlatformShortRead(1, 3);
    SetFilePointer(f, 0, nullptr, FILE_BEGIN);
    char buf[16];
    EXPECT_TRUE(ReadFile(f, buf, 8, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "abc");
    EXPECT_TRUE(ReadFile(f, buf, 8, &n, nullptr));
    EXPECT_EQ(std::string(buf, n), "defjk");
    CloseHandle(f);
}

// A real full volume: a tiny tmpfs mounted over a device folder. Needs root (CI runs as root).
TEST_F(DeviceFiles, FullVolumeGivesDiskFullAndKeepsWhatWasWritten) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    std::string flash = Root() + "/Residentflash2";
    testsupport::MakeHostFolders(flash);
    if (mount("tmpfs", flash.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    HANDLE f =
        CreateFileW(u"\\Residentflash2\\big.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    std::string block(200 * 1024, 'x');
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(f, block.data(), static_cast<DWORD>(block.size()), &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, block.size());
    CloseHandle(f);
    EXPECT_EQ(ReadHostFile(flash + "/big.bin").size(), written);
    ULARGE_INTEGER freeBytes, total, totalFree;
    EXPECT_TRUE(GetDiskFreeSpaceExW(u"\\Residentflash2", &freeBytes, &total, &totalFree));
    EXPECT_EQ(total.QuadPart, 64u * 1024u);
    // A tmpfs allocates in pages.
    CE_VOLUME_INFO volume = {};
    volume.cbSize = sizeof(volume);
    EXPECT_TRUE(CeGetVolumeInfoW(u"\\Residentflash2\\", CeVolumeInfoLevelStandard, &volume));
    EXPECT_EQ(static_cast<long>(volume.dwBlockSize), sysconf(_SC_PAGESIZE));
    umount2(flash.c_str(), MNT_DETACH);
}

TEST_F(DeviceFiles, VolumeInfoGivesTheBlockSizeOfAnExistingFolderOnly) {
    CE_VOLUME_INFO volume = {};
    volume.cbSize = sizeof(volume);
    ASSERT_TRUE(CeGetVolumeInfoW(u"\\", CeVolumeInfoLevelStandard, &volume));
    EXPECT_GE(volume.dwBlockSize, 512u);
    EXPECT_EQ(0, volume.dwBlockSize & (volume.dwBlockSize - 1)); // a power of two
    EXPECT_FALSE(CeGetVolumeInfoW(u"\\NoSuchFolder", CeVolumeInfoLevelStandard, &volume));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    volume.cbSize = 4;
    EXPECT_FALSE(CeGetVolumeInfoW(u"\\", CeVolumeInfoLevelStandard, &volume));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

namespace {

// What an update does to make its work durable: a new file written and flushed, then renamed into
// place. 0 when every call succeeded, else the number of the call that failed.
int FlushAndMoveNewFile() {
    HANDLE f = CreateFileW(u"\\new.tmp", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const bool wrote = WriteFile(f, "durable", 7, &written, nullptr) && written == 7;
    const bool flushed = FlushFileBuffers(f);
    CloseHandle(f);
    if (!wrote || !flushed)
        return wrote ? 3 : 2;
    if (!MoveFileW(u"\\new.tmp", u"\\new.txt"))
        return 4;
    return ReadHostFile(PlatformHostPath(u"\\new.txt")) == "durable" ? 0 : 5;
}

} // namespace

// Whether flushes reach the host's disk is read once per process from WINCE_HOST_SYNC, so each
// setting runs in a process of its own; a flush and a move succeed with each.
TEST_F(DeviceFiles, FlushAndMoveOfANewFileSucceedWithAndWithoutHostSync) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const char* setting : {"unset", "0", "1"}) {
        SCOPED_TRACE(setting);
        EXPECT_EXIT(
            {
                if (std::string("unset") == setting)
                    unsetenv("WINCE_HOST_SYNC");
                else
                    setenv("WINCE_HOST_SYNC", setting, 1);
                _exit(FlushAndMoveNewFile());
            },
            ::testing::ExitedWithCode(0), "");
    }
}

// WINCE_HOOK_AT runs its command once, just before the chosen change and after the ones before it;
// WINCE_KILL_AT kills before its change is made.
TEST_F(DeviceFiles, HookAndKillRequestsActAtTheirChange) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto create = [](LPCWSTR path) {
        HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (f != INVALID_HANDLE_VALUE)
            CloseHandle(f);
        return f != INVALID_HANDLE_VALUE;
    };
    EXPECT_EXIT(
        {
            // The second create under \hooked: the listing holds the first file and not the second.
            const std::string listing = Root() + "/listing.txt";
            setenv("WINCE_HOOK_AT", "create:2:\\hooked\\", 1);
            setenv("WINCE_HOOK_COMMAND", ("ls " + Root() + "/hooked >> " + listing).c_str(), 1);
            CreateDirectoryW(u"\\hooked", nullptr);
            const bool made = create(u"\\other.txt") && create(u"\\hooked\\a.txt") &&
                              create(u"\\hooked\\b.txt") && create(u"\\hooked\\c.txt");
            _exit(made && ReadHostFile(listing) == "a.txt\n" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            setenv("WINCE_KILL_AT", "move:1:kept", 1);
            create(u"\\kept.tmp");
            MoveFileW(u"\\kept.tmp", u"\\kept.txt");
            _exit(0);
        },
        ::testing::KilledBySignal(SIGKILL), "");
}
