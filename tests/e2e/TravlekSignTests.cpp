// Whole runs of the real travlek on units that hold their maker's public key: only a package signed
// with the matching secret key installs; every other one is refused before the flash changes, with
// the old application kept and nothing launched. A unit without a key installs as it always did.
#include "TravlekRun.h"

#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

namespace {

using e2e::LayerDump;
using e2e::RunResult;

const char kLaunch[] = "travlek: CreateProcessW \\residentflash2\\app\\navi.exe _K~Q!R_B7M3M8_*Z\n";
const char kNotSigned[] =
    "The MSK file is not signed by the maker of this unit, or it was changed. Update fail.";
const char kBadKey[] = "The update key of this unit is damaged. No MSK file can be installed.";

class TravlekSignTest : public e2e::TravlekDeviceTest {
protected:
    std::string Card() const { return Dev() + "/SDMMC/gpsApp.msk"; }
    std::string Signature() const { return Card() + ".sig"; }

    // A key pair under the test's folder: NAME.key and NAME.pub.
    std::string KeyPair(const std::string& name) {
        const std::string base = File(name);
        RunResult r = e2e::RunProgram(MSKTOOL_PATH, "keygen '" + base + ".key' '" + base + ".pub'");
        EXPECT_EQ(0, r.exitCode) << r.out;
        return base;
    }
    void Sign(const std::string& package, const std::string& keyBase) {
        RunResult r = e2e::RunProgram(MSKTOOL_PATH, "sign '" + package + "' --key '" + keyBase + ".key'");
        ASSERT_EQ(0, r.exitCode) << r.out;
    }
    // Runs the update and taps the message box's "ok" (800x480) when one shows; expected is the exit
    // status the outcome gives.
    void RunUpdate(int expected) {
        RunResult r = Travlek("wait 1000\ndump " + File("box.txt") + "\ntap 400 322\nwait 500\nclose\n");
        ASSERT_EQ(expected, r.exitCode) << r.out;
    }
    void ExpectInstalledAndLaunched() const {
        const std::string journal = Journal();
        EXPECT_NE(std::string::npos, journal.find("TRAVLEK_FINISHED 1 0\n")) << journal;
        EXPECT_NE(std::string::npos, journal.find(kLaunch)) << journal;
        EXPECT_EQ(testsupport::ReadHostFile(std::string(TRAVLEK_DEMO_APP) + "/navi.exe"),
                  testsupport::ReadHostFile(Dev() + "/Residentflash2/app/navi.exe"));
    }
};

// The demo key's device installs its signed package; the log says it was signed.
TEST_F(TravlekSignTest, ASignedPackageInstallsAndLaunches) {
    const std::string key = KeyPair("maker");
    Init("--sign-key '" + key + ".key'");
    ASSERT_TRUE(testsupport::HostExists(Signature()));
    RunUpdate(e2e::kUpdated);
    ExpectInstalledAndLaunched();
    EXPECT_NE(std::string::npos, Log().find("\\SDMMC\\gpsApp.msk is signed with the unit's update key"))
        << Log();
}

// Without the registry value a signature is neither needed nor read: the package installs with no
// signature file, with a good one, and with one that is garbage.
TEST_F(TravlekSignTest, WithoutAKeyThePackageInstallsWithOrWithoutASignature) {
    const std::string key = KeyPair("maker");
    const struct {
        const char* what;
        std::function<void()> signature;
    } cases[] = {
        {"no signature", [] {}},
        {"a good signature", [&] { Sign(Card(), key); }},
        {"a garbage signature", [&] { testsupport::WriteHostFile(Signature(), "not a signature\n"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Dev());
        Init();
        c.signature();
        RunUpdate(e2e::kUpdated);
        ExpectInstalledAndLaunched();
        EXPECT_EQ(std::string::npos, Log().find("signature")) << Log();
    }
}

// Each way a package can fail its unit's key: the message of its own in the error box, the log line
// that says why, nothing on the flash changed (not even the staging folder made) and nothing launched.
TEST_F(TravlekSignTest, PackagesTheKeyDoesNotAcceptAreRefusedBeforeTheFlashChanges) {
    const std::string key = KeyPair("maker");
    const std::string otherKey = KeyPair("other");
    // Another package of the same maker, signed with the same key.
    const std::string otherDevice = File("other-dev");
    testsupport::WriteHostFile(File("other-app/navi.exe"), "another build of navi.exe\n");
    RunResult made =
        e2e::RunProgram(TRAVLEK_DEVICE_PATH, "init '" + otherDevice + "' --package '" + File("other-app") +
                                                 "' --sign-key '" + key + ".key'");
    ASSERT_EQ(0, made.exitCode) << made.out;
    const std::string otherSignature = testsupport::ReadHostFile(otherDevice + "/SDMMC/gpsApp.msk.sig");

    auto flipByte = [](const std::string& path, size_t (*where)(size_t size)) {
        std::string bytes = testsupport::ReadHostFile(path);
        bytes[where(bytes.size())] ^= 0x01;
        testsupport::WriteHostFile(path, bytes);
    };
    const struct {
        const char* what;
        bool signedDevice;
        std::function<void()> change;
        const char* shown;
        const char* logged;
    } cases[] = {
        {"no signature file", true, [&] { fs::remove(Signature()); }, kNotSigned,
         "signature refused (missing): the package has no signature"},
        {"an empty signature file", true, [&] { testsupport::WriteHostFile(Signature(), ""); }, kNotSigned,
         "signature refused (malformed): \\SDMMC\\gpsApp.msk.sig is empty"},
        {"one byte changed in the package's last stream", true,
         [&] { flipByte(Card(), [](size_t size) { return size - 3; }); }, kNotSigned,
         "signature refused (other key or changed)"},
        {"one byte changed in the package's header", true,
         [&] { flipByte(Card(), [](size_t) -> size_t { return 5; }); }, kNotSigned,
         "signature refused (other key or changed)"},
        // Another letter inside the base64 text: the line still reads, the signature does not match.
        {"one byte changed in the signature", true,
         [&] {
             std::string line = testsupport::ReadHostFile(Signature());
             line[40] = 'A' == line[40] ? 'B' : 'A';
             testsupport::WriteHostFile(Signature(), line);
         },
         kNotSigned, "signature refused (other key or changed)"},
        {"a truncated signature", true,
         [&] {
             testsupport::WriteHostFile(Signature(), testsupport::ReadHostFile(Signature()).substr(0, 60));
         },
         kNotSigned, "signature refused (malformed)"},
        {"signed by another key", true, [&] { Sign(Card(), otherKey); }, kNotSigned,
         "signature refused (other key or changed)"},
        {"the signature of another package", true,
         [&] { testsupport::WriteHostFile(Signature(), otherSignature); }, kNotSigned,
         "signature refused (other key or changed)"},
        {"a key that is not a key line", false,
         [&] {
             Sign(Card(), key);
             AppendToRegistry(
                 "\n[HKEY_LOCAL_MACHINE\\OEM]\n\"UpdateKey\"=\"msk-ed25519-blake2b-pub AAAA\"\n");
         },
         kBadKey, "UpdateKey unusable, every package is refused: "},
        {"a key of another type", false,
         [&] {
             Sign(Card(), key);
             AppendToRegistry("\n[HKEY_LOCAL_MACHINE\\OEM]\n\"UpdateKey\"=dword:00000001\n");
         },
         kBadKey, "UpdateKey unusable, every package is refused: it is of type 4, not a string"},
        {"a bad key and no signature", false,
         [&] { AppendToRegistry("\n[HKEY_LOCAL_MACHINE\\OEM]\n\"UpdateKey\"=\"\"\n"); }, kBadKey,
         "UpdateKey unusable, every package is refused: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(Dev());
        Init(c.signedDevice ? "--sign-key '" + key + ".key'" : std::string());
        c.change();
        const std::string before = Tree("Residentflash2");
        RunUpdate(e2e::kUpdateFailed);

        const LayerDump box = Dump("box.txt");
        ASSERT_TRUE(box.Visible("msg")) << box.Text();
        EXPECT_EQ(c.shown, box.Find("msg")->text);
        EXPECT_TRUE(box.Visible("error_icon"));
        EXPECT_EQ("travlek: SetCursor wait\n"
                  "travlek: SetCursor arrow\n"
                  "travlek: PostMessageW HWND_BROADCAST TRAVLEK_FINISHED 0 0\n",
                  Journal());
        EXPECT_EQ(before, Tree("Residentflash2"));
        EXPECT_EQ("old application\n", testsupport::ReadHostFile(Dev() + "/Residentflash2/app/navi.exe"));
        const std::string log = Log();
        EXPECT_NE(std::string::npos, log.find(c.logged)) << log;
        // Refused before the package was decoded: no verify message, no progress.
        EXPECT_EQ(std::string::npos, log.find("OnProgress")) << log;
    }
}

} // namespace
