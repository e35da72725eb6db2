#include "WindowTestUtil.h"
#include "platform/Platform.h"

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::vector<std::string> JournalLines() {
    std::string text = testsupport::ReadHostFile(PlatformJournalPath());
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string line = text.substr(pos, end - pos);
        size_t colon = line.find(": ");
        lines.push_back(colon == std::string::npos ? line : line.substr(colon + 2));
        pos = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

} // namespace

class SystemTest : public DeviceFolderTest {};

TEST_F(SystemTest, JournalRecordsWhatTheUnitWouldDo) {
    testsupport::MakeHostFolders(Root() + "/Residentflash2/app");
    testsupport::WriteHostFile(Root() + "/Residentflash2/app/nav.exe", "x");
    std::string marker = Root() + "/launched.txt";
    testsupport::MakeHostFolders(Root() + "/.wince");
    testsupport::WriteHostFile(Root() + "/.wince/programs",
                               "# device path = host command\n\\RESIDENTFLASH2\\app\\nav.exe=echo >" +
                                   marker + "\n");
    WCHAR args[] = u"-start 1";
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessW(u"\\Residentflash2\\app\\nav.exe", args, nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, nullptr, &pi));
    EXPECT_TRUE(CloseHandle(pi.hProcess));
    EXPECT_TRUE(CloseHandle(pi.hThread));
    EXPECT_FALSE(CreateProcessW(u"\\Residentflash2\\app\\missing.exe", nullptr, nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
              SetSystemPowerState(nullptr, POWER_STATE_RESET, POWER_FORCE));
    HMODULE core = LoadLibraryW(u"\\Windows\\COREDLL.DLL");
    ASSERT_NE(nullptr, core);
    EXPECT_EQ(nullptr, LoadLibraryW(u"other.dll"));
    EXPECT_EQ(nullptr, GetProcAddressW(core, u"NoSuchEntry"));
    auto calibrate = reinterpret_cast<BOOL (*)()>(GetProcAddressW(core, u"TouchCalibrate"));
    ASSERT_NE(nullptr, calibrate);
    EXPECT_TRUE(calibrate());
    EXPECT_TRUE(FreeLibrary(core));
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    HCURSOR old = SetCursor(wait);
    EXPECT_EQ(wait, GetCursor());
    SetCursor(old);
    EXPECT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    CoUninitialize();

    EXPECT_EQ((std::vector<std::string>{"CreateProcessW \\Residentflash2\\app\\nav.exe -start 1",
                                        "SetSystemPowerState 0x00800000 0x1000", "TouchCalibrate",
                                        "SetCursor wait", "SetCursor arrow"}),
              JournalLines());
    std::string journal = testsupport::ReadHostFile(PlatformJournalPath());
    EXPECT_EQ(0u, journal.find(WideToUtf8(u"platform_windows_tests: ")));
    // The mapped host command ran (detached) with the command line after it.
    for (int i = 0; i < 200 && testsupport::ReadHostFile(marker).empty(); i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ("-start 1\n", testsupport::ReadHostFile(marker));
}

TEST_F(SystemTest, NamedMutexInOneProcess) {
    HANDLE first = CreateMutexW(nullptr, FALSE, u"_QUARN_TRAVLEK_");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    HANDLE second = CreateMutexW(nullptr, FALSE, u"_quarn_travlek_");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    HANDLE other = CreateMutexW(nullptr, FALSE, u"another\\name");
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    CloseHandle(first);
    // The name lives while any handle does.
    HANDLE third = CreateMutexW(nullptr, FALSE, u"_QUARN_TRAVLEK_");
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    CloseHandle(second);
    CloseHandle(third);
    HANDLE fresh = CreateMutexW(nullptr, FALSE, u"_QUARN_TRAVLEK_");
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    CloseHandle(fresh);
    CloseHandle(other);
    EXPECT_FALSE(CloseHandle(fresh));
}

// Another process holds the name until it dies, even by SIGKILL.
TEST_F(SystemTest, NamedMutexAcrossProcesses) {
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HANDLE m = CreateMutexW(nullptr, FALSE, u"Shared");
        char ok = m && GetLastError() == ERROR_SUCCESS ? 'y' : 'n';
        if (write(ready[1], &ok, 1) != 1)
            _exit(1);
        pause();
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(1, read(ready[0], &ok, 1));
    EXPECT_EQ('y', ok);
    HANDLE h = CreateMutexW(nullptr, FALSE, u"Shared");
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    CloseHandle(h);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    h = CreateMutexW(nullptr, FALSE, u"Shared");
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    CloseHandle(h);
    close(ready[0]);
    close(ready[1]);
}
