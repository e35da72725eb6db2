// travlek-device init: the device tree, the package under the unit's own password, and the registry
// value read back through the platform's registry calls.
#include "ToolRun.h"

#include "app/TravlekConfiguredApp.h"
#include "package/MskFormat.h"
#include "package/MskSignature.h"
#include "package/MskUnpacker.h"
#include "wceui/core/FhScramble.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

class TravlekDeviceTest : public DeviceFolderTest {
protected:
    tooltest::Result Init(const std::string& args) {
        return tooltest::Run(Root(), std::string(TRAVLEK_DEVICE_PATH) + " init " + args);
    }
    // The configured application as the updater reads it, on the device folder dir.
    std::u16string ConfiguredApp(const std::string& dir) {
        PlatformSetDeviceRoot(dir);
        HKEY hKey = NULL;
        if (ERROR_SUCCESS != RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, TRAVLEK_OEM_KEY_ACCESS, &hKey)) {
            return u"(no key)";
        }
        WCHAR szApp[260] = {};
        DWORD dwType = 0, cb = sizeof(szApp);
        const LONG l = RegQueryValueExW(hKey, u"APP", NULL, &dwType, reinterpret_cast<LPBYTE>(szApp), &cb);
        RegCloseKey(hKey);
        PlatformSetDeviceRoot(Root());
        return ERROR_SUCCESS == l && REG_SZ == dwType ? std::u16string(szApp) : u"(no value)";
    }
    // Whether the package opens with the password.
    bool Opens(const std::string& dir, LPCWSTR pPackage, LPCWSTR pPassword) {
        PlatformSetDeviceRoot(dir);
        CMskUnpacker unpacker;
        std::u16string error;
        const BOOL ok = unpacker.Verify(pPackage, FhPasswordToKey(pPassword), error);
        PlatformSetDeviceRoot(Root());
        return ok;
    }
};

TEST_F(TravlekDeviceTest, AMainNavigationUnitAndAnotherUnit) {
    const std::string nvq = Root() + "/nvq";
    tooltest::Result r = Init(nvq + " --app nvq --screen 480x272");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* rel : {"/Program/travlek.pack", "/Residentflash2/app/nvqmain.exe", "/SDMMC/nvqApp.msk",
                            "/SDMMC/FactoryConfig.xml", "/registry.reg"}) {
        EXPECT_TRUE(testsupport::HostExists(nvq + rel)) << rel;
    }
    EXPECT_FALSE(testsupport::HostExists(nvq + "/SDMMC/gpsApp.msk"));
    EXPECT_EQ(testsupport::ReadHostFile(nvq + "/device.ini"), "screen=480x272\n");
    EXPECT_EQ(ConfiguredApp(nvq), u"\\residentflash2\\app\\nvqmain.exe");
    EXPECT_TRUE(Opens(nvq, u"\\SDMMC\\nvqApp.msk", MSK_PASSWORD_NVQ));
    EXPECT_FALSE(Opens(nvq, u"\\SDMMC\\nvqApp.msk", MSK_PASSWORD_GPS));

    const std::string gps = Root() + "/gps";
    r = Init(gps + " --package " + DEMO_APP_DIR);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(testsupport::HostExists(gps + "/SDMMC/gpsApp.msk"));
    EXPECT_FALSE(testsupport::HostExists(gps + "/SDMMC/nvqApp.msk"));
    EXPECT_EQ(testsupport::ReadHostFile(gps + "/device.ini"), "screen=800x480\n");
    const std::u16string app = ConfiguredApp(gps);
    EXPECT_NE(app, u"\\residentflash2\\app\\nvqmain.exe");
    EXPECT_EQ(app.rfind(u"\\residentflash2\\app\\", 0), 0u) << WideToUtf8(app);
    EXPECT_TRUE(Opens(gps, u"\\SDMMC\\gpsApp.msk", MSK_PASSWORD_GPS));
    EXPECT_FALSE(Opens(gps, u"\\SDMMC\\gpsApp.msk", MSK_PASSWORD_NVQ));
    // The program that the registry names is the one the old application holds.
    EXPECT_TRUE(testsupport::HostExists(gps + "/Residentflash2/app/" + WideToUtf8(app.substr(20))));
}

TEST_F(TravlekDeviceTest, RefusesWhatWouldSpoilAFolderOrMakeAUselessDevice) {
    testsupport::WriteHostFile(Root() + "/used/keep.txt", "mine");
    tooltest::Result r = Init(Root() + "/used");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not an empty folder"), std::string::npos) << r.err;
    EXPECT_EQ(testsupport::ReadHostFile(Root() + "/used/keep.txt"), "mine");

    r = Init(Root() + "/d --package " + Root() + "/no-such-folder");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(testsupport::HostExists(Root() + "/d"));

    testsupport::WriteHostFile(Root() + "/bad.pack", "not a pack at all");
    r = Init(Root() + "/d --pack " + Root() + "/bad.pack");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is not a resource pack"), std::string::npos) << r.err;
    EXPECT_FALSE(testsupport::HostExists(Root() + "/d"));

    EXPECT_EQ(Init(Root() + "/d --screen 640x480").status, 2);
    EXPECT_EQ(Init(Root() + "/d --app tomtom").status, 2);
    EXPECT_EQ(Init("").status, 2);
}

TEST_F(TravlekDeviceTest, ASignKeySignsThePackageAndConfiguresTheUnitWithItsPublicKey) {
    std::string secret, pub;
    ASSERT_TRUE(MskGenerateKeyPair(&secret, &pub));
    testsupport::WriteHostFile(Root() + "/maker.key", secret);
    const std::string nvq = Root() + "/nvq";
    tooltest::Result r = Init(nvq + " --app nvq --sign-key " + Root() + "/maker.key");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("SDMMC/nvqApp.msk.sig"), std::string::npos) << r.out;

    // The unit's key is the public key file's line without its line end, and the signature beside
    // the package passes under it.
    PlatformSetDeviceRoot(nvq);
    HKEY hKey = NULL;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"OEM", 0, TRAVLEK_OEM_KEY_ACCESS, &hKey), ERROR_SUCCESS);
    WCHAR szKey[256] = {};
    DWORD dwType = 0, cb = sizeof(szKey);
    EXPECT_EQ(RegQueryValueExW(hKey, u"UpdateKey", NULL, &dwType, reinterpret_cast<LPBYTE>(szKey), &cb),
              ERROR_SUCCESS);
    RegCloseKey(hKey);
    EXPECT_EQ(dwType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(WideToUtf8(szKey) + "\n", pub);
    std::string signature;
    ASSERT_TRUE(MskReadKeyFile(MskSignaturePath(u"\\SDMMC\\nvqApp.msk").c_str(), &signature, NULL));
    HANDLE hPackage =
        CreateFileW(u"\\SDMMC\\nvqApp.msk", GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    std::u16string why;
    EXPECT_EQ(MskCheckPackageSignature(hPackage, signature, WideToUtf8(szKey), MskPackageBytesFn(), &why),
              MSK_SIGNATURE_OK)
        << WideToUtf8(why);
    CloseHandle(hPackage);
    PlatformSetDeviceRoot(Root());
    EXPECT_TRUE(Opens(nvq, u"\\SDMMC\\nvqApp.msk", MSK_PASSWORD_NVQ));

    // Without a key nothing is signed and no key is configured.
    const std::string plain = Root() + "/plain";
    ASSERT_EQ(Init(plain).status, 0);
    EXPECT_FALSE(testsupport::HostExists(plain + "/SDMMC/gpsApp.msk.sig"));
    EXPECT_EQ(testsupport::ReadHostFile(plain + "/registry.reg").find("UpdateKey"), std::string::npos);

    // A key that cannot be used makes no device.
    testsupport::WriteHostFile(Root() + "/maker.pub", pub);
    for (const std::string& key : {Root() + "/maker.pub", Root() + "/missing.key"}) {
        r = Init(Root() + "/d --sign-key " + key);
        EXPECT_EQ(r.status, 1) << key;
        EXPECT_EQ(r.err.rfind("travlek-device: " + key + ": ", 0), 0u) << r.err;
        EXPECT_FALSE(testsupport::HostExists(Root() + "/d"));
    }
}

TEST_F(TravlekDeviceTest, AFailedInitLeavesTheFolderAsItFoundIt) {
    // A name the unit cannot take is only refused while the package is written, after the device's
    // other files are there.
    const std::string package = Root() + "/bad-name";
    testsupport::WriteHostFile(package + "/navi.exe", "new");
    testsupport::WriteHostFile(package + "/bad\x01name.txt", "x");
    tooltest::Result r = Init(Root() + "/d --package " + package);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot build the package"), std::string::npos) << r.err;
    EXPECT_FALSE(testsupport::HostExists(Root() + "/d"));

    // A folder that was there empty stays, empty; the same command then works once the name is fixed.
    testsupport::MakeHostFolders(Root() + "/empty");
    r = Init(Root() + "/empty --package " + package);
    EXPECT_EQ(r.status, 1);
    ASSERT_TRUE(testsupport::HostExists(Root() + "/empty"));
    EXPECT_TRUE(std::filesystem::is_empty(Root() + "/empty"));
    std::filesystem::remove(package + "/bad\x01name.txt");
    r = Init(Root() + "/empty --package " + package);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(TravlekDeviceTest, EveryCaseCollisionIsListedAtOnce) {
    const std::string package = Root() + "/twins";
    for (const char* name : {"navi.exe", "Readme.txt", "README.TXT", "maps/Europe.map", "maps/europe.map",
                             "maps/europe.MAP", "maps/asia.map"}) {
        testsupport::WriteHostFile(package + "/" + name, name);
    }
    tooltest::Result r = Init(Root() + "/d --package " + package);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("holds 2 set(s) of names"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("'Readme.txt'"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("'README.TXT'"), std::string::npos) << r.err;
    for (const char* name : {"'maps\\Europe.map'", "'maps\\europe.map'", "'maps\\europe.MAP'"}) {
        EXPECT_NE(r.err.find(name), std::string::npos) << name << "\n" << r.err;
    }
    EXPECT_EQ(r.err.find("asia"), std::string::npos) << r.err;
    EXPECT_FALSE(testsupport::HostExists(Root() + "/d"));
}

} // namespace
