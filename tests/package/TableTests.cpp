#include "MskTestSupport.h"
#include "wceui/core/FhScramble.h"
#include "package/MskFormat.h"
#include "package/MskUnpacker.h"
#include "package/MskWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace msktest;
using testsupport::HostExists;
using testsupport::WriteHostFile;

namespace {

const DWORD kKey = FhPasswordToKey(u"pwd_tanzo");

struct Outcome {
    std::u16string open, unpack, verify;
};

class MskTables : public DeviceFolderTest {
protected:
    void SetUp() override {
        DeviceFolderTest::SetUp();
        testsupport::MakeHostFolders(Root() + "/Residentflash2");
    }
    Outcome Run(const std::string& bytes) {
        WriteHostFile(Root() + "/SDMMC/gpsApp.msk", bytes);
        Outcome o;
        CMskUnpacker unpacker;
        o.open = u"ok";
        unpacker.Open(u"\\SDMMC\\gpsApp.msk", kKey, o.open);
        unpacker.Unpack(u"\\SDMMC\\gpsApp.msk", u"\\Residentflash2", kKey, o.unpack);
        unpacker.Verify(u"\\SDMMC\\gpsApp.msk", kKey, o.verify);
        return o;
    }
    RawPackage Package(std::vector<RawEntry> entries) {
        RawPackage p;
        p.key = kKey;
        p.entries = std::move(entries);
        return p;
    }
};

} // namespace

// Tables that do not hold together are refused by Open with the format key, and by Unpack and Verify
// with a message that says what is wrong, before anything is written.
TEST_F(MskTables, MalformedTablesAreRefusedBeforeAnythingIsWritten) {
    struct Case {
        const char* name;
        std::function<void(RawPackage&)> damage;
        const char16_t* detail;
    };
    const Case cases[] = {
        {"entry length zero", [](RawPackage& p) { p.entries[1].length = 0; }, u"entry 1 has the length 0"},
        {"negative entry length", [](RawPackage& p) { p.entries[0].length = 0xFFFFFFF0u; },
         u"entry 0 has the length -16"},
        {"entry past the table", [](RawPackage& p) { p.entries[1].length = 1000; },
         u"entry 1 runs past the table end"},
        {"entry too short for its path", [](RawPackage& p) { p.entries[0].length = 30; },
         u"the path of entry 0 is not terminated inside it"},
        {"path without NUL", [](RawPackage& p) { p.entries[1].length = 28 + 2 * 5; },
         u"the path of entry 1 is not terminated inside it"},
        {"trailing bytes", [](RawPackage& p) { p.tableTail = std::string(12, '\x7F'); },
         u"entry 2 at offset 108 is cut off by the table end"},
        {"data outside the file", [](RawPackage& p) { p.entries[1].dataOffset = 1u << 20; },
         u"the data of entry 1 lies outside the file"},
        {"stored size past the end", [](RawPackage& p) { p.entries[1].storedSize = 0xFFFFFF00u; },
         u"the data of entry 1 lies outside the file"},
        {"name length zero", [](RawPackage& p) { p.nameLength = 0; }, u"root folder name length 0"},
        {"negative name length", [](RawPackage& p) { p.nameLength = -5; }, u"root folder name length -5"},
        {"name past the table", [](RawPackage& p) { p.nameLength = 200; },
         u"the root folder name runs past the table end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawPackage p = Package({Folder(u"dir"), File(u"dir\\a.txt", "alpha")});
        c.damage(p);
        Outcome o = Run(Build(p));
        EXPECT_EQ(o.open, u"file_format_error");
        EXPECT_EQ(o.unpack, std::u16string(u"file table of \\SDMMC\\gpsApp.msk is damaged: ") + c.detail)
            << WideToUtf8(o.unpack);
        EXPECT_EQ(o.verify, o.unpack);
        EXPECT_FALSE(HostExists(Root() + "/Residentflash2/app"));
    }

    // A table end below the header, and a table too short for its own fields.
    RawPackage p = Package({File(u"a.txt", "alpha")});
    p.tableEnd = 43;
    Outcome o = Run(Build(p));
    EXPECT_EQ(o.open, u"file_format_error");
    EXPECT_EQ(o.unpack, u"file table of \\SDMMC\\gpsApp.msk is damaged: table end 43 is below 44");
    p.tableEnd = 44 + 12;
    o = Run(Build(p));
    EXPECT_EQ(o.open, u"file_format_error");
    EXPECT_EQ(o.unpack, u"file table of \\SDMMC\\gpsApp.msk is damaged: the table of 12 bytes is too short");
    // Under another password even a short table tells the wrong password first.
    p.key = kKey ^ 1;
    o = Run(Build(p));
    EXPECT_EQ(o.open, u"crc_check_fail");
    EXPECT_EQ(o.unpack, u"check CRC failed, Wrong password?");
}

// Paths that would leave the target folder, or land twice on one place, refuse the whole package.
TEST_F(MskTables, UnsafeEntryPathsRefuseThePackage) {
    const char16_t* const unsafe[] = {
        u"\\abs.txt",  u"/abs.txt", u"C:\\x.txt", u"C:x.txt",       u"..\\up.txt",   u"a\\..\\..\\up.txt",
        u"a/../b.txt", u"a\\",      u"",          u"tab\there.txt", u"bell\x07.txt", u"del\x7F.txt",
    };
    for (const char16_t* path : unsafe) {
        SCOPED_TRACE(WideToUtf8(path));
        Outcome o = Run(Build(Package({File(u"first.txt", "1"), File(path, "evil")})));
        EXPECT_EQ(o.open, u"file_format_error");
        EXPECT_EQ(o.unpack, u"invalid entry path " + std::u16string(path));
        EXPECT_EQ(o.verify, o.unpack);
        EXPECT_FALSE(HostExists(Root() + "/Residentflash2/app")); // not even the first file
        EXPECT_FALSE(HostExists(Root() + "/up.txt"));
    }
    // Folder entries are held to the same rule; entries of other types are skipped, so not checked.
    Outcome o = Run(Build(Package({Folder(u"..\\outside")})));
    EXPECT_EQ(o.unpack, u"invalid entry path ..\\outside");
    RawEntry skipped = File(u"..\\never", "");
    skipped.type = 9;
    o = Run(Build(Package({skipped, File(u"ok.txt", "fine")})));
    EXPECT_EQ(o.unpack, u"");

    // The root folder name is one plain component.
    for (const char16_t* root : {u"..", u".", u"a\\b", u"\\abs", u"c:"}) {
        RawPackage p = Package({File(u"a.txt", "alpha")});
        p.root = root;
        o = Run(Build(p));
        EXPECT_EQ(o.open, u"file_format_error");
        EXPECT_EQ(o.unpack, u"invalid entry path " + std::u16string(root));
    }
}

// Of several faults of the paths, the one of the entry first in the table is reported.
TEST_F(MskTables, ThePathFaultFirstInTheTableIsTheOneReported) {
    Outcome o = Run(Build(Package({File(u"a.txt", "1"), File(u"A.TXT", "2"), File(u"..\\x", "3")})));
    EXPECT_EQ(o.unpack, u"invalid entry path A.TXT");
    o = Run(Build(Package({File(u"a.txt", "1"), File(u"..\\x", "3"), File(u"A.TXT", "2")})));
    EXPECT_EQ(o.unpack, u"invalid entry path ..\\x");
    // Of two repeats, the one whose earlier twin comes first does not decide: the first repeat does.
    o = Run(Build(Package({File(u"p", "1"), File(u"q", "2"), File(u"Q", "3"), File(u"P", "4")})));
    EXPECT_EQ(o.unpack, u"invalid entry path Q");
    // Below a file: found for any depth, after every repeat has been ruled out.
    o = Run(Build(Package({File(u"f", "1"), Folder(u"g"), File(u"g\\h\\x", "2"), File(u"f\\deep\\y", "3"),
                           File(u"F\\z", "4")})));
    EXPECT_EQ(o.unpack, u"invalid entry path f\\deep\\y");
}

// Separators the device passes over name no new place: such packages unpack as written.
TEST_F(MskTables, EmptyAndDotComponentsAreHarmless) {
    Outcome o = Run(Build(Package(
        {Folder(u"sub\\"), Folder(u""), File(u"sub\\.\\a.txt", "alpha"), File(u"sub\\\\b.txt", "beta")})));
    EXPECT_EQ(o.open, u"ok");
    EXPECT_EQ(o.unpack, u"");
    EXPECT_EQ(testsupport::ReadHostFile(Root() + "/Residentflash2/app/sub/a.txt"), "alpha");
    EXPECT_EQ(testsupport::ReadHostFile(Root() + "/Residentflash2/app/sub/b.txt"), "beta");
    // ... and they do not hide two entries that land on one place.
    o = Run(Build(Package({Folder(u"sub"), File(u"sub\\.\\a.txt", "1"), File(u"SUB\\\\A.TXT", "2")})));
    EXPECT_EQ(o.unpack, u"invalid entry path SUB\\\\A.TXT");
}

TEST_F(MskTables, EntriesThatNameTheSamePlaceIgnoringCaseRefuseThePackage) {
    Outcome o =
        Run(Build(Package({Folder(u"Data"), File(u"Data\\Map.bin", "1"), File(u"data/MAP.BIN", "2")})));
    EXPECT_EQ(o.open, u"file_format_error");
    EXPECT_EQ(o.unpack, u"invalid entry path data/MAP.BIN");
    EXPECT_FALSE(HostExists(Root() + "/Residentflash2/app"));

    o = Run(Build(Package({Folder(u"Maps"), File(u"maps", "a file and a folder in one place")})));
    EXPECT_EQ(o.unpack, u"invalid entry path maps");
    o = Run(Build(Package({Folder(u"x"), Folder(u"x")})));
    EXPECT_EQ(o.unpack, u"invalid entry path x");
    // Latin-1 letters fold as the device folds them.
    o = Run(Build(Package({File(u"\x00C4rger.txt", "1"), File(u"\x00E4rger.txt", "2")})));
    EXPECT_EQ(o.unpack, u"invalid entry path \x00E4rger.txt");
    // Different names are fine, including ones that only look alike.
    o = Run(
        Build(Package({File(u"a.txt", "1"), File(u"a.txt.bak", "2"), File(u"b\\a.txt", "3"), Folder(u"b")})));
    EXPECT_EQ(o.unpack, u"");
}

TEST(MskParse, TheTableIsNeverReadOutsideItsBytes) {
    // Every prefix of a sound table, parsed from a buffer of exactly that size (AddressSanitizer
    // builds see any read past it).
    RawPackage p;
    p.key = 0;
    p.entries = {Folder(u"dir"), File(u"dir\\a.txt", "alpha")};
    std::string bytes = Build(p);
    DWORD tableEnd = static_cast<BYTE>(bytes[32]) | static_cast<BYTE>(bytes[33]) << 8;
    std::string table = bytes.substr(44, tableEnd - 44);
    FhScrambleWords(&table[0], static_cast<DWORD>(table.size()), 0);
    // Only the cuts at entry boundaries leave a table that holds together (with fewer entries).
    std::vector<size_t> sound;
    for (size_t n = 0; n <= table.size(); ++n) {
        std::vector<BYTE> copy(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(n));
        ::MskTable parsed;
        std::u16string detail;
        MskTableResult r =
            MskParseTable(copy.data(), static_cast<DWORD>(n), 0x12345678, bytes.size(), &parsed, &detail);
        if (r == MSK_TABLE_OK) {
            sound.push_back(n);
            EXPECT_EQ(parsed.rootName, u"app");
            EXPECT_EQ(parsed.entries.size(), sound.size() - 1);
        }
    }
    EXPECT_EQ(sound, (std::vector<size_t>{24, 60, 108}));
}

// File data must lie after the table, belong to one entry only, and be able to hold what the entry
// declares: otherwise the package is refused before any stream is read, whatever it declares.
TEST_F(MskTables, FileDataThatOverlapsOrCannotHoldItsSizeIsRefusedBeforeAnyDecode) {
    struct Case {
        const char* name;
        std::function<void(RawPackage&)> damage;
        const char16_t* detail;
    };
    const std::string big(3000, 'z'); // a stream of a few dozen bytes
    const DWORD bigStored = static_cast<DWORD>(Compress(big).size());
    const Case cases[] = {
        {"two files on one stream", [](RawPackage& p) { p.entries[2].sameDataAs = 1; },
         u"entry 'c.txt': its data overlaps entry 'b.txt'"},
        {"a stream that runs into the next",
         [](RawPackage& p) { p.entries[1].storedSize = static_cast<DWORD>(Compress("bravo").size() + 1); },
         u"entry 'c.txt': its data overlaps entry 'b.txt'"},
        {"one byte inside another stream",
         [](RawPackage& p) {
             p.entries[2].sameDataAs = 1;
             p.entries[2].storedSize = 1;
         },
         u"entry 'c.txt': its data overlaps entry 'b.txt'"},
        {"data in the table", [](RawPackage& p) { p.entries[1].dataOffset = 60; },
         u"entry 'b.txt': its data overlaps the file table"},
        {"data in the header", [](RawPackage& p) { p.entries[2].dataOffset = 8; },
         u"entry 'c.txt': its data overlaps the header"},
        {"one unit more than the densest stream holds",
         [&](RawPackage& p) {
             p.entries[2].content = big;
             p.entries[2].unpackedSize = bigStored * MSK_MAX_INFLATE_RATIO + 1;
         },
         nullptr},
        {"the largest claim", [](RawPackage& p) { p.entries[1].unpackedSize = 0xFFFFFFFFu; }, nullptr},
        {"a claim with no stored bytes",
         [](RawPackage& p) {
             p.entries[1].storedSize = 0;
             p.entries[1].unpackedSize = 1;
         },
         u"entry 'b.txt': declares 1 bytes, more than its 0 stored bytes can hold"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawPackage p = Package({Folder(u"dir"), File(u"b.txt", "bravo"), File(u"c.txt", "charlie")});
        c.damage(p);
        Outcome o = Run(Build(p));
        EXPECT_EQ(o.open, u"file_format_error");
        // The size claims name the entry, its claim and its stored bytes.
        std::u16string detail;
        if (c.detail)
            detail = c.detail;
        else if (p.entries[1].unpackedSize == 0xFFFFFFFFu)
            detail =
                WFormat(u"entry 'b.txt': declares 4294967295 bytes, more than its %u stored bytes can hold",
                        static_cast<DWORD>(Compress("bravo").size()));
        else
            detail = WFormat(u"entry 'c.txt': declares %u bytes, more than its %u stored bytes can hold",
                             bigStored * MSK_MAX_INFLATE_RATIO + 1, bigStored);
        EXPECT_EQ(o.unpack, u"file table of \\SDMMC\\gpsApp.msk is damaged: " + detail)
            << WideToUtf8(o.unpack);
        EXPECT_EQ(o.verify, o.unpack);
        EXPECT_FALSE(HostExists(Root() + "/Residentflash2/app"));
    }

    // At the limit the table passes; the stream itself decides, and this one holds less.
    RawPackage p = Package({File(u"c.txt", big)});
    p.entries[0].unpackedSize = bigStored * MSK_MAX_INFLATE_RATIO;
    Outcome o = Run(Build(p));
    EXPECT_EQ(o.open, u"ok");
    EXPECT_EQ(o.unpack, u"uncompress failed");
    // Empty ranges hold nothing and overlap nothing, wherever they point.
    RawEntry empty1 = File(u"e1", ""), empty2 = File(u"e2", "");
    empty1.storedSize = empty2.storedSize = 0;
    empty2.sameDataAs = 0;
    empty1.stream = "";
    RawEntry inside = File(u"e3", "");
    inside.sameDataAs = 3;
    inside.storedSize = 0;
    o = Run(Build(Package({empty1, empty2, File(u"real.txt", "real"), File(u"more.txt", "more"), inside})));
    EXPECT_EQ(o.open, u"ok");
}

// The shape that kept a check busy for hours: 1,000 entries declaring 4 TB on one 3.9 MB stream.
TEST_F(MskTables, ThousandEntriesOnOneStreamAreRefusedBeforeAnyStreamIsRead) {
    RawPackage p = SharedStreamPackage(1000, 3900000, 4000000000u);
    p.key = kKey;
    WriteHostFile(Root() + "/SDMMC/gpsApp.msk", Build(p));
    CMskUnpacker unpacker;
    CProgressRecorder recorder;
    unpacker.SetProgressCallback(&CProgressRecorder::Callback, &recorder);
    std::u16string error;
    EXPECT_FALSE(unpacker.Open(u"\\SDMMC\\gpsApp.msk", kKey, error));
    EXPECT_EQ(error, u"file_format_error");
    EXPECT_EQ(std::u16string(unpacker.GetTableProblem()),
              u"entry 'f0001.bin': its data overlaps entry 'f0000.bin'");
    EXPECT_FALSE(unpacker.Verify(u"\\SDMMC\\gpsApp.msk", kKey, error));
    EXPECT_EQ(error,
              u"file table of \\SDMMC\\gpsApp.msk is damaged: entry 'f0001.bin': its data overlaps entry "
              u"'f0000.bin'");
    EXPECT_FALSE(unpacker.Unpack(u"\\SDMMC\\gpsApp.msk", u"\\Residentflash2", kKey, error));
    EXPECT_TRUE(recorder.Calls().empty());
    EXPECT_EQ(unpacker.GetBufferHighWater(), 0u); // no stream buffer was ever allocated
    EXPECT_FALSE(HostExists(Root() + "/Residentflash2/app"));
}

// What the writer makes always passes, empty files included: each file has its own stream.
TEST_F(MskTables, WriterPackagesWithEmptyFilesPassTheDataChecks) {
    testsupport::MakeHostFolders(Root() + "/SDMMC");
    CMskWriter writer;
    for (const char16_t* name : {u"a.txt", u"b\\empty1", u"b\\empty2", u"c.bin", u"empty3"})
        writer.AddFile(name, std::u16string(name).find(u"empty") != std::u16string::npos
                                 ? std::vector<BYTE>()
                                 : std::vector<BYTE>(5000, 7));
    std::u16string error;
    ASSERT_TRUE(writer.Write(u"\\SDMMC\\gpsApp.msk", u"app", kKey, error)) << WideToUtf8(error);
    CMskUnpacker unpacker;
    EXPECT_TRUE(unpacker.Open(u"\\SDMMC\\gpsApp.msk", kKey, error)) << WideToUtf8(unpacker.GetTableProblem());
    EXPECT_TRUE(unpacker.Unpack(u"\\SDMMC\\gpsApp.msk", u"\\Residentflash2", kKey, error))
        << WideToUtf8(error);
    EXPECT_TRUE(HostExists(Root() + "/Residentflash2/app/b/empty2"));
}
