// The unpacker's byte progress: what a tool's bar with rate and time left is drawn from.
#include "MskTestSupport.h"
#include "wceui/core/FhScramble.h"
#include "package/MskUnpacker.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace msktest;

namespace {

const DWORD kKey = FhPasswordToKey(u"pwd_tanzo");
const LPCWSTR kPackage = u"\\SDMMC\\gpsApp.msk";

struct ByteCall {
    ULONGLONG done;
    ULONGLONG total;
};

void RecordBytes(LPVOID context, ULONGLONG done, ULONGLONG total) {
    static_cast<std::vector<ByteCall>*>(context)->push_back({done, total});
}

// Bytes that deflate cannot shrink much, so that the big file's stream spans many pieces.
std::string Noise(size_t size) {
    std::string s(size, '\0');
    uint32_t x = 12345;
    for (char& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

class MskByteProgress : public DeviceFolderTest {
protected:
    void SetUp() override {
        DeviceFolderTest::SetUp();
        testsupport::MakeHostFolders(Root() + "/SDMMC");
        RawPackage p;
        p.key = kKey;
        p.entries = {Folder(u"data"), File(u"small.txt", "hello\n"), File(u"data\\big.bin", Noise(200000)),
                     File(u"empty.txt", "")};
        testsupport::WriteHostFile(Root() + "/SDMMC/gpsApp.msk", Build(p));
    }

    // Every call counts up to the total, which is the files' unpacked bytes, and the big file is
    // reported part-way, not only once it is done.
    static void ExpectCountsUpThroughTheBigFile(const std::vector<ByteCall>& calls) {
        const ULONGLONG total = 6 + 200000;
        ASSERT_FALSE(calls.empty());
        ULONGLONG last = 0;
        bool partWay = false;
        for (const ByteCall& c : calls) {
            EXPECT_EQ(c.total, total);
            EXPECT_GE(c.done, last);
            EXPECT_LE(c.done, total);
            partWay = partWay || (c.done > 6 + 1024 && c.done < total - 1024);
            last = c.done;
        }
        EXPECT_EQ(calls.back().done, total);
        EXPECT_TRUE(partWay) << "no report while the 200000-byte file was decoded";
    }
};

TEST_F(MskByteProgress, VerifyAndUnpackCountTheFilesBytesAsTheyAreDecoded) {
    MskDecodeOptions pieces;
    pieces.pieceSize = 1024;
    std::vector<ByteCall> calls;
    CMskUnpacker unpacker;
    unpacker.SetDecodeOptions(pieces);
    unpacker.SetByteProgressCallback(&RecordBytes, &calls);
    std::u16string error;
    ASSERT_TRUE(unpacker.Verify(kPackage, kKey, error)) << WideToUtf8(error);
    ExpectCountsUpThroughTheBigFile(calls);

    // A second run on the same unpacker starts again from zero.
    calls.clear();
    testsupport::MakeHostFolders(Root() + "/out");
    ASSERT_TRUE(unpacker.Unpack(kPackage, u"\\out", kKey, error)) << WideToUtf8(error);
    ExpectCountsUpThroughTheBigFile(calls);
    EXPECT_LE(calls.front().done, 6u);

    // Without a callback nothing is reported, and the unpack still works.
    calls.clear();
    unpacker.SetByteProgressCallback(NULL, NULL);
    ASSERT_TRUE(unpacker.Verify(kPackage, kKey, error)) << WideToUtf8(error);
    EXPECT_TRUE(calls.empty());
}

} // namespace
