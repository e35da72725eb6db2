#include "MskTestSupport.h"
#include "wceui/core/FhScramble.h"
#include "package/MskInflate.h"
#include "package/MskUnpacker.h"
#include "package/MskWriter.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/mount.h>
#include <unistd.h>

using namespace msktest;
using testsupport::HostExists;
using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

const DWORD kKey = FhPasswordToKey(u"pwd_tanzo");
const LPCWSTR kPackage = u"\\SDMMC\\gpsApp.msk";
const LPCWSTR kDest = u"\\Residentflash2";

// Every case runs twice: with the one-call decode of files up to 1 MB, and with every file decoded in
// pieces of 1 KB, so both paths give the same results, messages and callbacks.
class MskUnpack : public DeviceFolderTest, public ::testing::WithParamInterface<bool> {
protected:
    MskDecodeOptions Options() const {
        MskDecodeOptions o;
        if (GetParam())
            o.pieceSize = 1024;
        else
            o.wholeFileLimit = 1u << 20;
        return o;
    }
    void SetUp() override {
        DeviceFolderTest::SetUp();
        testsupport::MakeHostFolders(Root() + "/SDMMC");
        testsupport::MakeHostFolders(Root() + "/Residentflash2");
    }
    void Put(const RawPackage& p) { WriteHostFile(Root() + "/SDMMC/gpsApp.msk", Build(p)); }
    RawPackage Package(std::vector<RawEntry> entries) {
        RawPackage p;
        p.key = kKey;
        p.entries = std::move(entries);
        return p;
    }
    std::u16string Open(DWORD key = kKey) {
        CMskUnpacker unpacker;
        std::u16string error = u"untouched";
        BOOL ok = unpacker.Open(kPackage, key, error);
        EXPECT_EQ(ok, error == u"untouched") << WideToUtf8(error);
        return error;
    }
    std::u16string Unpack(CProgressRecorder* recorder = nullptr, LPCWSTR dest = kDest, DWORD key = kKey) {
        CMskUnpacker unpacker;
        unpacker.SetDecodeOptions(Options());
        if (recorder)
            unpacker.SetProgressCallback(&CProgressRecorder::Callback, recorder);
        std::u16string error = u"untouched";
        BOOL ok = unpacker.Unpack(kPackage, dest, key, error);
        EXPECT_EQ(ok, error.empty()) << WideToUtf8(error);
        return error;
    }
    std::u16string Verify(CProgressRecorder* recorder = nullptr) {
        CMskUnpacker unpacker;
        unpacker.SetDecodeOptions(Options());
        if (recorder)
            unpacker.SetProgressCallback(&CProgressRecorder::Callback, recorder);
        std::u16string error = u"untouched";
        BOOL ok = unpacker.Verify(kPackage, kKey, error);
        EXPECT_EQ(ok, error.empty()) << WideToUtf8(error);
        return error;
    }
    std::string Out(const std::string& relative) const { return Root() + "/Residentflash2/app/" + relative; }
};

std::string Bytes(size_t n, unsigned seed) {
    std::string s(n, '\0');
    uint32_t x = seed * 2654435761u + 1;
    for (auto& c : s) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return s;
}

} // namespace

TEST_P(MskUnpack, RoundTripFromTheWriterRecreatesTheTree) {
    const std::string src = Root() + "/src";
    WriteHostFile(src + "/nvqmain.exe", Bytes(70000, 1));
    WriteHostFile(src + "/config/settings.ini", "[map]\nzoom=3\n");
    WriteHostFile(src + "/config/empty.txt", "");
    WriteHostFile(src + "/lang/Kartenübersicht.txt", std::string(5000, 'x'));
    testsupport::MakeHostFolders(src + "/logs/old");

    CMskWriter writer;
    std::u16string error;
    EXPECT_FALSE(writer.AddHostTree(Root() + "/missing", error));
    EXPECT_EQ(error, u"not a folder: " + Utf8ToWide(Root() + "/missing"));
    ASSERT_TRUE(writer.AddHostTree(src, error)) << WideToUtf8(error);
    ASSERT_TRUE(writer.Write(kPackage, u"app", kKey, error)) << WideToUtf8(error);
    EXPECT_EQ(writer.GetStats().files, 4u);
    EXPECT_EQ(writer.GetStats().folders, 4u);

    EXPECT_EQ(Open(), u"untouched");
    CProgressRecorder recorder;
    ASSERT_EQ(Unpack(&recorder), u"");
    EXPECT_EQ(ReadHostFile(Out("nvqmain.exe")), Bytes(70000, 1));
    EXPECT_EQ(ReadHostFile(Out("config/settings.ini")), "[map]\nzoom=3\n");
    EXPECT_TRUE(HostExists(Out("config/empty.txt")));
    EXPECT_EQ(ReadHostFile(Out("config/empty.txt")), "");
    EXPECT_EQ(ReadHostFile(Out("lang/Kartenübersicht.txt")), std::string(5000, 'x'));
    EXPECT_TRUE(std::filesystem::is_directory(Out("logs/old")));
    // Folders first (sorted ignoring case), then files; index counts from 0, total counts everything.
    std::vector<std::u16string> order;
    for (const auto& c : recorder.Calls()) {
        EXPECT_EQ(c.total, 8);
        EXPECT_EQ(c.index, static_cast<LONG>(order.size()));
        order.push_back(c.path);
    }
    EXPECT_EQ(order, (std::vector<std::u16string>{u"config", u"lang", u"logs", u"logs\\old",
                                                  u"config\\empty.txt", u"config\\settings.ini",
                                                  u"lang\\Kartenübersicht.txt", u"nvqmain.exe"}));
    // Both decoders read the writer's streams alike.
    CMskUnpacker zlibOnly;
    MskDecodeOptions options;
    options.decoder = MSK_DECODER_ZLIB;
    zlibOnly.SetDecodeOptions(options);
    EXPECT_TRUE(zlibOnly.Verify(kPackage, kKey, error)) << WideToUtf8(error);
}

TEST_P(MskUnpack, OpenReportsTheErrorKeys) {
    EXPECT_EQ(Open(), u"open file \\SDMMC\\gpsApp.msk failed, error code is 2");

    Put(Package({File(u"a.txt", "alpha")}));
    EXPECT_EQ(Open(), u"untouched");
    EXPECT_EQ(Open(FhPasswordToKey(u"pwd_ruv")), u"crc_check_fail");

    std::string good = Build(Package({File(u"a.txt", "alpha")}));
    auto put = [&](const std::string& bytes) { WriteHostFile(Root() + "/SDMMC/gpsApp.msk", bytes); };
    put("\x46\xFA" + good.substr(2));
    EXPECT_EQ(Open(), u"invalid_msk_file");
    put("\x45");
    EXPECT_EQ(Open(), u"invalid_msk_file");
    put(good.substr(0, 43)); // right magic, no room for the header words
    EXPECT_EQ(Open(), u"file_format_error");
    put(good.substr(0, 60)); // cut inside the table
    EXPECT_EQ(Open(), u"file_format_error");
    put(good.substr(0, good.size() - 1)); // the stream of a.txt would end past the end of the file
    EXPECT_EQ(Open(), u"file_format_error");
    RawPackage p = Package({File(u"a.txt", "alpha")});
    p.tableEnd = 1u << 30; // beyond the file: refused without reading or allocating
    Put(p);
    EXPECT_EQ(Open(), u"file_format_error");
    p.tableEnd = 40;
    Put(p);
    EXPECT_EQ(Open(), u"file_format_error");
    p = Package({File(u"a.txt", "alpha")});
    p.headerCheckWord = 0x12345679;
    Put(p);
    EXPECT_EQ(Open(), u"crc_check_fail");
}

TEST_P(MskUnpack, UnpackChecksItsArgumentsAndTheTable) {
    EXPECT_EQ(Unpack(), u"the file for unpack '\\SDMMC\\gpsApp.msk' is not valid");
    Put(Package({File(u"a.txt", "alpha")}));
    EXPECT_EQ(Unpack(nullptr, u"\\missing"), u"the unpack directory '\\missing' is not valid");
    EXPECT_EQ(Unpack(nullptr, kPackage), u"the unpack directory '\\SDMMC\\gpsApp.msk' is not valid");
    testsupport::MakeHostFolders(Root() + "/folder.msk");
    {
        CMskUnpacker unpacker;
        std::u16string error;
        EXPECT_FALSE(unpacker.Unpack(u"\\folder.msk", kDest, kKey, error));
        EXPECT_EQ(error, u"the file for unpack '\\folder.msk' is not valid");
    }
    EXPECT_EQ(Unpack(nullptr, kDest, FhPasswordToKey(u"pwd_ruv")), u"check CRC failed, Wrong password?");

    RawPackage p = Package({File(u"a.txt", "alpha")});
    p.nameLength = 260;
    p.tableTail = std::string(600, '\0');
    Put(p);
    EXPECT_EQ(Unpack(), u"check CRC failed, Wrong password?");
    // 259 units is still a name field: "app" padded with NULs.
    p = Package({File(u"a.txt", "alpha")});
    p.root = u"app" + std::u16string(255, u'\0');
    Put(p);
    EXPECT_EQ(Unpack(), u"");
    EXPECT_EQ(ReadHostFile(Out("a.txt")), "alpha");
    std::filesystem::remove_all(Root() + "/Residentflash2/app");
    p = Package({File(u"a.txt", "alpha")});
    p.nameLength = 2; // unit 1 of "app" is 'p', not NUL
    Put(p);
    EXPECT_EQ(Unpack(), u"check CRC failed, Wrong password?");

    std::string good = Build(Package({File(u"a.txt", "alpha")}));
    WriteHostFile(Root() + "/SDMMC/gpsApp.msk", "\x45\xFA" + std::string(20, '\0'));
    EXPECT_EQ(Unpack(), u"read failed \\SDMMC\\gpsApp.msk");
    WriteHostFile(Root() + "/SDMMC/gpsApp.msk", good.substr(0, 60));
    EXPECT_EQ(Unpack(), u"read failed \\SDMMC\\gpsApp.msk");
    WriteHostFile(Root() + "/SDMMC/gpsApp.msk", "PK" + good.substr(2));
    EXPECT_EQ(Unpack(), u"invalid_msk_file");
    EXPECT_FALSE(HostExists(Root() + "/Residentflash2/app"));
}

TEST_P(MskUnpack, TargetFolderIsFormedFromDestinationAndRoot) {
    Put(Package({File(u"a.txt", "alpha")}));
    EXPECT_EQ(Unpack(nullptr, u"\\Residentflash2\\"), u"");
    EXPECT_EQ(ReadHostFile(Out("a.txt")), "alpha");
    testsupport::MakeHostFolders(Root() + "/other");
    EXPECT_EQ(Unpack(nullptr, u"/other/"), u"");
    EXPECT_EQ(ReadHostFile(Root() + "/other/app/a.txt"), "alpha");

    // A file where the root folder should be: the target path ends in a separator, which after a
    // file names nothing on the device, so the target counts as missing and cannot be created.
    WriteHostFile(Root() + "/blocked/app", "a file where the root folder should be");
    EXPECT_EQ(Unpack(nullptr, u"\\blocked"), u"can not create directory: \\blocked\\app\\\n");
    // A target the device cannot name cannot be created.
    std::u16string deep = u"\\Residentflash2\\" + std::u16string(241, u'd'); // 257 units, target 262
    testsupport::MakeHostFolders(PlatformHostPath(deep.c_str()));
    EXPECT_EQ(Unpack(nullptr, deep.c_str()), u"can not create directory: " + deep + u"\\app\\\n");
}

// The device names paths of up to 259 units: destination, root and entry path together.
TEST_P(MskUnpack, AWholePathOf259UnitsUnpacksAndOf260IsRefusedBeforeWriting) {
    const std::u16string target = u"\\Residentflash2\\app\\"; // 20 units
    const std::u16string folder(120, u'f');
    auto entryPath = [&](size_t whole) {
        return folder + u"\\" + std::u16string(whole - target.size() - folder.size() - 1, u'n');
    };
    const std::u16string fits = entryPath(259);
    ASSERT_EQ(target.size() + fits.size(), 259u);
    Put(Package({Folder(folder), File(u"first.txt", "1"), File(fits, "fits")}));
    ASSERT_EQ(Unpack(), u"");
    EXPECT_EQ(ReadHostFile(PlatformHostPath((target + fits).c_str())), "fits");

    std::filesystem::remove_all(Root() + "/Residentflash2/app");
    const std::u16string tooLong = entryPath(260);
    Put(Package({Folder(folder), File(u"first.txt", "1"), File(tooLong, "too long")}));
    CMskUnpacker unpacker;
    unpacker.SetDecodeOptions(Options());
    std::u16string error;
    EXPECT_FALSE(unpacker.Unpack(kPackage, kDest, kKey, error));
    EXPECT_EQ(error, u"invalid entry path " + tooLong);
    EXPECT_EQ(std::u16string(unpacker.GetTableProblem()),
              u"entry '" + tooLong + u"': path too long for this destination");
    EXPECT_FALSE(HostExists(Root() + "/Residentflash2/app"));
}

TEST_P(MskUnpack, FoldersComeFirstAndTheCallbackCountsEveryEntry) {
    RawEntry other = Folder(u"ignored");
    other.type = 7;
    Put(Package({File(u"a\\x.txt", "x"), Folder(u"a"), other, File(u"y.txt", "y"), Folder(u"b\\c")}));
    CProgressRecorder recorder;
    ASSERT_EQ(Unpack(&recorder), u"");
    ASSERT_EQ(recorder.Calls().size(), 4u);
    const std::pair<LONG, std::u16string> expected[] = {
        {0, u"a"}, {1, u"b\\c"}, {2, u"a\\x.txt"}, {3, u"y.txt"}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(recorder.Calls()[i].index, expected[i].first);
        EXPECT_EQ(recorder.Calls()[i].path, expected[i].second);
        EXPECT_EQ(recorder.Calls()[i].total, 5);
    }
    EXPECT_EQ(ReadHostFile(Out("a/x.txt")), "x");
    EXPECT_TRUE(std::filesystem::is_directory(Out("b/c")));
    EXPECT_FALSE(HostExists(Out("ignored")));

    CProgressRecorder verifyRecorder;
    EXPECT_EQ(Verify(&verifyRecorder), u"");
    ASSERT_EQ(verifyRecorder.Calls().size(), 4u);
    EXPECT_EQ(verifyRecorder.Calls()[2].path, u"a\\x.txt");
}

TEST_P(MskUnpack, ACancelStopsAfterTheEntryItWasCalledFor) {
    Put(Package({Folder(u"a"), Folder(u"b"), File(u"a\\x.txt", "x"), File(u"y.txt", "y")}));
    CProgressRecorder onFirstFolder(0);
    EXPECT_EQ(Unpack(&onFirstFolder), u"user_cancel");
    EXPECT_EQ(onFirstFolder.Calls().size(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(Out("a")));
    EXPECT_FALSE(HostExists(Out("b")));

    CProgressRecorder onFirstFile(2);
    EXPECT_EQ(Unpack(&onFirstFile), u"user_cancel");
    EXPECT_EQ(ReadHostFile(Out("a/x.txt")), "x");
    EXPECT_FALSE(HostExists(Out("y.txt")));

    CProgressRecorder verifyCancel(3);
    EXPECT_EQ(Verify(&verifyCancel), u"user_cancel");
}

TEST_P(MskUnpack, StreamsThatDoNotGiveTheirSizeFailAndWriteNothing) {
    RawEntry longer = File(u"b.txt", "bravo");
    longer.unpackedSize = 6;
    Put(Package({File(u"a.txt", "alpha"), longer}));
    EXPECT_EQ(Unpack(), u"uncompress failed");
    EXPECT_EQ(ReadHostFile(Out("a.txt")), "alpha"); // written before the failure, and kept
    EXPECT_FALSE(HostExists(Out("b.txt")));
    EXPECT_EQ(Open(), u"untouched"); // the table itself is sound
    EXPECT_EQ(Verify(), u"uncompress failed");

    RawEntry shorter = File(u"b.txt", "bravo");
    shorter.unpackedSize = 4;
    Put(Package({shorter}));
    EXPECT_EQ(Unpack(), u"uncompress failed");

    RawEntry damaged = File(u"b.txt", std::string(3000, 'z'));
    std::string stream = Compress(damaged.content);
    stream[stream.size() - 1] ^= 1; // the Adler-32 no longer matches
    damaged.stream = stream;
    Put(Package({damaged}));
    EXPECT_EQ(Unpack(), u"uncompress failed");
}

TEST_P(MskUnpack, OutputCreationIsTriedFourTimes) {
    Put(Package({File(u"a.txt", "alpha")}));
    ASSERT_EQ(Unpack(), u"");

    // The first three attempts fail, the fourth succeeds. Calls: table, package, then the output.
    WriteHostFile(Out("a.txt"), "old");
    PlatformClearFaults();
    PlatformFailCreate(3, 3, ERROR_SHARING_VIOLATION);
    EXPECT_EQ(Unpack(), u"");
    EXPECT_EQ(PlatformCreateFileCalls(), 2 + 4);
    EXPECT_EQ(ReadHostFile(Out("a.txt")), "alpha");
    PlatformClearFaults();

    // A file held open without sharing refuses every attempt.
    HANDLE held =
        CreateFileW(u"\\Residentflash2\\app\\a.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    PlatformClearFaults();
    EXPECT_EQ(Unpack(), u"CreateFile \\Residentflash2\\app\\a.txt failed, GetLastError is 32");
    EXPECT_EQ(PlatformCreateFileCalls(), 2 + 4);
    CloseHandle(held);
    EXPECT_EQ(Unpack(), u"");
}

TEST_P(MskUnpack, WriteFailuresMapDiskFullToItsKey) {
    Put(Package({File(u"a.txt", "alpha"), File(u"b.txt", "bravo")}));
    PlatformFailWrite(2, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Unpack(), u"WriteFile \\Residentflash2\\app\\b.txt failed, GetLastError is 5");
    EXPECT_EQ(ReadHostFile(Out("a.txt")), "alpha");
    EXPECT_TRUE(HostExists(Out("b.txt"))); // created, then the write failed: it stays
    PlatformFailWrite(1, ERROR_DISK_FULL);
    EXPECT_EQ(Unpack(), u"error_disk_full");
}

TEST_P(MskUnpack, ShortReadsOfTheHeaderTableAndStreams) {
    Put(Package({File(u"a.txt", "alpha")}));
    // Reads of Open: magic, header words, table.
    PlatformShortRead(1, 1);
    EXPECT_EQ(Open(), u"invalid_msk_file");
    PlatformShortRead(2, 11);
    EXPECT_EQ(Open(), u"file_format_error");
    PlatformShortRead(3, 3);
    EXPECT_EQ(Open(), u"file_format_error");
    // Reads of Unpack: the same three, then the stream of a.txt.
    PlatformShortRead(2, 11);
    EXPECT_EQ(Unpack(), u"read failed \\SDMMC\\gpsApp.msk");
    PlatformShortRead(3, 3);
    EXPECT_EQ(Unpack(), u"read failed \\SDMMC\\gpsApp.msk");
    PlatformShortRead(4, 2);
    std::u16string error = Unpack();
    EXPECT_EQ(error.rfind(u"ReadFile failed for \\Residentflash2\\app\\a.txt, GetLastError is ", 0), 0u)
        << WideToUtf8(error);
    EXPECT_FALSE(HostExists(Out("a.txt")));
    PlatformShortRead(4, 2);
    error = Verify();
    EXPECT_EQ(error.rfind(u"ReadFile failed for app\\a.txt, GetLastError is ", 0), 0u) << WideToUtf8(error);
}

// The result of an operation says what failed and where: the stage decides the unit's key (Open
// refuses a table as a whole), and a stream's failure names its entry apart from the file.
TEST_P(MskUnpack, TheResultNamesTheFailureItsStageAndItsEntry) {
    RawEntry bad = File(u"sub\\b.bin", "beta");
    bad.stream = std::string("\x78\x9C\xFF\xFF", 4);
    Put(Package({Folder(u"sub"), File(u"a.txt", "alpha"), bad}));
    CMskUnpacker unpacker;
    unpacker.SetDecodeOptions(Options());
    MskResult result;
    EXPECT_FALSE(unpacker.Verify(kPackage, kKey, result));
    EXPECT_EQ(result.failure, MskFailure::StreamDamaged);
    EXPECT_EQ(result.entry, u"sub\\b.bin");
    EXPECT_EQ(result.path, u"app\\sub\\b.bin");
    EXPECT_EQ(MskResultKey(result), u"uncompress failed");
    EXPECT_FALSE(unpacker.Unpack(kPackage, kDest, kKey, result));
    EXPECT_EQ(result.failure, MskFailure::StreamDamaged);
    EXPECT_EQ(result.entry, u"sub\\b.bin");
    EXPECT_EQ(result.path, u"\\Residentflash2\\app\\sub\\b.bin");

    const DWORD wrongKey = FhPasswordToKey(u"pwd_ruv");
    EXPECT_FALSE(unpacker.Open(kPackage, wrongKey, result));
    EXPECT_EQ(result.failure, MskFailure::WrongPassword);
    EXPECT_EQ(result.stage, MskStage::Open);
    EXPECT_EQ(MskResultKey(result), u"crc_check_fail");
    EXPECT_FALSE(unpacker.ReadTable(kPackage, wrongKey, result));
    EXPECT_EQ(result.failure, MskFailure::WrongPassword);
    EXPECT_EQ(result.stage, MskStage::Table);
    EXPECT_EQ(MskResultKey(result), u"check CRC failed, Wrong password?");

    Put(Package({File(u"ok.txt", "1"), File(u"..\\up.txt", "2")}));
    EXPECT_FALSE(unpacker.Unpack(kPackage, kDest, kKey, result));
    EXPECT_EQ(result.failure, MskFailure::UnsafePath);
    EXPECT_EQ(result.entry, u"..\\up.txt");
    EXPECT_EQ(result.detail, u"parent folder component");
    EXPECT_FALSE(unpacker.Open(kPackage, kKey, result));
    EXPECT_EQ(MskResultKey(result), u"file_format_error");

    EXPECT_FALSE(unpacker.Verify(u"\\SDMMC\\none.msk", kKey, result));
    EXPECT_EQ(result.failure, MskFailure::OpenFailed);
    EXPECT_EQ(result.systemError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(result.path, u"\\SDMMC\\none.msk");
    // A success leaves no failure behind from the operation before.
    Put(Package({File(u"a.txt", "alpha")}));
    EXPECT_TRUE(unpacker.Verify(kPackage, kKey, result));
    EXPECT_TRUE(result.Ok());
}

// Small streams are read many to one read of the package, larger ones straight: streams that start,
// end or lie across the edges of what one read holds all decode to their files, whether checked,
// unpacked, or checked and then unpacked from the one handle.
TEST_P(MskUnpack, StreamsAcrossTheEdgesOfOneReadDecodeToTheirFiles) {
    std::vector<RawEntry> entries = {Folder(u"d")};
    for (int i = 0; i < 60; ++i) // stored sizes from 0 to a few times the read's size
        entries.push_back(File(WFormat(u"d\\f%02d.bin", i), Bytes(static_cast<size_t>(i * i), i)));
    Put(Package(entries));
    EXPECT_EQ(Verify(), u"");
    EXPECT_EQ(Unpack(), u"");
    for (int i = 0; i < 60; ++i)
        ASSERT_EQ(testsupport::ReadHostFile(Out("d/" + WideToUtf8(WFormat(u"f%02d.bin", i)))),
                  Bytes(static_cast<size_t>(i * i), i))
            << i;

    CMskUnpacker unpacker;
    unpacker.SetDecodeOptions(Options());
    std::u16string error;
    ASSERT_TRUE(unpacker.Open(kPackage, kKey, error)) << WideToUtf8(error);
    ASSERT_TRUE(unpacker.VerifyOpened(error)) << WideToUtf8(error);
    ASSERT_TRUE(unpacker.UnpackOpened(u"\\Residentflash2\\again", error)) << WideToUtf8(error);
    EXPECT_EQ(testsupport::ReadHostFile(Root() + "/Residentflash2/again/d/f59.bin"), Bytes(59 * 59, 59));
}

TEST_P(MskUnpack, AFailedSeekToAStreamNamesTheFileBeingWritten) {
    Put(Package({File(u"a.txt", "alpha")}));
    PlatformFailSeek(2, ERROR_GEN_FAILURE); // the first seek is to the header words
    EXPECT_EQ(Unpack(), u"SetFilePointer for \\Residentflash2\\app\\a.txt failed, GetLastError is 31");
    EXPECT_FALSE(HostExists(Out("a.txt")));
}

TEST_P(MskUnpack, AFolderThatCannotBeCreatedStopsTheUnpack) {
    WriteHostFile(Out("data"), "a file in the way");
    Put(Package({Folder(u"data"), File(u"a.txt", "alpha")}));
    EXPECT_EQ(Unpack(), u"can not create directory: \\Residentflash2\\app\\data");
    EXPECT_FALSE(HostExists(Out("a.txt")));
}

TEST_P(MskUnpack, PackageThatCannotBeOpenedAgainForTheFiles) {
    Put(Package({File(u"a.txt", "alpha")}));
    PlatformFailCreate(2, 1, ERROR_SHARING_VIOLATION); // the table loads, the second open fails
    EXPECT_EQ(Unpack(), u"open file \\SDMMC\\gpsApp.msk failed, error code is 32");
    PlatformFailCreate(1, 1, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Unpack(), u"open file \\SDMMC\\gpsApp.msk failed, GetLastError is 5");
}

// Real disk full: a small tmpfs, mounted by the test when it runs as root.
TEST_P(MskUnpack, AFullVolumeGivesTheDiskFullKeyAndKeepsThePartialFile) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const std::string volume = Root() + "/Residentflash2";
    if (mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{volume};

    const std::string big = Bytes(600 * 1024, 7); // incompressible, larger than the volume
    Put(Package({File(u"small.txt", "fits"), File(u"big.bin", big)}));
    EXPECT_EQ(Unpack(), u"error_disk_full");
    EXPECT_EQ(ReadHostFile(Out("small.txt")), "fits");
    ASSERT_TRUE(HostExists(Out("big.bin")));
    size_t partial = std::filesystem::file_size(Out("big.bin"));
    EXPECT_GT(partial, 0u);
    EXPECT_LT(partial, big.size());
}

INSTANTIATE_TEST_SUITE_P(WholeAndInPieces, MskUnpack, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                             return i.param ? "Pieces" : "Whole";
                         });
