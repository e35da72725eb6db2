// Whole runs of the real travlek that try to leave the unit without a working application: runs
// killed where an update is most exposed and started again without and then with the card, a package
// changed by another writer right after it was verified, a path too long for the flash, a flash
// filled by another writer during the unpack, and a package whose entries all share one stream.
#include "TravlekRun.h"
#include "package/MskTestSupport.h"
#include "wceui/core/FhScramble.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <tuple>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zlib.h>

namespace fs = std::filesystem;

namespace {

using e2e::LayerDump;
using e2e::Noise;
using e2e::RunResult;
using e2e::ShellQuote;

const int kKilled = 128 + SIGKILL; // the exit code of a run killed by its kill request
const char kLaunch[] = "travlek: CreateProcessW \\residentflash2\\app\\navi.exe _K~Q!R_B7M3M8_*Z\n";
const char kNotLaunched[] = "travlek: CreateProcessW";
// Ends a run once the dialog waits: dumps what it shows, taps the message box's "ok" (800x480) and
// closes the dialog.
const char kScript[] = "wait 1000\ndump box.txt\ntap 400 322\nwait 500\nclose\n";

// Every entry below a host folder, sorted: "path/" for a folder, "path size crc" for a file, so that
// two snapshots are equal only when the trees are equal byte for byte.
std::string Snapshot(const std::string& folder) {
    std::vector<std::string> lines;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string path = fs::relative(it->path(), folder).generic_string();
        if (it->is_directory()) {
            lines.push_back(path + "/");
            continue;
        }
        const std::string bytes = testsupport::ReadHostFile(it->path().string());
        lines.push_back(path + " " + std::to_string(bytes.size()) + " " +
                        std::to_string(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()),
                                             static_cast<uInt>(bytes.size()))));
    }
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

int CountFiles(const std::string& folder) {
    int count = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        count += it->is_regular_file() ? 1 : 0;
    }
    return count;
}

// What a tree takes on a volume of that block size: every file in whole blocks, every folder one.
unsigned long long Blocks(const std::string& folder, unsigned long long unit) {
    unsigned long long blocks = 0;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        blocks += it->is_directory() ? 1 : (it->file_size() + unit - 1) / unit;
    }
    return blocks;
}

class TravlekSafeUpdateTest : public e2e::TravlekDeviceTest {
protected:
    static constexpr int kFiles = 300;

    // A device whose card holds a package of kFiles files in a few folders; m_old and m_new are the
    // flash before and after a complete update.
    void MakeDevice() {
        m_package = File("package");
        testsupport::WriteHostFile(m_package + "/navi.exe", "new navi.exe\n");
        const char* const kFolders[] = {"", "maps/", "lang/", "data/sub/"};
        for (int i = 1; i < kFiles; ++i) {
            testsupport::WriteHostFile(m_package + "/" + kFolders[i % 4] + "f" + std::to_string(i) + ".dat",
                                       Noise(50 + i * 37 % 1500, i));
        }
        Init("--package '" + m_package + "'");
        m_old = FlashSnapshot();
        m_oldApp = Snapshot(Dev() + "/Residentflash2/app");
        const std::string expected = File("expected");
        fs::create_directories(expected);
        fs::copy(m_package, expected + "/app", fs::copy_options::recursive);
        testsupport::WriteHostFile(expected + "/app/config/FactoryConfig.xml",
                                   testsupport::ReadHostFile(Dev() + "/SDMMC/FactoryConfig.xml"));
        m_new = Snapshot(expected);
        ASSERT_NE(m_old, m_new);
    }

    // Makes the flash too small for the old and the new application side by side, but big enough
    // for either alone: the update then clears the old one before it unpacks. The old application
    // grows to a size like the new one's, so that the margin either way is many blocks.
    void MakeFlashHoldOneApplication() {
        for (int i = 0; i < 150; ++i) {
            testsupport::WriteHostFile(Dev() + "/Residentflash2/app/old/o" + std::to_string(i) + ".dat",
                                       Noise(3000, 1000 + i));
        }
        m_old = FlashSnapshot();
        m_oldApp = Snapshot(Dev() + "/Residentflash2/app");
        struct statvfs vfs;
        ASSERT_EQ(0, statvfs(Dev().c_str(), &vfs));
        const unsigned long long unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
        const unsigned long long used = Blocks(Dev() + "/Residentflash2", unit);
        const unsigned long long old = Blocks(Dev() + "/Residentflash2/app", unit);
        // The new tree, the factory configuration and the phase record with its temporary copy.
        const unsigned long long needed = Blocks(m_package, unit) + 1 + 2 + 3;
        testsupport::WriteHostFile(Dev() + "/device.ini",
                                   testsupport::ReadHostFile(Dev() + "/device.ini") +
                                       "flash=" + std::to_string((used + needed - old / 2) * unit) + "\n");
    }

    std::string FlashSnapshot() const { return Snapshot(Dev() + "/Residentflash2"); }
    std::string Card() const { return Dev() + "/SDMMC/gpsApp.msk"; }

    // A run with a journal of its own.
    RunResult Run(const std::string& script, const std::vector<std::string>& env = {}) {
        fs::remove(Dev() + "/.wince/journal.log");
        fs::remove(File("box.txt"));
        return Travlek(script, "", env);
    }

    // The text of the message box the run left in box.txt ("" when there was none).
    std::string Message() const {
        if (!testsupport::HostExists(File("box.txt"))) {
            return "";
        }
        const LayerDump box = Dump("box.txt");
        return box.Visible("msg") ? box.Find("msg")->text : "";
    }

    // A failed run: its message, the old application as it was with nothing staged or recorded
    // beside it, and nothing launched.
    void ExpectFailedAndKept(const std::string& message) const {
        EXPECT_EQ(message, Message());
        EXPECT_EQ(m_old, FlashSnapshot());
        EXPECT_EQ(std::string::npos, Journal().find(kNotLaunched)) << Journal();
        EXPECT_NE(std::string::npos, Journal().find("TRAVLEK_FINISHED 0 0")) << Journal();
    }

    // A complete run: the new application alone on the flash, launched.
    void ExpectInstalledAndLaunched() const {
        EXPECT_EQ("", Message());
        EXPECT_EQ(m_new, FlashSnapshot());
        EXPECT_NE(std::string::npos, Journal().find(kLaunch)) << Journal() << Log();
    }

    std::string m_package;
    std::string m_old;
    std::string m_oldApp; // the old application folder alone
    std::string m_new;
};

// Where a run is killed, and what the flash holds once a start without the card has recovered it.
enum Outcome { OLD_APPLICATION, NEW_APPLICATION, INCOMPLETE };
struct Cut {
    const char* name;
    bool inPlace;
    const char* killAt; // WINCE_KILL_AT
    Outcome withoutCard;
};

void PrintTo(const Cut& cut, std::ostream* os) {
    *os << cut.name;
}

class KilledUpdate : public TravlekSafeUpdateTest, public ::testing::WithParamInterface<Cut> {};

// kill -9, then a start without the card and one with it: the first ends with a complete
// application, or after a cut in-place unpack with the message that names the package and nothing
// launched; the second always ends with the new application, launched.
TEST_P(KilledUpdate, AStartWithoutTheCardKeepsAWholeApplicationAndOneWithItCompletesTheUpdate) {
    const Cut& cut = GetParam();
    MakeDevice();
    if (cut.inPlace) {
        MakeFlashHoldOneApplication();
    }
    RunResult r = Run("wait 1000\nclose\n", {std::string("WINCE_KILL_AT=") + cut.killAt});
    ASSERT_EQ(kKilled, r.exitCode) << r.out << Log();
    EXPECT_EQ(std::string::npos, Journal().find(kNotLaunched));
    // The kill came where it was meant to.
    const std::string flash = Dev() + "/Residentflash2";
    EXPECT_TRUE(testsupport::HostExists(flash + "/app.phase"));
    if (cut.inPlace) {
        EXPECT_NE(std::string::npos, Log().find("the flash cannot hold both applications")) << Log();
        ASSERT_TRUE(testsupport::HostExists(flash + "/app"));
        EXPECT_EQ("", Snapshot(flash + "/app")); // the old application is gone, nothing new yet
    } else if (NEW_APPLICATION == cut.withoutCard) {
        EXPECT_FALSE(testsupport::HostExists(flash + "/app")); // set aside, the new one not yet in
        EXPECT_TRUE(testsupport::HostExists(flash + "/ap-/navi.exe"));
        EXPECT_EQ(kFiles + 1, CountFiles(flash + "/ap+")); // with the factory configuration
    } else {
        int nth = 0;
        ASSERT_EQ(1, sscanf(cut.killAt, "create:%d:", &nth));
        EXPECT_EQ(nth - 1, CountFiles(flash + "/ap+"));
        EXPECT_EQ(m_oldApp, Snapshot(flash + "/app")); // untouched so far
    }

    // Without the card.
    fs::rename(Card(), File("card-away.msk"));
    r = Run(kScript);
    ASSERT_EQ(e2e::kNothingToDo, r.exitCode) << r.out;
    EXPECT_EQ(std::string::npos, Journal().find(kNotLaunched)) << Journal();
    switch (cut.withoutCard) {
        case OLD_APPLICATION:
            EXPECT_EQ(m_old, FlashSnapshot());
            EXPECT_EQ("", Message());
            EXPECT_NE(std::string::npos, Log().find("was cut before its switch; the application is the one"))
                << Log();
            break;
        case NEW_APPLICATION:
            EXPECT_EQ(m_new, FlashSnapshot());
            EXPECT_EQ("", Message());
            EXPECT_NE(std::string::npos, Log().find("was cut during its switch; the switch is finished"))
                << Log();
            break;
        case INCOMPLETE:
            EXPECT_EQ(
                "The application is incomplete. Insert the SD card with \\SDMMC\\gpsApp.msk to complete "
                "the update.",
                Message());
            EXPECT_NE(std::string::npos, Log().find("TravlekRecoverFlash, the application is incomplete"))
                << Log();
            EXPECT_EQ("", Snapshot(flash + "/app"));
            break;
    }

    // With the card again.
    fs::rename(File("card-away.msk"), Card());
    r = Run(kScript);
    ASSERT_EQ(0, r.exitCode) << r.out;
    ExpectInstalledAndLaunched();
    if (INCOMPLETE == cut.withoutCard) {
        EXPECT_NE(std::string::npos, Log().find("completing the cut update from \\SDMMC\\gpsApp.msk"))
            << Log();
    }
}

INSTANTIATE_TEST_SUITE_P(
    FourPoints, KilledUpdate,
    ::testing::Values(Cut{"RightAfterTheDelete", true, "mkdir:1:\\Residentflash2\\app\\", INCOMPLETE},
                      Cut{"MidUnpack", false, "create:150:\\Residentflash2\\ap+\\", OLD_APPLICATION},
                      Cut{"At95Percent", false, "create:285:\\Residentflash2\\ap+\\", OLD_APPLICATION},
                      // The second rename of the switch: the old tree is aside, the new one staged.
                      Cut{"DuringTheSwitch", false, "move:1:\\Residentflash2\\ap+", NEW_APPLICATION}),
    [](const ::testing::TestParamInfo<Cut>& i) { return std::string(i.param.name); });

// What another writer does to the package right after "Verify...".
struct Change {
    const char* name;
    const char* command; // %p: the package's host path; %o: another valid package's; %h: half its size
    bool installs;       // the verified bytes are still what the held package reads
};
void PrintTo(const Change& change, std::ostream* os) {
    *os << change.name;
}
const Change kChanges[] = {
    {"Removed", "rm -f %p", true},
    {"Truncated", "truncate -s %h %p", false},
    {"CorruptedInPlace",
     "dd if=/dev/zero of=%p bs=20000 count=1 seek=%h oflag=seek_bytes conv=notrunc status=none", false},
    {"ReplacedByAnotherValidPackage", "mv -f %o %p", true},
};
// When: the first change after "Verify..." (the phase record's temporary copy), which comes before the
// unpack reads any stream, or the first file the unpack creates.
struct Moment {
    const char* name;
    const char* hookAt; // WINCE_HOOK_AT
};
void PrintTo(const Moment& moment, std::ostream* os) {
    *os << moment.name;
}
const Moment kMoments[] = {{"BeforeTheUnpack", "create:1:\\Residentflash2\\app.phase~"},
                           {"InTheUnpack", "create:1:\\Residentflash2\\ap+\\"}};

class PackageChangedAfterVerify : public TravlekSafeUpdateTest,
                                  public ::testing::WithParamInterface<std::tuple<Change, Moment>> {};

// The package is read from the one handle that was verified. A name removed or renamed over leaves
// that handle reading the verified bytes, so the verified package is installed, as verified; bytes
// cut off or changed under the handle fail the run with the old application kept.
TEST_P(PackageChangedAfterVerify, InstallsTheVerifiedBytesOrFailsKeepingTheOldApplication) {
    const Change& change = std::get<0>(GetParam());
    MakeDevice();
    // Another valid package for the same unit, from another tree.
    const std::string other = File("other-dev");
    RunResult r = e2e::RunProgram(TRAVLEK_DEVICE_PATH,
                                  "init '" + other + "' --package '" + PackageFolder("navi.exe", 5) + "'");
    ASSERT_EQ(0, r.exitCode) << r.out;
    const std::string otherPackage = File("other.msk");
    fs::copy_file(other + "/SDMMC/gpsApp.msk", otherPackage);
    const std::string otherBytes = testsupport::ReadHostFile(otherPackage);
    const uintmax_t size = fs::file_size(Card());

    std::string command = change.command;
    const std::pair<const char*, std::string> fields[] = {
        {"%p", ShellQuote(Card())}, {"%o", ShellQuote(otherPackage)}, {"%h", std::to_string(size / 2)}};
    for (const auto& field : fields) {
        for (size_t at; (at = command.find(field.first)) != std::string::npos;) {
            command.replace(at, 2, field.second);
        }
    }
    r = Run(kScript, {std::string("WINCE_HOOK_AT=") + std::get<1>(GetParam()).hookAt,
                      "WINCE_HOOK_COMMAND=" + command});
    ASSERT_EQ(change.installs ? e2e::kUpdated : e2e::kUpdateFailed, r.exitCode) << r.out;

    const std::string name = change.name;
    if (change.installs) {
        ExpectInstalledAndLaunched();
        if ("Removed" == name) {
            EXPECT_FALSE(testsupport::HostExists(Card()));
        } else {
            EXPECT_EQ(otherBytes, testsupport::ReadHostFile(Card()));
        }
        return;
    }
    const std::string message = Message();
    if ("Truncated" == name) {
        EXPECT_EQ(size / 2, fs::file_size(Card()));
        ExpectFailedAndKept(
            "Update fail. \n(the package changed after it was verified: \\SDMMC\\gpsApp.msk)");
        return;
    }
    // Zeros in a stream: the decoder refuses them, or they decode and differ from what was verified.
    EXPECT_EQ(size, fs::file_size(Card()));
    if ("Update fail. \n(uncompress failed)" != message) {
        EXPECT_EQ(0u, message.rfind("Update fail. \n(the package changed after it was verified: "
                                    "\\Residentflash2\\ap+\\",
                                    0))
            << message;
    }
    ExpectFailedAndKept(message);
}

INSTANTIATE_TEST_SUITE_P(FourChanges, PackageChangedAfterVerify,
                         ::testing::Combine(::testing::ValuesIn(kChanges), ::testing::ValuesIn(kMoments)),
                         [](const ::testing::TestParamInfo<std::tuple<Change, Moment>>& i) {
                             return std::string(std::get<0>(i.param).name) + "_" + std::get<1>(i.param).name;
                         });

// A path that passes the package's own checks but, below \Residentflash2\app\ (20 units), reaches
// the device's 260 units is refused before anything on the flash changes; one unit shorter fits.
TEST_F(TravlekSafeUpdateTest, APathTooLongForTheFlashIsRefusedBeforeAnyChange) {
    for (size_t length : {240u, 239u}) {
        SCOPED_TRACE(length);
        fs::remove_all(Dev());
        Init();
        m_old = FlashSnapshot();
        std::u16string path =
            u"long\\" + std::u16string(100, u'a') + u"\\" + std::u16string(100, u'b') + u"\\";
        path += std::u16string(length - path.size(), u'c');
        msktest::RawPackage raw;
        raw.key = FhPasswordToKey(u"pwd_tanzo");
        raw.entries = {msktest::File(u"navi.exe", "new navi.exe\n"), msktest::File(path, "far down\n")};
        testsupport::WriteHostFile(Card(), msktest::Build(raw));

        RunResult r = Run(kScript);
        ASSERT_EQ(length < 240 ? e2e::kUpdated : e2e::kUpdateFailed, r.exitCode) << r.out;
        std::string host = Dev() + "/Residentflash2/app/" + WideToUtf8(path);
        std::replace(host.begin(), host.end(), '\\', '/');
        if (length < 240) {
            EXPECT_EQ("far down\n", testsupport::ReadHostFile(host));
            EXPECT_NE(std::string::npos, Journal().find(kLaunch)) << Journal();
            continue;
        }
        // The box's text stops at 255 units, which this message passes.
        const std::string message = Message();
        EXPECT_EQ(0u,
                  message.rfind("Update fail. \n(invalid entry path " + WideToUtf8(path).substr(0, 200), 0))
            << message;
        EXPECT_EQ(m_old, FlashSnapshot());
        EXPECT_EQ("travlek: SetCursor wait\ntravlek: SetCursor arrow\n"
                  "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 0 0\n",
                  Journal());
    }
}

// Another writer fills the flash (a small tmpfs) halfway through the unpack: the run ends with the
// disk-full message and the old application as it was.
TEST_F(TravlekSafeUpdateTest, AFlashFilledByAnotherWriterMidUnpackKeepsTheOldApplication) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs root";
    }
    MakeDevice();
    const std::string flash = Dev() + "/Residentflash2";
    const std::string kept = File("kept");
    fs::rename(flash, kept);
    fs::create_directory(flash);
    if (mount("tmpfs", flash.c_str(), "tmpfs", 0, "size=4m") != 0) {
        GTEST_SKIP() << "cannot mount a tmpfs here";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{flash};
    fs::copy(kept, flash, fs::copy_options::recursive);
    ASSERT_EQ(m_old, FlashSnapshot());

    const std::string filler = flash + "/filler";
    RunResult r = Run(kScript, {"WINCE_HOOK_AT=create:150:\\Residentflash2\\ap+\\",
                                "WINCE_HOOK_COMMAND=dd if=/dev/zero of=" + ShellQuote(filler) +
                                    " bs=64k status=none 2>/dev/null"});
    ASSERT_EQ(e2e::kUpdateFailed, r.exitCode) << r.out;
    ASSERT_TRUE(testsupport::HostExists(filler));
    EXPECT_GT(fs::file_size(filler), 1u << 20);
    fs::remove(filler);
    ExpectFailedAndKept("There is not enough space on the disk. Update fail.");
    EXPECT_NE(std::string::npos, Log().find("CTravlekDlg::DoUpdate, \\SDMMC\\gpsApp.msk: error_disk_full"))
        << Log();
}

// 1,000 file entries on one shared stream of 3.9 MB, declaring 4 GB each: refused from the table,
// before any stream is decoded, with nothing changed.
TEST_F(TravlekSafeUpdateTest, APackageOfEntriesSharingOneStreamIsRefusedAtOnce) {
    Init();
    m_old = FlashSnapshot();
    msktest::RawPackage bomb = msktest::SharedStreamPackage(1000, 3900000, 4000000000u);
    bomb.key = FhPasswordToKey(u"pwd_tanzo");
    testsupport::WriteHostFile(Card(), msktest::Build(bomb));

    const auto start = std::chrono::steady_clock::now();
    RunResult r = Run(kScript);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "the run refusing the package took " << seconds << " s\n";
    ASSERT_EQ(e2e::kUpdateFailed, r.exitCode) << r.out;
    ExpectFailedAndKept("MSK file format error. Update fail.");
    EXPECT_NE(std::string::npos, Log().find("\\SDMMC\\gpsApp.msk: file_format_error")) << Log();
}

} // namespace
