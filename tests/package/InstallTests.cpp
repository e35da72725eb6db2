// The install's own state on the flash: the names beside the application, the phase record as a cut
// can leave it, and what a start makes of each state the two renames can be cut in.
#include "package/MskInstall.h"

#include "MskTestSupport.h"
#include "support/TestSupport.h"
#include "wceui/core/FhScramble.h"

#include <filesystem>

namespace {

const LPCWSTR kApp = u"\\flash\\app";

class InstallStateTest : public DeviceFolderTest {
protected:
    void SetUp() override {
        DeviceFolderTest::SetUp();
        m_layout = MskInstallLayoutFor(kApp);
    }
    void Put(LPCWSTR folder, const std::string& marker) {
        testsupport::MakeHostFolders(HostPath(folder));
        testsupport::WriteHostFile(HostPath(folder) + "/which.txt", marker);
    }
    // What the folder holds ("" when it is not there).
    std::string Which(const std::u16string& folder) {
        const std::string host = HostPath(folder.c_str()) + "/which.txt";
        return testsupport::HostExists(host) ? testsupport::ReadHostFile(host) : "";
    }
    bool Exists(const std::u16string& path) { return testsupport::HostExists(HostPath(path.c_str())); }
    MskRecovery Recover(std::u16string* pDetail = nullptr) {
        MskPhaseRecord record;
        return MskRecoverInstall(m_layout, &record, pDetail);
    }
    void Record(MskInstallPhase phase) {
        MskPhaseRecord record;
        record.phase = phase;
        record.package = u"\\SDMMC\\gpsApp.msk";
        ASSERT_TRUE(MskWritePhaseRecord(m_layout, record));
    }

    MskInstallLayout m_layout;
};

TEST(InstallLayout, NamesBesideTheApplicationAreAsLongAsItsName) {
    const MskInstallLayout layout = MskInstallLayoutFor(u"\\Residentflash2\\app\\");
    EXPECT_EQ(u"\\Residentflash2\\app", layout.app);
    EXPECT_EQ(u"\\Residentflash2", layout.parent);
    EXPECT_EQ(u"\\Residentflash2\\ap+", layout.staged);
    EXPECT_EQ(u"\\Residentflash2\\ap-", layout.aside);
    EXPECT_EQ(u"\\Residentflash2\\app.phase", layout.record);
    EXPECT_EQ(u"\\Residentflash2\\app.phase~", layout.recordTemp);
    // A name that already ends in a mark gets the other one, never its own name.
    const MskInstallLayout marked = MskInstallLayoutFor(u"\\x\\ap+");
    EXPECT_EQ(u"\\x\\ap#", marked.staged);
    EXPECT_EQ(u"\\x\\ap-", marked.aside);
}

TEST_F(InstallStateTest, TheRecordSurvivesACutOfItsReplacement) {
    testsupport::MakeHostFolders(HostPath(u"\\flash"));
    EXPECT_EQ(MSK_PHASE_NONE, MskReadPhaseRecord(m_layout).phase);
    Record(MSK_PHASE_STAGING);
    EXPECT_EQ(MSK_PHASE_STAGING, MskReadPhaseRecord(m_layout).phase);
    EXPECT_EQ(u"\\SDMMC\\gpsApp.msk", MskReadPhaseRecord(m_layout).package);
    EXPECT_FALSE(Exists(m_layout.recordTemp));

    // A replacement cut while the temporary copy was written: the record stands, the torn copy goes.
    const std::string whole = testsupport::ReadHostFile(HostPath(m_layout.record.c_str()));
    std::string switching = whole;
    switching.replace(switching.find("staging"), 7, "switching");
    for (size_t cut : {size_t(0), size_t(5), whole.size() / 2, switching.size() - 1}) {
        testsupport::WriteHostFile(HostPath(m_layout.recordTemp.c_str()), switching.substr(0, cut));
        EXPECT_EQ(MSK_PHASE_STAGING, MskReadPhaseRecord(m_layout).phase) << cut;
    }
    // A whole copy whose check does not match its text is no record either.
    testsupport::WriteHostFile(HostPath(m_layout.recordTemp.c_str()), switching);
    EXPECT_EQ(MSK_PHASE_STAGING, MskReadPhaseRecord(m_layout).phase);

    // A whole copy written just before the cut is the newer state.
    MskPhaseRecord next;
    next.phase = MSK_PHASE_UNPACKING;
    next.package = u"\\SDMMC\\ünï.msk";
    ASSERT_TRUE(MskWritePhaseRecord(m_layout, next));
    const std::string newer = testsupport::ReadHostFile(HostPath(m_layout.record.c_str()));
    testsupport::WriteHostFile(HostPath(m_layout.record.c_str()), whole);
    testsupport::WriteHostFile(HostPath(m_layout.recordTemp.c_str()), newer);
    EXPECT_EQ(MSK_PHASE_UNPACKING, MskReadPhaseRecord(m_layout).phase);
    EXPECT_EQ(MSK_RECOVERY_INCOMPLETE, Recover());
    EXPECT_FALSE(Exists(m_layout.recordTemp));
    EXPECT_EQ(newer, testsupport::ReadHostFile(HostPath(m_layout.record.c_str())));
    EXPECT_EQ(u"\\SDMMC\\ünï.msk", MskReadPhaseRecord(m_layout).package);

    ASSERT_TRUE(MskClearPhaseRecord(m_layout));
    EXPECT_EQ(MSK_RECOVERY_NOTHING, Recover());
}

TEST_F(InstallStateTest, AnUnreadableRecordTouchesNothing) {
    Put(kApp, "old");
    Put(m_layout.staged.c_str(), "new");
    testsupport::WriteHostFile(HostPath(m_layout.record.c_str()), "phase switching\n");
    std::u16string detail;
    EXPECT_EQ(MSK_RECOVERY_FAILED, Recover(&detail));
    EXPECT_NE(std::u16string::npos, detail.find(u"cannot be read"));
    EXPECT_EQ("old", Which(m_layout.app));
    EXPECT_EQ("new", Which(m_layout.staged));
}

TEST_F(InstallStateTest, ACutStagingIsRolledBack) {
    Put(kApp, "old");
    Put(m_layout.staged.c_str(), "half");
    Record(MSK_PHASE_STAGING);
    EXPECT_EQ(MSK_RECOVERY_ROLLED_BACK, Recover());
    EXPECT_EQ("old", Which(m_layout.app));
    EXPECT_FALSE(Exists(m_layout.staged));
    EXPECT_FALSE(Exists(m_layout.record));
}

// Each state the two renames and the final delete can be cut in ends with the new application.
TEST_F(InstallStateTest, ACutSwitchIsFinishedFromEveryStep) {
    struct Step {
        const char* name;
        bool app, staged, aside;
    };
    for (const Step& step :
         {Step{"before the first rename", true, true, false}, Step{"between the renames", false, true, true},
          Step{"before the old tree went", true, false, true},
          Step{"before the record went", true, false, false}}) {
        SCOPED_TRACE(step.name);
        std::filesystem::remove_all(HostPath(u"\\flash"));
        if (step.app) {
            Put(kApp, step.staged ? "old" : "new");
        }
        if (step.staged) {
            Put(m_layout.staged.c_str(), "new");
        }
        if (step.aside) {
            Put(m_layout.aside.c_str(), "old");
        }
        Record(MSK_PHASE_SWITCHING);
        EXPECT_EQ(MSK_RECOVERY_SWITCHED, Recover());
        EXPECT_EQ("new", Which(m_layout.app));
        EXPECT_FALSE(Exists(m_layout.staged));
        EXPECT_FALSE(Exists(m_layout.aside));
        EXPECT_FALSE(Exists(m_layout.record));
    }
    // With nothing staged and the application gone, the old one comes back.
    std::filesystem::remove_all(HostPath(u"\\flash"));
    Put(m_layout.aside.c_str(), "old");
    Record(MSK_PHASE_SWITCHING);
    EXPECT_EQ(MSK_RECOVERY_ROLLED_BACK, Recover());
    EXPECT_EQ("old", Which(m_layout.app));
}

// A staged install whose unpack fails keeps an incomplete in-place run on record: only a completed
// install may say the application is whole again.
TEST_F(InstallStateTest, AFailedStagingOrSwitchKeepsTheRecordOfAnIncompleteApplication) {
    Put(kApp, "half");
    Record(MSK_PHASE_UNPACKING);
    msktest::RawPackage raw;
    raw.key = FhPasswordToKey(u"pwd_tanzo");
    raw.entries = {msktest::File(u"a.txt", "alpha"), msktest::File(u"b.txt", "beta")};
    testsupport::WriteHostFile(HostPath(u"\\p.msk"), msktest::Build(raw));
    CMskUnpacker unpacker;
    std::u16string error;
    ASSERT_TRUE(unpacker.Open(u"\\p.msk", raw.key, error));
    ASSERT_TRUE(unpacker.VerifyOpened(error)) << WideToUtf8(error);
    CMskInstaller installer(unpacker, kApp);
    MskInstallMode mode = MSK_INSTALL_IN_PLACE;
    ASSERT_TRUE(installer.Plan(&mode, error));
    EXPECT_EQ(MSK_INSTALL_STAGED, mode);
    PlatformFailWrite(2, ERROR_DISK_FULL);
    EXPECT_FALSE(installer.Install(mode, u"\\p.msk", MskInstallHooks(), error));
    EXPECT_EQ(u"error_disk_full", error);
    EXPECT_EQ("half", Which(m_layout.app));
    EXPECT_FALSE(Exists(m_layout.staged));
    EXPECT_EQ(MSK_PHASE_UNPACKING, MskReadPhaseRecord(m_layout).phase);

    // A rename refused, in turn: the record's first replacement, the record's second, the switch's
    // first rename of the application (the staged unpack itself renames nothing). Each time the run
    // fails and the incomplete application stays on record.
    for (int nMove : {1, 2, 3}) {
        SCOPED_TRACE(nMove);
        PlatformClearFaults();
        PlatformFailMove(nMove, ERROR_ACCESS_DENIED);
        EXPECT_FALSE(installer.Install(mode, u"\\p.msk", MskInstallHooks(), error));
        EXPECT_EQ("half", Which(m_layout.app));
        EXPECT_FALSE(Exists(m_layout.staged));
        EXPECT_EQ(MSK_PHASE_UNPACKING, MskReadPhaseRecord(m_layout).phase);
        EXPECT_EQ(u"\\SDMMC\\gpsApp.msk", MskReadPhaseRecord(m_layout).package); // the earlier run's
    }

    // The same install, written in full, replaces it and clears the record.
    PlatformClearFaults();
    ASSERT_TRUE(installer.Install(mode, u"\\p.msk", MskInstallHooks(), error)) << WideToUtf8(error);
    EXPECT_EQ("beta", testsupport::ReadHostFile(HostPath(u"\\flash\\app\\b.txt")));
    EXPECT_FALSE(Exists(m_layout.app + u"\\which.txt"));
    EXPECT_EQ(MSK_PHASE_NONE, MskReadPhaseRecord(m_layout).phase);
    EXPECT_FALSE(Exists(m_layout.aside));
}

} // namespace
