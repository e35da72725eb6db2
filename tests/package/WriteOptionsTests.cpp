// How the unpacker writes its files: under a temporary name renamed into place once complete, and
// flushed before they are closed.
#include "MskTestSupport.h"
#include "package/MskUnpacker.h"
#include "platform/Platform.h"
#include "support/TestSupport.h"
#include "wceui/core/FhScramble.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace msktest;
using testsupport::HostExists;
using testsupport::ReadHostFile;
using testsupport::WriteHostFile;

namespace {

const DWORD kKey = FhPasswordToKey(u"pwd_tanzo");
const LPCWSTR kPackage = u"\\SDMMC\\gpsApp.msk";

// Every case runs with the one-call decode and with pieces of 1 KB, where a file is written in many
// writes.
class MskWriteOptionsTest : public DeviceFolderTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        DeviceFolderTest::SetUp();
        testsupport::MakeHostFolders(Root() + "/SDMMC");
        testsupport::MakeHostFolders(Root() + "/Residentflash2");
    }
    void Put(std::vector<RawEntry> entries) {
        RawPackage p;
        p.key = kKey;
        p.entries = std::move(entries);
        WriteHostFile(Root() + "/SDMMC/gpsApp.msk", Build(p));
    }
    std::u16string Unpack(BOOL bTempNames, BOOL bFlush) {
        CMskUnpacker unpacker;
        MskDecodeOptions decode;
        if (GetParam())
            decode.pieceSize = 1024;
        else
            decode.wholeFileLimit = 1u << 20;
        unpacker.SetDecodeOptions(decode);
        MskWriteOptions write;
        write.bTempNames = bTempNames;
        write.bFlush = bFlush;
        unpacker.SetWriteOptions(write);
        std::u16string error;
        unpacker.Unpack(kPackage, u"\\Residentflash2", kKey, error);
        return error;
    }
    std::string Out(const std::string& relative) const { return Root() + "/Residentflash2/app/" + relative; }
    // The names in the application folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(Root() + "/Residentflash2/app"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

const std::string kBig(10000, 'b'); // written in several pieces of 1 KB

} // namespace

TEST_P(MskWriteOptionsTest, TemporaryNamesAreRenamedIntoPlaceAndNothingElseIsLeft) {
    WriteHostFile(Out("a.txt"), "an older a.txt");
    // A name left by an interrupted run, and a file of the package with the name a.txt would be
    // written under first: neither is written over.
    WriteHostFile(Out("big.bin.part~"), "left by a killed run");
    Put({File(u"a.txt.part~", "a file of the package"), File(u"a.txt", "alpha"), File(u"big.bin", kBig),
         File(u"empty", "")});
    ASSERT_EQ(Unpack(TRUE, FALSE), u"");
    EXPECT_EQ(ReadHostFile(Out("a.txt")), "alpha");
    EXPECT_EQ(ReadHostFile(Out("a.txt.part~")), "a file of the package");
    EXPECT_EQ(ReadHostFile(Out("big.bin")), kBig);
    EXPECT_TRUE(HostExists(Out("empty")));
    EXPECT_EQ(ReadHostFile(Out("big.bin.part~")), "left by a killed run");
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"a.txt", "a.txt.part~", "big.bin", "big.bin.part~", "empty"}));
}

// A whole path of 259 units has no room for a suffix: its temporary name gives up the end of its name.
TEST_P(MskWriteOptionsTest, AFileAtThePathLimitIsWrittenUnderAShortenedTemporaryName) {
    const std::u16string folder(120, u'f');
    const std::u16string path = folder + u"\\" + std::u16string(118, u'n'); // 20 + 239 = 259 units
    Put({Folder(folder), File(path, kBig)});
    const std::string host = Out(WideToUtf8(folder) + "/" + std::string(118, 'n'));
    WriteHostFile(host, "older");
    ASSERT_EQ(Unpack(TRUE, FALSE), u"");
    EXPECT_EQ(ReadHostFile(host), kBig);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Out(WideToUtf8(folder))),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_P(MskWriteOptionsTest, AFailedWriteLeavesNoPartFileAndTheOlderFileAsItWas) {
    Put({File(u"a.txt", "alpha"), File(u"big.bin", kBig)});
    // Whole: the one write of big.bin fails. In pieces: its third piece.
    const int nth = GetParam() ? 1 + 3 : 2;
    WriteHostFile(Out("big.bin"), "the older big.bin");
    PlatformFailWrite(nth, ERROR_DISK_FULL);
    EXPECT_EQ(Unpack(TRUE, FALSE), u"error_disk_full");
    EXPECT_EQ(ReadHostFile(Out("big.bin")), "the older big.bin");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "big.bin"}));

    // Without an older file there is nothing under the final name at all.
    std::filesystem::remove(Out("big.bin"));
    PlatformFailWrite(nth, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Unpack(TRUE, FALSE), u"WriteFile \\Residentflash2\\app\\big.bin failed, GetLastError is 5");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt"}));

    // A stream found bad part-way does not touch the older file either.
    WriteHostFile(Out("big.bin"), "the older big.bin");
    RawEntry damaged = File(u"big.bin", kBig);
    std::string stream = Compress(kBig);
    stream[stream.size() - 1] ^= 1;
    damaged.stream = stream;
    Put({damaged});
    EXPECT_EQ(Unpack(TRUE, FALSE), u"uncompress failed");
    EXPECT_EQ(ReadHostFile(Out("big.bin")), "the older big.bin");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "big.bin"}));
}

TEST_P(MskWriteOptionsTest, FlushingFlushesEveryFileAndAFailedFlushIsAFailedWrite) {
    Put({File(u"a.txt", "alpha"), File(u"b.txt", "bravo"), File(u"big.bin", kBig)});
    // Without the option nothing is flushed: the armed fault is never met.
    PlatformFailFlush(1, ERROR_GEN_FAILURE);
    EXPECT_EQ(Unpack(FALSE, FALSE), u"");
    PlatformClearFaults();

    // With it, each file is flushed: the third flush belongs to the third file.
    std::filesystem::remove_all(Root() + "/Residentflash2/app");
    PlatformFailFlush(3, ERROR_GEN_FAILURE);
    EXPECT_EQ(Unpack(FALSE, TRUE), u"WriteFile \\Residentflash2\\app\\big.bin failed, GetLastError is 31");
    EXPECT_EQ(ReadHostFile(Out("b.txt")), "bravo");
    // What was written stays under the final name, as after any failed write without temporary names.
    EXPECT_EQ(ReadHostFile(Out("big.bin")), kBig);

    // With temporary names too, the unflushed file never takes its name.
    WriteHostFile(Out("a.txt"), "the older a.txt");
    PlatformFailFlush(1, ERROR_DISK_FULL);
    EXPECT_EQ(Unpack(TRUE, TRUE), u"error_disk_full");
    EXPECT_EQ(ReadHostFile(Out("a.txt")), "the older a.txt");
    EXPECT_EQ(Names(), (std::vector<std::string>{"a.txt", "b.txt", "big.bin"}));
    EXPECT_EQ(Unpack(TRUE, TRUE), u"");
    EXPECT_EQ(ReadHostFile(Out("a.txt")), "alpha");
}

INSTANTIATE_TEST_SUITE_P(WholeAndInPieces, MskWriteOptionsTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& i) {
                             return i.param ? "Pieces" : "Whole";
                         });
