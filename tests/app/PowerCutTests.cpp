// Whole updates cut at every change they make to the resident flash (a create, write, flush, move,
// delete, folder made or removed), then started again with and without the package: the unit always
// ends with a complete application, old or new, or (only where the flash holds one tree) says which
// package completes it and launches nothing.
#include "DlgTestSupport.h"

#include "app/TravlekFlash.h"
#include "platform/Platform.h"

#include <filesystem>
#include <fstream>
#include <sstream>

using apptest::AppTest;
using apptest::g_messages;

namespace {

const LPCWSTR kGpsApp = u"\\Residentflash2\\app\\gps.exe";
const LPCWSTR kPackage = u"\\SDMMC\\gpsApp.msk";
const LPCWSTR kPackageAway = u"\\SDMMC\\elsewhere.bin";

using Tree = std::map<std::string, std::string>; // path under the folder -> contents ("/" for a folder)

// The package's files. Every cut runs the update three times, so the suite cuts a package of 60; a
// longer run (POWERCUT_FILES=400, say) cuts a bigger one.
int FileCount() {
    const char* files = getenv("POWERCUT_FILES");
    return files && atoi(files) > 1 ? atoi(files) : 60;
}

class PowerCutTest : public AppTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(AppTest::SetUp());
        SetRegistryString(HKEY_LOCAL_MACHINE, u"OEM", u"APP", kGpsApp);
        WriteDeviceFile(u"\\SDMMC\\FactoryConfig.xml", "<factory serial=\"42\"/>");
        std::map<std::u16string, std::string> files;
        files[u"gps.exe"] = "the new program";
        for (int i = 0; i < FileCount() - 1; ++i) {
            const char* folders[] = {"", "data\\", "data\\maps\\", "sound\\"};
            const std::string name = std::string(folders[i % 4]) + "f" + std::to_string(i) + ".dat";
            files[Utf8ToWide(name)] = std::string(40 + i, static_cast<char>('a' + i % 26));
        }
        WritePackage(kPackage, files, u"pwd_tanzo");
        for (int i = 0; i < 20; ++i) {
            WriteDeviceFile(Utf8ToWide("\\Residentflash2\\app\\old\\o" + std::to_string(i) + ".dat").c_str(),
                            std::string(30 + i, 'o'));
        }
        m_old = TreeOf(u"\\Residentflash2");
    }

    Tree TreeOf(LPCWSTR folder) {
        Tree tree;
        const std::filesystem::path root(HostPath(folder));
        if (!std::filesystem::exists(root)) {
            return tree;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
            const std::string rel = std::filesystem::relative(entry.path(), root).generic_string();
            tree[rel] = entry.is_directory() ? "/" : testsupport::ReadHostFile(entry.path().string());
        }
        return tree;
    }

    // The flash as the test began.
    void RestoreFlash() {
        std::filesystem::remove_all(HostPath(u"\\Residentflash2"));
        for (const auto& [path, contents] : m_old) {
            const std::string host = HostPath(u"\\Residentflash2") + "/" + path;
            if ("/" == contents) {
                std::filesystem::create_directories(host);
            } else {
                testsupport::WriteHostFile(host, contents);
            }
        }
    }

    void MovePackage(LPCWSTR from, LPCWSTR to) { std::filesystem::rename(HostPath(from), HostPath(to)); }

    size_t JournalSize() { return Journal().size(); }
    bool LaunchedSince(size_t lines) {
        const auto journal = Journal();
        for (size_t i = lines; i < journal.size(); ++i) {
            if (0 == journal[i].rfind("CreateProcessW", 0)) {
                return true;
            }
        }
        return false;
    }

    // A start of the updater: the recovery, then the main dialog with the expected package.
    void Restart() {
        g_messages.clear();
        TravlekRecoverFlash();
        Run(kPackage);
    }

    // The whole update once, counting the changes it makes on the flash.
    int CountChanges() {
        RestoreFlash();
        PlatformCountFileChanges(u"\\Residentflash2");
        Restart();
        const int changes = PlatformFileChanges();
        EXPECT_EQ(m_new, TreeOf(u"\\Residentflash2"));
        return changes;
    }

    void CutEverywhere() {
        // The tree a whole update leaves: the package's files and the factory configuration.
        RestoreFlash();
        Restart();
        m_new = TreeOf(u"\\Residentflash2");
        ASSERT_EQ("the new program", m_new["app/gps.exe"]);
        ASSERT_EQ("<factory serial=\"42\"/>", m_new["app/config/FactoryConfig.xml"]);
        const int changes = CountChanges();
        ASSERT_GT(changes, 3 * FileCount()); // every file's create, write and flush at least
        int incomplete = 0;
        for (int cut = 1; cut <= changes && !HasFailure(); ++cut) {
            SCOPED_TRACE("power cut at change " + std::to_string(cut) + " of " + std::to_string(changes));
            RestoreFlash();
            CreateRegistryKey(HKEY_CURRENT_USER, u"OEM\\ShellEx");
            PlatformCountFileChanges(u"\\Residentflash2");
            PlatformCutPowerAt(cut);
            g_messages.clear();
            TravlekRecoverFlash();
            Run(kPackage);
            PlatformClearFaults();
            if (m_inPlace) {
                PlatformSetVolumeCapacity(u"\\Residentflash2", m_capacity);
            }

            // Started without the card: a complete application, or the word of the package it needs.
            MovePackage(kPackage, kPackageAway);
            size_t lines = JournalSize();
            Restart();
            const Tree after = TreeOf(u"\\Residentflash2");
            if (after != m_old && after != m_new) {
                ASSERT_TRUE(m_inPlace) << "a staged update left a mixed application";
                ASSERT_EQ(1u, g_messages.size());
                EXPECT_EQ("The application is incomplete. Insert the SD card with \\SDMMC\\gpsApp.msk to "
                          "complete the update.",
                          WideToUtf8(g_messages[0].text));
                EXPECT_FALSE(LaunchedSince(lines));
                ++incomplete;
            }

            // Started with it: the new application, complete, and nothing of the install left.
            MovePackage(kPackageAway, kPackage);
            lines = JournalSize();
            Restart();
            ASSERT_EQ(m_new, TreeOf(u"\\Residentflash2"));
            EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, u"OEM\\ShellEx"));
        }
        m_incomplete = incomplete;
        std::printf("cut points covered: %d, left incomplete: %d\n", changes, incomplete);
    }

    Tree m_old;
    Tree m_new;
    bool m_inPlace = false;
    ULONGLONG m_capacity = 0;
    int m_incomplete = 0;
};

TEST_F(PowerCutTest, AStagedUpdateCutAnywhereLeavesAWholeApplication) {
    CutEverywhere();
    EXPECT_EQ(0, m_incomplete);
}

TEST_F(PowerCutTest, AnInPlaceUpdateCutAnywhereIsCompletedByItsPackage) {
    // A flash with room for one tree only: the new one (its files and folders, the factory
    // configuration and the phase record) needs the old one's 24 blocks.
    CE_VOLUME_INFO volume = {};
    volume.cbSize = sizeof(volume);
    ASSERT_TRUE(CeGetVolumeInfoW(u"\\Residentflash2", CeVolumeInfoLevelStandard, &volume));
    m_inPlace = true;
    m_capacity = (FileCount() + 20ull) * volume.dwBlockSize;
    PlatformSetVolumeCapacity(u"\\Residentflash2", m_capacity);
    CutEverywhere();
    EXPECT_GT(m_incomplete, FileCount());
}

} // namespace
